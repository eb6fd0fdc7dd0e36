// The interface scan's settings.
#include "velquor/ui/scan.h"

uint8_t sc_intf_s = 1;
uint8_t sc_intf_e = 99;
uint8_t sc_to = 1;
uint8_t sc_parno = 0;

void reset_scan(void) {
    sc_intf_s = 1;
    sc_intf_e = 99;
    sc_to = 1;
    sc_parno = 0;
}
