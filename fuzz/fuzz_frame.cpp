// Fuzz target: the judging of answer frames (send_single_send_zelb's read and
// judge, and the wait step zelb_wait_ack), fed through the frame layer's
// transport seam.
//
// The first bytes of an input choose the step, the monitor, the command and
// the value; the rest is what the line brings, as a series of reads: a count
// byte (the count the transport reports, 0..15, so that it may report more
// than the frame holds) and the bytes it stores. An answer taken must be a
// well-formed answer to the command sent: end code FE 00, checksum right, the
// command word sent; and no more reads than the stale answers allowed.
#include <cstring>

#include "fuzz_common.h"
#include "velquor/link/com_action.h"

namespace {

const uint8_t *in = nullptr;
size_t in_left = 0;
uint32_t reads = 0;

char no_discard(void) { return 0; }
char take_write(const uint8_t *, uint32_t) { return 0; }

// One read of the line: the count byte, then the bytes the transport stores
// (at most the buffer, at most what is left); nothing at the end of the input.
char line_read(uint8_t *buff, uint32_t nbuff, uint32_t *nread) {
    ++reads;
    *nread = 0;
    if (in_left == 0) return mc_e_to;
    const uint32_t said = in[0] & 0x0F;
    ++in;
    --in_left;
    uint32_t n = said < nbuff ? said : nbuff;
    if (n > in_left) n = static_cast<uint32_t>(in_left);
    std::memcpy(buff, in, n);
    in += n;
    in_left -= n;
    *nread = said;
    return 0;
}

void check_answer(const uint8_t *a, uint16_t cmd) {
    FZ_CHECK(a[8] == (stopc_ack & 0xFF) && a[9] == (stopc_ack >> 8));
    FZ_CHECK(get_cks_ZELB_10(a) == a[7]);
    FZ_CHECK(a[3] + 256u * a[4] == cmd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    if (size < 6) return 0;
    mc_frame_discard = no_discard;
    mc_frame_write = take_write;
    mc_frame_read = line_read;
    const uint8_t step = data[0] & 1, nr = data[1];
    const uint16_t cmd = static_cast<uint16_t>(data[2] | data[3] << 8);
    const uint16_t val = static_cast<uint16_t>(data[4] | data[5] << 8);
    in = data + 6;
    in_left = size - 6;
    reads = 0;
    if (step == 0) {
        uint32_t c = cmd, v = val;
        const char rc = send_single_send_zelb(nr, &c, &v, 1);
        FZ_CHECK(reads <= zelb_stale_max + 1);
        if (rc == 0) {
            check_answer(mybuffer2, cmd);
            FZ_CHECK(c == cmd && v == mybuffer2[5] + 256u * mybuffer2[6]);
            FZ_CHECK(std::memcmp(mybuffer2, mybuffer, zelb_frame_len) != 0);
        }
    } else {
        // The wait step reads the answer to the frame sent before it.
        create_zelb_buffer(mybuffer, nr, startc, stopc_pc, val, cmd);
        const char verdict = zelb_wait_ack();
        FZ_CHECK(reads <= zelb_stale_max + 1);
        FZ_CHECK(verdict == (sys_rv == 0 ? 1 : 0));
    }
    mc_frame_transport_reset();
    return 0;
}
