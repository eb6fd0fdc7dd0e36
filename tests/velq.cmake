# The helper library's tests: copies of the library that the start-up binding
# must refuse (other versions, a missing export), the library placed beside
# the test programs (where the binding finds it without any setting), and the
# paths that the tests load by.
if(TARGET velq)
  # The library's units without its version, built once for every copy.
  add_library(velq_test_objs OBJECT ${CMAKE_SOURCE_DIR}/velq/com_action_dll.cpp
                                    ${CMAKE_SOURCE_DIR}/velq/winfuncs_dll.cpp
                                    ${CMAKE_SOURCE_DIR}/velq/velq_str_dll.cpp)
  set_target_properties(velq_test_objs PROPERTIES CXX_VISIBILITY_PRESET hidden
                                                  VISIBILITY_INLINES_HIDDEN ON)

  # velq_copy(name main sub hidden-export): a copy of version main.sub; a
  # non-empty hidden-export is left out of the export table.
  function(velq_copy name main sub hide)
    add_library(${name} SHARED $<TARGET_OBJECTS:velq_test_objs> ${CMAKE_SOURCE_DIR}/velq/dll_main.cpp)
    target_link_libraries(${name} PRIVATE vq_platform)
    target_compile_definitions(${name} PRIVATE VELQ_VER_MAIN=${main} VELQ_VER_SUB=${sub})
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
                          LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/velq_copies)
    if(hide)
      set(script ${CMAKE_CURRENT_BINARY_DIR}/velq_copies/${name}.map)
      file(WRITE ${script} "{ global: *; local: ${hide}; };\n")
      target_link_options(${name} PRIVATE -Wl,--version-script=${script})
    endif()
  endfunction()
  velq_copy(velq_v1_2 1 2 "")
  velq_copy(velq_v2_3 2 3 "")
  velq_copy(velq_v1_7 1 7 "")
  velq_copy(velq_no_swap_li 1 3 ms_swap_buffer_li)
  velq_copy(velq_no_sub 1 3 dll_get_sub_ver)

  # The library beside the test programs, as it lies beside the program.
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/libvelq.so
                     COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:velq> ${CMAKE_CURRENT_BINARY_DIR}/libvelq.so
                     DEPENDS velq $<TARGET_FILE:velq>)
  add_custom_target(velq_beside_tests ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/libvelq.so)
  # The operations' end-to-end fixture binds it over RS232 as start-up does.
  add_dependencies(vq_test_support velq_beside_tests)

  foreach(t test_velq_lib test_velq_bind test_ipv4)
    if(TARGET ${t})
      add_dependencies(${t} velq velq_beside_tests velq_v1_2 velq_v2_3 velq_v1_7 velq_no_swap_li velq_no_sub)
      target_compile_definitions(${t} PRIVATE
        VQ_VELQ_PATH="$<TARGET_FILE:velq>"
        VQ_VELQ_V1_2="$<TARGET_FILE:velq_v1_2>"
        VQ_VELQ_V2_3="$<TARGET_FILE:velq_v2_3>"
        VQ_VELQ_V1_7="$<TARGET_FILE:velq_v1_7>"
        VQ_VELQ_NO_SWAP_LI="$<TARGET_FILE:velq_no_swap_li>"
        VQ_VELQ_NO_SUB="$<TARGET_FILE:velq_no_sub>")
    endif()
  endforeach()
endif()
