// Tests of the firmware image the simulator keeps from a load: records sent as raw bytes over
// its pseudo-terminal, as the program sends them, and the image compared with a byte map the
// test builds from the absolute addresses it meant; refusals in both loaders; the pace of the
// loader's answers on the line's own clock; and the files the program writes.
#include "support/test_util.h"
#include "support/zs_client.h"
#include "zelbsim.h"
#include "zs_internal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

using bytes = std::vector<uint8_t>;
using byte_map = std::map<uint32_t, uint8_t>;

namespace {

// A binary firmware record whose bytes sum to 0; `spoil` puts its checksum off by one.
bytes record(uint8_t type, uint16_t addr, const bytes &data, bool spoil = false) {
    bytes r;
    r.reserve(data.size() + 5);
    r.push_back(uint8_t(data.size()));
    r.push_back(uint8_t(addr >> 8));
    r.push_back(uint8_t(addr));
    r.push_back(type);
    for (uint8_t b : data) r.push_back(b);
    uint8_t sum = 0;
    for (uint8_t b : r) sum = uint8_t(sum + b);
    r.push_back(uint8_t(0x100 - sum + (spoil ? 1 : 0)));
    return r;
}
bytes run(size_t n, uint8_t first) {
    bytes d(n);
    for (size_t i = 0; i < n; ++i) d[i] = uint8_t(first + i);
    return d;
}

// A firmware: each record with the absolute address its data is meant for. A segment record
// and a linear one take it past 64 KB; the last data record writes over earlier bytes.
struct Piece {
    bytes rec;
    uint32_t at;  // data records only
};
const std::vector<Piece> kFirmware = {
    {record(0x00, 0x0000, run(16, 0x00)), 0x00000},
    {record(0x00, 0x0010, run(16, 0x10)), 0x00010},
    {record(0x00, 0x0100, run(8, 0x20)), 0x00100},
    {record(0x02, 0x0000, {0x10, 0x00}), 0},  // segment 0x1000
    {record(0x00, 0x0020, run(16, 0x30)), 0x10020},
    {record(0x04, 0x0000, {0x00, 0x02}), 0},  // linear 0x0002
    {record(0x00, 0xFFF0, run(16, 0x40)), 0x2FFF0},
    {record(0x04, 0x0000, {0x00, 0x00}), 0},
    {record(0x00, 0x0008, run(4, 0xA0)), 0x00008},
    {record(0x05, 0x0000, {0x00, 0x00, 0x01, 0x00}), 0},
    {record(0x01, 0x0000, {}), 0},
};
constexpr uint64_t kFirmwareBytes = 76;

byte_map expected_bytes(const std::vector<Piece> &fw) {
    byte_map m;
    for (const Piece &p : fw)
        if (p.rec[3] == 0x00)
            for (size_t i = 0; i < p.rec[0]; ++i) m[p.at + uint32_t(i)] = p.rec[4 + i];
    return m;
}
std::vector<std::pair<uint32_t, bytes>> runs_of(const byte_map &m) {
    std::vector<std::pair<uint32_t, bytes>> v;
    for (const auto &[a, b] : m) {
        if (v.empty() || v.back().first + uint64_t(v.back().second.size()) != a)
            v.push_back({a, {}});
        v.back().second.push_back(b);
    }
    return v;
}
uint64_t fnv(const byte_map &m) {
    uint64_t h = 0xCBF29CE484222325;
    for (const auto &[a, b] : m)
        for (uint8_t o : {uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16), uint8_t(a >> 24), b})
            h = (h ^ o) * 0x100000001B3;
    return h;
}
bytes flat_of(const byte_map &m) {
    bytes f(m.rbegin()->first - m.begin()->first + 1, 0xFF);
    for (const auto &[a, b] : m) f[a - m.begin()->first] = b;
    return f;
}
std::string hex(uint64_t v, int digits) {
    char b[24];
    std::snprintf(b, sizeof b, "0x%0*llX", digits, static_cast<unsigned long long>(v));
    return b;
}

// The answers of a loader to a record: one byte, or for a ring the record, a refused one with
// its last byte changed.
enum Loader { FW_ONE, FW_RING, BOOT };
bytes answer(Loader k, const bytes &rec, bool good) {
    if (k == BOOT) return {uint8_t(good ? 0xFE : 0xFB)};  // --boot-ack 0xFE
    if (k == FW_ONE) return {uint8_t(good ? 0xFF : 0x00)};
    bytes a = rec;
    if (!good) a.back() = uint8_t(~a.back());
    return a;
}

}  // namespace

// A load of one monitor and of a paced ring of three, each with a damaged record in the middle:
// the image holds the data at their absolute addresses, the damaged one refused and not kept,
// and the next load starts a new image.
TEST(ZelbsimImage, LoadKeepsTheBytesAtTheirAddresses) {
    struct Row {
        Loader kind;
        const char *monitors, *code;
        speed_t speed;
        bool pace;
    } rows[] = {{FW_ONE, "1", "24", B576000, false}, {FW_RING, "3", "12", B115200, true}};
    const bytes damaged = record(0x00, 0x0200, run(8, 0xE0), true);
    const byte_map want = expected_bytes(kFirmware);
    for (const Row &r : rows) {
        std::vector<const char *> args = {"--pty",        "-", "--monitors", r.monitors,
                                          "--restart-ms", "0"};
        if (r.pace) args.push_back("--pace");
        zc_sim s(args, B9600);
        const uint8_t last = uint8_t(std::stoi(r.monitors)), code = uint8_t(std::stoi(r.code));
        ASSERT_EQ(s.ask(zc_frame(0, 0x7000, code), 10), zc_frame(last, 0x7000, code, 0xFE));
        ASSERT_TRUE(zc_set_rate(s.fd, r.speed));
        for (size_t i = 0; i < kFirmware.size(); ++i) {
            const bytes &rec = kFirmware[i].rec;
            EXPECT_EQ(s.ask(rec, answer(r.kind, rec, true).size()), answer(r.kind, rec, true))
                << r.monitors << " record " << i;
            if (i != 2) continue;
            EXPECT_EQ(s.ask(damaged, answer(r.kind, damaged, false).size()),
                      answer(r.kind, damaged, false));
        }
        const zs_image img = s.image();
        EXPECT_TRUE(img.complete);
        EXPECT_EQ(img.records, kFirmware.size());
        EXPECT_EQ(img.refused, 1u);
        EXPECT_EQ(img.data_bytes, kFirmwareBytes);
        EXPECT_EQ(img.low, 0u);
        EXPECT_EQ(img.high, 0x2FFFFu);
        EXPECT_EQ(img.spans, runs_of(want));
        EXPECT_EQ(img.digest, fnv(want));
        const std::string sum = zs_summary(s.sim);
        EXPECT_NE(sum.find("firmware image: records 11, refused 1, data bytes 76, addresses "
                           "0x00000000..0x0002FFFF, digest " +
                           hex(fnv(want), 16) + ", complete"),
                  std::string::npos)
            << sum;

        ASSERT_TRUE(zc_set_rate(s.fd, B9600));
        ASSERT_EQ(s.ask(zc_frame(0, 0x7000, 0), 10), zc_frame(last, 0x7000, 0, 0xFE));
        const zs_image next = s.image();
        EXPECT_TRUE(next.spans.empty() && !next.complete && next.records == 0);
    }
}

// A fault rule on the second record: cks damages its answer (the record is kept), refuse
// refuses the record itself (not kept); a damaged third record is refused by every loader.
TEST(ZelbsimImage, FaultRulesRefuseRecordsInBothLoaders) {
    const bytes a = record(0x00, 0x0040, {0x11, 0x22}), b = record(0x00, 0x0042, {0x33}),
                c = record(0x00, 0x0043, {0x44}, true), eof = record(0x01, 0, {});
    struct Row {
        Loader kind;
        const char *fault;
        bool b_kept;
    } rows[] = {
        {FW_ONE, "cks@n=2", true},     {FW_RING, "cks@n=2", true},     {BOOT, "cks@n=2", true},
        {FW_ONE, "refuse@n=2", false}, {FW_RING, "refuse@n=2", false}, {BOOT, "refuse@n=2", false},
    };
    for (const Row &r : rows) {
        const std::string what = std::to_string(r.kind) + " " + r.fault;
        std::vector<const char *> args = {"--pty", "-", "--fault", r.fault};
        if (r.kind == FW_RING) args.insert(args.end(), {"--monitors", "3"});
        if (r.kind == BOOT) args.insert(args.end(), {"--bootstrap", "--boot-ack", "0xFE"});
        zc_sim s(args, r.kind == BOOT ? B57600 : B9600);
        if (r.kind == BOOT) {
            ASSERT_EQ(s.ask({0x00}, 1), bytes{0xD5}) << what;
            bytes primary(32, 0x90);
            primary[6] = primary[24] = 0x10;
            primary[7] = primary[25] = 0xE1;  // a secondary loader of one byte at E110
            ASSERT_TRUE(tu_write_all(s.fd, primary.data(), primary.size()));
            ASSERT_EQ(s.ask({0x22}, 2), (bytes{0x22, 0xCC})) << what;
        } else {
            const uint8_t last = r.kind == FW_RING ? 3 : 1;
            ASSERT_EQ(s.ask(zc_frame(0, 0x7000, 4), 10), zc_frame(last, 0x7000, 4, 0xFE)) << what;
            ASSERT_TRUE(zc_set_rate(s.fd, B19200));
        }
        const std::vector<std::pair<bytes, bool>> sent = {
            {a, true}, {b, false}, {c, false}, {eof, true}};
        for (const auto &[rec, good] : sent)
            EXPECT_EQ(s.ask(rec, answer(r.kind, rec, good).size()), answer(r.kind, rec, good))
                << what << " record " << int(rec[2]);
        const zs_image img = s.image();
        byte_map want = {{0x40, 0x11}, {0x41, 0x22}};
        if (r.b_kept) want[0x42] = 0x33;
        EXPECT_EQ(img.spans, runs_of(want)) << what;
        EXPECT_EQ(img.records, r.b_kept ? 3u : 2u) << what;
        EXPECT_EQ(img.refused, r.b_kept ? 1u : 2u) << what;
        EXPECT_TRUE(img.complete) << what;
        EXPECT_EQ(zs_faults(s.sim, 0).at(0).fired, 1u) << what;
    }
}

// With pacing, the line's clock is passed in: the acknowledgement of 0x7000 leaves at 9600
// baud, a record's answer (a ring's echo as one piece) and the answer to the end-of-file record
// at the loader's 576000, although the line has changed its mode by the time they leave.
TEST(ZelbsimImage, PacedAnswersKeepTheRateTheyWereGivenIn) {
    constexpr int64_t b9600 = 1146, b576k = 20;  // 11 bits a byte: start, 8 data, parity, stop
    for (const int monitors : {1, 3}) {
        zs_log log;
        zs_line_cfg c;
        c.pace = true;
        zs_line_set_count(&c, monitors);
        for (zs_monitor &m : c.mons) m.restart_ms = 0;
        zs_line l;
        zs_line_init(&l, 0, c, 1, &log);
        // Feeds `in` at `at` and checks that `want` leaves, byte k at first + k * bt.
        auto check = [&](const bytes &in, int64_t at, const bytes &want, int64_t first,
                         int64_t bt) {
            zs_line_serial_in(&l, in.data(), in.size(), at);
            bytes got;
            std::vector<int64_t> when;
            for (int64_t now = at; now != INT64_MAX;) {
                const size_t had = got.size();
                const int64_t next = zs_line_take_due(&l, now, &got);
                when.insert(when.end(), got.size() - had, now);
                now = next;
            }
            EXPECT_EQ(got, want) << monitors;
            for (size_t k = 0; k < when.size(); ++k)
                EXPECT_EQ(when[k], first + int64_t(k) * bt) << monitors << " byte " << k;
        };
        check(zc_frame(0, 0x7000, 24), 0, zc_frame(uint8_t(monitors), 0x7000, 24, 0xFE), 11 * b9600,
              b9600);
        l.set.baud = 576000;  // the program follows
        const bytes rec = record(0x00, 0x0100, run(20, 1)), eof = record(0x01, 0, {});
        const Loader k = monitors == 1 ? FW_ONE : FW_RING;
        check(rec, 1000000, answer(k, rec, true), 1000000 + 26 * b576k, b576k);
        check(eof, 2000000, answer(k, eof, true), 2000000 + 6 * b576k, b576k);
        EXPECT_EQ(l.mode, ZS_MODE_FRAME);
    }
}

// Writes in random order land in maximal runs equal to a byte map's, across the wrap of the
// address space too; the flat file refuses what it cannot write.
TEST(ZelbsimImage, RunsMergeAndFlatFilesAreChecked) {
    std::mt19937 rng(7);
    zs_image_store im;
    byte_map want;
    uint64_t n_bytes = 0;
    for (int i = 0; i < 3000; ++i) {
        const uint32_t at = i % 100 == 0 ? 0xFFFFFFF0u + rng() % 16 : rng() % 4096;
        const bytes d = run(rng() % 40, uint8_t(rng()));
        zs_image_put(&im, at, d.data(), d.size());
        for (size_t k = 0; k < d.size(); ++k) want[uint32_t(at + k)] = d[k];
        n_bytes += d.size();
    }
    const zs_image img = zs_image_of(im);
    EXPECT_EQ(img.spans, runs_of(want));
    EXPECT_EQ(img.data_bytes, n_bytes);
    EXPECT_EQ(img.digest, fnv(want));

    const std::string dir = tu_make_temp_dir("zs_fw_bin_");
    ASSERT_FALSE(dir.empty());
    struct Row {
        std::vector<std::pair<uint32_t, bytes>> spans;
        uint32_t low, high;
        int rc;
    } rows[] = {
        {{}, 0, 0, ZS_OK},                                           // an empty file
        {{{0x10, {1, 2}}}, 0x10, 0x10, ZS_BAD_ARG},                  // a span past high
        {{{0, {1}}, {0x20000000, {1}}}, 0, 0x20000000, ZS_BAD_ARG},  // 512 MiB
    };
    for (const Row &r : rows) {
        const std::string path = dir + "/" + std::to_string(&r - rows) + ".bin";
        zs_image bad;
        bad.spans = r.spans;
        bad.low = r.low;
        bad.high = r.high;
        std::string err;
        EXPECT_EQ(zs_image_write_bin(bad, path, &err), r.rc) << err;
        EXPECT_EQ(std::filesystem::exists(path), r.rc == ZS_OK);
    }
    std::filesystem::remove_all(dir);
}

namespace {
bytes file_bytes(const std::string &path) {
    const std::string s = tu_read_file(path);
    return bytes(s.begin(), s.end());
}
}  // namespace

// The program with --image-save and two lines: SIGUSR1 writes the loaded image of line 1 and
// the empty one of line 2; a second load, left unfinished, is what the end writes and names.
TEST(ZelbsimImage, TheProgramWritesTheImagesOnSignalAndOnExit) {
    const std::string dir = tu_make_temp_dir("zs_fw_save_");
    ASSERT_FALSE(dir.empty());
    const std::string bin = VQ_BINARY_DIR "/bin/zelbsim", link = dir + "/tty", save = dir + "/out";
    tu_child child;
    ASSERT_TRUE(
        child.spawn({bin, "--pty", link, "--pty", "-", "--restart-ms", "0", "--image-save", save},
                    dir + "/stdout"));
    ASSERT_TRUE(child.printed("ready")) << tu_read_file(child.out);
    const int fd = zc_open_port(link);
    const auto ask = [fd](const bytes &q, size_t n) {
        return tu_write_all(fd, q.data(), q.size()) ? tu_read_n(fd, n) : bytes{};
    };
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ask(zc_frame(1, 0x7000, 12), 10), zc_frame(1, 0x7000, 12, 0xFE));
    ASSERT_TRUE(zc_set_rate(fd, B115200));
    for (const Piece &p : kFirmware) EXPECT_EQ(ask(p.rec, 1), bytes{0xFF});
    kill(child.pid, SIGUSR1);
    ASSERT_TRUE(child.printed("firmware images written")) << tu_read_file(child.out);
    const byte_map want = expected_bytes(kFirmware);
    EXPECT_EQ(file_bytes(save + "/line1.bin"), flat_of(want));
    EXPECT_EQ(tu_read_file(save + "/line1.txt"),
              "records=11 data_bytes=76 low=0x00000000 "
              "high=0x0002FFFF digest=" +
                  hex(fnv(want), 16) + " complete=1\n");
    EXPECT_TRUE(std::filesystem::exists(save + "/line2.bin") &&
                std::filesystem::file_size(save + "/line2.bin") == 0);
    EXPECT_EQ(tu_read_file(save + "/line2.txt"),
              "records=0 data_bytes=0 low=0x00000000 high=0x00000000 digest=0xCBF29CE484222325 "
              "complete=0\n");

    ASSERT_TRUE(zc_set_rate(fd, B9600));
    ASSERT_EQ(ask(zc_frame(1, 0x7000, 0), 10), zc_frame(1, 0x7000, 0, 0xFE));
    EXPECT_EQ(ask(record(0x00, 0x0030, {0x02, 0x33, 0x7A}), 1), bytes{0xFF});
    close(fd);
    EXPECT_TRUE(child.stop());
    const std::string seen = tu_read_file(child.out);
    const byte_map second = {{0x30, 0x02}, {0x31, 0x33}, {0x32, 0x7A}};
    EXPECT_EQ(file_bytes(save + "/line1.bin"), (bytes{0x02, 0x33, 0x7A}));
    EXPECT_EQ(tu_read_file(save + "/line1.txt"),
              "records=1 data_bytes=3 low=0x00000030 high=0x00000032 digest=" +
                  hex(fnv(second), 16) + " complete=0\n");
    EXPECT_NE(seen.find("firmware image: records 1, refused 0, data bytes 3, addresses "
                        "0x00000030..0x00000032, digest " +
                        hex(fnv(second), 16) + ", incomplete"),
              std::string::npos)
        << seen;
    std::filesystem::remove_all(dir);
}
