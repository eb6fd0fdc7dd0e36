// Tests of the monitor simulator, driven from outside with raw bytes: over its pseudo-terminal
// as a program would open it, and over TCP as a program talks to a converter. Frames are built
// by hand (support/zs_client.h). Silence is never timed: a frame that must go unanswered is
// followed by a ping, and the first bytes that come back must be the ping's.
#include "support/test_util.h"
#include "support/zs_client.h"
#include "zs_internal.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <tuple>

using bytes = zc_bytes;

namespace {

bytes cat(std::initializer_list<bytes> parts) {
    bytes r;
    for (const bytes &p : parts) r.insert(r.end(), p.begin(), p.end());
    return r;
}

zs_mode_info mode_of(zs_sim *sim) {
    zs_mode_info m;
    EXPECT_EQ(zs_get_mode(sim, 0, &m), ZS_OK);
    return m;
}

}  // namespace

// ---- frame decoder, without any port ------------------------------------------------------

TEST(ZelbsimFrame, DecoderFindsFramesInHostileStreams) {
    const bytes good = zc_frame(1, 0x208C, 0);
    ASSERT_EQ(good, (bytes{0xAA, 0x55, 0x01, 0x8C, 0x20, 0x00, 0x00, 0xAD, 0xFF, 0x00}));
    bytes bad_cks = good, bad_end = good;
    bad_cks[7] ^= 1;
    bad_end[8] = 0xFE;
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
        {9, zc_frame(0xFF, 0x0202, 0xFFFF), 1},  // checksum wraps past 255
    };
    for (const Row &r : rows) {
        zs_scanner s;
        int n = 0;
        for (uint8_t b : r.in) {
            zs_frame f;
            uint8_t raw[ZS_FRAME_LEN];
            if (zs_scan_byte(&s, b, &f, raw, nullptr) == ZS_SCAN_FRAME) ++n;
        }
        EXPECT_EQ(n, r.frames) << "row " << r.no;
    }
    EXPECT_TRUE(zs_cmd_table_ok());
}

// ---- frames over the pty ------------------------------------------------------------------

// A ring of four: 1 is generation 51 with extended information, 2 generation 2, 3 generation
// 1 without it, 4 runs its boot loader. Each answers the commands of its firmware and refuses
// the rest; a broadcast reaches all of them and the last one answers for the line.
TEST(ZelbsimPty, AnswersPerFirmwareAndBroadcastsReachTheWholeRing) {
    zs_line_cfg l = zc_line(4);
    l.mons[1].gen = ZS_GEN2;
    l.mons[2].gen = ZS_GEN1;
    l.mons[2].ext = false;
    l.mons[3].boot = true;
    l.mons[3].variant = 3;
    zc_sim s({l});
    s.run({
        {1, 0x0D33, 0, zc_refused, "generation 51 does not know 0x0D33"},
        {1, 0x08E5, 0, 0x101, "its display number"},
        {2, 0x0D31, 0, 0x0544, "generation 2: board type 5 in bits 8-11, revision 0x44"},
        {2, 0x0D33, 0, 0x102, "its display number"},
        {2, 0x08E5, 0, zc_refused, "generation 2 does not know 0x08E5"},
        {1, 0xB000, 0, 0x0544, "extended information"},
        {3, 0xB000, 0, zc_refused, "not on monitor 3"},
        {3, 0x08E7, 0, 0x306C, "generation 1: date"},
        {2, 0x08EA, 0, 600, "vertical frequency, every generation"},
        {1, 0x5000, 0x5500, 0x5501, "ping"},
        {1, 0x1234, 0x5678, zc_refused, "no such command"},
        {4, 0xB002, 0, 3, "boot loader: firmware variant"},
        {4, 0xB003, 0, 0x104, "boot loader: display number"},
        {4, 0x08E5, 0, zc_refused, "boot loader: nothing else"},
        {1, 0x20B6, 0, 0, "a key"},
        {2, 0x20B7, 0, 0, "a key"},
        {0, 0x208C, 0, zc_refused, "a key to all: answered once, by the last monitor"},
    });
    EXPECT_TRUE(s.unanswered(zc_frame(9, 0x08E5, 0)));  // no monitor 9 on the line
    // Each key is recorded by the monitors it reached whose firmware runs.
    const std::vector<uint16_t> keys[] = {{0x20B6, 0x208C}, {0x20B7, 0x208C}, {0x208C}, {}};
    for (int m = 1; m <= 4; ++m) EXPECT_EQ(zs_keys(s.sim, 0, m), keys[m - 1]) << "monitor " << m;
}

TEST(ZelbsimPty, RestartSilencesAMonitorUntilItIsBack) {
    zs_line_cfg l = zc_line(3);
    l.mons[0].restart_ms = 60000;  // 1 stays silent through the test, 2 is back in 50 ms
    zc_sim s({l});
    EXPECT_TRUE(s.unanswered(zc_frame(1, 0x6009, 0)));  // restart gets no answer
    EXPECT_TRUE(s.unanswered(zc_frame(1, 0x208C, 0)));  // nor anything while it restarts
    zs_mon_status st;
    ASSERT_EQ(zs_get_monitor(s.sim, 0, 1, &st), ZS_OK);
    EXPECT_TRUE(st.silent && st.restarts == 1u && st.keys == 0u);

    EXPECT_TRUE(s.unanswered(zc_frame(2, 0x6009, 0)));
    EXPECT_TRUE(
        tu_wait_until([&] { return zs_get_monitor(s.sim, 0, 2, &st) == ZS_OK && !st.silent; }));
    EXPECT_EQ(s.ask(zc_frame(2, 0x208C, 0)), zc_ack(2, 0x208C, 0));  // back again
}

TEST(ZelbsimPty, FaultsChangeOrSuppressTheAnswer) {
    zc_sim s({zc_line(1)});
    const bytes q = zc_frame(1, 0x08E5, 0), good = zc_ack(1, 0x08E5, 0x101);
    struct Row {
        zs_fault_kind kind;
        uint32_t arg;
        size_t n;  // bytes that come instead of the answer
    } rows[] = {{ZS_F_SILENT, 0, 0}, {ZS_F_CKS, 0, 10},     {ZS_F_END, 0, 10},   {ZS_F_SHORT, 4, 4},
                {ZS_F_ECHO, 0, 10},  {ZS_F_GARBAGE, 3, 13}, {ZS_F_DELAY, 50, 10}};
    for (const Row &r : rows) {
        const char *at = zs_fault_name(r.kind);
        ASSERT_EQ(zs_clear_faults(s.sim, 0), ZS_OK);
        const zs_fault f{.kind = r.kind, .arg = r.arg, .cmd = 0x08E5, .times = 1};
        ASSERT_EQ(zs_add_fault(s.sim, 0, f), ZS_OK);
        s.send(q);
        // The ping is never faulted: its answer ends what comes back.
        const bytes got = s.ask(zc_ping, r.n + 10);
        ASSERT_EQ(got.size(), r.n + 10) << at;
        EXPECT_EQ(bytes(got.end() - 10, got.end()), zc_ack(1, 0x5000, 0x5501)) << at;
        const bytes ans(got.begin(), got.end() - 10);
        switch (r.kind) {
        case ZS_F_CKS: EXPECT_NE(ans[7], good[7]); break;
        case ZS_F_END: EXPECT_NE(ans[8], 0xFE); break;
        case ZS_F_SHORT: EXPECT_EQ(ans, bytes(good.begin(), good.begin() + 4)); break;
        case ZS_F_ECHO: EXPECT_EQ(ans, q); break;
        case ZS_F_GARBAGE: EXPECT_EQ(bytes(ans.begin() + 3, ans.end()), good); break;
        case ZS_F_DELAY: EXPECT_EQ(ans, good); break;
        default: break;
        }
        EXPECT_EQ(zs_faults(s.sim, 0).at(0).fired, 1u) << at;
        EXPECT_EQ(s.ask(q), good) << at << ": fired only once";
    }
}

TEST(ZelbsimPty, RandomBytesAndFramesSplitAcrossWritesDoNotStopTheLine) {
    zc_sim s({zc_line(1)});
    std::mt19937 rng(42);
    bytes junk(65536);
    for (uint8_t &b : junk) b = uint8_t(rng());
    s.send(junk);
    // A frame cut in two writes, then a whole one: both are answered (a valid frame by chance
    // in the random bytes would need AA 55, FF 00 and the checksum to line up: about 2^-40 per
    // position).
    const bytes q = zc_frame(1, 0x08E7, 0), want = zc_ack(1, 0x08E7, 0x306C);
    s.send(bytes(q.begin(), q.begin() + 3));
    s.send(bytes(q.begin() + 3, q.end()));
    s.send(q);
    EXPECT_EQ(s.read(20), cat({want, want}));
    zs_line_stats st;
    ASSERT_EQ(zs_get_stats(s.sim, 0, &st), ZS_OK);
    EXPECT_GT(st.bad_bytes, 60000u);
}

TEST(ZelbsimPty, LoopModeEchoesEveryByte) {
    zs_line_cfg l = zc_line(1);
    l.loop = true;
    zc_sim s({l});
    const bytes q = zc_frame(1, 0x208C, 0), odd = {0x00, 0xFF, 0x13, 0xAA};
    EXPECT_EQ(s.ask(q), q);
    EXPECT_EQ(s.ask(odd, odd.size()), odd);
    EXPECT_TRUE(zs_keys(s.sim, 0, 1).empty());
}

// The program opens the port for each operation and closes it after. Each row is such a
// session, begun once the simulation has seen the one before it leave: it must be noticed,
// its line settings must be read back, and it must hear only its own answers (at another rate
// than the monitors' 9600 its ping arrives garbled). Row 3 sends a key whose answer comes half
// a second late and closes without waiting for it: the answer falls due with nobody listening
// and is thrown away, as on a serial line, so row 4 hears its own ping's answer first.
TEST(ZelbsimPty, EverySessionIsNoticedAndHearsOnlyItsOwnAnswers) {
    zc_sim s({zc_line(1)});
    close(s.fd);
    s.fd = -1;
    auto settings = [&] {
        zs_line_settings st;
        EXPECT_EQ(zs_get_settings(s.sim, 0, &st), ZS_OK);
        return st;
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
        bool two_stop;
        uint32_t late_ms;  // a key whose answer comes this late, not waited for; 0 = a ping
    } rows[] = {{1, B9600, 9600, false, 0},   {2, B19200, 19200, true, 0},
                {3, B9600, 9600, false, 500}, {4, B9600, 9600, true, 0},
                {5, B38400, 38400, false, 0}, {6, B9600, 9600, false, 0}};
    for (const Row &r : rows) {
        ASSERT_TRUE(tu_wait_until([&] { return !settings().client; })) << "row " << r.no;
        const uint64_t out0 = bytes_out(), seq = zs_last_seq(s.sim);
        s.fd = zc_open_port(zs_slave_path(s.sim, 0), r.speed, r.two_stop);
        ASSERT_GE(s.fd, 0) << "row " << r.no;
        if (r.late_ms) {
            const zs_fault f{.kind = ZS_F_DELAY, .arg = r.late_ms, .cmd = 0x208C, .times = 1};
            ASSERT_EQ(zs_add_fault(s.sim, 0, f), ZS_OK);
            s.send(zc_frame(1, 0x208C, 0));
            EXPECT_EQ(zs_wait_event(s.sim, ZS_EV_RX, 1, seq, tu_wait_ms), ZS_OK) << "row " << r.no;
        } else if (r.baud == 9600) {
            EXPECT_EQ(s.ask(zc_ping), zc_ack(1, 0x5000, 0x5501)) << "row " << r.no;
        } else {
            EXPECT_TRUE(s.dropped(zc_ping)) << "row " << r.no;
        }
        const zs_line_settings st = settings();
        EXPECT_EQ(std::tuple(st.baud, st.stop_bits, st.data_bits, st.client),
                  std::tuple(r.baud, uint8_t(r.two_stop ? 2 : 1), uint8_t(8), true))
            << "row " << r.no;
        close(s.fd);
        s.fd = -1;
        if (r.late_ms) {  // the key's answer has gone out to nobody
            ASSERT_TRUE(tu_wait_until([&] { return bytes_out() >= out0 + 10; })) << "row " << r.no;
        }
    }
}

TEST(ZelbsimPty, PacingTakesAtLeastTheWireTime) {
    zs_line_cfg l = zc_line(1);
    l.pace = true;
    l.baud = 1200;
    zc_sim s({l}, B1200);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(s.ask(zc_ping), zc_ack(1, 0x5000, 0x5501));
    // 20 bytes of 11 bits (8E1) at 1200 baud take 183 ms on the wire; never less.
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(180));
}

TEST(ZelbsimPty, SymlinkLivesAsLongAsTheSimulation) {
    const std::string dir = tu_make_temp_dir("zs_test_");
    ASSERT_FALSE(dir.empty());
    zs_line_cfg l = zc_line(2);
    l.link = dir + "/sub/ttyV0";
    {
        zc_sim s({l});  // opens the link
        EXPECT_EQ(s.ask(zc_ping), zc_ack(2, 0x5000, 0x5502));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(l.link)));
    // A regular file in the way is not replaced.
    ASSERT_FALSE(tu_write_file(l.link, "").empty());
    zs_config c;
    c.lines = {l};
    zs_sim *sim = nullptr;
    EXPECT_EQ(zs_start(c, &sim), ZS_EXISTS);
    EXPECT_EQ(sim, nullptr);
    std::filesystem::remove_all(dir);
}

// ---- firmware loader ----------------------------------------------------------------------

namespace {

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

// True once the line is in frame mode and its first monitor is back from its restart.
bool frames_again(zs_sim *sim) {
    return tu_wait_until([&] {
        zs_mon_status st;
        return mode_of(sim).mode == ZS_MODE_FRAME && zs_get_monitor(sim, 0, 1, &st) == ZS_OK &&
               !st.silent;
    });
}

}  // namespace

TEST(ZelbsimLoader, StartCommandSwitchesTheRateAndEndOfFileBringsFramesBack) {
    zc_sim s({zc_line(1)});
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
        const bytes req = zc_frame(r.addr, 0x7000, r.code);
        if (!r.speed) {
            EXPECT_EQ(s.ask(req), zc_refusal(1, 0x7000, r.code)) << "row " << r.no;
            EXPECT_EQ(mode_of(s.sim).mode, ZS_MODE_FRAME) << "row " << r.no;
            continue;
        }
        EXPECT_EQ(s.ask(req), zc_ack(1, 0x7000, r.code)) << "row " << r.no;
        EXPECT_EQ(mode_of(s.sim).mode, ZS_MODE_FWLOAD) << "row " << r.no;
        EXPECT_EQ(mode_of(s.sim).baud, r.baud) << "row " << r.no;
        if (r.baud != 9600) {  // a frame at the old rate arrives garbled
            EXPECT_TRUE(s.dropped(zc_ping)) << "row " << r.no;
            ASSERT_TRUE(zc_set_rate(s.fd, r.speed));
        }
        // A good record, a bad checksum, an address record in two writes, end of file.
        const bytes ext = record(0x04, 0, {0x00, 0x01});
        s.send(cat({kData, kBadData, bytes(ext.begin(), ext.begin() + 3)}));
        s.send(bytes(ext.begin() + 3, ext.end()));
        EXPECT_EQ(s.ask(kEof, 4), (bytes{0xFF, 0x00, 0xFF, 0xFF})) << "row " << r.no;
        ASSERT_TRUE(frames_again(s.sim)) << "row " << r.no;
        ASSERT_TRUE(zc_set_rate(s.fd, B9600));
        EXPECT_EQ(s.ask(zc_ping), zc_ack(1, 0x5000, 0x5501)) << "row " << r.no;
    }
    zs_mon_status ms;  // the end of each of the four loads restarted the monitor
    ASSERT_EQ(zs_get_monitor(s.sim, 0, 1, &ms), ZS_OK);
    EXPECT_EQ(ms.restarts, 4u);
}

TEST(ZelbsimLoader, ARingEchoesRecordsAndMarksRefusedOnes) {
    zc_sim s({zc_line(2)});
    EXPECT_EQ(s.ask(zc_frame(0, 0x7000, 12)), zc_ack(2, 0x7000, 12));  // the last one answers
    ASSERT_TRUE(zc_set_rate(s.fd, B115200));
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
    ASSERT_TRUE(zc_set_rate(s.fd, B9600));
    EXPECT_EQ(s.ask(zc_ping), zc_ack(2, 0x5000, 0x5502));
    const std::string sum = zs_summary(s.sim);
    EXPECT_NE(sum.find("firmware records 3, refused 3, data bytes 258"), std::string::npos) << sum;
}

// The fault rules reach record answers. Each row sends two good records, the second one
// faulted (n= counts the records of the load), then a refused one whose 00 ends the answers.
TEST(ZelbsimLoader, FaultRulesApplyToRecordAnswers) {
    zc_sim s({zc_line(1)});
    EXPECT_EQ(s.ask(zc_frame(1, 0x7000, 12)), zc_ack(1, 0x7000, 12));
    ASSERT_TRUE(zc_set_rate(s.fd, B115200));
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
        {4, ZS_F_ECHO, 0, cat({{0xFF}, kData, {0x00}}), 1},
        {5, ZS_F_END, 0, {0xFF, 0xFF, 0x00}, 0},  // records have no end code
    };
    for (const Row &r : rows) {
        ASSERT_EQ(zs_clear_faults(s.sim, 0), ZS_OK);
        const zs_fault f{.kind = r.kind, .arg = r.arg, .nth = uint32_t(r.no) * 3 - 1};
        ASSERT_EQ(zs_add_fault(s.sim, 0, f), ZS_OK);
        s.send(cat({kData, kData}));
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

zs_line_cfg boot_line(zs_transport kind = ZS_PTY, uint8_t id = 0xD5) {
    zs_line_cfg l = zc_line(1, kind);
    l.bootstrap = true;
    l.boot_id = id;
    return l;
}

}  // namespace

TEST(ZelbsimBoot, EmptyBoardIsLoadedAndThenAnswersFrames) {
    zc_sim s({boot_line()});
    const zs_mode_info m = mode_of(s.sim);
    EXPECT_TRUE(m.mode == ZS_MODE_BOOT && m.baud == 57600u && m.parity == 'N');
    EXPECT_TRUE(s.dropped(zc_ping));  // no frames: at the configured rate the bytes are garbled

    ASSERT_TRUE(zc_set_rate(s.fd, B57600));
    EXPECT_EQ(s.ask(bytes{0x13, 0x00}, 1), bytes{0xD5});  // 13 is not for the boot loader
    s.send(primary(0xE110, 0xE117));
    const bytes second = {0x02, 0xE1, 0x10, 0x75, 0xA8, 0x10, 0x80, 0x22};
    for (size_t i = 0; i + 1 < second.size(); ++i)
        EXPECT_EQ(s.ask(bytes{second[i]}, 1), bytes{second[i]}) << "byte " << i;
    EXPECT_EQ(s.ask(bytes{second.back()}, 2), (bytes{second.back(), 0xCC}));
    EXPECT_EQ(s.ask(kData, 1), bytes{0xFC});
    EXPECT_EQ(s.ask(kBadData, 1), bytes{0xFB});
    EXPECT_EQ(s.ask(kEof, 1), bytes{0xFC});
    ASSERT_TRUE(frames_again(s.sim));
    ASSERT_TRUE(zc_set_rate(s.fd, B9600));
    EXPECT_EQ(s.ask(zc_ping), zc_ack(1, 0x5000, 0x5501));
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
        zc_sim s({boot_line(ZS_PTY, r.id)}, B57600);
        EXPECT_EQ(s.ask(bytes{0x00}, 1), bytes{r.id}) << "row " << r.no;
        s.send(primary(0xE110, r.last));
        EXPECT_EQ(s.ask(bytes{0x00}, 1), bytes{uint8_t(r.loads ? 0x00 : r.id)}) << "row " << r.no;
    }
}

// ---- the converter protocol over TCP ------------------------------------------------------

namespace {

// The converter packet a program sends for `data`: parameters, then each byte behind code 0.
bytes packet(const bytes &data, uint8_t mode = 0x81, uint8_t baud_code = 5) {
    bytes p = {0x02, mode, 0x03, 0x4E, 0x05, 0x00, 0x04, 0x00, 0x01, baud_code};
    for (uint8_t b : data) p.insert(p.end(), {0x00, b});
    return p;
}

}  // namespace

// Each packet carries a frame behind the parameters; the answers come back plain.
TEST(ZelbsimTcp, ConverterPacketsSetTheLineAndCarryTheFrames) {
    zc_sim s({zc_line(1, ZS_TCP)});
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
        const bytes p = packet(zc_frame(1, 0x08E5, 0), r.mode, r.code);
        if (r.answered)
            EXPECT_EQ(s.ask(p), zc_ack(1, 0x08E5, 0x101)) << "row " << r.no;
        else
            EXPECT_TRUE(s.dropped(p)) << "row " << r.no;
        zs_line_settings st;
        ASSERT_EQ(zs_get_settings(s.sim, 0, &st), ZS_OK);
        EXPECT_EQ(st.baud, r.baud) << "row " << r.no;
        EXPECT_EQ(st.parity, r.parity) << "row " << r.no;
        EXPECT_TRUE(st.flow == 'N' && st.client) << "row " << r.no;
    }
    // A packet one byte per send: pairs split across reads still decode.
    for (uint8_t b : packet(zc_frame(1, 0x08E6, 0))) s.send(bytes{b});
    EXPECT_EQ(s.read(10), zc_ack(1, 0x08E6, 0x0544));
}

TEST(ZelbsimTcp, IpListLinesAnswerApartAndDropFaultClosesTheConnection) {
    zc_sim s({zc_line(2, ZS_TCP), zc_line(1, ZS_TCP)});
    const bytes p = packet(zc_ping);
    const int fd2 = zc_connect(s.sim, 1);
    ASSERT_TRUE(fd2 >= 0 && tu_write_all(fd2, p.data(), p.size()));
    EXPECT_EQ(s.ask(p), zc_ack(2, 0x5000, 0x5502));
    EXPECT_EQ(tu_read_n(fd2, 10), zc_ack(1, 0x5000, 0x5501));
    close(fd2);

    ASSERT_EQ(zs_add_fault(s.sim, 0, zs_fault{.kind = ZS_F_DROP, .arg = 12, .times = 1}), ZS_OK);
    s.send(p);  // this client is past 12 bytes: its next packet ends it
    pollfd q{s.fd, POLLIN, 0};
    ASSERT_EQ(poll(&q, 1, tu_wait_ms), 1);
    uint8_t b;
    EXPECT_LE(read(s.fd, &b, 1), 0);  // closed by the simulator, no answer
    EXPECT_EQ(zs_faults(s.sim, 0).at(0).fired, 1u);
    close(s.fd);
    s.fd = zc_connect(s.sim, 0);  // a new client is served again
    EXPECT_EQ(s.ask(p), zc_ack(2, 0x5000, 0x5502));
}

// Through a converter the baud code sets the line's rate, judged against the mode's: the
// firmware loader at 38400, and a board in its boot loader (8N1).
TEST(ZelbsimTcp, LoaderModesFollowTheConverterRate) {
    zc_sim s({zc_line(1, ZS_TCP)});
    EXPECT_EQ(s.ask(packet(zc_frame(1, 0x7000, 8))), zc_ack(1, 0x7000, 8));
    EXPECT_TRUE(s.dropped(packet(kData, 0x81, 5)));  // still at 9600: garbled
    EXPECT_EQ(s.ask(packet(kData, 0x81, 3), 1), bytes{0xFF});

    zc_sim b({boot_line(ZS_TCP)});
    EXPECT_TRUE(b.dropped(packet({0x00}, 0x81, 2)));  // 57600, but even parity
    EXPECT_EQ(b.ask(packet({0x00}, 0x80, 2), 1), bytes{0xD5});
}

// ---- options ------------------------------------------------------------------------------

TEST(ZelbsimOptions, CommandLineAndStateFile) {
    struct Row {
        int no;
        std::vector<const char *> args;
        int rc;
        const char *says;  // in the message of a refusal
    } rows[] = {
        {1, {"--pty", "-", "--monitors", "3", "--mon", "2:gen=2,disp=0x123"}, ZS_OK, ""},
        {2, {"--tcp", "127.0.0.2", "--tcp", "127.0.0.3:0", "--monitors", "2:4"}, ZS_OK, ""},
        {3, {"--pty", "-", "--fault", "short:4@cmd=0x08E5,times=1,p=0.25"}, ZS_OK, ""},
        {4, {"--pty", "-", "--pty", "-", "--bootstrap", "2", "--boot-id", "0x3F"}, ZS_OK, ""},
        {5, {"--bootstrap", "--pty", "-", "--pty", "-"}, ZS_OK, ""},  // the line is optional
        {6, {"--monitors", "3"}, ZS_BAD_ARG, "no line"},
        {7, {"--pty", "-", "--monitors", "0"}, ZS_BAD_ARG, "--monitors"},
        {8, {"--pty", "-", "--monitors", "256"}, ZS_BAD_ARG, "--monitors"},
        {9, {"--pty", "-", "--mon", "1:gen=3"}, ZS_BAD_ARG, "gen=3"},
        {10, {"--pty", "-", "--mon", "4:gen=2"}, ZS_BAD_ARG, "no such monitor"},  // only one
        {11, {"--pty", "-", "--fault", "short"}, ZS_BAD_ARG, "argument"},
        {12, {"--pty", "-", "--fault", "short:10"}, ZS_BAD_ARG, "argument"},  // an answer has 10
        {13, {"--pty", "-", "--fault", "cks@p=1.5"}, ZS_BAD_ARG, "p=1.5"},
        {14, {"--pty", "-", "--baud", "010"}, ZS_BAD_ARG, "--baud"},
        {15, {"--pty", "-", "--bogus"}, ZS_BAD_ARG, "--bogus"},
        {16, {"--pty", "-", "--bootstrap", "2"}, ZS_BAD_ARG, "--bootstrap"},
        {17, {"--pty", "-", "--boot-id", "256"}, ZS_BAD_ARG, "--boot-id"},
        {18, {"--version=1"}, ZS_BAD_ARG, "--version"},  // takes no value
        {19,
         {"--pty", "-", "--monitors", "2", "--fs-random", "3:4"},
         ZS_BAD_ARG,
         "no such monitor"},
        {20, {"--pty", "-", "--fs-random", "2.1:4"}, ZS_BAD_ARG, "no such line"},
        {21, {"--pty", "-", "--fs-random", "x"}, ZS_BAD_ARG, "--fs-random"},
        {22, {"--pty", "-", "--fs-gamma", "5"}, ZS_BAD_ARG, "--fs-gamma"},
        {23, {"--pty", "-", "--fs-capacity", "65536"}, ZS_BAD_ARG, "--fs-capacity"},
        {24, {"--pty", "-", "--fs-save"}, ZS_BAD_ARG, "--fs-save"},
        {25, {"--help"}, ZS_HELP, ""},
        {26, {"--version"}, ZS_VERSION, ""},
        {27, {"--pty", "-", "--version", "--monitors", "2"}, ZS_VERSION, ""},
    };
    for (const Row &r : rows) {
        zs_config c;
        std::string err;
        EXPECT_EQ(zc_parse(r.args, &c, &err), r.rc) << "row " << r.no << ": " << err;
        EXPECT_NE(err.find(r.says), std::string::npos) << "row " << r.no << ": " << err;
        if (r.no == 1) {
            ASSERT_EQ(c.lines.at(0).mons.size(), 3u);
            EXPECT_EQ(c.lines[0].mons[1].gen, ZS_GEN2);
            EXPECT_EQ(c.lines[0].mons[1].disp, 0x123);
            EXPECT_EQ(c.lines[0].mons[2].disp, 0x103);
        }
        if (r.no == 2) {
            EXPECT_TRUE(c.lines.at(0).port == 11111 && c.lines.at(1).port == 0);
            EXPECT_TRUE(c.lines[0].mons.size() == 1u && c.lines[1].mons.size() == 4u);
        }
        if (r.no == 3) {
            const zs_fault &f = c.lines.at(0).faults.at(0);
            EXPECT_TRUE(f.kind == ZS_F_SHORT && f.arg == 4u && f.cmd == 0x08E5 && f.ppm == 250000u);
        }
        if (r.no == 4 || r.no == 5) {
            EXPECT_EQ(c.lines.at(0).bootstrap, r.no == 5);
            EXPECT_TRUE(c.lines.at(1).bootstrap && c.lines[1].boot_id == (r.no == 4 ? 0x3F : 0xD5));
        }
    }

    const std::string dir = tu_make_temp_dir("zs_state_");
    const std::string state = tu_write_file(
        dir + "/state",
        "# two lines, the second with a generation-2 monitor\n"
        "pty -\n--tcp 127.0.0.4:0\n  monitors 2:2  \n"
        "mon 2.2:gen=2,boot=1   # trailing comment\nloop\nfs-random 1:2\nfs-capacity 7\n");
    zs_config c;
    std::string err;
    ASSERT_EQ(zc_parse({"--state", state.c_str()}, &c, &err), ZS_OK) << err;
    ASSERT_EQ(c.lines.size(), 2u);
    EXPECT_TRUE(c.lines[0].loop && c.lines[1].loop);
    ASSERT_EQ(c.lines[1].mons.size(), 2u);
    EXPECT_TRUE(c.lines[1].mons[1].boot && c.lines[1].mons[1].gen == ZS_GEN2);
    EXPECT_TRUE(c.lines[1].fs.at(0).entries.size() == 2u && c.lines[1].fs_capacity == 7u);
    std::filesystem::remove_all(dir);
}
