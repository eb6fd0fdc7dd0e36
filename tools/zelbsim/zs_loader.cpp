// The loader modes of a line: the firmware loader that command 0x7000 starts, and the boot
// loader of a board whose processor starts in its bootstrap mode.
//
// Both read binary firmware records (byte count n, address high and low, type, n data bytes,
// checksum; the sum of all bytes is 0 modulo 256) one at a time: a record is judged once its
// last byte is in, and what its type does is one row of the record table. The two modes
// differ in how they answer. The boot loader first goes through its stages; the stage is part
// of the mode's state, and the stage table names for each stage the handler of its input:
// what it expects, what it answers and which stage follows. The end-of-file record, once
// answered, restarts every monitor into its firmware and puts the line back in frame mode.
//
// A load, from entering the firmware loader or the boot loader's record stage on, writes the
// line's firmware image (zs_image.cpp): the data records' bytes at the addresses the extended
// address records make. A refused record, whether damaged or refused by a fault rule, is not
// kept.
//
// To accept another record type: a row in rec_tab. To add a boot loader stage: a value in
// zs_boot_stage and a row in stage_tab.
//
// Sections: rates; records; firmware loader; boot loader.
#include "zs_internal.h"

#include <algorithm>
#include <cstring>
#include <iterator>

enum : uint8_t {
    FW_ACK = 0xFF,       // firmware loader, one monitor: record taken
    FW_NAK = 0x00,       // ... refused
    BOOT_NAK = 0xFB,     // boot loader: record refused (taken: zs_line_cfg.boot_ack)
    BOOT_LOADED = 0xCC,  // the secondary loader is in and runs
};
enum : uint32_t { ZS_SECONDARY_MAX = 2048 };

// ---- rates --------------------------------------------------------------------------------

// The firmware loader's rates, by the code in command 0x7000's value.
struct zs_rate_row {
    uint16_t code;
    uint32_t baud;
};
static constexpr zs_rate_row fwload_rates[] = {
    {0, 9600}, {4, 19200}, {8, 38400}, {12, 115200}, {16, 288000}, {20, 384000}, {24, 576000},
};

uint32_t zs_fwload_rate(uint16_t code) {
    for (const zs_rate_row &r : fwload_rates)
        if (r.code == code) return r.baud;
    return 0;
}

// ---- records ------------------------------------------------------------------------------

// A load starts: a new firmware image.
static void load_begin(zs_line *l) {
    l->img = zs_image_store{};
    l->img.started = true;
}

// Data records go into the image at the extended address in force plus their own.
static bool rec_data(zs_line *l, const uint8_t *r) {
    l->stats.data_bytes += r[0];
    zs_image_put(&l->img, l->img.base + static_cast<uint32_t>(r[1] << 8 | r[2]), r + 4, r[0]);
    return false;
}
static bool rec_segment(zs_line *l, const uint8_t *r) {
    l->img.base = static_cast<uint32_t>(r[4] << 8 | r[5]) << 4;
    return false;
}
static bool rec_linear(zs_line *l, const uint8_t *r) {
    l->img.base = static_cast<uint32_t>(r[4] << 8 | r[5]) << 16;
    return false;
}
static bool rec_end(zs_line *l, const uint8_t *) {
    l->img.complete = true;
    return true;
}
static bool rec_take(zs_line *, const uint8_t *) { return false; }

// The record types. Each row: the type, the number of data bytes it must carry (-1 = any),
// and what taking it does (true: the load is complete).
struct zs_rec_row {
    uint8_t type;
    int16_t len;
    bool (*take)(zs_line *l, const uint8_t *rec);
    const char *name;
};
static constexpr zs_rec_row rec_tab[] = {
    {0x00, -1, rec_data, "data"},
    {0x01, 0, rec_end, "end of file"},
    {0x02, 2, rec_segment, "extended segment address"},
    {0x03, 4, rec_take, "start segment address"},
    {0x04, 2, rec_linear, "extended linear address"},
    {0x05, 4, rec_take, "start linear address"},
};
static constexpr bool rec_tab_unique() {
    for (size_t i = 0; i < std::size(rec_tab); ++i)
        for (size_t j = i + 1; j < std::size(rec_tab); ++j)
            if (rec_tab[i].type == rec_tab[j].type) return false;
    return true;
}
static_assert(rec_tab_unique(), "a record type has two rows");

static const zs_rec_row *rec_find(uint8_t type) {
    for (const zs_rec_row &r : rec_tab)
        if (r.type == type) return &r;
    return nullptr;
}

// Collects the bytes of the record under way; returns how many it took. A record waits for
// all of its bytes, however they are split.
static bool rec_complete(const zs_loader *ld) { return ld->n > 0 && ld->n == ld->buf[0] + 5u; }
static size_t rec_collect(zs_loader *ld, const uint8_t *p, size_t n) {
    size_t i = 0;
    while (i < n && !rec_complete(ld)) ld->buf[ld->n++] = p[i++];
    return i;
}

// The answer a mode gives to a record of n bytes.
typedef std::vector<uint8_t> (*zs_rec_answer_fn)(const zs_line *l, const uint8_t *rec, size_t n,
                                                 bool good);

// The end of a load: every monitor restarts into its firmware, and the line is back in frame
// mode at its configured rate.
static void load_end(zs_line *l, int64_t at) {
    for (size_t i = 1; i <= l->mons.size(); ++i)
        zs_mon_restart(l, static_cast<uint8_t>(i), at, 0, 0, "firmware loaded");
    zs_line_set_mode(l, ZS_MODE_FRAME, l->cfg.baud, "firmware loaded");
}

// The complete record in ld.buf, last byte in at `at`: judged by the record table, answered
// through the fault rules (a refuse rule refuses a good one). Returns true when it ended the
// load (the line is in frame mode).
static bool rec_done(zs_line *l, int64_t at, zs_rec_answer_fn answer) {
    zs_loader *ld = &l->ld;
    const uint8_t *r = ld->buf;
    const size_t n = ld->n;
    ld->n = 0;
    ld->rec_no++;
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + r[i]);
    const zs_rec_row *row = rec_find(r[3]);
    const char *why = sum                                 ? "bad checksum"
                      : !row                              ? "unknown type"
                      : row->len >= 0 && row->len != r[0] ? "bad length"
                                                          : nullptr;
    std::vector<uint8_t> ans = answer(l, r, n, !why);
    const std::vector<uint8_t> refused = answer(l, r, n, false);
    bool refuse = false;
    zs_reply rp;
    rp.req = r;
    rp.req_n = n;
    rp.nth = ld->rec_no;
    rp.refused = &refused;
    rp.refuse = &refuse;
    int64_t delay = 0;
    zs_line_faults(l, rp, &ans, &delay);
    if (refuse && !why) why = "fault";

    std::string note = why ? std::string("refused: ") + why : std::string(row->name);
    if (!why && r[3] == 0x00) note += ", " + std::to_string(r[0]) + " bytes";
    note += ans.empty()       ? "; no answer"
            : ans.size() == 1 ? "; answer " + zs_hex(ans.data(), 1)
                              : "; answer of " + std::to_string(ans.size()) + " bytes";
    zs_line_event(l, why ? ZS_EV_REFUSE : ZS_EV_RECORD, 0, r[3],
                  static_cast<uint16_t>(r[1] << 8 | r[2]), r, n, note);
    bool end = false;
    if (why) {
        l->stats.bad_records++;
        l->img.refused++;
    } else {
        l->stats.records++;
        l->img.records++;
        end = row->take(l, r);
    }
    zs_line_send(l, std::move(ans), at + delay);
    if (end) load_end(l, at);
    return end;
}

// Feeds bytes to the records of a loader mode; stops after the record that ended the load.
static size_t records_in(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt,
                         zs_rec_answer_fn answer) {
    size_t i = 0;
    while (i < n) {
        i += rec_collect(&l->ld, p + i, n - i);
        if (rec_complete(&l->ld) && rec_done(l, base + static_cast<int64_t>(i) * bt, answer))
            return i;
    }
    return n;
}

// ---- firmware loader ----------------------------------------------------------------------

// One monitor answers one byte. In a ring of several each passes the record on and the last
// one sends it back; a refused record comes back with its last byte changed, so that the
// program's comparison fails.
static std::vector<uint8_t> fwload_answer(const zs_line *l, const uint8_t *rec, size_t n,
                                          bool good) {
    if (l->mons.size() == 1) return {good ? FW_ACK : FW_NAK};
    std::vector<uint8_t> a(rec, rec + n);
    if (!good) a.back() = static_cast<uint8_t>(~a.back());
    return a;
}

size_t zs_fwload_in(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt) {
    return records_in(l, p, n, base, bt, fwload_answer);
}

void zs_fwload_enter(zs_line *l) { load_begin(l); }

// ---- boot loader --------------------------------------------------------------------------

static void boot_stage(zs_line *l, zs_boot_stage s, const uint8_t *bytes, size_t n,
                       const std::string &note) {
    l->ld.stage = s;
    zs_line_event(l, ZS_EV_STAGE, 0, s, 0, bytes, n,
                  std::string(zs_boot_stage_name(s)) + ": " + note);
}

// Stage 1: a byte 00 is answered with the identification byte; other bytes are not for the
// boot loader.
static size_t boot_ident(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt) {
    size_t i = 0;
    while (i < n && p[i] != 0x00) ++i;
    zs_line_bad(l, p, i, "boot loader waits for 00");
    if (i == n) return n;
    const uint8_t id = l->cfg.boot_id;
    zs_line_send(l, {id}, base + static_cast<int64_t>(i + 1) * bt);
    boot_stage(l, ZS_BOOT_PRIMARY, nullptr, 0, "identified with " + zs_hex(&id, 1));
    return i + 1;
}

// Stage 2: the 32 bytes of the primary loader, unanswered. Its words at offsets 6 and 24 are
// the first and last address of the secondary loader; a length out of 1..2048 is not loaded
// and the board waits for 00 again.
static size_t boot_primary(zs_line *l, const uint8_t *p, size_t n, int64_t, int64_t) {
    zs_loader *ld = &l->ld;
    const size_t take = std::min(n, ZS_PRIMARY_LEN - ld->n);
    std::memcpy(ld->buf + ld->n, p, take);
    ld->n += take;
    if (ld->n < ZS_PRIMARY_LEN) return take;
    ld->n = 0;
    const uint32_t load = ld->buf[6] | ld->buf[7] << 8, last = ld->buf[24] | ld->buf[25] << 8;
    const int64_t len = static_cast<int64_t>(last) - load + 1;
    char note[96];
    std::snprintf(note, sizeof note, "secondary loader %04X..%04X, %lld bytes", load, last,
                  static_cast<long long>(len));
    if (len < 1 || len > ZS_SECONDARY_MAX) {
        boot_stage(l, ZS_BOOT_IDENT, ld->buf, ZS_PRIMARY_LEN,
                   std::string("primary loader refused: ") + note);
        return take;
    }
    ld->left = static_cast<uint32_t>(len);
    boot_stage(l, ZS_BOOT_SECONDARY, ld->buf, ZS_PRIMARY_LEN, note);
    return take;
}

// Stage 3: each byte of the secondary loader is echoed; 0xCC follows the last one.
static size_t boot_secondary(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt) {
    zs_loader *ld = &l->ld;
    size_t i = 0;
    while (i < n && ld->left) {
        std::vector<uint8_t> a{p[i]};
        if (--ld->left == 0) a.push_back(BOOT_LOADED);
        zs_line_send(l, std::move(a), base + static_cast<int64_t>(++i) * bt);
    }
    if (ld->left) return i;
    boot_stage(l, ZS_BOOT_RECORDS, nullptr, 0, "secondary loader runs");
    load_begin(l);
    return i;
}

// Stage 4: firmware records, answered with one byte.
static std::vector<uint8_t> boot_answer(const zs_line *l, const uint8_t *, size_t, bool good) {
    return {good ? l->cfg.boot_ack : static_cast<uint8_t>(BOOT_NAK)};
}
static size_t boot_records(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt) {
    return records_in(l, p, n, base, bt, boot_answer);
}

// The stages, in the order of the exchange; each handler moves the line on to the next.
struct zs_stage_row {
    zs_boot_stage stage;
    const char *name;
    zs_mode_in_fn in;
};
static constexpr zs_stage_row stage_tab[] = {
    {ZS_BOOT_IDENT, "identification", boot_ident},
    {ZS_BOOT_PRIMARY, "primary loader", boot_primary},
    {ZS_BOOT_SECONDARY, "secondary loader", boot_secondary},
    {ZS_BOOT_RECORDS, "firmware records", boot_records},
};
static_assert(std::size(stage_tab) == ZS_BOOT_STAGE_COUNT);
static constexpr bool stage_tab_ordered() {
    for (size_t i = 0; i < std::size(stage_tab); ++i)
        if (static_cast<size_t>(stage_tab[i].stage) != i) return false;
    return true;
}
static_assert(stage_tab_ordered(), "stage_tab is indexed by zs_boot_stage");

const char *zs_boot_stage_name(zs_boot_stage s) {
    return s < ZS_BOOT_STAGE_COUNT ? stage_tab[s].name : "?";
}

size_t zs_boot_in(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt) {
    size_t i = 0;
    while (i < n && l->mode == ZS_MODE_BOOT)
        i += stage_tab[l->ld.stage].in(l, p + i, n - i, base + static_cast<int64_t>(i) * bt, bt);
    return i;
}
