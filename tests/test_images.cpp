// The built-in images: the firmware 5.068 and the boot loaders as the build
// links them, the guard that keeps stand-ins from a real board, what the
// programs say about the images, and the generator (imagegen) run on files the
// tests make: Intel-HEX text taken line by line, malformed records and boot
// files of a wrong size refused.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_util.h"
#include "velquor/operations/bootsec.h"
#include "velquor/operations/v5.068.h"
#include "velquor/operations/vf_images.h"
#include "velquor/ui/text_ar.h"

namespace {

// ---------------------------------------------------------------- reading records

int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

struct Rec {
    unsigned count = 0, addr = 0, type = 0;
    std::vector<uint8_t> data;
};

// Reads one table line: TAB, ":", hex pairs, TAB; the byte count matching the
// length and an 8-bit sum of 0. "" when it is such a record, else the fault.
std::string read_framed(const std::string &l, Rec *r) {
    if (l.size() < 3 || l.front() != '\t' || l.back() != '\t') return "not framed by TABs";
    const std::string rec = l.substr(1, l.size() - 2);
    if (rec[0] != ':' || rec.size() % 2 != 1 || rec.size() < 11) return "no record";
    std::vector<unsigned> b;
    unsigned sum = 0;
    for (size_t i = 1; i < rec.size(); i += 2) {
        if (hex(rec[i]) < 0 || hex(rec[i + 1]) < 0) return "no hex digit";
        b.push_back(static_cast<unsigned>(hex(rec[i]) * 16 + hex(rec[i + 1])));
        sum += b.back();
    }
    if (b[0] + 5 != b.size()) return "byte count does not match";
    if (sum % 256 != 0) return "checksum wrong";
    r->count = b[0];
    r->addr = b[1] << 8 | b[2];
    r->type = b[3];
    r->data.assign(b.begin() + 4, b.end() - 1);
    return "";
}

// The first fault of the stand-in's layout, "" when it has it exactly: 29 122
// lines; a segment record first and one every 4096 data records (0x1000,
// 0x2000, ...); data records of 16 bytes at ascending addresses from 0 in each
// segment; the end record last; upper-case hex.
std::string standin_fault(const std::vector<std::string> &lines) {
    if (lines.size() != 29122) return "lines: " + std::to_string(lines.size());
    unsigned data_recs = 0, seg_recs = 0, seg = 0, next_addr = 0;
    size_t data_bytes = 0;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string at = "line " + std::to_string(i + 1) + ": ";
        Rec r;
        const std::string why = read_framed(lines[i], &r);
        if (!why.empty()) return at + why;
        if (lines[i].find_first_of("abcdef") != std::string::npos) return at + "lower case";
        if (i == 0 && r.type != 2) return at + "does not begin a segment";
        if (i + 1 == lines.size()) {
            if (lines[i] != "\t:00000001FF\t") return at + "not the end record";
            break;
        }
        if (r.type == 2) {
            const unsigned v = r.data.size() == 2 ? (r.data[0] << 8 | r.data[1]) : 0;
            if (r.addr != 0 || v != seg + 0x1000) return at + "segment value out of order";
            if (data_recs % 4096 != 0) return at + "segment begins inside 64 KB";
            seg = v;
            next_addr = 0;
            seg_recs++;
        } else if (r.type == 0) {
            if (r.count != 16) return at + "data record not of 16 bytes";
            if (r.addr != next_addr) return at + "address not continuous";
            if (next_addr == 0x10000 - 16 && (data_recs + 1) % 4096 != 0) return at + "segment";
            next_addr += 16;
            data_recs++;
            data_bytes += r.count;
        } else {
            return at + "record type " + std::to_string(r.type);
        }
    }
    if (seg_recs != 8 || seg != 0x8000) return "segments: " + std::to_string(seg_recs);
    if (data_recs != 29113 || data_bytes != 465808)
        return "data records: " + std::to_string(data_recs);
    return "";
}

std::vector<std::string> linked_firmware(void) {
    std::vector<std::string> v;
    for (size_t i = 0; i < 1000000 && v5068[i] != nullptr; i++) v.push_back(v5068[i]);
    return v;
}

bool all_one_byte(const uint8_t *b, size_t n) {
    for (size_t i = 1; i < n; i++)
        if (b[i] != b[0]) return false;
    return true;
}

// ---------------------------------------------------------------- the generator

struct GenRun {
    int status = -1;
    std::string err;
};

GenRun run_gen(const std::string &dir, const std::vector<std::string> &args) {
    std::string cmd = "'" VQ_IMAGEGEN "'";
    for (const std::string &a : args) cmd += " '" + a + "'";
    cmd += " </dev/null >/dev/null 2>'" + dir + "/stderr.txt'";
    GenRun r;
    const int st = std::system(cmd.c_str());
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = tu_read_file(dir + "/stderr.txt");
    return r;
}

// The table lines of a generated v5.068.cpp: its string literals between
// "v5068[] = {" and nullptr, the escape \t read back as a TAB.
std::vector<std::string> generated_lines(const std::string &src, bool *ends_with_nullptr) {
    std::vector<std::string> out;
    *ends_with_nullptr = false;
    size_t p = src.find("v5068[] = {");
    if (p == std::string::npos) return out;
    p = src.find('\n', p) + 1;
    while (p < src.size() && src[p] == '"') {
        const size_t e = src.find("\",\n", p);
        if (e == std::string::npos) return out;
        std::string lit = src.substr(p + 1, e - p - 1), l;
        for (size_t i = 0; i < lit.size(); i++) {
            if (lit[i] == '\\' && i + 1 < lit.size() && lit[i + 1] == 't') {
                l += '\t';
                i++;
            } else {
                l += lit[i];
            }
        }
        out.push_back(l);
        p = e + 3;
    }
    *ends_with_nullptr = src.compare(p, 9, "nullptr};") == 0;
    return out;
}

// The bytes of one array of a generated bootsec.cpp.
std::vector<uint8_t> generated_bytes(const std::string &src, const std::string &name) {
    std::vector<uint8_t> out;
    size_t p = src.find("const uint8_t " + name + "[");
    if (p == std::string::npos) return out;
    const size_t end = src.find("};", p);
    p = src.find('{', p);
    while ((p = src.find("0x", p)) != std::string::npos && p < end) {
        out.push_back(
            static_cast<uint8_t>(std::strtoul(src.substr(p + 2, 2).c_str(), nullptr, 16)));
        p += 4;
    }
    return out;
}

struct Generator : ::testing::Test {
    std::string dir;
    void SetUp() override {
        dir = tu_make_temp_dir("vq_images");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

// ---------------------------------------------------------------- the images as linked

TEST(BuiltInImages, FirmwareIsFramedIntelHexEndedByNullptr) {
    const std::vector<std::string> lines = linked_firmware();
    ASSERT_FALSE(lines.empty());
    ASSERT_LT(lines.size(), 1000000u) << "no nullptr ends the table";
    for (size_t i = 0; i < lines.size(); i++) {
        Rec r;
        ASSERT_EQ(read_framed(lines[i], &r), "") << "line " << i + 1 << ": " << lines[i];
    }
    EXPECT_EQ(lines.back(), "\t:00000001FF\t");
    if (v5068_stand_in) {
        EXPECT_STREQ(v5068_origin, "generated stand-in");
        EXPECT_EQ(standin_fault(lines), "");
        Rec a, b;
        read_framed(lines[1], &a);
        read_framed(lines[2], &b);
        EXPECT_NE(a.data, b.data) << "the stand-in's data are pseudo-random";
    } else {
        EXPECT_STRNE(v5068_origin, "generated stand-in");
    }
}

TEST(BuiltInImages, BootLoadersAreNotBlank) {
    EXPECT_FALSE(all_one_byte(BootPrimImage, sizeof BootPrimImage));
    EXPECT_FALSE(all_one_byte(BootSecondary_ZELB3_Image, sizeof BootSecondary_ZELB3_Image));
    EXPECT_FALSE(all_one_byte(BootSecondary_AM29LV150_Image, sizeof BootSecondary_AM29LV150_Image));
    EXPECT_NE(std::memcmp(BootSecondary_ZELB3_Image, BootSecondary_AM29LV150_Image, 720), 0);
    EXPECT_EQ(std::strcmp(bootsec_origin, "generated stand-ins") == 0, bootsec_stand_in);
}

// ---------------------------------------------------------------- the guard

namespace {

struct Guard : ::testing::Test {
    std::string kept_env;
    bool had_env = false;
    uint8_t kept_test_images = 0;
    void SetUp() override {
        const char *e = std::getenv("VELQUOR_TEST_IMAGES");
        had_env = e != nullptr;
        if (e) kept_env = e;
        kept_test_images = test_images;
    }
    void TearDown() override {
        if (had_env)
            setenv("VELQUOR_TEST_IMAGES", kept_env.c_str(), 1);
        else
            unsetenv("VELQUOR_TEST_IMAGES");
        test_images = kept_test_images;
    }
};

}  // namespace

TEST_F(Guard, StandInsOnlyWhereTestImagesAreAllowed) {
    struct Row {
        int n;
        const char *env;  // nullptr: not set
        uint8_t setting;
        bool stand_in, allowed;
    } rows[] = {
        {1, nullptr, 0, true, false}, {2, "0", 0, true, false},  {3, "", 0, true, false},
        {4, "yes", 0, true, false},   {5, "11", 0, true, false}, {6, "1", 0, true, true},
        {7, nullptr, 1, true, true},  {8, "0", 1, true, true},    // the setting alone allows
        {9, nullptr, 0, false, true}, {10, "0", 0, false, true},  // a real image needs no allowance
        {11, "1", 1, false, true},
    };
    for (const Row &r : rows) {
        if (r.env)
            setenv("VELQUOR_TEST_IMAGES", r.env, 1);
        else
            unsetenv("VELQUOR_TEST_IMAGES");
        test_images = r.setting;
        EXPECT_EQ(images_allowed(r.stand_in), r.allowed) << "row " << r.n;
    }
    EXPECT_NE(std::strstr(images_refusal_text(), "VELQUOR_TEST_IMAGES=1"), nullptr);
}

TEST(ImageTexts, VersionLineNamesBothOriginsAndTruncatesSafely) {
    const std::string want =
        std::string("built-in 5.068 image: ") + v5068_origin + "; boot loaders: " + bootsec_origin;
    char buf[512];
    images_version_text(buf, sizeof buf);
    EXPECT_EQ(std::string(buf), want);

    char small[16];
    std::memset(small, 'x', sizeof small);
    images_version_text(small, 10);
    EXPECT_EQ(std::string(small), want.substr(0, 9));
    EXPECT_EQ(small[10], 'x') << "nothing written beyond n";
    images_version_text(small, 0);
    EXPECT_EQ(small[0], want[0]) << "nothing written for n 0";
}

TEST(ImageTexts, CliVersionPrintsTheImagesOnItsSecondLine) {
    FILE *p = popen("'" VQ_BINARY_DIR "/bin/velquor-cli' --version 2>&1", "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char b[1024];
    for (size_t n; (n = fread(b, 1, sizeof b, p)) > 0;) out.append(b, n);
    EXPECT_EQ(WEXITSTATUS(pclose(p)), 0);
    char images[512];
    images_version_text(images, sizeof images);
    EXPECT_EQ(out, std::string("velquor-cli ") + VER_APP_NUM + "\n" + images + "\n");
}

// ---------------------------------------------------------------- the generator

TEST_F(Generator, StandInIsTheSameOnEveryRun) {
    const std::string out = dir + "/v5.068.cpp";
    const GenRun g = run_gen(dir, {"firmware", out});
    ASSERT_EQ(g.status, 0) << g.err;
    const std::string src = tu_read_file(out);
    bool ends = false;
    const std::vector<std::string> lines = generated_lines(src, &ends);
    EXPECT_TRUE(ends);
    EXPECT_EQ(standin_fault(lines), "");
    EXPECT_NE(src.find("v5068_stand_in = true;"), std::string::npos);
    if (v5068_stand_in) {
        EXPECT_TRUE(lines == linked_firmware()) << "another stand-in than linked";
    }
    // As an Intel-HEX file it reads back as the same table; cut, it keeps its
    // first records and the end record.
    ASSERT_EQ(run_gen(dir, {"hex", dir + "/all.h86"}).status, 0);
    ASSERT_EQ(run_gen(dir, {"firmware", dir + "/back.cpp", dir + "/all.h86"}).status, 0);
    EXPECT_TRUE(generated_lines(tu_read_file(dir + "/back.cpp"), &ends) == lines);
    ASSERT_EQ(run_gen(dir, {"hex", dir + "/ten.h86", "10"}).status, 0);
    std::string ten;
    for (size_t i = 0; i < 11; ++i) ten += lines[i].substr(1, lines[i].size() - 2) + "\r\n";
    EXPECT_EQ(tu_read_file(dir + "/ten.h86"), ten + ":00000001FF\r\n");
    EXPECT_EQ(run_gen(dir, {"hex", dir + "/none.h86", "0"}).status, 2);

    const std::string boot = dir + "/bootsec.cpp";
    ASSERT_EQ(run_gen(dir, {"boot", boot}).status, 0);
    const std::string bsrc = tu_read_file(boot);
    const std::vector<uint8_t> prim = generated_bytes(bsrc, "BootPrimImage");
    const std::vector<uint8_t> z = generated_bytes(bsrc, "BootSecondary_ZELB3_Image");
    const std::vector<uint8_t> am = generated_bytes(bsrc, "BootSecondary_AM29LV150_Image");
    ASSERT_EQ(prim.size(), 32u);
    ASSERT_EQ(z.size(), 720u);
    ASSERT_EQ(am.size(), 900u);
    if (bootsec_stand_in) {
        EXPECT_EQ(std::memcmp(prim.data(), BootPrimImage, 32), 0);
        EXPECT_EQ(std::memcmp(z.data(), BootSecondary_ZELB3_Image, 720), 0);
        EXPECT_EQ(std::memcmp(am.data(), BootSecondary_AM29LV150_Image, 900), 0);
    }
}

TEST_F(Generator, TakesTheRecordsOfAnIntelHexFileFramed) {
    const std::string hex = tu_write_file(dir + "/small.h86",
                                          ":020000021000EC\r\n"
                                          "  :0400000001020304F2  \r\n"
                                          "\r\n"
                                          "\t:04000400deadbeefc0\n"
                                          ":00000001FF\r\n"
                                          "\n");
    ASSERT_FALSE(hex.empty());
    const std::string out = dir + "/v5.068.cpp";
    const GenRun g = run_gen(dir, {"firmware", out, hex});
    ASSERT_EQ(g.status, 0) << g.err;
    const std::string src = tu_read_file(out);
    bool ends = false;
    const std::vector<std::string> want = {"\t:020000021000EC\t", "\t:0400000001020304F2\t",
                                           "\t:04000400deadbeefc0\t", "\t:00000001FF\t"};
    EXPECT_EQ(generated_lines(src, &ends), want);
    EXPECT_TRUE(ends);
    EXPECT_NE(src.find("v5068_stand_in = false;"), std::string::npos);
    EXPECT_NE(src.find("v5068_origin[] = \"small.h86\";"), std::string::npos);
}

TEST_F(Generator, RefusesMalformedIntelHexNamingTheLine) {
    // Each file has one fault; the message names the file, the line and the fault.
    struct Row {
        int n;
        const char *text;
        const char *where, *why;
    } rows[] = {
        {1, ":020000021000EC\n:0400000001020304F3\n:00000001FF\n", "bad.h86:2: ", "checksum"},
        {2, ":020000021000EC\n:0500000001020304F1\n:00000001FF\n", "bad.h86:2: ", "byte count"},
        {3, ":020000021000EC\n\n:04000000010203G4F2\n:00000001FF\n", "bad.h86:3: ", "digit"},
        {4, "020000021000EC\n:00000001FF\n", "bad.h86:1: ", "':'"},
        {5, ":00000001F\n", "bad.h86:1: ", "odd"},
        {6, ":00000001\n", "bad.h86:1: ", "shorter"},
        {7, ":020000021000EC\n:00000001FF\n\x1A\n", "bad.h86:3: ", "':'"},  // DOS end byte
        {8, ":020000021000EC\n:0400000001020304F2\n\n", "bad.h86:2: ", "end record"},  // cut
        {9, "\r\n  \n", "bad.h86: ", "no Intel-HEX record"},
    };
    const std::string out = dir + "/v5.068.cpp";
    for (const Row &r : rows) {
        const std::string hex = tu_write_file(dir + "/bad.h86", r.text);
        const GenRun g = run_gen(dir, {"firmware", out, hex});
        EXPECT_EQ(g.status, 1) << "row " << r.n;
        EXPECT_NE(g.err.find(r.where), std::string::npos) << "row " << r.n << ": " << g.err;
        EXPECT_NE(g.err.find(r.why), std::string::npos) << "row " << r.n << ": " << g.err;
        EXPECT_NE(access(out.c_str(), F_OK), 0) << "row " << r.n << ": a source was written";
        EXPECT_NE(access((out + ".tmp").c_str(), F_OK), 0) << "row " << r.n;
    }
    const GenRun g = run_gen(dir, {"firmware", out, dir + "/missing.h86"});
    EXPECT_EQ(g.status, 1);
    EXPECT_NE(g.err.find("missing.h86"), std::string::npos) << g.err;
}

TEST_F(Generator, TakesBootFilesWholeAndRefusesWrongSizes) {
    std::string data[3];
    const size_t sizes[3] = {32, 720, 900};
    const char *names[3] = {"prim.bin", "zelb3.bin", "am29.bin"};
    std::vector<std::string> args = {"boot", dir + "/bootsec.cpp"};
    for (int i = 0; i < 3; i++) {
        for (size_t k = 0; k < sizes[i]; k++) data[i] += static_cast<char>((k * 7 + i) & 0xFF);
        args.push_back(tu_write_file(dir + "/" + names[i], data[i]));
    }
    const GenRun g = run_gen(dir, args);
    ASSERT_EQ(g.status, 0) << g.err;
    const std::string src = tu_read_file(dir + "/bootsec.cpp");
    const char *arrays[3] = {"BootPrimImage", "BootSecondary_ZELB3_Image",
                             "BootSecondary_AM29LV150_Image"};
    for (int i = 0; i < 3; i++) {
        const std::vector<uint8_t> b = generated_bytes(src, arrays[i]);
        EXPECT_EQ(std::string(b.begin(), b.end()), data[i]) << arrays[i];
    }
    EXPECT_NE(src.find("bootsec_origin[] = \"prim.bin, zelb3.bin, am29.bin\";"), std::string::npos);
    EXPECT_NE(src.find("bootsec_stand_in = false;"), std::string::npos);

    // One byte short, one too many: refused with the file and the size it must have.
    for (size_t bad : {size_t{899}, size_t{901}}) {
        args[4] = tu_write_file(dir + "/am29.bin", std::string(bad, '\x55'));
        std::filesystem::remove(dir + "/bootsec.cpp");
        const GenRun r = run_gen(dir, args);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_NE(r.err.find("am29.bin: " + std::to_string(bad) + " bytes"), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("exactly 900"), std::string::npos) << r.err;
        EXPECT_NE(access((dir + "/bootsec.cpp").c_str(), F_OK), 0) << bad;
    }
}
