// Fuzz target: the converter packet stream of an IP link, on both of its ends.
//
// The simulator's end: the input, cut into pieces as TCP may deliver them, is
// what a client sends to a converter line of one to three monitors
// (zs_line_tcp_in): code/value pairs whose data bytes reach the monitors in
// whatever protocol mode the line is in. Its answers are taken off the line.
// The line must keep its bounds: a known mode, the event record at its size.
//
// The program's end: the input's bytes as the data of one write, packed by
// aknord_build with the parameters the first byte chooses, and given to a fresh
// converter line: every data byte (at most aknord_max_data) must arrive, and
// the converter must take the rate and parity the packet names.
#include <algorithm>
#include <vector>

#include "fuzz_common.h"
#include "velquor/link/com_aknord.h"
#include "velquor/link/com_link.h"
#include "zs_internal.h"

namespace {

zs_line_cfg line_cfg(int monitors) {
    zs_line_cfg c;
    c.kind = ZS_TCP;
    zs_line_set_count(&c, monitors);
    return c;
}

void simulator_end(const uint8_t *data, size_t size) {
    zs_log log;
    log.max_events = 64;
    zs_line l;
    zs_line_init(&l, 0, line_cfg(1 + data[0] % 3), 1, &log);
    const size_t piece = 1 + (data[0] >> 2);
    std::vector<uint8_t> out;
    int64_t now = 0;
    for (size_t i = 1; i < size; i += piece) {
        log.now = now;
        zs_line_tcp_in(&l, data + i, std::min(piece, size - i), now);
        zs_line_take_due(&l, now, &out);
        FZ_CHECK(l.mode < ZS_MODE_COUNT);
        FZ_CHECK(log.events.size() <= log.max_events);
        now += 1000000;  // a second between pieces: restarts end, delays run out
    }
    zs_line_take_due(&l, INT64_MAX - 1, &out);
    FZ_CHECK(l.stats.bytes_in <= size);
}

void program_end(const uint8_t *data, size_t size) {
    static const int32_t rates[] = {115200, 57600, 38400, 19200, 9600};
    ipcom_conf.baudrate = rates[data[0] % 5];
    ipcom_conf.par = (data[0] & 8) ? 'E' : 'N';
    static uint8_t packet[eth_buffer_size];
    const uint32_t n = static_cast<uint32_t>(size - 1);
    const uint32_t len = aknord_build(data + 1, n, packet);
    const uint32_t taken = std::min<uint32_t>(n, aknord_max_data);
    FZ_CHECK(len == 10 + 2 * taken && len <= eth_buffer_size);

    zs_log log;
    log.max_events = 8;
    zs_line l;
    zs_line_init(&l, 0, line_cfg(1), 1, &log);
    zs_line_tcp_in(&l, packet, len, 0);
    FZ_CHECK(l.stats.bytes_in == taken);
    FZ_CHECK(l.set.baud == static_cast<uint32_t>(ipcom_conf.baudrate));
    FZ_CHECK(l.set.parity == ipcom_conf.par);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fz_begin();
    if (size < 1) return 0;
    simulator_end(data, size);
    program_end(data, size);
    return 0;
}
