# The Qt backend's tests. They link vq_platform_qt, which no other test links,
# so their source lives in tests/qt/ (outside the test_*.cpp sweep) and they
# exist only when Qt6 was found. They run on the offscreen platform: no display.
if(TARGET vq_platform_qt)
  add_executable(test_win_qt ${CMAKE_CURRENT_SOURCE_DIR}/qt/test_win_qt.cpp)
  target_link_libraries(test_win_qt PRIVATE vq_platform_qt vq_core GTest::gtest_main)
  target_compile_definitions(test_win_qt PRIVATE VQ_BINARY_DIR="${CMAKE_BINARY_DIR}"
                                                  VQ_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(test_win_qt DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
