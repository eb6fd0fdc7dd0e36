// The device file system: erasing it, saving it to a dump file and writing a
// dump file back. So far this module holds its settings; the steps come with
// the file-system operations.
#pragma once

#include <cstdint>

#include "velquor/util/files.h"  // cfg_path_size

// The dump file (configuration key ik_fn1) and its write protection (ik_fsf_prot).
extern char fname1[cfg_path_size];
extern uint8_t fsf_prot;
// The file-system transfer in hand: cmd_fs_dnl (PC -> TFT) or cmd_fs_upl
// (TFT -> PC), set by the dispatcher; 0 when none runs.
extern int32_t sysmode2;
// The temporary file that an upload writes first (ik_tempf); the DDC read
// uses it as well.
extern char get_temp_file[cfg_path_size];
