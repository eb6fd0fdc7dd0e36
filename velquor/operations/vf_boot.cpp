// The bootstrap's setting.
#include "velquor/operations/vf_boot.h"

#include "velquor/ui/velquor_ids.h"

int32_t sys_boot = boot_zelb3;
