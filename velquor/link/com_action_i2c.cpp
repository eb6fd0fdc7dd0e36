// The I2C bus on the parallel port: the table of port addresses.
#include "velquor/link/com_i2c.h"

uint32_t lptport[lpt_n_ports] = {0x378, 0x278, 0x3BC, 0x378};
uint32_t lptportstat[lpt_n_ports] = {0x379, 0x279, 0x3BD, 0x379};

void reset_ddc_port(void) {
    static const uint32_t data[lpt_n_ports] = {0x378, 0x278, 0x3BC, 0x378};
    for (int i = 0; i < lpt_n_ports; ++i) {
        lptport[i] = data[i];
        lptportstat[i] = data[i] + 1;
    }
}

void mc_close_ddc(void) {}
