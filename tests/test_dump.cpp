// The dump file on its own, without a monitor: the lines an upload writes for
// each kind of entry and for a gamma table, the reader of the download with
// every format error it must refuse, and a file written and read back to the
// same words and tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/file_replace.h"
#include "platform/win.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_fs_upl.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/ui/text_ar.h"
#include "velquor/util/files.h"

namespace {

struct Dump : ::testing::Test {
    std::string dir;

    void SetUp() override {
        ui_open_headless_main();
        plat::win_boxes_clear();
        sys_lang = lang_eng;
        sys_f_rv = 0;
        dir = tu_make_temp_dir("vq_dump_");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        sys_f_rv = 0;
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }

    std::string path(const char *name) const { return dir + "/" + name; }

    // The bytes fs_print_entry writes for the entry.
    std::string entry_text(std::vector<int32_t> words) {
        words.resize(fs_ent_words, 0xFFFF);
        FILE *f = std::fopen(path("e.vqf").c_str(), "wb");
        EXPECT_NE(f, nullptr);
        EXPECT_EQ(fs_print_entry(f, words.data()), 0);
        std::fclose(f);
        return tu_read_file(path("e.vqf"));
    }

    // Reads text as a dump with the download's reader: its verdict.
    char read_dump(const std::string &text) {
        FILE *f = nullptr;
        EXPECT_EQ(mf_fopen(&f, tu_write_file(path("r.vqf"), text).c_str(), mf_read), 0);
        sys_f_rv = 0;
        const char rc = buffer_fs_file(f);
        mf_fclose(&f);
        return rc;
    }

    // The body of the only box shown since the last call ("" for none).
    static std::string box(void) {
        std::vector<plat::WinBoxRecord> b = plat::win_boxes_shown();
        plat::win_boxes_clear();
        if (b.empty()) return "";
        EXPECT_EQ(b.size(), 1u);
        return b.back().body;
    }
};

// A data line of the 32 words w (missing ones 0xFFFF), as the upload writes it.
std::string data_line(std::vector<uint32_t> w, const char *sep = " ") {
    w.resize(fs_ent_words, 0xFFFF);
    std::string s = ":";
    for (uint32_t v : w) {
        char g[8];
        std::snprintf(g, sizeof g, "%04X", v);
        s += g;
        s += sep;
    }
    return s + "\n\n";
}

// Gamma block lines: a tag, a colour line and n points.
std::string gamma_block(const char *tag, int points,
                        const char *colours = "640 330 300 600 150 60 313 329") {
    std::string s = std::string(tag) + "\r\n;" + colours + "\r\n";
    for (int i = 0; i < points; ++i) s += ";" + std::to_string(i * 8) + " 1 2 3\r\n";
    return s;
}

// The example of a timing list and a DICOM table with three points, byte for
// byte: header lines end in CR LF, the data line in two LF and a blank before.
TEST_F(Dump, UploadWritesTheDocumentedExampleByteForByte) {
    std::string got = entry_text({0x00A2, 640, 480, 1024, 768});
    gamma_tab_T t{};
    t.rt = {640, 330};
    t.gue = {300, 600};
    t.bl = {150, 60};
    t.wt = {313, 329};
    t.ent[0] = {0, 0, 0, 0};
    t.ent[1] = {128, 100, 110, 105};
    t.ent[2] = {255, 255, 255, 255};
    t.count = 3;
    FILE *f = std::fopen(path("g.vqf").c_str(), "wb");
    ASSERT_EQ(print_gamma_block(f, gamma_nr_dc, "DICOM", &t), 0);
    std::fclose(f);
    got += tu_read_file(path("g.vqf"));

    std::string want = "// TIMING LIST\r\n//640x480 \t->\t 1024x768\r\n:00A2 0280 01E0 0400 0300";
    for (int i = 5; i < 32; ++i) want += " FFFF";
    const std::string stars = "//" + std::string(70, '*') + "\r\n";
    want += " \n\n" + stars + stars + "\r\n;C9 //Chroma and Gamma DICOM\r\n\r\n" +
            "//CIE xy  R G  B  W\r\n" + ";640   330   300   600   150    60   313   329\r\n\r\n" +
            "//RGB   x   R   G  B\r\n" + ";     0        0        0        0\r\n" +
            ";   128      100      110      105\r\n" +
            ";   255      255      255      255\r\n\r\n" + stars + stars + "\r\n";
    EXPECT_EQ(got, want);
}

// What the header and decoding lines say for each class of entry.
TEST_F(Dump, HeaderLinesNameAndDecodeEachClass) {
    // The item names of selector 1, each followed by eleven blanks, and a blank.
    std::string item_line = "//    ";
    for (const char *n :
         {"TA5 ", "TA6 ", "TA7 ", "TA8 ", "TA9 ", "TA10", "TA11", "TA12", "TA13", "TA14"})
        item_line += std::string(n) + std::string(11, ' ');
    item_line += " ";
    struct Row {
        std::vector<int32_t> w;
        std::string lines;  // every line before the data line, LF-separated
    } rows[] = {
        {{0x00BD}, "//Factory: GLOBAL SETTINGS"},
        {{0x00AC}, "// DISPLAY SETTINGS"},
        {{0x26C7, 314, 324}, "// Whitepoint   6500K: x=314 y=324"},
        {{0x00C7, 300, 310}, "// Whitepoint USER: x=300 y=310"},
        {{0x2DC7, 1, 2}, "// Whitepoint  x=1 y=2"},
        // 48008 Hz line frequency: the remainder without leading zeros; word 1 = 0 divides by 1.
        {{0x01AE, 0, 12002, 806, 1280, 1024}, "// VGA1/2 MODE DATA -> 1280x1024  48,8kHz 48008Hz"},
        {{0x09AE, 800, 15625, 625, 720, 576}, "//  MODE DATA -> 720x576  62,500kHz 78Hz"},
        {{0x01AF}, "// VIDEO MODE DATA ANALOG"},
        {{0x07AF}, "// VIDEO MODE DATA "},
        // Selector 5 has no item names; selector 1 has the TA5.. names.
        {{0x52A3}, "// SBF/AUX -> VIDEO"},
        {{0x11A3}, "// SBF/AUX -> VGA\n" + item_line},
        {{0xC1AA}, "// ITEM LIST -> VGA1/2 -> KEY: LEFT"},
        {{0x03AA}, "// ITEM LIST -> SDI -> LIST"},
        {{0x57AA}, "// ITEM LIST"},
        {{0x12A1, 0x0305},
         "// INTERNAL DATA\n// Switch: 0x12    Panel-Level: 3    Display-No.: 0x305"},
        {{0x00A5}, "// INTERNAL DATA"},
        {{0x00A0}, "// INTERNAL DATA"},
        // A timing list stops at the first group holding 0xFFFF: here at word 9.
        {{0x00A2, 640, 480, 1024, 768, 800, 600, 1280, 1024, 0xFFFF},
         "// TIMING LIST\n//640x480 \t->\t 1024x768\n//800x600 \t->\t 1280x1024"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.lines);
        std::string got = entry_text(r.w);
        const size_t data = got.find("\r\n:");
        ASSERT_NE(data, std::string::npos);
        std::string head = got.substr(0, data);
        for (size_t p; (p = head.find("\r\n")) != std::string::npos;) head.replace(p, 2, "\n");
        EXPECT_EQ(head, r.lines);
        // The data line: 161 characters ending in a blank, then two LF.
        const std::string line = got.substr(data + 2);
        EXPECT_EQ(line.size(), 163u);
        EXPECT_EQ(line.substr(159), "F \n\n");
    }
}

// The data-line reader: groups of four hexadecimal digits in any case, the
// separator ignored; a short group, a bad digit or a missing group refused.
TEST_F(Dump, DataLineReaderTakesOnlyWholeHexGroups) {
    struct Row {
        std::string line;
        char rc;
        const char *box;  // "" = none
    } rows[] = {
        {":ABCD", 3, ""},
        {data_line({0xABCD}), 0, ""},
        {":ABCD abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd "
         "abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd",
         0, ""},
        {data_line({0x1234}, "\t"), 0, ""},
        {data_line({0x1234}, "|"), 0, ""},
        {":ABC  " + data_line({}).substr(6), 3, "Value: ABC "},
        {":12G4" + data_line({}).substr(5), 3, "Value: 12G4"},
        {data_line({}).substr(0, 1 + 31 * 5), 3, ""},  // 31 groups
        {data_line({}) + "  trailing words", 0, ""},
        {":", 2, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.line);
        std::vector<char> buf(r.line.begin(), r.line.end());
        buf.push_back(0);
        uint32_t w[fs_ent_words] = {};
        sys_f_rv = 0;
        EXPECT_EQ(fs_line_to_buffer(buf.data(), w), r.rc);
        EXPECT_EQ(sys_f_rv, r.rc == 3 ? mfe_invdat : 0);
        EXPECT_EQ(box(), r.box);
        if (r.rc == 0) {
            EXPECT_EQ(w[1], r.line[6] == 'a' ? 0xABCDu : 0xFFFFu);
        }
    }
}

// Numbers of the gamma lines: "%d" as it prints, within 32 bits.
TEST_F(Dump, NumbersOfGammaLinesAreStrict) {
    struct Row {
        const char *text;
        char rc;
        int32_t value;
        const char *box;
    } rows[] = {
        {"  42  7", 0, 42, ""},
        {"-5", 0, -5, ""},
        {"2147483647", 0, 2147483647, ""},
        {"-2147483648", 0, INT32_MIN, ""},
        {"", 4, 0, "file entry too short"},
        {"   ", 4, 0, "file entry too short"},
        {"abc", 2, 0, "Value: \"abc\""},
        {"+5", 3, 0, "Value: \"+5\""},
        {"007", 3, 0, "Value: \"007\""},
        {"2147483648", 3, 0, "Value: \"2147483648\""},
        {"99999999999999999999", 3, 0, "Value: \"99999999999999999999\""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s", r.text);
        int32_t v = -1;
        EXPECT_EQ(read_next_int(&v, buf), r.rc);
        EXPECT_EQ(v, r.value);
        EXPECT_EQ(box(), r.box);
    }
    // The number taken is blanked, so the next call reads the next one.
    char two[] = "12 34";
    int32_t a = 0, b = 0;
    EXPECT_EQ(read_next_int(&a, two), 0);
    EXPECT_EQ(read_next_int(&b, two), 0);
    EXPECT_EQ(a * 100 + b, 1234);
}

// The reader refuses each malformed file with its own box; the file error 13
// follows all but the counting errors and a table with too many points.
TEST_F(Dump, ReaderRefusesEachFormatErrorWithItsBox) {
    const std::string one = data_line({0x00AD});
    auto entries = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += "// entry\r\n" + one;
        return s;
    };
    struct Row {
        const char *name;
        std::string text;
        char rc;
        const char *box;
        uint8_t f_rv;
    } rows[] = {
        {"200 entries", entries(200), 1, "", 0},
        {"201 entries", entries(201), 0, "too much entries in file", 0},
        {"comments only", "// nothing\r\n\r\n// more\r\n", 0, "no entries in file", 0},
        {"two gamma lines", one + ";C1\r\n;1 2 3 4 5 6 7 8\r\n", 0, "error in gamma data", 13},
        {"lower-case first tag", one + gamma_block(";c1", 2), 0, "missing gamma start tag", 13},
        {"lower-case tag after points", one + gamma_block(";C1", 2) + gamma_block(";c9", 2), 0,
         "missing gamma start tag", 13},
        {"a table twice", one + gamma_block(";41", 2) + gamma_block(";41", 2), 0,
         "multiple definition of a gamma table", 13},
        {"33 points", one + gamma_block(";C1", 33), 0, "too much gamma entries in table", 0},
        {"32 points", one + gamma_block(";C1", 32), 1, "", 0},
        {"seven colour numbers", one + gamma_block(";C9", 2, "1 2 3 4 5 6 7"), 0,
         "file entry too short", 13},
        {"a bad point", one + gamma_block(";C9", 1) + ";1 x 2 3\r\n", 0, "Value: \"x 2 3\"", 13},
        {"a bad data line", "// x\r\n:00AD 12\r\n", 0, "", 13},
        {"gamma only", gamma_block(";49", 3), 1, "", 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(read_dump(r.text), r.rc);
        EXPECT_EQ(box(), r.box);
        EXPECT_EQ(sys_f_rv, r.f_rv);
    }
    // The reader says where it stopped: behind the first bad line.
    EXPECT_EQ(read_dump("// a\r\n" + one + ":00AD\r\n// after\r\n"), 0);
    EXPECT_EQ(fsd_err_pos, static_cast<int32_t>(6 + one.size() + 7));
}

// Gamma blocks: the points in order with their low 8 bits, a block without
// points kept with a count of 0, and the tags that end a block.
TEST_F(Dump, GammaBlocksReadIntoTheirTables) {
    const std::string text = data_line({0x00AD}) + ";C1 //Chroma and Gamma \r\n" +
                             ";640   330   300   600   150    60   313   329\r\n" +
                             ";   256     0     0     0\r\n;  1 2 3 4 // a comment\r\n" +
                             "// between\r\n;C9\r\n;1 2 3 4 5 6 7 8\r\n";
    ASSERT_EQ(read_dump(text), 1);
    EXPECT_EQ(box(), "");
    EXPECT_EQ(fsd.fs_ent_cnt, 1);
    EXPECT_EQ(fsd.fs_ent[0][0], 0x00ADu);
    EXPECT_EQ(gamma_tab.count, 2);
    EXPECT_EQ(gamma_tab.rt.x, 640);
    EXPECT_EQ(gamma_tab.wt.y, 329);
    EXPECT_EQ(gamma_tab.ent[0].x, 0);  // 256 keeps its low 8 bits
    EXPECT_EQ(gamma_tab.ent[1].b, 4);
    EXPECT_EQ(gamma_tab_dc.count, 0);  // colour points only: not written to a monitor
    EXPECT_EQ(gamma_tab_dc.gue.y, 4);
    EXPECT_EQ(gamma_tab_def.count, 0);
}

// Any set of entries and tables written as the upload writes them reads back
// to the same words, counts, points and colour coordinates.
TEST_F(Dump, WrittenDumpReadsBackToTheSameWordsAndTables) {
    std::mt19937 rng(7);
    const int32_t classes[] = {0xA1, 0xA2, 0xA3, 0xA7, 0xA9, 0xAA, 0xAC, 0xAD,
                               0xAE, 0xAF, 0xC4, 0xC5, 0xC7, 0xB3, 0x05};
    std::vector<std::vector<int32_t>> ents(fs_file_max_entries);
    FILE *f = std::fopen(path("rt.vqf").c_str(), "wb");
    for (auto &w : ents) {
        w.resize(fs_ent_words);
        w[0] = static_cast<int32_t>((rng() & 0xFF) << 8 | classes[rng() % 15] | (rng() & 0x10));
        for (int j = 1; j < fs_ent_words; ++j)
            w[j] = rng() % 4 == 0 ? 0xFFFF : static_cast<int32_t>(rng() & 0xFFFF);
        ASSERT_EQ(fs_print_entry(f, w.data()), 0);
    }
    gamma_tab_T want[4] = {};
    for (int k = 0; k < 4; ++k) {
        gamma_tab_T &t = want[k];
        t.rt = {int32_t(rng() % 1000), int32_t(rng() % 1000)};
        t.gue = {int32_t(rng() % 1000), int32_t(rng() % 1000)};
        t.bl = {int32_t(rng() % 1000), int32_t(rng() % 1000)};
        t.wt = {int32_t(rng() % 1000), int32_t(rng() % 1000)};
        t.count = k == 0 ? 32 : int32_t(1 + rng() % 31);
        for (int i = 0; i < t.count; ++i)
            t.ent[i] = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
        ASSERT_EQ(print_gamma_block(f, gamma_kinds[k].nr, gamma_kinds[k].name, &t), 0);
    }
    std::fclose(f);
    FILE *r = nullptr;
    ASSERT_EQ(mf_fopen(&r, path("rt.vqf").c_str(), mf_read), 0);
    ASSERT_EQ(buffer_fs_file(r), 1);
    mf_fclose(&r);
    ASSERT_EQ(fsd.fs_ent_cnt, fs_file_max_entries);
    for (int i = 0; i < fs_file_max_entries; ++i)
        for (int j = 0; j < fs_ent_words; ++j)
            ASSERT_EQ(fsd.fs_ent[i][j], static_cast<uint32_t>(ents[i][j])) << i << "/" << j;
    for (int k = 0; k < 4; ++k) {
        const gamma_tab_T &a = *gamma_kinds[k].tab, &b = want[k];
        ASSERT_EQ(a.count, b.count) << k;
        EXPECT_EQ(a.rt.x * 1000 + a.rt.y, b.rt.x * 1000 + b.rt.y);
        EXPECT_EQ(a.gue.x * 1000 + a.gue.y, b.gue.x * 1000 + b.gue.y);
        EXPECT_EQ(a.bl.x * 1000 + a.bl.y, b.bl.x * 1000 + b.bl.y);
        EXPECT_EQ(a.wt.x * 1000 + a.wt.y, b.wt.x * 1000 + b.wt.y);
        for (int i = 0; i < b.count; ++i)
            EXPECT_EQ(std::memcmp(&a.ent[i], &b.ent[i], sizeof a.ent[i]), 0) << k << "/" << i;
    }
}

// A table whose colour points include 0xFFFF is not printed (and that is no
// error); the source-style file is replaced only when it exists.
TEST_F(Dump, MissingColourPointsAndSourceStyleFiles) {
    gamma_tab_T t{};
    t.rt = {0xFFFF, 1};
    t.count = 1;
    FILE *f = std::fopen(path("n.vqf").c_str(), "wb");
    EXPECT_EQ(print_gamma_block(f, gamma_nr_normal, "", &t), 0);
    std::fclose(f);
    EXPECT_EQ(tu_read_file(path("n.vqf")), "");

    t.rt = {640, 330};
    t.gue = {300, 600};
    t.bl = {150, 60};
    t.wt = {313, 329};
    t.ent[0] = {0, 1, 2, 3};
    t.count = 1;
    print_gamma_c1(&t, path("none.c").c_str());
    EXPECT_EQ(plat::file_kind(path("none.c").c_str(), nullptr), plat::FILE_KIND_NONE);
    tu_write_file(path("mygamma.c"), "old");
    print_gamma_c1(&t, path("mygamma.c").c_str());
    EXPECT_EQ(tu_read_file(path("mygamma.c")),
              "gt_ ,{640,330,    300,600,   150,60,   313,329},\n\n{\n0,1,2,3,\n};\n");
}

}  // namespace
