// Tests of the monitor simulator, driven from outside with raw bytes: over its pseudo-terminal
// as a program would open it, and over TCP as a program talks to a converter. Frames are built
// here by hand, not with the simulator's codec or the program's, so that a misunderstanding of
// the frame is not shared by both sides. Silence is never timed: a frame that must go
// unanswered is followed by a ping, and the first bytes that come back must be the ping's.
#include "support/test_util.h"
#include "zelbsim.h"
#include "zs_internal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>

#include <chrono>
#include <random>
#include <string>
#include <vector>

using bytes = std::vector<uint8_t>;

namespace {

constexpr int kWaitMs = 5000;

bytes frame(uint8_t addr, uint16_t cmd, uint16_t val, uint8_t end = 0xFF) {
    bytes f = {0xAA, 0x55, addr, uint8_t(cmd), uint8_t(cmd >> 8), uint8_t(val), uint8_t(val >> 8)};
    f.push_back(uint8_t(f[2] + f[3] + f[4] + f[5] + f[6]));
    f.push_back(end);
    f.push_back(0x00);
    return f;
}
const bytes kPing = frame(0, 0x5000, 0x5500);

bytes read_n(int fd, size_t n, int timeout_ms = kWaitMs) { return tu_read_n(fd, n, timeout_ms); }
void write_all(int fd, const bytes &b) { ASSERT_TRUE(tu_write_all(fd, b.data(), b.size())); }

// Opens the slave like a serial port: raw, the given rate and stop bits.
int open_port(const std::string &path, speed_t speed = B9600, bool two_stop = false) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag |= CLOCAL | CREAD | PARENB;
    if (two_stop) t.c_cflag |= CSTOPB;
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// One pty line with `n` monitors: 1 is generation 51 with extended information, 2 generation
// 2, 3 generation 1 without it.
zs_config ring_cfg(int n, bool loop, bool pace, uint32_t restart_ms) {
    zs_config c;
    c.lines.resize(1);
    zs_line_set_count(&c.lines[0], n);
    c.lines[0].loop = loop;
    c.lines[0].pace = pace;
    if (n >= 2) c.lines[0].mons[1].gen = ZS_GEN2;
    if (n >= 3) {
        c.lines[0].mons[2].gen = ZS_GEN1;
        c.lines[0].mons[2].ext = false;
    }
    for (zs_monitor &m : c.lines[0].mons) m.restart_ms = restart_ms;
    return c;
}

// A running simulation of `c` with its first line's slave open at `speed`.
struct PtySim {
    zs_sim *sim = nullptr;
    int fd = -1;
    PtySim(const zs_config &c, speed_t speed) {
        std::string err;
        EXPECT_EQ(zs_start(c, &sim, &err), ZS_OK) << err;
        if (sim) fd = open_port(zs_slave_path(sim, 0), speed);
        EXPECT_GE(fd, 0);
    }
    explicit PtySim(int n = 3, bool loop = false, bool pace = false, uint32_t restart_ms = 3000)
        : PtySim(ring_cfg(n, loop, pace, restart_ms), pace ? B1200 : B9600) {}
    ~PtySim() {
        if (fd >= 0) close(fd);
        zs_stop(&sim);
    }
    bytes ask(const bytes &req, size_t n = 10) {
        write_all(fd, req);
        return read_n(fd, n);
    }
    // True when nothing but the ping's answer comes back after `req`.
    bool unanswered(const bytes &req) {
        write_all(fd, req);
        const bytes got = ask(kPing);
        return got.size() == 10 && got[3] == 0x00 && got[4] == 0x50;
    }
};

bytes ack(uint8_t from, uint16_t cmd, uint16_t val) { return frame(from, cmd, val, 0xFE); }

// A binary firmware record: count, address, type, data, and the checksum that brings the sum
// of all its bytes to 0.
bytes record(uint8_t type, uint16_t addr, const bytes &data) {
    bytes r = {uint8_t(data.size()), uint8_t(addr >> 8), uint8_t(addr), type};
    r.insert(r.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : r) sum = uint8_t(sum + b);
    r.push_back(uint8_t(0x100 - sum));
    return r;
}
const bytes kData = {0x03, 0x00, 0x30, 0x00, 0x02, 0x33, 0x7A, 0x1E};     // 3 bytes at 0030
const bytes kBadData = {0x03, 0x00, 0x30, 0x00, 0x02, 0x33, 0x7A, 0x1F};  // checksum off by 1
const bytes kEof = {0x00, 0x00, 0x00, 0x01, 0xFF};

// The slave's rate, changed in the middle of a session as a program does.
void set_rate(int fd, speed_t speed) {
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
}

// One pty line of `n` monitors that restart in 50 ms, in frame mode or in the boot loader.
zs_config loader_cfg(int n, bool bootstrap = false, uint8_t boot_id = 0xD5) {
    zs_config c;
    c.lines.resize(1);
    zs_line_set_count(&c.lines[0], n);
    c.lines[0].bootstrap = bootstrap;
    c.lines[0].boot_id = boot_id;
    for (zs_monitor &m : c.lines[0].mons) m.restart_ms = 50;
    return c;
}

zs_mode_info mode_of(zs_sim *sim) {
    zs_mode_info m;
    EXPECT_EQ(zs_get_mode(sim, 0, &m), ZS_OK);
    return m;
}

// True once the line is in frame mode and its first monitor is back from its restart.
bool frames_again(zs_sim *sim) {
    return tu_wait_until([&] {
        zs_mon_status st;
        return mode_of(sim).mode == ZS_MODE_FRAME && zs_get_monitor(sim, 0, 1, &st) == ZS_OK &&
               !st.silent;
    });
}

}  // namespace

// ---- frame decoder, without any port ------------------------------------------------------

TEST(ZelbsimFrame, DecoderFindsFramesInHostileStreams) {
    const bytes good = frame(1, 0x208C, 0);
    ASSERT_EQ(good, (bytes{0xAA, 0x55, 0x01, 0x8C, 0x20, 0x00, 0x00, 0xAD, 0xFF, 0x00}));
    bytes bad_cks = good;
    bad_cks[7] ^= 1;
    bytes bad_end = good;
    bad_end[8] = 0xFE;
    auto cat = [](std::initializer_list<bytes> parts) {
        bytes r;
        for (const bytes &p : parts) r.insert(r.end(), p.begin(), p.end());
        return r;
    };
    struct Row {
        int no;
        bytes in;
        int frames;
    } rows[] = {
        {1, good, 1},
        {2, cat({{0x00, 0xAA, 0x13, 0x55}, good}), 1},               // garbage in front
        {3, cat({bytes(good.begin(), good.begin() + 6), good}), 1},  // partial frame, then whole
        {4, bad_cks, 0},
        {5, bad_end, 0},
        {6, cat({bad_cks, good, bad_end, good}), 2},
        {7, cat({{0xAA}, good}), 1},  // a stray start byte
        {8, cat({{0xAA, 0xAA, 0x55}, bytes(good.begin() + 2, good.end())}), 1},
        {9, frame(0xFF, 0x0202, 0xFFFF), 1},  // checksum wraps past 255
    };
    for (const Row &r : rows) {
        zs_scanner s;
        std::vector<uint8_t> junk;
        int n = 0;
        for (uint8_t b : r.in) {
            zs_frame f;
            uint8_t raw[ZS_FRAME_LEN];
            if (zs_scan_byte(&s, b, &f, raw, &junk) == ZS_SCAN_FRAME) ++n;
        }
        EXPECT_EQ(n, r.frames) << "row " << r.no;
    }
    const uint8_t wrap[ZS_FRAME_LEN] = {0xAA, 0x55, 0xFF, 0x02, 0, 0, 0, 0, 0xFF, 0};
    EXPECT_EQ(zs_cks(wrap), 0x01);
    EXPECT_TRUE(zs_cmd_table_ok());
}

// ---- frames over the pty ------------------------------------------------------------------

TEST(ZelbsimPty, AnswersPerGenerationAndRefusesUnknownCommands) {
    PtySim s;
    const uint16_t typrev2 = 0x0544;  // board type 5 in bits 8-11, revision minor 0x44
    struct Row {
        int no;
        bytes req;
        bytes want;
    } rows[] = {
        {1, kPing, ack(3, 0x5000, 0x5503)},                   // the line counts its monitors
        {2, frame(1, 0x0D33, 0), frame(1, 0x0D33, 0, 0xFD)},  // gen 51 does not know 0x0D33
        {3, frame(1, 0x08E5, 0), ack(1, 0x08E5, 0x101)},
        {4, frame(2, 0x0D31, 0), ack(2, 0x0D31, typrev2)},
        {5, frame(2, 0x0D33, 0), ack(2, 0x0D33, 0x102)},
        {6, frame(2, 0x08E5, 0), frame(2, 0x08E5, 0, 0xFD)},  // gen 2 does not know 0x08E5
        {7, frame(1, 0xB000, 0), ack(1, 0xB000, 0x0544)},     // extended information
        {8, frame(3, 0xB000, 0), frame(3, 0xB000, 0, 0xFD)},  // ... not on monitor 3
        {9, frame(3, 0x08E7, 0), ack(3, 0x08E7, 0x306C)},
        {10, frame(2, 0x08EA, 0), ack(2, 0x08EA, 600)},
        {11, frame(1, 0x20B6, 0), ack(1, 0x20B6, 0)},
        {12, frame(1, 0x5000, 0x5500), ack(1, 0x5000, 0x5501)},
        {13, frame(1, 0x1234, 0x5678), frame(1, 0x1234, 0x5678, 0xFD)},
    };
    for (const Row &r : rows) EXPECT_EQ(s.ask(r.req), r.want) << "row " << r.no;
    EXPECT_TRUE(s.unanswered(frame(9, 0x08E5, 0)));  // no monitor 9 on the line
}

TEST(ZelbsimPty, BootLoaderAnswersOnlyItsQueries) {
    PtySim s(1);
    zs_monitor m = zs_monitor_default(1);
    m.boot = true;
    m.variant = 3;
    ASSERT_EQ(zs_set_monitor(s.sim, 0, 1, m), ZS_OK);
    EXPECT_EQ(s.ask(frame(1, 0xB002, 0)), ack(1, 0xB002, 3));
    EXPECT_EQ(s.ask(frame(1, 0xB003, 0)), ack(1, 0xB003, 0x101));
    EXPECT_EQ(s.ask(frame(1, 0x08E5, 0))[8], 0xFD);
    EXPECT_EQ(s.ask(frame(1, 0x208C, 0))[8], 0xFD);
}

TEST(ZelbsimPty, KeysAreRecordedForTheirMonitorAndBroadcastsReachAll) {
    PtySim s;
    EXPECT_EQ(s.ask(frame(2, 0x20B7, 0)), ack(2, 0x20B7, 0));
    EXPECT_EQ(zs_keys(s.sim, 0, 2), (std::vector<uint16_t>{0x20B7}));
    EXPECT_TRUE(zs_keys(s.sim, 0, 1).empty());
    EXPECT_TRUE(zs_keys(s.sim, 0, 3).empty());
    // A key to address 0: every monitor takes it, the last of the ring answers once.
    EXPECT_EQ(s.ask(frame(0, 0x208C, 0)), ack(3, 0x208C, 0));
    for (int m = 1; m <= 3; ++m) EXPECT_EQ(zs_keys(s.sim, 0, m).back(), 0x208C) << "monitor " << m;
}

TEST(ZelbsimPty, RestartSilencesAMonitorUntilItIsBack) {
    PtySim s(3, false, false, 60000);
    zs_monitor quick = zs_monitor_default(2);
    quick.gen = ZS_GEN2;
    quick.restart_ms = 200;
    ASSERT_EQ(zs_set_monitor(s.sim, 0, 2, quick), ZS_OK);

    EXPECT_TRUE(s.unanswered(frame(1, 0x6009, 0)));  // restart gets no answer
    EXPECT_TRUE(s.unanswered(frame(1, 0x208C, 0)));  // and monitor 1 stays silent a minute
    zs_mon_status st;
    ASSERT_EQ(zs_get_monitor(s.sim, 0, 1, &st), ZS_OK);
    EXPECT_TRUE(st.silent);
    EXPECT_EQ(st.restarts, 1u);
    EXPECT_EQ(st.keys, 0u);

    EXPECT_TRUE(s.unanswered(frame(2, 0x6009, 0)));
    EXPECT_TRUE(
        tu_wait_until([&] { return zs_get_monitor(s.sim, 0, 2, &st) == ZS_OK && !st.silent; }));
    EXPECT_EQ(s.ask(frame(2, 0x208C, 0)), ack(2, 0x208C, 0));  // back again
}

TEST(ZelbsimPty, FaultsChangeOrSuppressTheAnswer) {
    PtySim s(1);
    const bytes q = frame(1, 0x08E5, 0);
    const bytes good = ack(1, 0x08E5, 0x101);
    struct Row {
        int no;
        zs_fault_kind kind;
        uint32_t arg;
    } rows[] = {{1, ZS_F_SILENT, 0}, {2, ZS_F_CKS, 0},     {3, ZS_F_END, 0},   {4, ZS_F_SHORT, 4},
                {5, ZS_F_ECHO, 0},   {6, ZS_F_GARBAGE, 3}, {7, ZS_F_DELAY, 50}};
    for (const Row &r : rows) {
        zs_fault f;
        f.kind = r.kind;
        f.arg = r.arg;
        f.cmd = 0x08E5;
        f.times = 1;
        ASSERT_EQ(zs_clear_faults(s.sim, 0), ZS_OK);
        ASSERT_EQ(zs_add_fault(s.sim, 0, f), ZS_OK);
        write_all(s.fd, q);
        write_all(s.fd, kPing);  // the ping is never faulted: its answer ends what comes back
        const size_t n = r.kind == ZS_F_SILENT    ? 10
                         : r.kind == ZS_F_SHORT   ? 14
                         : r.kind == ZS_F_GARBAGE ? 23
                                                  : 20;
        const bytes got = read_n(s.fd, n);
        ASSERT_EQ(got.size(), n) << "row " << r.no;
        EXPECT_EQ(bytes(got.end() - 10, got.end()), ack(1, 0x5000, 0x5501)) << "row " << r.no;
        const bytes ans(got.begin(), got.end() - 10);
        switch (r.kind) {
        case ZS_F_CKS: EXPECT_NE(ans[7], good[7]) << "row " << r.no; break;
        case ZS_F_END: EXPECT_NE(ans[8], 0xFE) << "row " << r.no; break;
        case ZS_F_SHORT: EXPECT_EQ(ans, bytes(good.begin(), good.begin() + 4)); break;
        case ZS_F_ECHO: EXPECT_EQ(ans, q); break;
        case ZS_F_GARBAGE: EXPECT_EQ(bytes(ans.end() - 10, ans.end()), good); break;
        case ZS_F_DELAY: EXPECT_EQ(ans, good); break;
        default: break;
        }
        EXPECT_EQ(zs_faults(s.sim, 0).at(0).fired, 1u) << "row " << r.no;
        EXPECT_EQ(s.ask(q), good) << "row " << r.no << ": fired only once";
    }
}

TEST(ZelbsimPty, GarbageAndPartialFramesDoNotStopTheLine) {
    PtySim s(1);
    std::mt19937 rng(42);
    bytes junk(65536);
    for (uint8_t &b : junk) b = uint8_t(rng());
    write_all(s.fd, junk);
    // A frame cut in two writes, a corrupt one, a stray start code, then a good frame.
    const bytes q = frame(1, 0x08E7, 0);
    bytes bad = q;
    bad[7] ^= 0x40;
    write_all(s.fd, bytes(q.begin(), q.begin() + 3));
    write_all(s.fd, bytes(q.begin() + 3, q.end()));
    write_all(s.fd, bad);
    write_all(s.fd, bytes{0xAA});
    write_all(s.fd, q);
    // Both whole copies of q are answered (a valid frame by chance in the random bytes
    // would need AA 55, FF 00 and the checksum to line up: about 2^-40 per position).
    const bytes want = ack(1, 0x08E7, 0x306C);
    const bytes all = read_n(s.fd, 20);
    ASSERT_EQ(all.size(), 20u);
    EXPECT_EQ(bytes(all.begin(), all.begin() + 10), want);
    EXPECT_EQ(bytes(all.begin() + 10, all.end()), want);
    zs_line_stats st;
    ASSERT_EQ(zs_get_stats(s.sim, 0, &st), ZS_OK);
    EXPECT_GT(st.bad_bytes, 60000u);
}

TEST(ZelbsimPty, LoopModeEchoesEveryByte) {
    PtySim s(1, true);
    const bytes q = frame(1, 0x208C, 0);
    EXPECT_EQ(s.ask(q), q);
    const bytes odd = {0x00, 0xFF, 0x13, 0xAA};
    EXPECT_EQ(s.ask(odd, odd.size()), odd);
    EXPECT_TRUE(zs_keys(s.sim, 0, 1).empty());
}

TEST(ZelbsimPty, FollowsTheSlavesLineSettings) {
    PtySim s(1);
    close(s.fd);
    s.fd = open_port(zs_slave_path(s.sim, 0), B19200, true);
    ASSERT_GE(s.fd, 0);
    zs_line_settings st;
    ASSERT_EQ(zs_get_settings(s.sim, 0, &st), ZS_OK);
    EXPECT_EQ(st.baud, 19200u);
    EXPECT_EQ(st.stop_bits, 2);
    EXPECT_EQ(st.data_bits, 8);
    // At 19200 the monitors (9600) cannot read the frame: it arrives garbled, unanswered.
    const uint64_t seq = zs_last_seq(s.sim);
    write_all(s.fd, frame(1, 0x08E5, 0));
    zs_event e;
    ASSERT_EQ(zs_wait_event(s.sim, ZS_EV_RX_BAD, -1, seq, kWaitMs, &e), ZS_OK);
    EXPECT_NE(e.note.find("garbled"), std::string::npos) << e.note;
    close(s.fd);
    s.fd = open_port(zs_slave_path(s.sim, 0), B9600);
    EXPECT_EQ(s.ask(frame(1, 0x08E5, 0)), ack(1, 0x08E5, 0x101));
}

// The program opens the port for each operation and closes it after. Each row is such a
// session, begun once the simulation has seen the one before it leave: it must be noticed,
// its line settings must be read back, and it must hear only its own answers. Row 3 sends a
// key whose answer comes a second late and closes without waiting for it: the answer falls
// due with nobody listening and is thrown away, as on a serial line, so row 4 hears its own
// ping's answer first.
TEST(ZelbsimPty, EverySessionIsNoticedAndHearsOnlyItsOwnAnswers) {
    PtySim s(1);
    close(s.fd);
    s.fd = -1;
    auto client = [&] {
        zs_line_settings st;
        return zs_get_settings(s.sim, 0, &st) == ZS_OK && st.client;
    };
    auto bytes_out = [&] {
        zs_line_stats st;
        EXPECT_EQ(zs_get_stats(s.sim, 0, &st), ZS_OK);
        return st.bytes_out;
    };
    struct Row {
        int no;
        speed_t speed;
        uint32_t baud;
        uint32_t late_ms;  // a key whose answer comes this late, not waited for; 0 = a ping
    } rows[] = {
        {1, B9600, 9600, 0},    {2, B19200, 19200, 0},  // the monitors listen at 9600: garbled
        {3, B9600, 9600, 1000}, {4, B9600, 9600, 0},   {5, B38400, 38400, 0}, {6, B9600, 9600, 0},
    };
    for (const Row &r : rows) {
        ASSERT_TRUE(tu_wait_until([&] { return !client(); })) << "row " << r.no;
        const uint64_t out0 = bytes_out(), seq = zs_last_seq(s.sim);
        s.fd = open_port(zs_slave_path(s.sim, 0), r.speed);
        ASSERT_GE(s.fd, 0) << "row " << r.no;
        if (r.late_ms) {
            zs_fault f;
            f.kind = ZS_F_DELAY;
            f.arg = r.late_ms;
            f.cmd = 0x208C;
            f.times = 1;
            ASSERT_EQ(zs_add_fault(s.sim, 0, f), ZS_OK);
            write_all(s.fd, frame(1, 0x208C, 0));
            EXPECT_EQ(zs_wait_event(s.sim, ZS_EV_RX, 1, seq, kWaitMs), ZS_OK) << "row " << r.no;
        } else if (r.baud == 9600) {
            EXPECT_EQ(s.ask(kPing), ack(1, 0x5000, 0x5501)) << "row " << r.no;
        } else {
            write_all(s.fd, kPing);
            EXPECT_EQ(zs_wait_event(s.sim, ZS_EV_RX_BAD, -1, seq, kWaitMs), ZS_OK)
                << "row " << r.no;
        }
        zs_line_settings st;
        ASSERT_EQ(zs_get_settings(s.sim, 0, &st), ZS_OK);
        EXPECT_EQ(st.baud, r.baud) << "row " << r.no;
        EXPECT_TRUE(st.client) << "row " << r.no;
        close(s.fd);
        s.fd = -1;
        if (r.late_ms) {  // the key's answer has gone out to nobody
            ASSERT_TRUE(tu_wait_until([&] { return bytes_out() >= out0 + 10; })) << "row " << r.no;
        }
    }
}

TEST(ZelbsimPty, PacingTakesAtLeastTheWireTime) {
    zs_config c;
    c.lines.resize(1);
    zs_line_set_count(&c.lines[0], 1);
    c.lines[0].pace = true;
    c.lines[0].baud = 1200;
    zs_sim *sim = nullptr;
    ASSERT_EQ(zs_start(c, &sim), ZS_OK);
    const int fd = open_port(zs_slave_path(sim, 0), B1200);
    ASSERT_GE(fd, 0);
    const auto t0 = std::chrono::steady_clock::now();
    write_all(fd, kPing);
    const bytes got = read_n(fd, 10, 20000);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_EQ(got, ack(1, 0x5000, 0x5501));
    // 20 bytes of 11 bits (8E1) at 1200 baud take 183 ms on the wire; never less.
    EXPECT_GE(ms, 180);
    close(fd);
    zs_stop(&sim);
}

TEST(ZelbsimPty, SymlinkLivesAsLongAsTheSimulation) {
    char dir[] = "/tmp/zs_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/sub/ttyV0";
    zs_config c;
    c.lines.resize(1);
    c.lines[0].link = link;
    zs_line_set_count(&c.lines[0], 2);
    zs_sim *sim = nullptr;
    ASSERT_EQ(zs_start(c, &sim), ZS_OK);
    const int fd = open_port(link);
    ASSERT_GE(fd, 0);
    write_all(fd, kPing);
    EXPECT_EQ(read_n(fd, 10), ack(2, 0x5000, 0x5502));
    close(fd);
    zs_stop(&sim);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    // A regular file in the way is not replaced.
    FILE *f = std::fopen(link.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(zs_start(c, &sim), ZS_EXISTS);
    EXPECT_EQ(sim, nullptr);
    unlink(link.c_str());
    rmdir((std::string(dir) + "/sub").c_str());
    rmdir(dir);
}

// ---- firmware loader ----------------------------------------------------------------------

TEST(ZelbsimLoader, StartCommandSwitchesTheRateAndEndOfFileBringsFramesBack) {
    PtySim s(loader_cfg(1), B9600);
    ASSERT_EQ(record(0x00, 0x0030, {0x02, 0x33, 0x7A}), kData);
    struct Row {
        int no;
        uint8_t addr;
        uint16_t code;
        speed_t speed;  // 0: an unknown code, refused
        uint32_t baud;
    } rows[] = {
        {1, 0, 12, B115200, 115200}, {2, 1, 8, B38400, 38400}, {3, 0, 24, B576000, 576000},
        {4, 1, 0, B9600, 9600},      {5, 1, 5, 0, 0},          {6, 0, 28, 0, 0},
        {7, 1, 0x010C, 0, 0},
    };
    for (const Row &r : rows) {
        const bytes req = frame(r.addr, 0x7000, r.code);
        if (!r.speed) {
            EXPECT_EQ(s.ask(req), frame(1, 0x7000, r.code, 0xFD)) << "row " << r.no;
            EXPECT_EQ(mode_of(s.sim).mode, ZS_MODE_FRAME) << "row " << r.no;
            continue;
        }
        EXPECT_EQ(s.ask(req), ack(1, 0x7000, r.code)) << "row " << r.no;
        EXPECT_EQ(mode_of(s.sim).mode, ZS_MODE_FWLOAD) << "row " << r.no;
        EXPECT_EQ(mode_of(s.sim).baud, r.baud) << "row " << r.no;
        if (r.baud != 9600) {  // a frame at the old rate arrives garbled
            const uint64_t seq = zs_last_seq(s.sim);
            write_all(s.fd, kPing);
            ASSERT_EQ(zs_wait_event(s.sim, ZS_EV_RX_BAD, -1, seq, kWaitMs), ZS_OK) << r.no;
            set_rate(s.fd, r.speed);
        }
        // A good record, a bad checksum, an address record in two writes, end of file.
        const bytes ext = record(0x04, 0, {0x00, 0x01});
        write_all(s.fd, kData);
        write_all(s.fd, kBadData);
        write_all(s.fd, bytes(ext.begin(), ext.begin() + 3));
        write_all(s.fd, bytes(ext.begin() + 3, ext.end()));
        EXPECT_EQ(s.ask(kEof, 4), (bytes{0xFF, 0x00, 0xFF, 0xFF})) << "row " << r.no;
        ASSERT_TRUE(frames_again(s.sim)) << "row " << r.no;
        set_rate(s.fd, B9600);
        EXPECT_EQ(s.ask(kPing), ack(1, 0x5000, 0x5501)) << "row " << r.no;
    }
    zs_line_stats st;
    ASSERT_EQ(zs_get_stats(s.sim, 0, &st), ZS_OK);
    EXPECT_EQ(st.records, 12u);  // four loads of three good records
    EXPECT_EQ(st.data_bytes, 12u);
    zs_mon_status ms;
    ASSERT_EQ(zs_get_monitor(s.sim, 0, 1, &ms), ZS_OK);
    EXPECT_EQ(ms.restarts, 4u);
}

TEST(ZelbsimLoader, ARingEchoesRecordsAndMarksRefusedOnes) {
    PtySim s(loader_cfg(2), B9600);
    EXPECT_EQ(s.ask(frame(0, 0x7000, 12)), ack(2, 0x7000, 12));  // the last monitor answers
    set_rate(s.fd, B115200);
    struct Row {
        int no;
        bytes rec;
        bool good;
    } rows[] = {
        {1, kData, true},
        {2, kBadData, false},
        {3, record(0x07, 0, {}), false},      // unknown type
        {4, record(0x01, 0, {0x00}), false},  // end of file with a data byte
        {5, record(0x00, 0xFFF0, bytes(255, 0xA5)), true},
        {6, kEof, true},
    };
    for (const Row &r : rows) {
        const bytes got = s.ask(r.rec, r.rec.size());
        ASSERT_EQ(got.size(), r.rec.size()) << "row " << r.no;
        EXPECT_EQ(bytes(got.begin(), got.end() - 1), bytes(r.rec.begin(), r.rec.end() - 1))
            << "row " << r.no;
        EXPECT_EQ(got.back() == r.rec.back(), r.good) << "row " << r.no;
    }
    ASSERT_TRUE(frames_again(s.sim));
    set_rate(s.fd, B9600);
    EXPECT_EQ(s.ask(kPing), ack(2, 0x5000, 0x5502));
    const std::string sum = zs_summary(s.sim);
    EXPECT_NE(sum.find("firmware records 3, refused 3, data bytes 258"), std::string::npos) << sum;
}

// The fault rules reach record answers. Each row sends two good records, the second one
// faulted (n= counts the records of the load), then a refused one whose 00 ends the answers.
TEST(ZelbsimLoader, FaultRulesApplyToRecordAnswers) {
    PtySim s(loader_cfg(1), B9600);
    EXPECT_EQ(s.ask(frame(1, 0x7000, 12)), ack(1, 0x7000, 12));
    set_rate(s.fd, B115200);
    bytes echoed = {0xFF};
    echoed.insert(echoed.end(), kData.begin(), kData.end());
    echoed.push_back(0x00);
    struct Row {
        int no;
        zs_fault_kind kind;
        uint32_t arg;
        bytes want;
        uint32_t fired;
    } rows[] = {
        {1, ZS_F_SILENT, 0, {0xFF, 0x00}, 1},
        {2, ZS_F_CKS, 0, {0xFF, 0x00, 0x00}, 1},  // the answer of a refused record
        {3, ZS_F_DELAY, 50, {0xFF, 0xFF, 0x00}, 1},
        {4, ZS_F_ECHO, 0, echoed, 1},
        {5, ZS_F_END, 0, {0xFF, 0xFF, 0x00}, 0},  // records have no end code
    };
    for (const Row &r : rows) {
        zs_fault f;
        f.kind = r.kind;
        f.arg = r.arg;
        f.nth = uint32_t(r.no) * 3 - 1;
        ASSERT_EQ(zs_clear_faults(s.sim, 0), ZS_OK);
        ASSERT_EQ(zs_add_fault(s.sim, 0, f), ZS_OK);
        write_all(s.fd, kData);
        write_all(s.fd, kData);
        EXPECT_EQ(s.ask(kBadData, r.want.size()), r.want) << "row " << r.no;
        EXPECT_EQ(zs_faults(s.sim, 0).at(0).fired, r.fired) << "row " << r.no;
    }
}

// ---- boot loader --------------------------------------------------------------------------

namespace {

// The primary loader: 32 bytes carrying the secondary loader's first and last address.
bytes primary(uint16_t load, uint16_t last) {
    bytes p(32, 0x90);
    p[6] = uint8_t(load);
    p[7] = uint8_t(load >> 8);
    p[24] = uint8_t(last);
    p[25] = uint8_t(last >> 8);
    return p;
}

}  // namespace

TEST(ZelbsimBoot, EmptyBoardIsLoadedAndThenAnswersFrames) {
    PtySim s(loader_cfg(1, true), B9600);
    const zs_mode_info m = mode_of(s.sim);
    EXPECT_EQ(m.mode, ZS_MODE_BOOT);
    EXPECT_EQ(m.baud, 57600u);
    EXPECT_EQ(m.parity, 'N');
    const uint64_t seq = zs_last_seq(s.sim);
    write_all(s.fd, kPing);  // no frames: at the configured rate the bytes arrive garbled
    ASSERT_EQ(zs_wait_event(s.sim, ZS_EV_RX_BAD, -1, seq, kWaitMs), ZS_OK);

    set_rate(s.fd, B57600);
    EXPECT_EQ(s.ask(bytes{0x13, 0x00}, 1), bytes{0xD5});  // 13 is not for the boot loader
    write_all(s.fd, primary(0xE110, 0xE117));
    const bytes second = {0x02, 0xE1, 0x10, 0x75, 0xA8, 0x10, 0x80, 0x22};
    for (size_t i = 0; i + 1 < second.size(); ++i)
        EXPECT_EQ(s.ask(bytes{second[i]}, 1), bytes{second[i]}) << "byte " << i;
    EXPECT_EQ(s.ask(bytes{second.back()}, 2), (bytes{second.back(), 0xCC}));
    EXPECT_EQ(s.ask(kData, 1), bytes{0xFC});
    EXPECT_LT(s.ask(kBadData, 1).at(0), 0xFC);
    EXPECT_EQ(s.ask(kEof, 1), bytes{0xFC});
    ASSERT_TRUE(frames_again(s.sim));
    set_rate(s.fd, B9600);
    EXPECT_EQ(s.ask(kPing), ack(1, 0x5000, 0x5501));
}

// The secondary loader's length decides whether the board loads it (and echoes the next
// byte) or waits for 00 again (and identifies itself once more).
TEST(ZelbsimBoot, PrimaryLoaderLengthAndIdentificationByte) {
    struct Row {
        int no;
        uint16_t last;  // the first address is E110
        uint8_t id;
        bool loads;
    } rows[] = {
        {1, 0xE110, 0xD5, true},   // 1 byte
        {2, 0xE90F, 0xD5, true},   // 2048 bytes
        {3, 0xE910, 0xD5, false},  // 2049 bytes
        {4, 0xE10F, 0xD5, false},  // none
        {5, 0x0010, 0xD5, false},  // last below first
        {6, 0xE117, 0x3F, true},   // a board that identifies otherwise
    };
    for (const Row &r : rows) {
        PtySim s(loader_cfg(1, true, r.id), B57600);
        EXPECT_EQ(s.ask(bytes{0x00}, 1), bytes{r.id}) << "row " << r.no;
        write_all(s.fd, primary(0xE110, r.last));
        EXPECT_EQ(s.ask(bytes{0x00}, 1), bytes{uint8_t(r.loads ? 0x00 : r.id)}) << "row " << r.no;
    }
}

// ---- the converter protocol over TCP ------------------------------------------------------

namespace {

int connect_to(uint16_t port) { return tu_connect("127.0.0.1", port); }

// The converter packet a program sends for `data`: parameters, then each byte behind code 0.
bytes packet(const bytes &data, uint8_t mode = 0x81, uint8_t baud_code = 5) {
    bytes p = {0x02, mode, 0x03, 0x4E, 0x05, 0x00, 0x04, 0x00, 0x01, baud_code};
    for (uint8_t b : data) {
        p.push_back(0x00);
        p.push_back(b);
    }
    return p;
}

struct TcpSim {
    zs_sim *sim = nullptr;
    int fd = -1;
    explicit TcpSim(int lines = 1) {
        zs_config c;
        c.lines.resize(size_t(lines));
        for (int i = 0; i < lines; ++i) {
            c.lines[size_t(i)].kind = ZS_TCP;
            c.lines[size_t(i)].port = 0;
            zs_line_set_count(&c.lines[size_t(i)], i + 1);
        }
        std::string err;
        EXPECT_EQ(zs_start(c, &sim, &err), ZS_OK) << err;
        if (sim) fd = connect_to(zs_tcp_port(sim, 0));
        EXPECT_GE(fd, 0);
    }
    ~TcpSim() {
        if (fd >= 0) close(fd);
        zs_stop(&sim);
    }
};

}  // namespace

TEST(ZelbsimTcp, ConverterPacketCarriesTheFrameAndAnswersComePlain) {
    TcpSim s;
    const bytes key = frame(1, 0x208C, 0);
    const bytes p = packet(key);
    ASSERT_EQ(p.size(), 30u);
    const uint64_t seq = zs_last_seq(s.sim);
    write_all(s.fd, p);
    EXPECT_EQ(read_n(s.fd, 10), ack(1, 0x208C, 0));
    zs_event e;
    ASSERT_EQ(zs_wait_event(s.sim, ZS_EV_RX, 1, seq, kWaitMs, &e), ZS_OK);
    EXPECT_EQ(e.bytes, key);
    zs_line_settings st;
    ASSERT_EQ(zs_get_settings(s.sim, 0, &st), ZS_OK);
    EXPECT_EQ(st.baud, 9600u);
    EXPECT_EQ(st.parity, 'E');
    EXPECT_EQ(st.flow, 'N');
    EXPECT_TRUE(st.client);

    // The same packet one byte per send: pairs split across reads still decode.
    for (uint8_t b : packet(frame(1, 0x08E6, 0))) write_all(s.fd, bytes{b});
    EXPECT_EQ(read_n(s.fd, 10), ack(1, 0x08E6, 0x0544));
}

TEST(ZelbsimTcp, BaudCodeAndParityAreApplied) {
    TcpSim s;
    struct Row {
        int no;
        uint8_t mode, code;
        uint32_t baud;
        char parity;
        bool answered;  // the monitors listen at 9600, either parity
    } rows[] = {{1, 0x80, 5, 9600, 'N', true},    {2, 0x81, 2, 57600, 'E', false},
                {3, 0x81, 1, 115200, 'E', false}, {4, 0x80, 4, 19200, 'N', false},
                {5, 0x81, 3, 38400, 'E', false},  {6, 0x81, 5, 9600, 'E', true}};
    for (const Row &r : rows) {
        const uint64_t seq = zs_last_seq(s.sim);
        write_all(s.fd, packet(frame(1, 0x08E5, 0), r.mode, r.code));
        ASSERT_EQ(zs_wait_event(s.sim, r.answered ? ZS_EV_TX : ZS_EV_RX_BAD, -1, seq, kWaitMs),
                  ZS_OK)
            << "row " << r.no;
        zs_line_settings st;
        ASSERT_EQ(zs_get_settings(s.sim, 0, &st), ZS_OK);
        EXPECT_EQ(st.baud, r.baud) << "row " << r.no;
        EXPECT_EQ(st.parity, r.parity) << "row " << r.no;
        if (r.answered) {
            EXPECT_EQ(read_n(s.fd, 10), ack(1, 0x08E5, 0x101)) << "row " << r.no;
        }
    }
    // The standard-baud packet a program sends on closing.
    write_all(s.fd, packet({}, 0x81, 2));
    write_all(s.fd, bytes{0x01, 0x05});
    const uint64_t seq = zs_last_seq(s.sim);
    write_all(s.fd, bytes{0x00, 0x13});  // and a lone data pair after it
    ASSERT_EQ(zs_wait_event(s.sim, ZS_EV_RX_BAD, -1, seq, kWaitMs), ZS_OK);
    zs_line_settings st;
    ASSERT_EQ(zs_get_settings(s.sim, 0, &st), ZS_OK);
    EXPECT_EQ(st.baud, 9600u);
}

TEST(ZelbsimTcp, IpListLinesAnswerApartAndDropFaultClosesTheConnection) {
    TcpSim s(2);
    const int fd2 = connect_to(zs_tcp_port(s.sim, 1));
    ASSERT_GE(fd2, 0);
    write_all(s.fd, packet(kPing));
    write_all(fd2, packet(kPing));
    EXPECT_EQ(read_n(s.fd, 10), ack(1, 0x5000, 0x5501));
    EXPECT_EQ(read_n(fd2, 10), ack(2, 0x5000, 0x5502));

    zs_fault f;
    f.kind = ZS_F_DROP;
    f.arg = 12;
    f.times = 1;
    ASSERT_EQ(zs_add_fault(s.sim, 1, f), ZS_OK);
    write_all(fd2, packet(kPing));  // this client is past 12 bytes: its next packet ends it
    uint8_t b;
    pollfd p{fd2, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, kWaitMs), 1);
    EXPECT_LE(read(fd2, &b, 1), 0);  // closed by the simulator, no answer
    close(fd2);
    EXPECT_EQ(zs_faults(s.sim, 1).at(0).fired, 1u);
    // A new client is served again.
    const int fd3 = connect_to(zs_tcp_port(s.sim, 1));
    ASSERT_GE(fd3, 0);
    write_all(fd3, packet(kPing));
    EXPECT_EQ(read_n(fd3, 10), ack(2, 0x5000, 0x5502));
    close(fd3);
}

// Through a converter the baud code sets the line's rate, judged against the mode's: line 1
// runs the firmware loader at 38400, line 2 holds a board in its boot loader (8N1).
TEST(ZelbsimTcp, LoaderModesFollowTheConverterRate) {
    zs_config c;
    c.lines.resize(2);
    for (zs_line_cfg &l : c.lines) {
        l.kind = ZS_TCP;
        l.port = 0;
        zs_line_set_count(&l, 1);
    }
    c.lines[1].bootstrap = true;
    zs_sim *sim = nullptr;
    ASSERT_EQ(zs_start(c, &sim), ZS_OK);
    const int fd = connect_to(zs_tcp_port(sim, 0)), fd2 = connect_to(zs_tcp_port(sim, 1));
    ASSERT_GE(fd, 0);
    ASSERT_GE(fd2, 0);
    write_all(fd, packet(frame(1, 0x7000, 8)));
    EXPECT_EQ(read_n(fd, 10), ack(1, 0x7000, 8));
    write_all(fd, packet(kData, 0x81, 5));  // still at 9600: garbled, unanswered
    write_all(fd, packet(kData, 0x81, 3));
    EXPECT_EQ(read_n(fd, 1), bytes{0xFF});
    const uint64_t seq = zs_last_seq(sim);
    write_all(fd2, packet({0x00}, 0x81, 2));  // 57600, but even parity
    EXPECT_EQ(zs_wait_event(sim, ZS_EV_RX_BAD, -1, seq, kWaitMs), ZS_OK);
    write_all(fd2, packet({0x00}, 0x80, 2));
    EXPECT_EQ(read_n(fd2, 1), bytes{0xD5});
    close(fd);
    close(fd2);
    zs_stop(&sim);
}

// ---- options ------------------------------------------------------------------------------

TEST(ZelbsimOptions, CommandLineAndStateFile) {
    struct Row {
        int no;
        std::vector<const char *> args;
        int rc;
    } rows[] = {
        {1, {"--pty", "-", "--monitors", "3", "--mon", "2:gen=2,disp=0x123"}, ZS_OK},
        {2, {"--tcp", "127.0.0.2", "--tcp", "127.0.0.3:0", "--monitors", "2:4"}, ZS_OK},
        {3, {"--pty", "-", "--fault", "short:4@cmd=0x08E5,times=1,p=0.25"}, ZS_OK},
        {4, {"--monitors", "3"}, ZS_BAD_ARG},  // no line
        {5, {"--pty", "-", "--monitors", "0"}, ZS_BAD_ARG},
        {6, {"--pty", "-", "--monitors", "256"}, ZS_BAD_ARG},
        {7, {"--pty", "-", "--mon", "1:gen=3"}, ZS_BAD_ARG},
        {8, {"--pty", "-", "--mon", "4:gen=2"}, ZS_BAD_ARG},  // only one monitor
        {9, {"--pty", "-", "--fault", "short"}, ZS_BAD_ARG},  // argument missing
        {10, {"--pty", "-", "--fault", "cks@p=1.5"}, ZS_BAD_ARG},
        {11, {"--pty", "-", "--baud", "010"}, ZS_BAD_ARG},
        {12, {"--pty", "-", "--bogus"}, ZS_BAD_ARG},
        {13, {"--help"}, ZS_HELP},
        {14, {"--pty", "-", "--fault", "short:10"}, ZS_BAD_ARG},  // an answer has 10 bytes
        {15, {"--pty", "-", "--pty", "-", "--bootstrap", "2", "--boot-id", "0x3F"}, ZS_OK},
        {16, {"--bootstrap", "--pty", "-", "--pty", "-"}, ZS_OK},  // the line is optional
        {17, {"--pty", "-", "--bootstrap", "2"}, ZS_BAD_ARG},
        {18, {"--pty", "-", "--boot-id", "256"}, ZS_BAD_ARG},
        {19, {"--version"}, ZS_VERSION},
        {20, {"--pty", "-", "--version", "--monitors", "2"}, ZS_VERSION},
        {21, {"--version=1"}, ZS_BAD_ARG},  // takes no value
    };
    for (const Row &r : rows) {
        std::vector<const char *> argv = {"zelbsim"};
        argv.insert(argv.end(), r.args.begin(), r.args.end());
        zs_config c;
        std::string err;
        EXPECT_EQ(zs_parse_args(int(argv.size()), argv.data(), &c, &err), r.rc)
            << "row " << r.no << ": " << err;
        if (r.no == 1) {
            ASSERT_EQ(c.lines.at(0).mons.size(), 3u);
            EXPECT_EQ(c.lines[0].mons[1].gen, ZS_GEN2);
            EXPECT_EQ(c.lines[0].mons[1].disp, 0x123);
            EXPECT_EQ(c.lines[0].mons[2].disp, 0x103);
        }
        if (r.no == 2) {
            EXPECT_EQ(c.lines.at(0).port, 11111);
            EXPECT_EQ(c.lines.at(1).port, 0);
            EXPECT_EQ(c.lines[0].mons.size(), 1u);
            EXPECT_EQ(c.lines[1].mons.size(), 4u);
        }
        if (r.no == 15 || r.no == 16) {
            EXPECT_EQ(c.lines.at(0).bootstrap, r.no == 16);
            EXPECT_TRUE(c.lines.at(1).bootstrap &&
                        c.lines[1].boot_id == (r.no == 15 ? 0x3F : 0xD5));
        }
        if (r.rc == ZS_VERSION) {
            const std::string v = zs_version_text();
            EXPECT_EQ(v.rfind("zelbsim ", 0), 0u) << v;
            EXPECT_TRUE(v.size() > 9 && isdigit(v[8]) && v.back() == '\n') << v;
        }
        if (r.no == 3) {
            const zs_fault &f = c.lines.at(0).faults.at(0);
            EXPECT_EQ(f.kind, ZS_F_SHORT);
            EXPECT_EQ(f.arg, 4u);
            EXPECT_EQ(f.cmd, 0x08E5);
            EXPECT_EQ(f.ppm, 250000u);
        }
    }

    char path[] = "/tmp/zs_state_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const char *text =
        "# two lines, the second with a generation-2 monitor\n"
        "pty -\n--tcp 127.0.0.4:0\n  monitors 2:2  \n"
        "mon 2.2:gen=2,boot=1   # trailing comment\nloop\n";
    ASSERT_EQ(write(fd, text, strlen(text)), ssize_t(strlen(text)));
    close(fd);
    const char *argv[] = {"zelbsim", "--state", path};
    zs_config c;
    std::string err;
    EXPECT_EQ(zs_parse_args(3, argv, &c, &err), ZS_OK) << err;
    ASSERT_EQ(c.lines.size(), 2u);
    EXPECT_TRUE(c.lines[0].loop && c.lines[1].loop);
    ASSERT_EQ(c.lines[1].mons.size(), 2u);
    EXPECT_TRUE(c.lines[1].mons[1].boot);
    EXPECT_EQ(c.lines[1].mons[1].gen, ZS_GEN2);
    unlink(path);
}
