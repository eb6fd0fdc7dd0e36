// The device file system's settings.
#include "velquor/operations/fs_ops.h"

char fname1[cfg_path_size] = "";
uint8_t fsf_prot = 0;
char get_temp_file[cfg_path_size] = "./velq.tmp";
int32_t sysmode2 = 0;
