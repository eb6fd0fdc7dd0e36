// The bootstrap: loading firmware into an empty board through its processor's
// boot loader. So far this module holds its setting; the steps come with the
// bootstrap itself. The file is the firmware update's (firmpath, vf_firm.h).
#pragma once

#include <cstdint>

// The board variant, a vq_boot_type (configuration key ik_sys_boot); any
// value other than boot_zelb3 selects the AM29LV150 loader.
extern int32_t sys_boot;
