// The monitors' file system: the commands that walk, read, delete and write it, random content
// of the kinds a monitor holds, and the dump files it is seeded from and written out to.
//
// The commands work on one monitor's zs_fs_mon; zs_line.cpp's command table calls them, so
// that the fault rules, refusals and broadcasts apply to them like to every other command. The
// cursor is the index of the entry that "select next" answers; a deletion leaves it at the
// index of the deleted entry, where the entry that followed now is. Gamma tables are outside
// the list: selecting one moves no cursor.
//
// Sections: commands; checks; random content; dump files.
#include "zs_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

enum : uint16_t { FS_NONE = 0xFFFF, FS_GAMMA_ID = 0xFF00 };
enum : size_t { FS_COLOUR_WORDS = 8, FS_POINT_AT = 1 + FS_COLOUR_WORDS, FS_POINTS_MAX = 32 };
enum : uint32_t { FS_FILE_ENTRIES_MAX = 65535 };

static constexpr uint8_t gamma_nrs[ZS_GAMMA_TABLES] = {0xC1, 0x41, 0xC9, 0x49};

uint8_t zs_gamma_nr(size_t ix) { return ix < ZS_GAMMA_TABLES ? gamma_nrs[ix] : 0; }

int zs_gamma_index(uint32_t nr) {
    for (size_t i = 0; i < ZS_GAMMA_TABLES; ++i)
        if (gamma_nrs[i] == nr) return static_cast<int>(i);
    return -1;
}

// Gamma table index of an identifier 0xFF00 + number; -1 when it names none.
static int gamma_of_id(uint16_t id) {
    return (id & 0xFF00) == FS_GAMMA_ID ? zs_gamma_index(id & 0xFFu) : -1;
}

// ---- commands -----------------------------------------------------------------------------

void zs_fs_reset(zs_fs_mon *m) {
    m->next = 0;
    m->sel = ZS_FS_NONE;
    m->rd = 0;
    m->wr = ZS_FS_NONE;
}

static void select_item(zs_fs_mon *m, zs_fs_item kind, size_t ix) {
    m->sel = kind;
    m->sel_ix = ix;
    m->rd = 0;
}

bool zs_fs_session(zs_fs_mon *m, uint16_t, uint16_t *answer) {
    zs_fs_reset(m);
    *answer = 0;
    return true;
}

// 0: the entry after the cursor; an identifier: the first entry (or gamma table) with it.
bool zs_fs_select(zs_fs_mon *m, uint16_t val, uint16_t *answer) {
    const std::vector<std::array<uint16_t, ZS_FS_WORDS>> &e = m->fs.entries;
    m->sel = ZS_FS_NONE;
    *answer = FS_NONE;
    if (val == 0) {
        if (m->next >= e.size()) return true;
        select_item(m, ZS_FS_ENTRY, m->next);
        *answer = e[m->next++][0];
        return true;
    }
    const int g = gamma_of_id(val);
    if (g >= 0) {
        if (m->fs.gamma[g].empty()) return true;
        select_item(m, ZS_FS_GAMMA, static_cast<size_t>(g));
        *answer = val;
        return true;
    }
    for (size_t i = 0; i < e.size(); ++i) {
        if (e[i][0] != val) continue;
        select_item(m, ZS_FS_ENTRY, i);
        m->next = i + 1;
        *answer = val;
        return true;
    }
    return true;
}

bool zs_fs_read(zs_fs_mon *m, uint16_t, uint16_t *answer) {
    *answer = FS_NONE;
    if (m->sel == ZS_FS_ENTRY) {
        if (m->rd < ZS_FS_WORDS) *answer = m->fs.entries[m->sel_ix][m->rd++];
    } else if (m->sel == ZS_FS_GAMMA) {
        const std::vector<uint16_t> &g = m->fs.gamma[m->sel_ix];
        if (m->rd < g.size()) *answer = g[m->rd++];
    }
    return true;
}

bool zs_fs_delete(zs_fs_mon *m, uint16_t, uint16_t *answer) {
    if (m->sel == ZS_FS_NONE) return false;
    const size_t ix = m->sel_ix;
    if (m->sel == ZS_FS_ENTRY) {
        m->fs.entries.erase(m->fs.entries.begin() + static_cast<std::ptrdiff_t>(ix));
        m->next = ix;
        if (m->wr == ZS_FS_ENTRY && m->wr_ix == ix)
            m->wr = ZS_FS_NONE;
        else if (m->wr == ZS_FS_ENTRY && m->wr_ix > ix)
            m->wr_ix--;
    } else {
        m->fs.gamma[ix].clear();
        if (m->wr == ZS_FS_GAMMA && m->wr_ix == ix) m->wr = ZS_FS_NONE;
    }
    m->sel = ZS_FS_NONE;
    *answer = 0;
    return true;
}

// A new entry at the end, or a gamma table afresh. Whatever was being written is closed first,
// so that a refused create cannot leave the writes that follow going into the item before.
bool zs_fs_create(zs_fs_mon *m, uint16_t val, uint16_t *answer) {
    m->wr = ZS_FS_NONE;
    const int g = gamma_of_id(val);
    if (g >= 0) {
        const size_t ix = static_cast<size_t>(g);
        m->fs.gamma[ix].assign(1, val);
        if (m->sel == ZS_FS_GAMMA && m->sel_ix == ix) m->sel = ZS_FS_NONE;
        m->wr = ZS_FS_GAMMA;
        m->wr_ix = ix;
        *answer = val;
        return true;
    }
    // 0 selects "the next entry" and 0xFFFF answers "none": no entry can be found by them.
    if (val == 0 || val == FS_NONE || m->fs.entries.size() >= m->capacity) return false;
    std::array<uint16_t, ZS_FS_WORDS> e;
    e.fill(FS_NONE);
    e[0] = val;
    m->fs.entries.push_back(e);
    m->wr = ZS_FS_ENTRY;
    m->wr_ix = m->fs.entries.size() - 1;
    m->wr_n = 1;
    *answer = val;
    return true;
}

bool zs_fs_write(zs_fs_mon *m, uint16_t val, uint16_t *answer) {
    if (m->wr == ZS_FS_ENTRY) {
        if (m->wr_n >= ZS_FS_WORDS) return false;
        m->fs.entries[m->wr_ix][m->wr_n++] = val;
    } else if (m->wr == ZS_FS_GAMMA) {
        std::vector<uint16_t> &g = m->fs.gamma[m->wr_ix];
        if (g.size() >= ZS_GAMMA_WORDS) return false;
        g.push_back(val);
    } else {
        return false;
    }
    *answer = val;
    return true;
}

// ---- checks -------------------------------------------------------------------------------

std::string zs_fs_check(const zs_fs &fs, uint32_t capacity) {
    if (fs.entries.size() > capacity)
        return std::to_string(fs.entries.size()) + " entries, more than the capacity of " +
               std::to_string(capacity);
    for (size_t i = 0; i < ZS_GAMMA_TABLES; ++i) {
        const std::vector<uint16_t> &g = fs.gamma[i];
        char nr[8];
        std::snprintf(nr, sizeof nr, "%02X", zs_gamma_nr(i));
        if (!g.empty() && g[0] != (FS_GAMMA_ID | zs_gamma_nr(i)))
            return std::string("gamma table ") + nr + " without its identifier";
        if (g.size() > ZS_GAMMA_WORDS)
            return std::string("gamma table ") + nr + " longer than " +
                   std::to_string(ZS_GAMMA_WORDS) + " words";
    }
    return "";
}

// ---- random content -----------------------------------------------------------------------

typedef std::array<uint16_t, ZS_FS_WORDS> fs_entry;

static uint32_t pick(std::mt19937 *rng, uint32_t lo, uint32_t hi) {
    return lo + (*rng)() % (hi - lo + 1);
}

// Settings of a kind the firmware does not explain: a few small values.
static void fill_values(fs_entry *e, std::mt19937 *rng) {
    const uint32_t n = pick(rng, 1, ZS_FS_WORDS - 1);
    for (uint32_t i = 1; i <= n; ++i)
        (*e)[i] =
            static_cast<uint16_t>(pick(rng, 0, 3) == 0 ? pick(rng, 0, 1023) : pick(rng, 0, 100));
}

static const uint16_t resolutions[][2] = {{640, 480},   {720, 400},   {800, 600},
                                          {1024, 768},  {1280, 720},  {1280, 1024},
                                          {1600, 1200}, {1680, 1050}, {1920, 1080}};

// Groups of four words: a resolution and the one it is shown as.
static void fill_timing(fs_entry *e, std::mt19937 *rng) {
    const uint32_t groups = pick(rng, 1, (ZS_FS_WORDS - 1) / 4);
    for (uint32_t k = 0; k < groups; ++k) {
        const uint16_t *from = resolutions[pick(rng, 0, std::size(resolutions) - 1)];
        const uint16_t *to = resolutions[pick(rng, 0, std::size(resolutions) - 1)];
        const uint16_t w[4] = {from[0], from[1], to[0], to[1]};
        std::copy(w, w + 4, e->begin() + 1 + 4 * k);
    }
}

// Video modes as a monitor measures them: total lines and line frequency at a field rate.
static const struct {
    uint16_t w, h, lines;
} modes[] = {{640, 480, 525},    {720, 400, 449},    {800, 600, 628},    {1024, 768, 806},
             {1280, 1024, 1066}, {1680, 1050, 1089}, {1920, 1080, 1125}, {1280, 720, 750}};

// Word 1 the field-rate divisor (total lines), word 2 the line frequency / 4 in Hz, so that
// word 2 * 4 / word 1 is the field rate; word 3 the total lines measured; words 4, 5 the
// resolution.
static void fill_mode(fs_entry *e, std::mt19937 *rng) {
    const auto &m = modes[pick(rng, 0, std::size(modes) - 1)];
    const uint32_t rate = pick(rng, 50, 85);
    (*e)[1] = m.lines;
    (*e)[2] = static_cast<uint16_t>((m.lines * rate + 2) / 4);
    (*e)[3] = static_cast<uint16_t>(m.lines + pick(rng, 0, 2));
    (*e)[4] = m.w;
    (*e)[5] = m.h;
}

// x and y of a white point, times 1000, near D65.
static void fill_white(fs_entry *e, std::mt19937 *rng) {
    (*e)[1] = static_cast<uint16_t>(pick(rng, 280, 330));
    (*e)[2] = static_cast<uint16_t>(pick(rng, 290, 340));
}

// The classes of entries: class byte, range of the high byte, how the words are filled.
static const struct {
    uint8_t cls, hi_min, hi_max;
    void (*fill)(fs_entry *e, std::mt19937 *rng);
} classes[] = {
    {0xA1, 0, 3, fill_values},        // internal data
    {0xA2, 0, 3, fill_timing},        // timing list
    {0xA3, 0x11, 0x34, fill_values},  // item list, by selector
    {0xA7, 0, 7, fill_values},        // input settings
    {0xA8, 0, 7, fill_values},        // input settings
    {0xA9, 0, 4, fill_values},        // user
    {0xAA, 0, 7, fill_values},        // item list
    {0xAC, 0, 1, fill_values},        // display
    {0xAD, 0, 1, fill_values},        // global
    {0xAE, 0, 7, fill_mode},          // mode data, by input
    {0xAF, 0, 7, fill_values},        // video mode data
    {0xC4, 0, 3, fill_values},        // other settings
    {0xC5, 0, 3, fill_values},        // other settings
    {0xC7, 0, 44, fill_white},        // white point
};

void zs_fs_random_entries(zs_fs *fs, uint32_t n, std::mt19937 *rng) {
    std::set<uint16_t> used;
    for (const fs_entry &e : fs->entries) used.insert(e[0]);
    for (uint32_t k = 0; k < n; ++k) {
        // A few tries for an identifier not yet used; the small classes run out of them.
        size_t c = 0;
        uint16_t id = 0;
        for (int t = 0; t < 8; ++t) {
            c = pick(rng, 0, std::size(classes) - 1);
            const uint32_t factory = pick(rng, 0, 3) == 0 ? 0x10 : 0;
            id = static_cast<uint16_t>(pick(rng, classes[c].hi_min, classes[c].hi_max) << 8 |
                                       (classes[c].cls | factory));
            if (!used.count(id)) break;
        }
        used.insert(id);
        fs_entry e;
        e.fill(FS_NONE);
        e[0] = id;
        classes[c].fill(&e, rng);
        fs->entries.push_back(e);
    }
}

void zs_fs_random_gamma(zs_fs *fs, uint32_t k, std::mt19937 *rng) {
    // Primaries and white point (x, y times 1000) of a common panel, each a little off.
    static const uint16_t colour[FS_COLOUR_WORDS] = {640, 330, 300, 600, 150, 60, 313, 329};
    for (size_t t = 0; t < std::min<size_t>(k, ZS_GAMMA_TABLES); ++t) {
        std::vector<uint16_t> &g = fs->gamma[t];
        g.assign(1, static_cast<uint16_t>(FS_GAMMA_ID | zs_gamma_nr(t)));
        for (uint16_t c : colour) g.push_back(static_cast<uint16_t>(c - 10 + pick(rng, 0, 20)));
        // 2..32 points at rising x from 0, the last one the end marker at x = 255.
        const uint32_t n = pick(rng, 2, FS_POINTS_MAX);
        std::set<uint32_t> xs = {0, 255};
        while (xs.size() < n) xs.insert(pick(rng, 1, 254));
        double gam[3];
        const double base = pick(rng, 180, 260) / 100.0;
        for (double &x : gam) x = base + (static_cast<double>(pick(rng, 0, 20)) - 10) / 100.0;
        for (uint32_t x : xs) {
            uint16_t v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = static_cast<uint16_t>(std::lround(255.0 * std::pow(x / 255.0, gam[c])));
            g.push_back(static_cast<uint16_t>(v[0] << 8 | x));
            g.push_back(static_cast<uint16_t>(v[2] << 8 | v[1]));
        }
    }
}

// ---- dump files ---------------------------------------------------------------------------

static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static bool blank(char c) { return c == ' ' || c == '\t'; }

// ":" and 32 groups of four hex digits, each followed by a blank (the last one's may be
// missing at the end of the line).
static std::string parse_entry(const std::string &t, fs_entry *e) {
    size_t i = 1;
    for (size_t w = 0; w < ZS_FS_WORDS; ++w, i += 5) {
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int d = i + k < t.size() ? hex_digit(t[i + k]) : -1;
            if (d < 0)
                return "entry: word " + std::to_string(w + 1) + " is not four hex digits (" +
                       std::to_string(ZS_FS_WORDS) + " words expected)";
            v = v << 4 | static_cast<uint32_t>(d);
        }
        if (i + 4 < t.size() && !blank(t[i + 4]))
            return "entry: no blank after word " + std::to_string(w + 1);
        (*e)[w] = static_cast<uint16_t>(v);
    }
    for (; i < t.size(); ++i)
        if (!blank(t[i])) return "entry: more than " + std::to_string(ZS_FS_WORDS) + " words";
    return "";
}

// A decimal number of at most five digits.
static bool parse_dec(const std::string &s, uint32_t max, uint32_t *out) {
    if (s.empty() || s.size() > 5) return false;
    uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (v > max) return false;
    *out = v;
    return true;
}

static std::vector<std::string> words_of(const std::string &t) {
    std::vector<std::string> v;
    size_t i = 0;
    for (;;) {
        while (i < t.size() && blank(t[i])) ++i;
        if (i == t.size()) return v;
        const size_t b = i;
        while (i < t.size() && !blank(t[i])) ++i;
        v.push_back(t.substr(b, i - b));
    }
}

// Where a dump file's reader stands in a gamma block.
struct fs_reader {
    int table = -1;  // gamma table index of the open block; -1 = none
    bool colour = false;
};

// A line starting with ";": a table tag, the colour line, or a point.
static std::string parse_gamma(fs_reader *r, zs_fs *fs, const std::string &t) {
    const std::vector<std::string> w = words_of(t.substr(1));
    if (w.size() == 1) {
        const int a = w[0].size() == 2 ? hex_digit(w[0][0]) : -1;
        const int b = w[0].size() == 2 ? hex_digit(w[0][1]) : -1;
        const int ix = a < 0 || b < 0 ? -1 : zs_gamma_index(static_cast<uint32_t>(a << 4 | b));
        if (ix < 0) return "unknown gamma table " + w[0];
        if (!fs->gamma[ix].empty()) return "gamma table " + w[0] + " twice";
        fs->gamma[ix].assign(1, static_cast<uint16_t>(FS_GAMMA_ID | zs_gamma_nr(ix)));
        r->table = ix;
        r->colour = false;
        return "";
    }
    if (r->table < 0) return "gamma values outside a table";
    std::vector<uint16_t> &g = fs->gamma[r->table];
    uint32_t v[FS_COLOUR_WORDS];
    if (w.size() == FS_COLOUR_WORDS && !r->colour) {
        for (size_t i = 0; i < w.size(); ++i)
            if (!parse_dec(w[i], 0xFFFF, &v[i]))
                return "colour value " + std::to_string(i + 1) + " is not a number 0..65535";
        g.insert(g.end(), v, v + FS_COLOUR_WORDS);
        r->colour = true;
        return "";
    }
    if (w.size() == 4 && r->colour) {
        if (g.size() + 2 > ZS_GAMMA_WORDS)
            return "more than " + std::to_string(FS_POINTS_MAX) + " gamma points";
        for (size_t i = 0; i < w.size(); ++i)
            if (!parse_dec(w[i], 0xFFFF, &v[i]))
                return "point value " + std::to_string(i + 1) + " is not a number 0..65535";
        // x r g b, each its low 8 bits
        g.push_back(static_cast<uint16_t>((v[1] & 0xFF) << 8 | (v[0] & 0xFF)));
        g.push_back(static_cast<uint16_t>((v[3] & 0xFF) << 8 | (v[2] & 0xFF)));
        return "";
    }
    return r->colour ? "a gamma point has 4 values: x r g b"
                     : "the colour line has 8 values after the table tag";
}

int zs_fs_read_file(const std::string &path, zs_fs *out, std::string *err) {
    std::string dummy;
    if (!err) err = &dummy;
    if (!out) return ZS_BAD_ARG;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *err = path + ": " + std::strerror(errno);
        return ZS_SYS;
    }
    zs_fs fs;
    fs_reader r;
    std::string t;
    for (int lineno = 1; std::getline(in, t); ++lineno) {
        const size_t cmt = t.find("//");
        if (cmt != std::string::npos) t.erase(cmt);
        if (!t.empty() && t.back() == '\r') t.pop_back();
        std::string why;
        if (!t.empty() && t[0] == ':') {
            r.table = -1;
            fs_entry e;
            why = parse_entry(t, &e);
            if (why.empty() && fs.entries.size() >= FS_FILE_ENTRIES_MAX)
                why = "more than " + std::to_string(FS_FILE_ENTRIES_MAX) + " entries";
            if (why.empty()) fs.entries.push_back(e);
        } else if (!t.empty() && t[0] == ';') {
            why = parse_gamma(&r, &fs, t);
        }
        if (!why.empty()) {
            *err = path + ":" + std::to_string(lineno) + ": " + why;
            return ZS_BAD_ARG;
        }
    }
    if (in.bad()) {
        *err = path + ": read error";
        return ZS_SYS;
    }
    *out = std::move(fs);
    return ZS_OK;
}

static std::string fs_text(const zs_fs &fs, const std::string &comment) {
    std::string c = comment;
    std::replace(c.begin(), c.end(), '\r', ' ');
    std::replace(c.begin(), c.end(), '\n', ' ');
    std::string s = "// " + c + "\r\n";
    char b[64];
    for (const fs_entry &e : fs.entries) {
        s += ':';
        for (uint16_t w : e) {
            std::snprintf(b, sizeof b, "%04X ", w);
            s += b;
        }
        s += "\r\n";
    }
    for (size_t i = 0; i < ZS_GAMMA_TABLES; ++i) {
        const std::vector<uint16_t> &g = fs.gamma[i];
        if (g.empty()) continue;
        std::snprintf(b, sizeof b, ";%02X\r\n", zs_gamma_nr(i));
        s += b;
        // A table cut short before its colour words has its tag alone.
        if (g.size() < FS_POINT_AT) continue;
        std::snprintf(b, sizeof b, ";%d %d %d %d %d %d %d %d\r\n", g[1], g[2], g[3], g[4], g[5],
                      g[6], g[7], g[8]);
        s += b;
        for (size_t p = FS_POINT_AT; p + 1 < g.size(); p += 2) {
            std::snprintf(b, sizeof b, ";%d %d %d %d\r\n", g[p] & 0xFF, g[p] >> 8, g[p + 1] & 0xFF,
                          g[p + 1] >> 8);
            s += b;
        }
    }
    return s;
}

// The rename is what keeps a half-written file from being seen; the file is not synced to the
// disk, as a simulation's state need not survive a crash of the machine.
int zs_write_file_atomic(const std::string &path, const void *p, size_t n, std::string *err) {
    std::string tmp = path + ".XXXXXX";
    const int fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        *err = path + ": " + std::strerror(errno);
        return ZS_SYS;
    }
    fchmod(fd, 0644);
    const char *b = static_cast<const char *>(p);
    int e = 0;
    for (size_t put = 0; put < n && !e;) {
        const ssize_t k = write(fd, b + put, n - put);
        if (k > 0)
            put += static_cast<size_t>(k);
        else if (k == 0 || errno != EINTR)
            e = k == 0 ? EIO : errno;
    }
    if (close(fd) < 0 && !e) e = errno;
    if (!e && rename(tmp.c_str(), path.c_str()) < 0) e = errno;
    if (e) {
        unlink(tmp.c_str());
        *err = path + ": " + std::strerror(e);
        return ZS_SYS;
    }
    return ZS_OK;
}

int zs_fs_write_file(const std::string &path, const zs_fs &fs, const std::string &comment,
                     std::string *err) {
    std::string dummy;
    if (!err) err = &dummy;
    if (path.empty()) return ZS_BAD_ARG;
    const std::string text = fs_text(fs, comment);
    return zs_write_file_atomic(path, text.data(), text.size(), err);
}
