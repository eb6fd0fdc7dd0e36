// The DDC settings.
#include "velquor/operations/vf_ddc.h"

char ddcpath[cfg_path_size] = "";
uint8_t ddc_prot = 0;
uint8_t ddc_intf = 1;
uint8_t ddc_bus = 1;
uint8_t ddc_to = 3;
uint8_t ddc_stop = ddc_stop_all;
