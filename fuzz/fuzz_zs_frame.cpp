// Fuzz target: the simulator's frame scanner (zs_scan_byte), which finds the
// 10-byte command frames in a byte stream that may hold anything.
//
// Every byte fed is accounted for: it ends in a frame, among the bytes given
// up, or in the candidate still held (never ten or more). A frame reported is
// well formed (AA 55, checksum, FF 00) and its fields are its bytes. A frame
// sent after the input is found while its own bytes arrive, whatever came
// before it. The strict number reader of the options reads the input as text.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "zs_internal.h"

namespace {

struct tally {
    size_t fed = 0, framed = 0, frames = 0;
    std::vector<uint8_t> junk;
};

zs_scan_result feed(zs_scanner *s, uint8_t b, tally *t) {
    zs_frame f;
    uint8_t raw[ZS_FRAME_LEN];
    const zs_scan_result r = zs_scan_byte(s, b, &f, raw, &t->junk);
    ++t->fed;
    FZ_CHECK(s->n < ZS_FRAME_LEN);
    if (r == ZS_SCAN_FRAME) {
        FZ_CHECK(raw[0] == 0xAA && raw[1] == 0x55 && raw[8] == 0xFF && raw[9] == 0x00);
        FZ_CHECK(zs_cks(raw) == raw[7]);
        FZ_CHECK(f.addr == raw[2] && f.cmd == (raw[3] | raw[4] << 8) &&
                 f.val == (raw[5] | raw[6] << 8));
        t->framed += ZS_FRAME_LEN;
        ++t->frames;
    }
    FZ_CHECK(t->framed + t->junk.size() + s->n == t->fed);
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    zs_scanner s;
    tally t;
    for (size_t i = 0; i < size; ++i) feed(&s, data[i], &t);

    uint8_t good[ZS_FRAME_LEN];
    zs_frame_build(good, size ? data[0] : 1, 0x1234, 0x5678, ZS_END_PC);
    const size_t frames_before = t.frames;
    for (uint8_t b : good) feed(&s, b, &t);
    FZ_CHECK(t.frames > frames_before);

    uint32_t v = 0;
    const std::string text(reinterpret_cast<const char *>(data), size < 16 ? size : 16);
    if (zs_parse_u32(text, 0xFFFF, &v)) FZ_CHECK(v <= 0xFFFF);
    return 0;
}
