// The firmware update's settings.
#include "velquor/operations/vf_firm.h"

char firmpath[cfg_path_size] = "";
uint8_t firm_68 = 0;
uint8_t firm_hito = 0;
