// One line of the simulator: the serial wire and the ring of monitors on it.
//
// Bytes come in with their arrival time, either straight from the serial side (a pty) or as
// the data bytes of converter pairs (TCP). The line is in one protocol mode at a time; one
// row of the mode table per mode names the rate and parity the monitors listen at in it and
// the input handler that reads the bytes. While the line runs at another rate, data bits or
// parity than the mode's, bytes arrive garbled and are dropped; otherwise the mode's handler
// takes them. A handler that changes the mode stops there, and the rest of the bytes is
// judged again under the new mode.
//
// Frame mode's handler is the frame decoder: each valid frame reaches the monitor it
// addresses, or, for address 0, every monitor of the ring, and the last monitor answers for
// the line. What a monitor does with a command is one row of the command table: the row names
// the firmware modes that know the command and the function that carries it out. Commands
// without a row, or whose row is not for the monitor's firmware, get a refusal frame. A
// command may ask the line to change its protocol mode (0x7000 does); that happens once its
// answer is queued. Every answer passes the fault rules and is queued with the time it may
// leave; with pacing, its bytes leave one byte time apart, at the rate of the mode it was
// given in (the acknowledgement of a mode change still at the old rate).
//
// To add a command: a row in cmd_tab. To add a protocol mode: a value in zs_line_mode, a row
// in mode_tab with its input handler and what entering it does (the loader modes' live in
// zs_loader.cpp), and a command or configuration that enters it with zs_line_set_mode.
//
// Sections: defaults and log; command table; frames and faults; modes; input; output;
// settings.
#include "zs_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

enum : size_t { ZS_KEYS_KEPT = 100000, ZS_EVENT_BYTES = 64 };

// ---- defaults and log ---------------------------------------------------------------------

zs_monitor zs_monitor_default(int nr) {
    zs_monitor m;
    m.disp = static_cast<uint16_t>((0x100 + nr) & 0xFFF);
    return m;
}

void zs_line_set_count(zs_line_cfg *lc, int n) {
    if (!lc) return;
    n = std::clamp(n, 1, 255);
    const size_t old = lc->mons.size();
    lc->mons.resize(static_cast<size_t>(n));
    for (size_t i = old; i < lc->mons.size(); ++i)
        lc->mons[i] = zs_monitor_default(static_cast<int>(i) + 1);
    if (lc->fs.size() > lc->mons.size()) lc->fs.resize(lc->mons.size());
}

void zs_log_add(zs_log *log, zs_event e) {
    e.seq = ++log->seq;
    e.ms = static_cast<uint32_t>(log->now / 1000);
    if (log->out) {
        std::fputs(zs_event_text(e).c_str(), log->out);
        std::fputc('\n', log->out);
        std::fflush(log->out);
    }
    log->events.push_back(std::move(e));
    while (log->events.size() > log->max_events) log->events.pop_front();
}

void zs_line_event(zs_line *l, zs_event_kind k, uint8_t mon, uint16_t cmd, uint16_t val,
                   const uint8_t *bytes, size_t n, std::string note) {
    zs_event e;
    e.line = l->index;
    e.mon = mon;
    e.kind = k;
    e.cmd = cmd;
    e.val = val;
    if (bytes && n) e.bytes.assign(bytes, bytes + std::min<size_t>(n, ZS_EVENT_BYTES));
    e.note = std::move(note);
    zs_log_add(l->log, std::move(e));
}

// ---- command table ------------------------------------------------------------------------

// Modes in which a command row is answered.
enum : uint8_t {
    M_GEN1 = 1,   // firmware of generation 1
    M_GEN2 = 2,   // firmware of generation 2
    M_GEN51 = 4,  // firmware of generation 51
    M_EXT = 8,    // firmware with extended information
    M_BOOT = 16,  // boot loader
    M_FW = M_GEN1 | M_GEN2 | M_GEN51,
    M_OLD = M_GEN1 | M_GEN51,  // generations 1 and 51 share their query set
};

static uint8_t mon_modes(const zs_monitor &m) {
    if (m.boot) return M_BOOT;
    const uint8_t g = m.gen == ZS_GEN2 ? M_GEN2 : m.gen == ZS_GEN1 ? M_GEN1 : M_GEN51;
    return static_cast<uint8_t>(g | (m.ext ? M_EXT : 0));
}

enum zs_verdict : uint8_t { V_ANSWER, V_REFUSE, V_QUIET };

struct zs_cmd_ctx {
    zs_line *l;
    zs_mon_state *m;
    uint8_t nr;    // number of the monitor carrying out the command
    uint8_t addr;  // address of the frame (0 = broadcast)
    uint16_t cmd, val;
    int64_t at;  // arrival of the frame's last byte (us)
};
typedef zs_verdict (*zs_cmd_fn)(zs_cmd_ctx *c, uint16_t *answer);

struct zs_cmd_row {
    uint16_t cmd;
    uint8_t modes;
    zs_cmd_fn fn;
    const char *name;
};

// Remote key: acknowledged with the value sent, and recorded.
static zs_verdict cmd_key(zs_cmd_ctx *c, uint16_t *answer) {
    if (c->m->keys.size() < ZS_KEYS_KEPT) c->m->keys.push_back(c->cmd);
    c->m->keys_total++;
    zs_line_event(c->l, ZS_EV_KEY, c->nr, c->cmd, c->val, nullptr, 0, "");
    *answer = c->val;
    return V_ANSWER;
}

// Ping: the low byte carries the monitor's number; for a broadcast the last monitor of the
// ring answers, so the line reports how many monitors it holds.
static zs_verdict cmd_ping(zs_cmd_ctx *c, uint16_t *answer) {
    const uint8_t n = c->addr == 0 ? static_cast<uint8_t>(c->l->mons.size()) : c->nr;
    *answer = static_cast<uint16_t>((c->val & 0xFF00) | n);
    return V_ANSWER;
}

void zs_mon_restart(zs_line *l, uint8_t nr, int64_t at, uint16_t cmd, uint16_t val,
                    const std::string &why) {
    zs_mon_state *m = &l->mons[nr - 1u];
    m->restarts++;
    zs_fs_reset(&m->fs);  // the session lives in the board's memory, the content in its flash
    m->silent_until = at + static_cast<int64_t>(m->cfg.restart_ms) * 1000;
    zs_line_event(l, ZS_EV_RESTART, nr, cmd, val, nullptr, 0,
                  (why.empty() ? "" : why + ": ") + "silent for " +
                      std::to_string(m->cfg.restart_ms) + " ms");
}

// Restart: the monitor reboots and says nothing until it is back. No answer is sent, because
// the program does not read one; an answer would wait in its input for the next command.
static zs_verdict cmd_restart(zs_cmd_ctx *c, uint16_t *) {
    zs_mon_restart(c->l, c->nr, c->at, c->cmd, c->val, "");
    return V_QUIET;
}

// Firmware loader start: the value is the code of the loader's rate. Acknowledged with the
// code; the line then reads firmware records at that rate (see zs_loader.cpp).
static zs_verdict cmd_fwload(zs_cmd_ctx *c, uint16_t *answer) {
    const uint32_t baud = zs_fwload_rate(c->val);
    if (!baud) return V_REFUSE;
    c->l->mode_req = true;
    c->l->req_mode = ZS_MODE_FWLOAD;
    c->l->req_baud = baud;
    *answer = c->val;
    return V_ANSWER;
}

// A file-system command (zs_fs.cpp) on the monitor's own file system.
template <bool (*op)(zs_fs_mon *, uint16_t, uint16_t *)>
static zs_verdict cmd_fs(zs_cmd_ctx *c, uint16_t *answer) {
    return op(&c->m->fs, c->val, answer) ? V_ANSWER : V_REFUSE;
}

// A query answered with one field of the monitor's identity, as it is.
template <auto field>
static zs_verdict q_field(zs_cmd_ctx *c, uint16_t *a) {
    *a = c->m->cfg.*field;
    return V_ANSWER;
}

// The display number has 12 bits.
static zs_verdict q_disp(zs_cmd_ctx *c, uint16_t *a) {
    *a = c->m->cfg.disp & 0xFFF;
    return V_ANSWER;
}

// Generation 2 answers type and revision in one word: board type in bits 8-11.
static zs_verdict q_typrev2(zs_cmd_ctx *c, uint16_t *a) {
    *a = static_cast<uint16_t>((c->m->cfg.rev & 0xF0FF) | (c->m->cfg.board_type & 0x0F) << 8);
    return V_ANSWER;
}

// Extended information: board type in the high byte, unless a value was set.
static zs_verdict q_b000(zs_cmd_ctx *c, uint16_t *a) {
    const zs_monitor &m = c->m->cfg;
    *a = m.b000 >= 0 ? static_cast<uint16_t>(m.b000)
                     : static_cast<uint16_t>(m.board_type << 8 | (m.rev & 0xFF));
    return V_ANSWER;
}

// The commands the monitors know. Later groups (boot loader transfer, EEPROM) add their rows
// here.
static const zs_cmd_row cmd_tab[] = {
    // remote keys
    {0x208B, M_FW, cmd_key, "key up"},
    {0x20B6, M_FW, cmd_key, "key left"},
    {0x20B7, M_FW, cmd_key, "key right"},
    {0x208D, M_FW, cmd_key, "key down"},
    {0x208C, M_FW, cmd_key, "key ok"},
    // ping and restart
    {0x5000, M_FW, cmd_ping, "ping"},
    {0x6009, M_FW, cmd_restart, "restart"},
    // file system
    {0x6000, M_FW, cmd_fs<zs_fs_select>, "fs: select"},
    {0x6001, M_FW, cmd_fs<zs_fs_read>, "fs: read word"},
    {0x6002, M_FW, cmd_fs<zs_fs_write>, "fs: write word"},
    {0x6003, M_FW, cmd_fs<zs_fs_delete>, "fs: delete"},
    {0x6004, M_FW, cmd_fs<zs_fs_create>, "fs: create"},
    {0x6005, M_FW, cmd_fs<zs_fs_session>, "fs: session"},
    // firmware update
    {0x7000, M_FW, cmd_fwload, "firmware loader start"},
    // identification, generations 1 and 51
    {0x08E4, M_OLD, q_field<&zs_monitor::board_type>, "board type"},
    {0x08E5, M_OLD, q_disp, "display number"},
    {0x08E6, M_OLD, q_field<&zs_monitor::rev>, "revision"},
    {0x08E7, M_OLD, q_field<&zs_monitor::date>, "date"},
    // identification, generation 2
    {0x0D31, M_GEN2, q_typrev2, "type and revision"},
    {0x0D32, M_GEN2, q_field<&zs_monitor::date>, "date"},
    {0x0D33, M_GEN2, q_disp, "display number"},
    // timing queries, every generation
    {0x08E8, M_FW, q_field<&zs_monitor::pclk>, "pixel clock"},
    {0x08E9, M_FW, q_field<&zs_monitor::hfreq>, "horizontal frequency"},
    {0x08EA, M_FW, q_field<&zs_monitor::vfreq>, "vertical frequency"},
    // extended information and the boot loader's queries
    {0xB000, M_EXT | M_BOOT, q_b000, "extended information"},
    {0xB001, M_BOOT, q_field<&zs_monitor::date>, "boot: date"},
    {0xB002, M_BOOT, q_field<&zs_monitor::variant>, "boot: firmware variant"},
    {0xB003, M_BOOT, q_disp, "boot: display number"},
};

static const zs_cmd_row *cmd_find(uint16_t cmd) {
    for (const zs_cmd_row &r : cmd_tab)
        if (r.cmd == cmd) return &r;
    return nullptr;
}

// True when no command has two rows (a second row would never be reached).
bool zs_cmd_table_ok() {
    for (size_t i = 0; i < std::size(cmd_tab); ++i)
        for (size_t j = i + 1; j < std::size(cmd_tab); ++j)
            if (cmd_tab[i].cmd == cmd_tab[j].cmd) return false;
    return true;
}

// Monitor `nr` carries out a command; `why` names the reason of a quiet verdict.
static zs_verdict mon_command(zs_line *l, uint8_t nr, const zs_frame &f, int64_t at,
                              uint16_t *answer, const char **why) {
    zs_mon_state *m = &l->mons[nr - 1u];
    if (at < m->silent_until) {
        *why = "restarting";
        return V_QUIET;
    }
    const zs_cmd_row *row = cmd_find(f.cmd);
    if (!row || !(row->modes & mon_modes(m->cfg))) return V_REFUSE;
    zs_cmd_ctx c{l, m, nr, f.addr, f.cmd, f.val, at};
    const zs_verdict v = row->fn(&c, answer);
    if (v == V_QUIET) *why = row->name;
    return v;
}

// ---- frames and faults --------------------------------------------------------------------

static bool fault_matches(zs_line *l, const zs_fault &r, const zs_reply &rp) {
    if (r.kind == ZS_F_DROP || r.kind >= ZS_F_COUNT) return false;
    if (r.kind == ZS_F_END && rp.end_at < 0) return false;
    if (r.kind == ZS_F_REFUSE && !rp.refused) return false;
    if (r.times && r.fired >= r.times) return false;
    if (r.nth && r.nth != rp.nth) return false;
    if (r.cmd >= 0 && r.cmd != rp.cmd) return false;
    if (r.mon >= 0 && r.mon != rp.addr) return false;
    if (r.ppm < 1000000 && l->rng() % 1000000 >= r.ppm) return false;
    return true;
}

void zs_line_faults(zs_line *l, const zs_reply &rp, std::vector<uint8_t> *ans, int64_t *delay_us) {
    for (size_t i = 0; i < l->cfg.faults.size(); ++i) {
        zs_fault &r = l->cfg.faults[i];
        if (!fault_matches(l, r, rp)) continue;
        r.fired++;
        zs_line_event(l, ZS_EV_FAULT, static_cast<uint8_t>(std::max(rp.addr, 0)),
                      static_cast<uint16_t>(i), r.arg, nullptr, 0, zs_fault_name(r.kind));
        const size_t cks = static_cast<size_t>(rp.cks_at), end = static_cast<size_t>(rp.end_at);
        switch (r.kind) {
        case ZS_F_SILENT: ans->clear(); return;
        case ZS_F_SHORT:
            if (r.arg < ans->size()) ans->resize(r.arg);
            break;
        case ZS_F_CKS:
            if (rp.refused)
                *ans = *rp.refused;
            else if (rp.cks_at >= 0 && ans->size() > cks)
                (*ans)[cks] = static_cast<uint8_t>((*ans)[cks] + 1);
            break;
        case ZS_F_END:
            if (ans->size() > end) (*ans)[end] = 0xEE;
            break;
        case ZS_F_REFUSE:
            *ans = *rp.refused;
            if (rp.refuse) *rp.refuse = true;
            break;
        case ZS_F_ECHO: ans->assign(rp.req, rp.req + rp.req_n); break;
        case ZS_F_DELAY: *delay_us += static_cast<int64_t>(r.arg) * 1000; break;
        case ZS_F_GARBAGE: {
            std::vector<uint8_t> g(std::min<uint32_t>(r.arg, 4096));
            for (uint8_t &b : g) b = static_cast<uint8_t>(l->rng());
            ans->insert(ans->begin(), g.begin(), g.end());
            break;
        }
        default: break;
        }
    }
}

static void frame_answer(zs_line *l, const zs_frame &f, const uint8_t raw[ZS_FRAME_LEN],
                         int64_t at) {
    l->stats.frames++;
    l->frame_no++;
    zs_line_event(l, ZS_EV_RX, f.addr, f.cmd, f.val, raw, ZS_FRAME_LEN, "");

    const size_t n = l->mons.size();
    zs_verdict v = V_QUIET;
    uint16_t answer = 0;
    uint8_t from = 0;
    const char *why = "no such monitor";
    if (f.addr == 0) {
        // A broadcast travels the whole ring; every monitor acts on it and the last one answers.
        for (size_t i = 1; i <= n; ++i) {
            uint16_t a = 0;
            const char *w = nullptr;
            const zs_verdict vi = mon_command(l, static_cast<uint8_t>(i), f, at, &a, &w);
            if (i == n) {
                v = vi;
                answer = a;
                from = static_cast<uint8_t>(i);
                why = w;
            }
        }
    } else if (f.addr <= n) {
        from = f.addr;
        v = mon_command(l, f.addr, f, at, &answer, &why);
    }
    if (v == V_QUIET) {
        l->stats.unanswered++;
        zs_line_event(l, ZS_EV_NO_ANSWER, f.addr, f.cmd, f.val, nullptr, 0, why ? why : "");
        return;
    }

    uint8_t fr[ZS_FRAME_LEN];
    if (v == V_ANSWER)
        zs_frame_build(fr, from, f.cmd, answer, ZS_END_ACK);
    else
        zs_frame_build(fr, from, f.cmd, f.val, ZS_END_REFUSE);
    std::vector<uint8_t> ans(fr, fr + ZS_FRAME_LEN);
    int64_t delay = 0;
    zs_reply rp;
    rp.req = raw;
    rp.req_n = ZS_FRAME_LEN;
    rp.cmd = f.cmd;
    rp.addr = f.addr;
    rp.nth = l->frame_no;
    rp.cks_at = 7;
    rp.end_at = 8;
    zs_line_faults(l, rp, &ans, &delay);
    if (ans.empty()) {
        l->stats.unanswered++;
        zs_line_event(l, ZS_EV_NO_ANSWER, from, f.cmd, f.val, nullptr, 0, "fault: silent");
        return;
    }
    if (v == V_ANSWER)
        l->stats.answers++;
    else
        l->stats.refusals++;
    zs_line_event(l, v == V_ANSWER ? ZS_EV_TX : ZS_EV_REFUSE, from, f.cmd,
                  v == V_ANSWER ? answer : f.val, ans.data(), ans.size(), "");
    zs_line_send(l, std::move(ans), at + delay);
}

// A valid frame: the monitors act on it and answer; then a mode change the command asked for.
static void line_frame(zs_line *l, const zs_frame &f, const uint8_t raw[ZS_FRAME_LEN], int64_t at) {
    l->mode_req = false;
    frame_answer(l, f, raw, at);
    if (!l->mode_req) return;
    l->mode_req = false;
    char why[48];
    std::snprintf(why, sizeof why, "command %04X %04X", f.cmd, f.val);
    zs_line_set_mode(l, l->req_mode, l->req_baud, why);
}

// Frame mode's input: the frame decoder. Stops after a frame that changed the mode.
static size_t frame_in(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt);

// ---- modes --------------------------------------------------------------------------------

// The protocol modes. Each row: the rate the monitors listen at (0 = given when the mode is
// entered: the configured rate, or the one the start command named), whether they expect the
// parity configured for the line (else none, 8N1), the handler of their input, and what
// entering the mode does (null: nothing; the boot loader's load begins at its record stage).
struct zs_mode_row {
    zs_line_mode mode;
    const char *name;
    uint32_t baud;
    bool line_parity;
    zs_mode_in_fn in;
    zs_mode_enter_fn enter;
};
static constexpr zs_mode_row mode_tab[] = {
    {ZS_MODE_FRAME, "frame", 0, true, frame_in, nullptr},
    {ZS_MODE_FWLOAD, "firmware loader", 0, true, zs_fwload_in, zs_fwload_enter},
    {ZS_MODE_BOOT, "boot loader", 57600, false, zs_boot_in, nullptr},
};
static_assert(std::size(mode_tab) == ZS_MODE_COUNT);
static constexpr bool mode_tab_ordered() {
    for (size_t i = 0; i < std::size(mode_tab); ++i)
        if (static_cast<size_t>(mode_tab[i].mode) != i) return false;
    return true;
}
static_assert(mode_tab_ordered(), "mode_tab is indexed by zs_line_mode");

const char *zs_mode_name(zs_line_mode m) { return m < ZS_MODE_COUNT ? mode_tab[m].name : "?"; }

void zs_line_set_mode(zs_line *l, zs_line_mode m, uint32_t baud, const std::string &why) {
    if (m >= ZS_MODE_COUNT) return;
    const zs_mode_row &r = mode_tab[m];
    l->mode = m;
    l->mode_baud = r.baud ? r.baud : baud;
    l->mode_parity = r.line_parity ? l->cfg.parity : 'N';
    l->ld = zs_loader{};
    l->scan = zs_scanner{};
    std::string note = std::string(r.name) + " at " + std::to_string(l->mode_baud) + " baud";
    if (l->mode_parity) note += std::string(", parity ") + l->mode_parity;
    zs_line_event(l, ZS_EV_MODE, 0, m, 0, nullptr, 0, note + ": " + why);
    if (r.enter) r.enter(l);
}

// ---- input --------------------------------------------------------------------------------

void zs_line_init(zs_line *l, uint8_t index, const zs_line_cfg &cfg, uint32_t seed, zs_log *log) {
    l->index = index;
    l->cfg = cfg;
    l->log = log;
    l->mons.clear();
    for (size_t i = 0; i < cfg.mons.size(); ++i) {
        zs_mon_state m;
        m.cfg = cfg.mons[i];
        if (i < cfg.fs.size()) m.fs.fs = cfg.fs[i];
        m.fs.capacity = cfg.fs_capacity;
        l->mons.push_back(std::move(m));
    }
    l->cfg.mons.clear();
    l->cfg.fs.clear();
    l->set = zs_line_settings{};
    l->set.baud = 9600;
    l->set.parity = cfg.kind == ZS_PTY ? '?' : 'E';
    l->rng.seed(seed + index);
    if (cfg.bootstrap) {
        zs_line_set_mode(l, ZS_MODE_BOOT, cfg.baud, "bootstrap line");
    } else {  // frame mode without an event: it is every line's normal state
        l->mode = ZS_MODE_FRAME;
        l->mode_baud = cfg.baud;
        l->mode_parity = cfg.parity;
    }
}

int64_t zs_line_byte_us(const zs_line *l) {
    const zs_line_settings &s = l->set;
    // The current mode's rate and parity. Where the monitors take either parity, count the
    // line's (a pty does not keep the parity bit: then count it, as even parity).
    const bool parity = l->mode_parity ? l->mode_parity != 'N' : s.parity != 'N';
    const int64_t bits = 1 + s.data_bits + (parity ? 1 : 0) + s.stop_bits;
    const int64_t baud = l->mode_baud ? l->mode_baud : 9600;
    return (bits * 1000000 + baud - 1) / baud;
}

// Why bytes on the line cannot be understood by the monitors in their current mode, or ""
// when they can.
static std::string line_garbled(const zs_line *l) {
    const zs_line_settings &s = l->set;
    const std::string who = l->mode == ZS_MODE_FRAME ? "monitors" : zs_mode_name(l->mode);
    if (s.baud != l->mode_baud)
        return "garbled: line at " + std::to_string(s.baud) + " baud, " + who + " at " +
               std::to_string(l->mode_baud);
    if (s.data_bits != 8) return "garbled: " + std::to_string(s.data_bits) + " data bits";
    if (l->mode_parity && s.parity != '?' && s.parity != l->mode_parity)
        return std::string("garbled: parity ") + s.parity + ", " + who + " expect" +
               (l->mode == ZS_MODE_FRAME ? " " : "s ") + l->mode_parity;
    return "";
}

void zs_line_bad(zs_line *l, const uint8_t *p, size_t n, const std::string &why) {
    if (!n) return;
    l->stats.bad_bytes += n;
    zs_line_event(l, ZS_EV_RX_BAD, 0, 0, 0, p, n, why + " (" + std::to_string(n) + " bytes)");
}

static void flush_junk(zs_line *l, const char *why) {
    zs_line_bad(l, l->junk.data(), l->junk.size(), why);
    l->junk.clear();
}

static size_t frame_in(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt) {
    for (size_t i = 0; i < n; ++i) {
        zs_frame f;
        uint8_t raw[ZS_FRAME_LEN];
        switch (zs_scan_byte(&l->scan, p[i], &f, raw, &l->junk)) {
        case ZS_SCAN_FRAME:
            flush_junk(l, "not a frame");
            line_frame(l, f, raw, base + static_cast<int64_t>(i + 1) * bt);
            if (l->mode != ZS_MODE_FRAME) return i + 1;
            break;
        case ZS_SCAN_BAD_CKS: flush_junk(l, "bad checksum"); break;
        case ZS_SCAN_BAD_END: flush_junk(l, "bad end code"); break;
        default: break;
        }
        if (l->junk.size() >= ZS_EVENT_BYTES) flush_junk(l, "not a frame");
    }
    flush_junk(l, "not a frame");
    return n;
}

void zs_line_serial_in(zs_line *l, const uint8_t *p, size_t n, int64_t now) {
    if (!p || !n) return;
    l->stats.bytes_in += n;
    const int64_t bt = l->cfg.pace ? zs_line_byte_us(l) : 0;
    const int64_t base = l->cfg.pace ? std::max(now, l->rx_free) : now;
    if (l->cfg.pace) l->rx_free = base + static_cast<int64_t>(n) * bt;

    if (l->cfg.loop) {
        l->stats.echoed += n;
        zs_line_event(l, ZS_EV_ECHO, 0, 0, 0, p, n, std::to_string(n) + " bytes");
        l->out.push_back(zs_chunk{base, 0, std::vector<uint8_t>(p, p + n), bt});
        return;
    }
    // Each piece goes to the handler of the mode it arrives in; a handler that changes the
    // mode leaves the rest to be judged under the new one.
    size_t i = 0;
    while (i < n) {
        const std::string garbled = line_garbled(l);
        if (!garbled.empty()) {
            zs_line_bad(l, p + i, n - i, garbled);
            return;
        }
        const size_t took =
            mode_tab[l->mode].in(l, p + i, n - i, base + static_cast<int64_t>(i) * bt, bt);
        i += std::max<size_t>(took, 1);
    }
}

// A converter parameter pair (code other than 0).
static void conv_param(zs_line *l, uint8_t code, uint8_t v) {
    zs_line_settings s = l->set;
    char note[64];
    switch (code) {
    case 1: {
        const uint32_t baud = zs_baud_of_code(v);
        if (!baud) {
            std::snprintf(note, sizeof note, "unknown baud code %u", v);
            zs_line_event(l, ZS_EV_CONVERTER, 0, code, v, nullptr, 0, note);
            return;
        }
        s.baud = baud;
        break;
    }
    case 2:
        if (!(v & 0x80)) {
            std::snprintf(note, sizeof note, "mode 0x%02X without bit 7", v);
            zs_line_event(l, ZS_EV_CONVERTER, 0, code, v, nullptr, 0, note);
        }
        s.parity = (v & 1) ? 'E' : 'N';
        break;
    case 3: s.flow = static_cast<char>(v); break;
    case 4: s.code4 = v; break;
    case 5: s.code5 = v; break;
    default:
        std::snprintf(note, sizeof note, "unknown code %u", code);
        zs_line_event(l, ZS_EV_CONVERTER, 0, code, v, nullptr, 0, note);
        return;
    }
    zs_line_settings_changed(l, s, "converter");
}

void zs_line_tcp_in(zs_line *l, const uint8_t *p, size_t n, int64_t now) {
    if (!p) return;
    uint8_t data[512];
    size_t nd = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!l->conv.half) {
            l->conv.code = p[i];
            l->conv.half = true;
            continue;
        }
        l->conv.half = false;
        if (l->conv.code == 0) {
            data[nd++] = p[i];
            if (nd == sizeof data) {
                zs_line_serial_in(l, data, nd, now);
                nd = 0;
            }
            continue;
        }
        // Data before a parameter went out under the old settings.
        zs_line_serial_in(l, data, nd, now);
        nd = 0;
        conv_param(l, l->conv.code, p[i]);
    }
    zs_line_serial_in(l, data, nd, now);
}

// ---- output -------------------------------------------------------------------------------

// The chunk keeps the byte time of the mode it is given in: a mode change that follows (the
// start of the firmware loader, the end of a load) does not change the pace of its bytes.
void zs_line_send(zs_line *l, std::vector<uint8_t> bytes, int64_t due) {
    if (bytes.empty()) return;
    const int64_t bt = l->cfg.pace ? zs_line_byte_us(l) : 0;
    l->out.push_back(zs_chunk{due, 0, std::move(bytes), bt});
}

int64_t zs_line_take_due(zs_line *l, int64_t now, std::vector<uint8_t> *dst) {
    while (!l->out.empty()) {
        zs_chunk &c = l->out.front();
        if (c.off >= c.bytes.size()) {
            l->out.pop_front();
            continue;
        }
        if (c.due > now) return c.due;
        if (!l->cfg.pace) {
            dst->insert(dst->end(), c.bytes.begin() + static_cast<std::ptrdiff_t>(c.off),
                        c.bytes.end());
            l->stats.bytes_out += c.bytes.size() - c.off;
            l->out.pop_front();
            continue;
        }
        // Paced: a byte is delivered once its last bit is on the wire, one byte time after
        // the line became free for it.
        const int64_t bt = c.bt;
        const int64_t ready = std::max(c.due + bt, l->tx_free);
        if (ready > now) return ready;
        dst->push_back(c.bytes[c.off++]);
        l->stats.bytes_out++;
        // The next byte follows on the wire's own clock: a late wake-up of this thread
        // must not stretch the line's timing byte after byte.
        l->tx_free = ready + bt;
    }
    return INT64_MAX;
}

// ---- settings -----------------------------------------------------------------------------

void zs_line_settings_changed(zs_line *l, const zs_line_settings &s, const char *why) {
    const zs_line_settings &o = l->set;
    const bool same = o.baud == s.baud && o.data_bits == s.data_bits && o.parity == s.parity &&
                      o.stop_bits == s.stop_bits && o.flow == s.flow && o.code4 == s.code4 &&
                      o.code5 == s.code5;
    const bool client_changed = o.client != s.client;
    l->set = s;
    if (same && !client_changed) return;
    char note[128];
    int k = std::snprintf(note, sizeof note, "%s: %u %u%c%u", why, s.baud, s.data_bits, s.parity,
                          s.stop_bits);
    if (l->cfg.kind == ZS_TCP && k > 0 && static_cast<size_t>(k) < sizeof note)
        k += std::snprintf(note + k, sizeof note - static_cast<size_t>(k),
                           ", flow %c, codes 4,5 = %u,%u",
                           s.flow >= 0x20 && s.flow < 0x7F ? s.flow : '?', s.code4, s.code5);
    if (!s.client && k > 0 && static_cast<size_t>(k) < sizeof note)
        std::snprintf(note + k, sizeof note - static_cast<size_t>(k), " (no client)");
    zs_line_event(l, ZS_EV_SETTINGS, 0, 0, 0, nullptr, 0, note);
}
