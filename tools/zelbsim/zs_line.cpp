// One line of the simulator: the serial wire and the ring of monitors on it.
//
// Bytes come in with their arrival time, either straight from the serial side (a pty) or as
// the data bytes of converter pairs (TCP). While the line runs at another rate than the
// monitors listen at, bytes arrive garbled and are dropped. Otherwise the frame decoder finds
// the frames; each valid frame reaches the monitor it addresses, or, for address 0, every
// monitor of the ring, and the last monitor answers for the line. What a monitor does with a
// command is one row of the command table: the row names the firmware modes that know the
// command and the function that carries it out. Commands without a row, or whose row is not
// for the monitor's mode, get a refusal frame. The answer then passes the fault rules and is
// queued with the time it may leave; with pacing, bytes leave one byte time apart.
//
// Sections: defaults and log; command table; frames and faults; input; output; settings.
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

// Restart: the monitor reboots and says nothing until it is back. No answer is sent, because
// the program does not read one; an answer would wait in its input for the next command.
static zs_verdict cmd_restart(zs_cmd_ctx *c, uint16_t *) {
    c->m->restarts++;
    c->m->silent_until = c->at + static_cast<int64_t>(c->m->cfg.restart_ms) * 1000;
    zs_line_event(c->l, ZS_EV_RESTART, c->nr, c->cmd, c->val, nullptr, 0,
                  "silent for " + std::to_string(c->m->cfg.restart_ms) + " ms");
    return V_QUIET;
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

// The commands the monitors know. Later groups (file system, firmware update, boot loader
// transfer, EEPROM) add their rows here.
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

static bool fault_matches(zs_line *l, const zs_fault &r, const zs_frame &f) {
    if (r.kind == ZS_F_DROP || r.kind >= ZS_F_COUNT) return false;
    if (r.times && r.fired >= r.times) return false;
    if (r.nth && r.nth != l->frame_no) return false;
    if (r.cmd >= 0 && r.cmd != f.cmd) return false;
    if (r.mon >= 0 && r.mon != f.addr) return false;
    if (r.ppm < 1000000 && l->rng() % 1000000 >= r.ppm) return false;
    return true;
}

// Passes an answer through the fault rules. May empty it (silence), change it, put garbage
// in front of it or add delay.
static void apply_faults(zs_line *l, const zs_frame &f, const uint8_t req[ZS_FRAME_LEN],
                         std::vector<uint8_t> *ans, int64_t *delay_us) {
    for (size_t i = 0; i < l->cfg.faults.size(); ++i) {
        zs_fault &r = l->cfg.faults[i];
        if (!fault_matches(l, r, f)) continue;
        r.fired++;
        zs_line_event(l, ZS_EV_FAULT, f.addr, static_cast<uint16_t>(i), r.arg, nullptr, 0,
                      zs_fault_name(r.kind));
        switch (r.kind) {
        case ZS_F_SILENT: ans->clear(); return;
        case ZS_F_SHORT:
            if (r.arg < ans->size()) ans->resize(r.arg);
            break;
        case ZS_F_CKS:
            if (ans->size() > 7) (*ans)[7] = static_cast<uint8_t>((*ans)[7] + 1);
            break;
        case ZS_F_END:
            if (ans->size() > 8) (*ans)[8] = 0xEE;
            break;
        case ZS_F_ECHO: ans->assign(req, req + ZS_FRAME_LEN); break;
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

static void line_frame(zs_line *l, const zs_frame &f, const uint8_t raw[ZS_FRAME_LEN], int64_t at) {
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
    apply_faults(l, f, raw, &ans, &delay);
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
    l->out.push_back(zs_chunk{at + delay, 0, std::move(ans)});
}

// ---- input --------------------------------------------------------------------------------

void zs_line_init(zs_line *l, uint8_t index, const zs_line_cfg &cfg, uint32_t seed, zs_log *log) {
    l->index = index;
    l->cfg = cfg;
    l->log = log;
    l->mons.clear();
    for (const zs_monitor &m : cfg.mons) l->mons.push_back(zs_mon_state{m, {}, 0, 0, 0});
    l->cfg.mons.clear();
    l->set = zs_line_settings{};
    l->set.baud = 9600;
    l->set.parity = cfg.kind == ZS_PTY ? '?' : 'E';
    l->rng.seed(seed + index);
}

int64_t zs_line_byte_us(const zs_line *l) {
    const zs_line_settings &s = l->set;
    // A pty does not keep the parity bit; count it as the monitors' setting (even by default).
    const bool parity = s.parity == '?' ? l->cfg.parity != 'N' : s.parity != 'N';
    const int64_t bits = 1 + s.data_bits + (parity ? 1 : 0) + s.stop_bits;
    const int64_t baud = s.baud ? s.baud : 9600;
    return (bits * 1000000 + baud - 1) / baud;
}

// Why bytes on the line cannot be understood by the monitors, or "" when they can.
static std::string line_garbled(const zs_line *l) {
    const zs_line_settings &s = l->set;
    if (s.baud != l->cfg.baud)
        return "garbled: line at " + std::to_string(s.baud) + " baud, monitors at " +
               std::to_string(l->cfg.baud);
    if (s.data_bits != 8) return "garbled: " + std::to_string(s.data_bits) + " data bits";
    if (l->cfg.parity && s.parity != '?' && s.parity != l->cfg.parity)
        return std::string("garbled: parity ") + s.parity + ", monitors expect " + l->cfg.parity;
    return "";
}

static void flush_junk(zs_line *l, const char *why) {
    if (l->junk.empty()) return;
    l->stats.bad_bytes += l->junk.size();
    zs_line_event(l, ZS_EV_RX_BAD, 0, 0, 0, l->junk.data(), l->junk.size(),
                  std::string(why) + " (" + std::to_string(l->junk.size()) + " bytes)");
    l->junk.clear();
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
        l->out.push_back(zs_chunk{base, 0, std::vector<uint8_t>(p, p + n)});
        return;
    }
    const std::string garbled = line_garbled(l);
    if (!garbled.empty()) {
        l->junk.assign(p, p + std::min<size_t>(n, ZS_EVENT_BYTES));
        l->stats.bad_bytes += n - l->junk.size();
        flush_junk(l, garbled.c_str());
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        zs_frame f;
        uint8_t raw[ZS_FRAME_LEN];
        switch (zs_scan_byte(&l->scan, p[i], &f, raw, &l->junk)) {
        case ZS_SCAN_FRAME:
            flush_junk(l, "not a frame");
            line_frame(l, f, raw, base + static_cast<int64_t>(i + 1) * bt);
            break;
        case ZS_SCAN_BAD_CKS: flush_junk(l, "bad checksum"); break;
        case ZS_SCAN_BAD_END: flush_junk(l, "bad end code"); break;
        default: break;
        }
        if (l->junk.size() >= ZS_EVENT_BYTES) flush_junk(l, "not a frame");
    }
    flush_junk(l, "not a frame");
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
        const int64_t bt = zs_line_byte_us(l);
        const int64_t ready = std::max(c.due + bt, l->tx_free);
        if (ready > now) return ready;
        dst->push_back(c.bytes[c.off++]);
        l->stats.bytes_out++;
        l->tx_free = now + bt;
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
