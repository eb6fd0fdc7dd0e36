# The window program's test on the Qt backend (offscreen). Like the layer's own
# Qt test it lives in tests/qt/, outside the test_*.cpp sweep, since only it
# links vq_platform_qt. scripts/screenshots.sh runs it to render docs/*.png.
if(TARGET vq_platform_qt)
  add_executable(test_velquor_qt ${CMAKE_CURRENT_SOURCE_DIR}/qt/test_velquor_qt.cpp)
  target_link_libraries(test_velquor_qt PRIVATE vq_platform_qt vq_test_support vq_core GTest::gtest)
  gtest_discover_tests(test_velquor_qt DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  # The start-up binds libvelq.so from the program's own directory.
  if(TARGET velq)
    add_dependencies(test_velquor_qt velq)
    add_custom_command(TARGET test_velquor_qt POST_BUILD
                       COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:velq> $<TARGET_FILE_DIR:test_velquor_qt>)
  endif()
endif()
