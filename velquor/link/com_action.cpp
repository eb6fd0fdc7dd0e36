// Device link: the command frame and its acknowledgement, and the result
// globals shared by every operation step.
//
// A transaction builds the frame in mybuffer, discards what is waiting in the
// input, writes the frame through the transport seam and, when an answer is
// wanted, reads the answer into mybuffer2 and judges it in a fixed order. The
// step zelb_wait_ack reads an answer whose command went out in the step before;
// it judges the checksum before the end code and has no echo test, so the same
// bad answer can give another id there. Both pass over well-formed answers to
// other commands (late answers to commands that timed out) and read on.
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

mc_frame_discard_t mc_frame_discard = mc_discard_syscom;
mc_frame_write_t mc_frame_write = mc_write_syscom;
mc_frame_read_t mc_frame_read = mc_read_syscom;

void mc_frame_transport_reset(void) {
    mc_frame_discard = mc_discard_syscom;
    mc_frame_write = mc_write_syscom;
    mc_frame_read = mc_read_syscom;
}

namespace {

// Drops what is waiting in the input before a frame goes out. Its result is
// not judged: a broken link shows in the write and the read after it, with
// the ids they always had.
void frame_discard(void) {
    if (mc_frame_discard) mc_frame_discard();
}

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

bool same_command(const uint8_t *answer, const uint8_t *sent) {
    return answer[3] == sent[3] && answer[4] == sent[4];
}

// The judging of an answer to `sent`, apart from its count: 0 or an error id.
typedef uint8_t (*judge_t)(const uint8_t *answer, const uint8_t *sent);

// The transaction's order: echo, end code, checksum.
uint8_t judge_trans(const uint8_t *answer, const uint8_t *sent) {
    if (std::memcmp(answer, sent, zelb_frame_len) == 0) return mc_e_loop;
    if (!end_code_is_ack(answer)) return mc_e_n_ack;
    if (get_cks_ZELB_10(answer) != answer[7]) return mc_e_inv_cks;
    return mc_e_ok;
}

// The wait step's order: checksum, end code; no echo test.
uint8_t judge_wait(const uint8_t *answer, const uint8_t *) {
    if (get_cks_ZELB_10(answer) != answer[7]) return mc_e_inv_cks;
    if (!end_code_is_ack(answer)) return mc_e_n_ack;
    return mc_e_ok;
}

// Reads the answer to the frame `sent` into buf (cleared before each read) and
// judges it. An answer that passes the judging with another command word
// answers an earlier command whose time-out ran out: it is passed over and the
// next one read. 0 with the answer in buf; the id of the first read or judging
// that fails; 13 when a silent line or one answer too many to other commands
// follows those passed over.
uint8_t read_answer(uint8_t *buf, const uint8_t *sent, judge_t judge) {
    for (uint32_t passed = 0;; ++passed) {
        std::memset(buf, 0, zelb_frame_len);
        const uint8_t rd = frame_read(buf);
        if (rd == mc_e_to && passed > 0) return mc_e_inv_dat;
        if (rd != mc_e_ok) return rd;
        const uint8_t verdict = judge(buf, sent);
        if (verdict != mc_e_ok) return verdict;
        if (same_command(buf, sent)) return mc_e_ok;
        if (passed == zelb_stale_max) return mc_e_inv_dat;
    }
}

}  // namespace

// ---------------------------------------------------------------- transactions and steps

char send_single_send_zelb(uint8_t zelb_nr, uint32_t *cmd, uint32_t *val, uint8_t waitme) {
    if (!cmd || !val) return mc_e_no_buff;
    std::memset(mybuffer2, 0, sizeof mybuffer2);
    create_zelb_buffer(mybuffer, zelb_nr, startc, stopc_pc, *val, *cmd);
    frame_discard();
    const char wr = frame_write(mybuffer);
    if (wr != 0) return wr;
    if (!waitme) return mc_e_ok;
    const uint8_t rv = read_answer(mybuffer2, mybuffer, judge_trans);
    if (rv != mc_e_ok) return char(rv);
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
    sys_rv = read_answer(answer, mybuffer, judge_wait);
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
