// The EDID base-block decoder of velquor-cli: a valid 1.3 block decoded line by
// line, broken variants each caught by its warning, the 1.4 input and size
// bytes, detailed timings with all high bits in use, blocks of all-0x00 and
// all-0xFF bytes, and the checksum repair.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "cli/edid.h"

namespace {

using Block = std::array<uint8_t, 128>;

// The 1920x1080 at 60 Hz timing at 148.5 MHz, 531 x 299 mm, digital separate sync.
const uint8_t timing_1080p[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                  0x2C, 0x45, 0x00, 0x13, 0x2B, 0x21, 0x00, 0x00, 0x1E};

void put_text(Block &b, int off, uint8_t tag, const char *text) {
    uint8_t *d = b.data() + off;
    std::memset(d, 0, 5);
    d[3] = tag;
    std::memset(d + 5, ' ', 13);
    const size_t n = std::strlen(text);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): EDID texts end in 0x0A, not NUL
    std::memcpy(d + 5, text, n);
    if (n < 13) d[5 + n] = 0x0A;
}

// A valid EDID 1.3 block of a digital monitor "ABC" with a 1080p preferred timing.
Block valid_block() {
    Block b{};
    const uint8_t head[20] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0x43,
                              0x34, 0x12, 0x40, 0xE2, 0x01, 0x00, 12,   25,   1,    3};
    std::memcpy(b.data(), head, sizeof head);
    b[20] = 0x80;  // digital
    b[21] = 53;
    b[22] = 30;
    b[23] = 120;   // gamma 2.20
    b[24] = 0xEA;  // standby, suspend, active off, RGB colour, preferred timing
    // Red 0.640/0.330, green 0.300/0.600, blue 0.150/0.060, white 0.313/0.329.
    const unsigned xy[8] = {655, 338, 307, 614, 154, 61, 320, 337};
    b[25] =
        static_cast<uint8_t>((xy[0] & 3) << 6 | (xy[1] & 3) << 4 | (xy[2] & 3) << 2 | (xy[3] & 3));
    b[26] =
        static_cast<uint8_t>((xy[4] & 3) << 6 | (xy[5] & 3) << 4 | (xy[6] & 3) << 2 | (xy[7] & 3));
    for (int i = 0; i < 8; i++) b[27 + i] = static_cast<uint8_t>(xy[i] >> 2);
    b[35] = 0x21;  // 640x480@60, 800x600@60
    b[36] = 0x08;  // 1024x768@60
    const uint8_t std_timings[16] = {0x81, 0x80, 0xD1, 0xC0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::memcpy(b.data() + 38, std_timings, 16);
    std::memcpy(b.data() + 54, timing_1080p, 18);
    put_text(b, 72, 0xFC, "VQ TEST");
    const uint8_t range[18] = {0,  0, 0,    0xFD, 0,   56,  76,  30,  83,
                               17, 0, 0x0A, ' ',  ' ', ' ', ' ', ' ', ' '};
    std::memcpy(b.data() + 90, range, 18);
    put_text(b, 108, 0xFF, "SN12345");
    edid_fix_checksum(b.data());
    return b;
}

edid_report decode(const Block &b) {
    edid_report r;
    edid_decode(b.data(), &r);
    return r;
}

bool has(const std::vector<std::string> &v, const std::string &s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

bool any_contains(const std::vector<std::string> &v, const std::string &s) {
    return std::any_of(v.begin(), v.end(),
                       [&](const std::string &x) { return x.find(s) != std::string::npos; });
}

std::string joined(const std::vector<std::string> &v) {
    std::string s;
    for (const auto &x : v) s += "  " + x + "\n";
    return s;
}

TEST(Edid, ValidBlockDecodesLineByLine) {
    const edid_report r = decode(valid_block());
    EXPECT_TRUE(r.checksum_ok);
    EXPECT_TRUE(r.warnings.empty()) << joined(r.warnings);
    const char *const want[] = {
        "header: ok",
        "manufacturer: ABC",
        "product: 0x1234",
        "serial number: 123456",
        "made: week 12 of 2015",
        "version: 1.3",
        "input: digital",
        "screen size: 53 x 30 cm",
        "gamma: 2.20",
        "power management: standby, suspend, active off",
        "display type: RGB colour",
        "srgb default: no",
        "preferred timing in first descriptor: yes",
        "red: x 0.640, y 0.330",
        "green: x 0.300, y 0.600",
        "blue: x 0.150, y 0.060",
        "white: x 0.313, y 0.329",
        "established timings: 640x480@60, 800x600@60, 1024x768@60",
        "standard timing 1: 1280x1024 at 60 Hz (5:4)",
        "standard timing 2: 1920x1080 at 60 Hz (16:9)",
        "preferred timing: 1920x1080 at 60.00 Hz, pixel clock 148.50 MHz",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): long lines are split on purpose
        "preferred timing horizontal: active 1920, blanking 280, sync offset 88, sync width 44, "
        "border 0",
        "preferred timing vertical: active 1080, blanking 45, sync offset 4, sync width 5, border "
        "0",
        "preferred timing image size: 531 x 299 mm",
        "preferred timing scan: progressive",
        "preferred timing sync: digital separate, hsync +, vsync +",
        "monitor name: VQ TEST",
        "range limits: vertical 56-76 Hz, horizontal 30-83 kHz, max pixel clock 170 MHz",
        "serial text: SN12345",
        "extensions: 0",
    };
    for (const char *w : want) EXPECT_TRUE(has(r.lines, w)) << w << "\nin:\n" << joined(r.lines);
    EXPECT_FALSE(any_contains(r.lines, "standard timing 3"));  // 01 01 is unused
    EXPECT_EQ(r.lines.back(), "extensions: 0");
    for (const auto &l : r.lines)
        for (char ch : l) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << l;
}

// Each row breaks the valid block in one way and expects the matching warning.
TEST(Edid, BrokenVariantsGiveTheirWarnings) {
    struct Row {
        const char *what;
        std::function<void(Block &)> change;
        const char *warning;  // text the expected warning contains
        const char *line;     // a line expected as well, or nullptr
    };
    const Row rows[] = {
        {"bad header", [](Block &b) { b[7] = 0x01; }, "header is 00 FF FF FF FF FF FF 01",
         "header: 00 FF FF FF FF FF FF 01 (should be 00 FF FF FF FF FF FF 00)"},
        {"manufacturer bit 15", [](Block &b) { b[8] |= 0x80; }, "bit 15", "manufacturer: ABC"},
        {"letter 0 in the id", [](Block &b) { b[9] &= 0xE0; }, "outside A..Z", "manufacturer: AB?"},
        {"week 60", [](Block &b) { b[16] = 60; }, "week of manufacture 60 is out of range",
         nullptr},
        {"version 2", [](Block &b) { b[18] = 2; }, "version 2 is not 1", "version: 2.3"},
        {"first descriptor not a timing",
         [](Block &b) {
             std::memset(b.data() + 54, 0, 18);
             b[57] = 0x10;
         },
         "first descriptor is not a detailed timing", "descriptor 1: dummy"},
        {"name without 0x0A",
         [](Block &b) {
             std::memset(b.data() + 77, ' ', 13);
             std::memcpy(b.data() + 77, "VQ TEST", 7);
         },
         "monitor name has no 0x0A", "monitor name: VQ TEST"},
        {"name with non-printable bytes", [](Block &b) { b[79] = 0x07; }, "non-printable",
         "monitor name: VQ?TEST"},
        {"sync beyond the blanking", [](Block &b) { b[62] = 0xFF; }, "horizontal sync does not fit",
         nullptr},
        {"range minimum above maximum", [](Block &b) { b[95] = 90; }, "vertical minimum 90",
         nullptr},
        {"standard timing 00 00",
         [](Block &b) {
             b[40] = 0;
             b[41] = 0;
         },
         "standard timing 2 is 00 00", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Block b = valid_block();
        row.change(b);
        edid_fix_checksum(b.data());
        const edid_report r = decode(b);
        EXPECT_TRUE(r.checksum_ok);
        EXPECT_TRUE(any_contains(r.warnings, row.warning)) << joined(r.warnings);
        if (row.line) {
            EXPECT_TRUE(has(r.lines, row.line)) << joined(r.lines);
        }
    }
}

TEST(Edid, BadChecksumNamesTheRightByte) {
    Block b = valid_block();
    const uint8_t right = b[127];
    b[127] = static_cast<uint8_t>(right + 5);
    const edid_report r = decode(b);
    EXPECT_FALSE(r.checksum_ok);
    EXPECT_EQ(r.checksum_should_be, right);
    char line[64];
    snprintf(line, sizeof line, "checksum: 0x%02X (should be 0x%02X)", b[127], right);
    EXPECT_TRUE(has(r.lines, line)) << joined(r.lines);
    EXPECT_TRUE(any_contains(r.warnings, "checksum")) << joined(r.warnings);
    EXPECT_EQ(r.warnings.size(), 1u) << joined(r.warnings);
}

// Input and size bytes as 1.3 and 1.4 read them.
TEST(Edid, InputSizeAndFeaturesByRevision) {
    struct Row {
        uint8_t revision, input, h_cm, v_cm, features;
        std::vector<std::string> want;
    };
    const Row rows[] = {
        // clang-format off
        {4, 0xA5, 53, 30, 0x1A, {"input: digital", "colour depth: 8 bits per primary",
          "interface: DisplayPort", "colour encodings: RGB 4:4:4, YCrCb 4:4:4, YCrCb 4:2:2",
          "preferred timing is native: yes", "continuous frequency: no"}},
        {4, 0x92, 78, 0, 0x05, {"colour depth: 6 bits per primary", "interface: HDMI-a",
          "screen size: not given, aspect ratio 1.77 (landscape)", "srgb default: yes",
          "continuous frequency: yes"}},
        {4, 0x80, 0, 79, 0x00, {"screen size: not given, aspect ratio 0.56 (portrait)"}},
        {3, 0x4E, 0, 0, 0x01, {"input: analog", "signal level (video / sync): 1.000 V / 0.400 V",
          "sync: separate, composite on hsync, on green", "vsync serration: no",
          "screen size: not given", "gtf supported: yes"}},
        {3, 0x81, 40, 30, 0x00, {"dfp 1.x compatible: yes", "display type: monochrome or grayscale"}},
        // clang-format on
    };
    for (const Row &row : rows) {
        Block b = valid_block();
        b[19] = row.revision;
        b[20] = row.input;
        b[21] = row.h_cm;
        b[22] = row.v_cm;
        b[24] = row.features;
        edid_fix_checksum(b.data());
        const edid_report r = decode(b);
        for (const auto &w : row.want)
            EXPECT_TRUE(has(r.lines, w)) << w << "\nin:\n" << joined(r.lines);
    }
}

TEST(Edid, StandardTimingAspectByRevision) {
    struct Row {
        uint8_t revision, b0, b1;
        const char *want;
    };
    const Row rows[] = {
        {3, 0xA9, 0x00, "standard timing 1: 1600x1000 at 60 Hz (16:10)"},
        {2, 0xA9, 0x00, "standard timing 1: 1600x1600 at 60 Hz (1:1)"},
        {3, 0x61, 0x4F, "standard timing 1: 1024x768 at 75 Hz (4:3)"},
        {3, 0xFF, 0xFF, "standard timing 1: 2288x1287 at 123 Hz (16:9)"},
    };
    for (const Row &row : rows) {
        Block b = valid_block();
        b[19] = row.revision;
        b[38] = row.b0;
        b[39] = row.b1;
        edid_fix_checksum(b.data());
        const edid_report r = decode(b);
        EXPECT_TRUE(has(r.lines, row.want)) << row.want << "\nin:\n" << joined(r.lines);
    }
}

// Detailed timings in the last descriptor, where they are not the preferred one.
TEST(Edid, DetailedTimingsUseEveryHighBit) {
    struct Row {
        const char *what;
        uint8_t d[18];
        std::vector<std::string> want;
    };
    const Row rows[] = {
        {"1080i",
         {0x01, 0x1D, 0x80, 0x18, 0x71, 0x1C, 0x16, 0x20, 0x58, 0x2C, 0x25, 0x00, 0x13, 0x2B, 0x21,
          0x00, 0x00, 0x9E},
         {"detailed timing 4: 1920x1080i at 60.05 Hz, pixel clock 74.25 MHz",
          "detailed timing 4 vertical: active 540, blanking 22, sync offset 2, sync width 5, "
          "border 0",
          "detailed timing 4 scan: interlaced"}},
        {"high bits",
         {0x10, 0x27, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x01, 0x02, 0x34, 0xFF, 0x00, 0x00, 0xA5,
          0x03, 0x04, 0x0A},
         {"detailed timing 4: 3840x3840 at 1.70 Hz, pixel clock 100.00 MHz",
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): long lines are split on purpose
          "detailed timing 4 horizontal: active 3840, blanking 3840, sync offset 769, "
          "sync width 770, border 3",
          "detailed timing 4 vertical: active 3840, blanking 3840, sync offset 51, "
          "sync width 52, border 4",
          "detailed timing 4 image size: 2560 x 1280 mm",
          "detailed timing 4 sync: analog bipolar composite, on all three signals"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Block b = valid_block();
        std::memcpy(b.data() + 108, row.d, 18);
        edid_fix_checksum(b.data());
        const edid_report r = decode(b);
        for (const auto &w : row.want)
            EXPECT_TRUE(has(r.lines, w)) << w << "\nin:\n" << joined(r.lines);
        EXPECT_TRUE(r.warnings.empty()) << joined(r.warnings);
    }
}

TEST(Edid, AllZeroAndAllFfBlocks) {
    Block zero{};
    const edid_report z = decode(zero);
    EXPECT_TRUE(z.checksum_ok);  // the sum of zeros is 0
    EXPECT_TRUE(any_contains(z.warnings, "header")) << joined(z.warnings);
    EXPECT_TRUE(any_contains(z.warnings, "outside A..Z"));
    EXPECT_TRUE(any_contains(z.warnings, "version 0 is not 1"));
    EXPECT_TRUE(any_contains(z.warnings, "first descriptor is not a detailed timing"));
    EXPECT_TRUE(has(z.lines, "descriptor 4: tag 0x00"));

    Block ff;
    ff.fill(0xFF);
    const edid_report f = decode(ff);
    EXPECT_FALSE(f.checksum_ok);
    EXPECT_EQ(f.checksum_should_be, 0x7F);  // 127 * 0xFF + 0x7F = 0x8000
    EXPECT_TRUE(has(f.lines, "checksum: 0xFF (should be 0x7F)"));
    EXPECT_TRUE(has(f.lines, "manufacturer: ???"));
    EXPECT_TRUE(has(f.lines, "model year: 2245"));
    EXPECT_TRUE(any_contains(f.warnings, "bit 15"));
    EXPECT_TRUE(any_contains(f.warnings, "version 255 is not 1"));
    EXPECT_FALSE(f.lines.empty());
}

TEST(Edid, FixChecksumMakesTheSumZero) {
    Block b;
    for (size_t i = 0; i < b.size(); i++) b[i] = static_cast<uint8_t>(i * 37 + 11);
    const uint8_t before = b[127];
    const uint8_t old = edid_fix_checksum(b.data());
    EXPECT_EQ(old, before);
    unsigned sum = 0;
    for (uint8_t x : b) sum += x;
    EXPECT_EQ(sum % 256, 0u);
    EXPECT_EQ(edid_fix_checksum(b.data()), b[127]);  // a second repair changes nothing
    EXPECT_TRUE(decode(b).checksum_ok);
}

}  // namespace
