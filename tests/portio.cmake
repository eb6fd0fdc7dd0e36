# The port I/O libraries' tests link their cores directly, and load the built
# libraries to check what they export.
if(TARGET test_portio AND TARGET vq_portio_core)
  target_link_libraries(test_portio PRIVATE vq_portio_core)
  add_dependencies(test_portio vqportio)
  target_compile_definitions(test_portio PRIVATE VQ_PORTIO_LIB="$<TARGET_FILE:vqportio>")
endif()
if(TARGET test_portio_sim AND TARGET vq_portio_sim_core)
  target_link_libraries(test_portio_sim PRIVATE vq_portio_sim_core)
  add_dependencies(test_portio_sim vqportio_sim)
  target_compile_definitions(test_portio_sim PRIVATE VQ_PORTIO_SIM_LIB="$<TARGET_FILE:vqportio_sim>")
endif()

# The port-I/O library beside the test programs, as it lies beside the
# programs: every start-up binding (sys_start) loads it first. And two copies
# that lack one function each, which the binding must refuse.
if(TARGET vqportio)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/libvqportio.so
                     COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vqportio> ${CMAKE_CURRENT_BINARY_DIR}/libvqportio.so
                     DEPENDS vqportio $<TARGET_FILE:vqportio>)
  add_custom_target(portio_beside_tests ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/libvqportio.so)
  add_dependencies(vq_test_support portio_beside_tests vqportio_sim)
  foreach(missing INP OUT)
    string(TOLOWER ${missing} m)
    add_library(portio_no_${m} SHARED ${CMAKE_CURRENT_SOURCE_DIR}/portio_stub.cpp)
    target_compile_definitions(portio_no_${m} PRIVATE PORTIO_STUB_NO_${missing})
    set_target_properties(portio_no_${m} PROPERTIES CXX_VISIBILITY_PRESET hidden
                          LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/portio_copies)
  endforeach()
  if(TARGET test_velq_bind)
    add_dependencies(test_velq_bind portio_no_inp portio_no_out vqportio_sim)
    target_compile_definitions(test_velq_bind PRIVATE
      VQ_PORTIO_NO_INP="$<TARGET_FILE:portio_no_inp>"
      VQ_PORTIO_NO_OUT="$<TARGET_FILE:portio_no_out>"
      VQ_PORTIO_SIM="$<TARGET_FILE:vqportio_sim>")
  endif()
endif()
if(TARGET test_ddc AND TARGET vqportio_sim)
  add_dependencies(test_ddc vqportio_sim)
  target_compile_definitions(test_ddc PRIVATE VQ_PORTIO_SIM="$<TARGET_FILE:vqportio_sim>")
endif()
if(TARGET test_cli AND TARGET vqportio_sim)
  add_dependencies(test_cli vqportio_sim)
  target_compile_definitions(test_cli PRIVATE VQ_PORTIO_SIM="$<TARGET_FILE:vqportio_sim>")
endif()
