// The simulator's own frame codec and small helpers: building and checking 10-byte frames,
// finding frames in a stream that may hold garbage or broken frames, converter baud codes,
// the texts of results, faults and events, and strict number parsing for the options.
// It is written independently of the program's link layer on purpose: a test peer that
// shared the program's code would share its misunderstandings too.
#include "zs_internal.h"

#include <cstring>
#include <iterator>

uint8_t zs_cks(const uint8_t *f) {
    unsigned sum = 0;
    for (int i = 2; i <= 6; ++i) sum += f[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

void zs_frame_build(uint8_t out[ZS_FRAME_LEN], uint8_t addr, uint16_t cmd, uint16_t val,
                    uint16_t end_code) {
    out[0] = ZS_START & 0xFF;
    out[1] = ZS_START >> 8;
    out[2] = addr;
    out[3] = cmd & 0xFF;
    out[4] = cmd >> 8;
    out[5] = val & 0xFF;
    out[6] = val >> 8;
    out[7] = zs_cks(out);
    out[8] = end_code & 0xFF;
    out[9] = end_code >> 8;
}

// Drops buf[0..k-1] of the candidate into `junk` and keeps the rest.
static void scan_shift(zs_scanner *s, uint8_t k, std::vector<uint8_t> *junk) {
    if (junk) junk->insert(junk->end(), s->buf, s->buf + k);
    std::memmove(s->buf, s->buf + k, s->n - k);
    s->n = static_cast<uint8_t>(s->n - k);
}

// After a failed candidate: resynchronises on the next AA 55 (or a trailing AA).
static void scan_resync(zs_scanner *s, std::vector<uint8_t> *junk) {
    uint8_t k = 1;
    while (k < s->n) {
        if (s->buf[k] == 0xAA && (k + 1 == s->n || s->buf[k + 1] == 0x55)) break;
        ++k;
    }
    scan_shift(s, k, junk);
}

zs_scan_result zs_scan_byte(zs_scanner *s, uint8_t b, zs_frame *f, uint8_t raw[ZS_FRAME_LEN],
                            std::vector<uint8_t> *junk) {
    if (s->n >= ZS_FRAME_LEN) s->n = 0;  // cannot happen; keeps the buffer bounded regardless
    s->buf[s->n++] = b;
    if (s->n == 1 && b != 0xAA) {
        scan_shift(s, 1, junk);
        return ZS_SCAN_MORE;
    }
    if (s->n == 2 && b != 0x55) {
        scan_resync(s, junk);
        return ZS_SCAN_MORE;
    }
    if (s->n < ZS_FRAME_LEN) return ZS_SCAN_MORE;

    const bool end_ok = s->buf[8] == (ZS_END_PC & 0xFF) && s->buf[9] == (ZS_END_PC >> 8);
    const bool cks_ok = zs_cks(s->buf) == s->buf[7];
    if (end_ok && cks_ok) {
        std::memcpy(raw, s->buf, ZS_FRAME_LEN);
        f->addr = s->buf[2];
        f->cmd = static_cast<uint16_t>(s->buf[3] | s->buf[4] << 8);
        f->val = static_cast<uint16_t>(s->buf[5] | s->buf[6] << 8);
        s->n = 0;
        return ZS_SCAN_FRAME;
    }
    scan_resync(s, junk);
    return end_ok ? ZS_SCAN_BAD_CKS : ZS_SCAN_BAD_END;
}

uint32_t zs_baud_of_code(uint8_t code) {
    switch (code) {
    case 1: return 115200;
    case 2: return 57600;
    case 3: return 38400;
    case 4: return 19200;
    case 5: return 9600;  // "any other rate": the converter runs the command rate
    default: return 0;
    }
}

// ---- texts --------------------------------------------------------------------------------

static const char *const result_text[] = {
    "ok",                                // ZS_OK
    "bad argument",                      // ZS_BAD_ARG
    "system call failed",                // ZS_SYS
    "path exists and is not a symlink",  // ZS_EXISTS
    "time-out",                          // ZS_TIMEOUT
    "help requested",                    // ZS_HELP
    "version requested",                 // ZS_VERSION
};
static_assert(std::size(result_text) == ZS_RESULT_COUNT);

const char *zs_strerror(int rc) {
    if (rc < 0 || rc >= ZS_RESULT_COUNT) return "unknown result";
    return result_text[rc];
}

static const char *const fault_text[] = {
    "silent", "short", "cks", "end", "echo", "delay", "garbage", "drop", "refuse",
};
static_assert(std::size(fault_text) == ZS_F_COUNT);

const char *zs_fault_name(zs_fault_kind k) { return k < ZS_F_COUNT ? fault_text[k] : "?"; }

static const char *const event_text[] = {
    "RX",       // ZS_EV_RX
    "BAD",      // ZS_EV_RX_BAD
    "TX",       // ZS_EV_TX
    "REFUSE",   // ZS_EV_REFUSE
    "NOANS",    // ZS_EV_NO_ANSWER
    "KEY",      // ZS_EV_KEY
    "RESTART",  // ZS_EV_RESTART
    "LINE",     // ZS_EV_SETTINGS
    "CONV",     // ZS_EV_CONVERTER
    "CONNECT",  // ZS_EV_CONNECT
    "DISCONN",  // ZS_EV_DISCONNECT
    "FAULT",    // ZS_EV_FAULT
    "ECHO",     // ZS_EV_ECHO
    "MODE",     // ZS_EV_MODE
    "STAGE",    // ZS_EV_STAGE
    "RECORD",   // ZS_EV_RECORD
};
static_assert(std::size(event_text) == ZS_EV_COUNT);

const char *zs_event_name(zs_event_kind k) { return k < ZS_EV_COUNT ? event_text[k] : "?"; }

std::string zs_hex(const uint8_t *p, size_t n) {
    std::string s;
    s.reserve(n * 3);
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02X", p[i]);
        if (i) s += ' ';
        s += b;
    }
    return s;
}

std::string zs_event_text(const zs_event &e) {
    char head[96];
    std::snprintf(head, sizeof head, "%6u.%03u L%u M%-3u %-7s %04X %04X", e.ms / 1000, e.ms % 1000,
                  e.line + 1u, e.mon, zs_event_name(e.kind), e.cmd, e.val);
    std::string s = head;
    if (!e.bytes.empty()) s += "  " + zs_hex(e.bytes.data(), e.bytes.size());
    if (!e.note.empty()) s += "  " + e.note;
    return s;
}

bool zs_parse_u32(const std::string &s, uint32_t max, uint32_t *out) {
    if (s.empty() || s.size() > 12) return false;
    uint64_t v = 0;
    size_t i = 0;
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    } else if (s.size() > 1 && s[0] == '0') {
        return false;  // no leading zeros: "010" is not a number here
    }
    for (; i < s.size(); ++i) {
        const char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        v = v * base + d;
        if (v > max) return false;
    }
    *out = static_cast<uint32_t>(v);
    return true;
}
