// The boot loader images of the bootstrap: the primary loader that the board's
// processor takes first, and the secondary loader for the board's flash (ZELB3
// or AM29LV150, sys_boot in vf_boot.h). The build generates their source
// (tools/imagegen): from the binary files given with the CMake options
// VQ_BOOT_PRIM, VQ_BOOT_SEC_ZELB3 and VQ_BOOT_SEC_AM29LV150, or else
// pseudo-random stand-ins of the same sizes, which vf_images.h keeps from a
// real board.
#pragma once

#include <cstdint>

extern const uint8_t BootPrimImage[32];
extern const uint8_t BootSecondary_ZELB3_Image[720];
extern const uint8_t BootSecondary_AM29LV150_Image[900];
// What is built in: the three files' names, or "generated stand-ins".
extern const char bootsec_origin[];
// true when the images are the generated stand-ins.
extern const bool bootsec_stand_in;
