# velquor-cli's tests also link its option parser and need the program itself;
# the IPv4 test holds the option parser to the program's rule.
if(TARGET test_cli)
  target_sources(test_cli PRIVATE ${CMAKE_SOURCE_DIR}/cli/cli_opts.cpp)
  if(TARGET velquor-cli)
    add_dependencies(test_cli velquor-cli)
  endif()
  if(TARGET velquor)
    add_dependencies(test_cli velquor)
    target_compile_definitions(test_cli PRIVATE VQ_HAVE_WINDOW_PROGRAM)
  endif()
endif()
if(TARGET test_ipv4)
  target_sources(test_ipv4 PRIVATE ${CMAKE_SOURCE_DIR}/cli/cli_opts.cpp)
endif()

# The start-up binds the helper library from the program's own directory, so
# the programs that run it get a copy of libvelq.so beside them.
if(TARGET velq)
  foreach(t test_main)
    if(TARGET ${t})
      add_dependencies(${t} velq)
      add_custom_command(TARGET ${t} POST_BUILD
                         COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:velq> $<TARGET_FILE_DIR:${t}>)
    endif()
  endforeach()
endif()
