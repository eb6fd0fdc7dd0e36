# The built-in images of the operations layer: the firmware 5.068 (v5.068.h)
# and the boot loaders (bootsec.h). tools/imagegen writes their sources into the
# build directory from the files given here, or generates stand-ins for tests;
# the operations library compiles them.
#   VQ_FIRMWARE_HEX        Intel-HEX file of the firmware 5.068
#   VQ_BOOT_PRIM           primary boot loader, 32 bytes
#   VQ_BOOT_SEC_ZELB3      secondary boot loader for ZELB3 boards, 720 bytes
#   VQ_BOOT_SEC_AM29LV150  secondary boot loader for AM29LV150 boards, 900 bytes
set(VQ_FIRMWARE_HEX "" CACHE FILEPATH "Intel-HEX file of the built-in firmware 5.068 (empty: a generated stand-in)")
set(VQ_BOOT_PRIM "" CACHE FILEPATH "Primary boot loader image, 32 bytes (empty: a generated stand-in)")
set(VQ_BOOT_SEC_ZELB3 "" CACHE FILEPATH "Secondary boot loader image for ZELB3, 720 bytes (empty: a generated stand-in)")
set(VQ_BOOT_SEC_AM29LV150 "" CACHE FILEPATH "Secondary boot loader image for AM29LV150, 900 bytes (empty: a generated stand-in)")

add_executable(vq_imagegen ${CMAKE_CURRENT_SOURCE_DIR}/tools/imagegen/imagegen.cpp)
set_target_properties(vq_imagegen PROPERTIES OUTPUT_NAME imagegen
                                             RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The firmware: a missing file is refused here, a malformed one by the generator.
set(vq_firm_args "")
if(NOT VQ_FIRMWARE_HEX STREQUAL "")
  if(NOT EXISTS "${VQ_FIRMWARE_HEX}" OR IS_DIRECTORY "${VQ_FIRMWARE_HEX}")
    message(FATAL_ERROR "VQ_FIRMWARE_HEX: no such file: ${VQ_FIRMWARE_HEX}")
  endif()
  set(vq_firm_args "${VQ_FIRMWARE_HEX}")
  message(STATUS "Built-in firmware 5.068: ${VQ_FIRMWARE_HEX}")
else()
  message(STATUS "Built-in firmware 5.068: generated stand-in (for tests only)")
endif()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/v5.068.cpp
                   COMMAND vq_imagegen firmware ${CMAKE_BINARY_DIR}/v5.068.cpp ${vq_firm_args}
                   DEPENDS vq_imagegen ${vq_firm_args}
                   COMMENT "Generating the built-in firmware 5.068 (v5.068.cpp)"
                   VERBATIM)

# The boot loaders: all three files or none, each of its exact size.
set(vq_boot_args "")
set(vq_boot_given 0)
foreach(opt VQ_BOOT_PRIM VQ_BOOT_SEC_ZELB3 VQ_BOOT_SEC_AM29LV150)
  if(NOT "${${opt}}" STREQUAL "")
    math(EXPR vq_boot_given "${vq_boot_given} + 1")
  endif()
endforeach()
if(vq_boot_given EQUAL 3)
  foreach(pair VQ_BOOT_PRIM:32 VQ_BOOT_SEC_ZELB3:720 VQ_BOOT_SEC_AM29LV150:900)
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 opt)
    list(GET pair 1 size)
    if(NOT EXISTS "${${opt}}" OR IS_DIRECTORY "${${opt}}")
      message(FATAL_ERROR "${opt}: no such file: ${${opt}}")
    endif()
    file(SIZE "${${opt}}" have)
    if(NOT have EQUAL size)
      message(FATAL_ERROR "${opt}: ${${opt}} has ${have} bytes, the image must have exactly ${size}")
    endif()
    list(APPEND vq_boot_args "${${opt}}")
  endforeach()
  string(JOIN ", " vq_boot_list ${vq_boot_args})
  message(STATUS "Boot loader images: ${vq_boot_list}")
elseif(vq_boot_given EQUAL 0)
  message(STATUS "Boot loader images: generated stand-ins (for tests only)")
else()
  message(FATAL_ERROR "VQ_BOOT_PRIM, VQ_BOOT_SEC_ZELB3 and VQ_BOOT_SEC_AM29LV150: give all three boot loader images or none")
endif()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bootsec.cpp
                   COMMAND vq_imagegen boot ${CMAKE_BINARY_DIR}/bootsec.cpp ${vq_boot_args}
                   DEPENDS vq_imagegen ${vq_boot_args}
                   COMMENT "Generating the boot loader images (bootsec.cpp)"
                   VERBATIM)

target_sources(vq_operations PRIVATE ${CMAKE_BINARY_DIR}/v5.068.cpp ${CMAKE_BINARY_DIR}/bootsec.cpp)
