// Ping and identification: finding the monitor number that answers on a line,
// and reading a monitor's identification (board type, display number,
// firmware revision and variant, date) for the info group of the main window.
//
// The results stay in this module's state: sys_zelb_nr holds the number a
// ping found, zelb_info_dat the identification read last. The window shows
// them when asked through the window seam; velquor-cli prints them.
#pragma once

#include <cstddef>
#include <cstdint>

// The ping: command and value; the answer's low byte is the highest monitor
// number of the line (broadcast) or the monitor's own number.
constexpr uint32_t zelb_cmd_ping = 0x5000, zelb_val_ping = 0x5500;

// Identification of one monitor.
struct zelb_dat_T {
    uint8_t zelb_ver;  // board type code (255 = unknown)
    uint8_t err;       // error marker
    uint8_t firm_typ;  // firmware generation (2, 51) or the boot loader's variant code
    uint32_t zelb_disp;
    uint32_t zelb_rev;  // major in the high byte, minor in the low byte
    uint32_t zelb_dat;  // packed: day bits 0-4, month bits 5-8, year - 2000 bits 9-15
    uint32_t zelb_clock;
    uint32_t zelb_hfreq;
    uint32_t zelb_vfreq;
};
extern zelb_dat_T zelb_info_dat;
// The error id that ended the last identification read (the opening or a
// query), 0 when it was read whole. The window shows the reset record then
// and no error; velquor-cli reports it.
extern uint8_t zelb_info_rv;
extern uint8_t zelb_ver_old, zelb_firm_typ_old;
extern uint32_t zelb_disp_old, zelb_rev_old, zelb_dat_old;

// The four info lines as the window shows them.
struct zelb_info_lines {
    char typ[32];
    char dsp[16];
    char rev[32];
    char dat[16];
};

// The identification queries of firmware that answers neither the generation
// 2 nor the generation 1/51 commands: command and value of each, 0 = not
// supported (configuration keys ix_det_*).
extern uint32_t det_zelb_cmd, det_zelb_val;    // board type
extern uint32_t det_sw_cmd, det_sw_val;        // software revision
extern uint32_t det_dat_cmd, det_dat_val;      // date
extern uint32_t det_disp_cmd, det_disp_val;    // display number
extern uint32_t det_vfreq_cmd, det_vfreq_val;  // vertical frequency
extern uint32_t det_hfreq_cmd, det_hfreq_val;  // horizontal frequency
extern uint32_t det_pclk_cmd, det_pclk_val;    // pixel clock
// The fourteen identification commands and values back to their defaults.
void reset_det_items(void);

// ---------------------------------------------------------------- ping

// Steps: open a session, ping, store the number in sys_zelb_nr (0 until
// then). ping_me shows it in the window; the _nc forms keep the link open.
char ping_me(void);
char ping_me1(void);
char ping_me1_nc(void);
char ping_me_nc_ipl(int32_t sub);
char ping_me_nc(void);
// Pings on the open link: the number into *c; an error id.
char ping_me2(uint8_t *c);
// End of the keyed ping chain: the monitor number from the answer value.
char zelb_end_ping(void);

// ---------------------------------------------------------------- identification

// Identification queries: error ids; results through c (10 when c is missing).
char zelb_get_firm_typ_nr_no_b(uint8_t nr, uint8_t *firm_typ);
char zelb_get_typ_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_rev_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_dat_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_dsp_num_nr(uint8_t nr, uint32_t *c, uint8_t firm_typ);
char zelb_get_vfreq_nr(uint8_t nr, uint32_t *c);
char zelb_get_hfreq_nr(uint8_t nr, uint32_t *c);
char zelb_get_pclk_nr(uint8_t nr, uint32_t *c);
char zelb_get_typ_nr_b(uint8_t nr, uint32_t *c);
char zelb_get_rev_nr_b(uint8_t nr, uint32_t *c);
char zelb_get_dat_nr_b(uint8_t nr, uint32_t *c);
char zelb_get_dsp_num_nr_b(uint8_t nr, uint32_t *c);
// The firmware variant that a boot loader (or firmware with the newer query
// set) reports for monitor nr; zelb_get_firm_typ asks sys_zelb_nr.
char zelb_get_firm_typ_nr(uint8_t nr, uint32_t *c);
char zelb_get_firm_typ(uint32_t *c);
char zelb_get_typ(uint32_t *c, uint8_t b_run, uint8_t firm_typ);
char zelb_get_rev(uint32_t *c, uint8_t b_run, uint8_t firm_typ);
char zelb_get_dat(uint32_t *c, uint8_t b_run, uint8_t firm_typ);
char zelb_get_dsp_num(uint32_t *c, uint8_t b_run, uint8_t firm_typ);

// Step: reads the identification of sys_zelb_nr into zelb_info_dat and asks
// the window to show it when it changed; never reports an error.
char info_init(void);
void reset_zelb_dat(zelb_dat_T *mp);
void reset_info_vals(void);
// The four display lines of an identification record.
void zelb_info_format(const zelb_dat_T *d, zelb_info_lines *out);

// Display formats: board type name, variant label, "%d.%03d" revision (1 when
// s is missing), "%02d.%02d. %4d" date, "0x%03X" display number.
const char *mc_get_zelb_typ_x(uint32_t code);
const char *scr_get_zelb_firm_tp_x(uint32_t code);
char mc_get_zelb_rev_x(uint32_t v, char *s, size_t n);
char mc_get_zelb_dat_x(uint32_t v, char *s, size_t n);
void scr_get_zelb_rev(uint32_t v, char *s, size_t n);
void scr_get_zelb_dsp(uint32_t v, char *s, size_t n);
