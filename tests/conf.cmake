# The configuration tests link the window module, which needs the interim
# definitions of the strings-and-files utilities until those have landed.
if(TARGET test_conf AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/ui_interim.cpp)
  target_sources(test_conf PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui_interim.cpp)
endif()
