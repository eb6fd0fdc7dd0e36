# The EDID decoder belongs to velquor-cli, whose sources are in no library:
# its test compiles the decoder itself.
if(TARGET test_edid)
  target_sources(test_edid PRIVATE ${CMAKE_SOURCE_DIR}/cli/edid.cpp)
endif()
