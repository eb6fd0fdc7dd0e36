// Device link: the command frame and its acknowledgement, and the result
// globals shared by every operation step.
//
// A transaction builds the frame in mybuffer, writes it through the transport
// seam and, when an answer is wanted, reads at most one answer into mybuffer2
// and judges it in a fixed order. The step zelb_wait_ack reads an answer whose
// command went out in the step before; it judges the checksum before the end
// code and has no echo test, so the same bad answer can give another id there.
//
// Sections: result globals; frame; transport seam; transactions and steps.
#include "velquor/link/com_action.h"

#include <cstring>

#include "velquor/link/com_link.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"

// ---------------------------------------------------------------- result globals

uint8_t sys_rv = 0;
uint32_t sys_cmd = 0;
uint32_t sys_val = 0;
char sys_msg[101] = {0};

uint8_t mybuffer[zelb_frame_len];
uint8_t mybuffer2[zelb_frame_len];

// ---------------------------------------------------------------- frame

void create_zelb_buffer(uint8_t *buffer, uint8_t zelb_nr, uint16_t startc, uint16_t stopc,
                        uint32_t val, uint32_t cmd) {
    if (!buffer) return;
    buffer[0] = uint8_t(startc & 0xFF);
    buffer[1] = uint8_t(startc >> 8);
    buffer[2] = zelb_nr;
    buffer[3] = uint8_t(cmd & 0xFF);
    buffer[4] = uint8_t((cmd >> 8) & 0xFF);
    buffer[5] = uint8_t(val & 0xFF);
    buffer[6] = uint8_t((val >> 8) & 0xFF);
    buffer[7] = get_cks_ZELB_10(buffer);
    buffer[8] = uint8_t(stopc & 0xFF);
    buffer[9] = uint8_t(stopc >> 8);
}

uint8_t get_cks_ZELB_10(const uint8_t *buffer) {
    if (!buffer) return 0;
    unsigned sum = 0;
    for (int k = 2; k <= 6; ++k) sum += buffer[k];
    return uint8_t(sum & 0xFF);
}

// ---------------------------------------------------------------- transport seam

mc_frame_write_t mc_frame_write = mc_write_syscom;
mc_frame_read_t mc_frame_read = mc_read_syscom;

void mc_frame_transport_reset(void) {
    mc_frame_write = mc_write_syscom;
    mc_frame_read = mc_read_syscom;
}

namespace {

// Writes one frame: the seam's result, 7 when there is no transport.
char frame_write(const uint8_t *frame) {
    if (!mc_frame_write) return mc_e_w_dat;
    return mc_frame_write(frame, zelb_frame_len);
}

// Reads up to one frame into buf and judges the count alone: 10 bytes 0, none 8,
// anything else 11. A count above the buffer size (a transport out of order)
// counts as a failed read, not as a frame.
uint8_t frame_read(uint8_t *buf) {
    uint32_t got = 0;
    if (mc_frame_read) mc_frame_read(buf, zelb_frame_len, &got);
    if (got == zelb_frame_len) return mc_e_ok;
    if (got == 0) return mc_e_to;
    return mc_e_r_dat;
}

bool end_code_is_ack(const uint8_t *frame) {
    return frame[8] == (stopc_ack & 0xFF) && frame[9] == (stopc_ack >> 8);
}

uint32_t word_at(const uint8_t *frame, int k) { return frame[k] + 256u * frame[k + 1]; }

}  // namespace

// ---------------------------------------------------------------- transactions and steps

char send_single_send_zelb(uint8_t zelb_nr, uint32_t *cmd, uint32_t *val, uint8_t waitme) {
    if (!cmd || !val) return mc_e_no_buff;
    std::memset(mybuffer2, 0, sizeof mybuffer2);
    create_zelb_buffer(mybuffer, zelb_nr, startc, stopc_pc, *val, *cmd);
    const char wr = frame_write(mybuffer);
    if (wr != 0) return wr;
    if (!waitme) return mc_e_ok;
    const uint8_t rd = frame_read(mybuffer2);
    if (rd != mc_e_ok) return char(rd);
    if (std::memcmp(mybuffer2, mybuffer, zelb_frame_len) == 0) return mc_e_loop;
    if (!end_code_is_ack(mybuffer2)) return mc_e_n_ack;
    if (get_cks_ZELB_10(mybuffer2) != mybuffer2[7]) return mc_e_inv_cks;
    *cmd = word_at(mybuffer2, 3);
    *val = word_at(mybuffer2, 5);
    return mc_e_ok;
}

char send_zelb(uint8_t zelb_nr, uint32_t val, uint32_t cmd) {
    sys_rv = uint8_t(send_single_send_zelb(zelb_nr, &cmd, &val, 0));
    return sys_rv == 0 ? 1 : 0;
}

char zelb_wait_ack(void) {
    uint8_t answer[zelb_frame_len] = {0};
    sys_rv = frame_read(answer);
    if (sys_rv == 0 && get_cks_ZELB_10(answer) != answer[7]) sys_rv = mc_e_inv_cks;
    if (sys_rv == 0 && !end_code_is_ack(answer)) sys_rv = mc_e_n_ack;
    sys_val = word_at(answer, 5);
    return sys_rv == 0 ? 1 : 0;
}

char zelb_wait_ack_dlg(void) {
    const char verdict = zelb_wait_ack();
    sys_msg[sizeof sys_msg - 1] = '\0';  // a message without its NUL is cut to 100 characters
    if (verdict == 1 && sys_msg[0] != '\0') {
        mw_alert(hwndMain, VER_APP_NAME, sys_msg, 0);
        sys_msg[0] = '\0';
    }
    return verdict;
}

void reset_err(void) {
    sys_rv = 0;
    sys_f_rv = 0;
    stat_dlg_reset_err();  // under the dialogs' lock: the main thread may be redrawing
}
