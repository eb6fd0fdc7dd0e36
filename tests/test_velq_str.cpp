// Strings, strict numbers and text files: the rules that settings, dump files
// and macro files rely on, table-driven.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "velquor/ui/err_texts.h"
#include "velquor/util/files.h"
#include "velquor/util/velq_str.h"

namespace {

TEST(StrictNumbers, IntegerTextsInCanonicalFormOnly) {
    struct Row {
        const char *text;
        char rc;
        int32_t value;
    } rows[] = {
        {"0", 0, 0},
        {"123", 0, 123},
        {"-5", 0, -5},
        {"0x0378", 0, 0x378},
        {"0X00ff", 0, 0xFF},
        {"0x12345", 0, 0x12345},
        {"", 2, 0},
        {"05", 4, 0},
        {"+5", 4, 0},
        {"5x", 4, 0},
        {"0x378", 3, 0},
        {"0xzz00", 3, 0},
        {"99999999999", 4, 0},  // beyond 32 bits is never canonical
        {"-2147483648", 0, INT32_MIN},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        char buf[32];
        snprintf(buf, sizeof buf, "%s", r.text);
        int32_t v = 77;
        EXPECT_EQ(ms_str_to_int(buf, &v), r.rc);
        EXPECT_EQ(v, r.value);
    }
    int32_t v;
    EXPECT_EQ(ms_str_to_int(nullptr, &v), 1);
    char b7[] = "07", bx[] = "0x1f", b3[] = "0x1";
    EXPECT_EQ(ms_str_to_char(b7, &v), 0);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(ms_str_to_char(bx, &v), 0);
    EXPECT_EQ(v, 0x1F);
    EXPECT_NE(ms_str_to_char(b3, &v), 0);
}

TEST(StrictNumbers, FieldValuesWithinBounds) {
    struct Row {
        const char *text, *lo, *hi;
        int kind;
        char rc;
        int32_t stored;
    } rows[] = {
        {"5", "1", "60", ms_kind_uchar, 0, 5},
        {"0", "1", "60", ms_kind_uchar, 3, 0},
        {"61", "1", "60", ms_kind_uchar, 3, 0},
        {"0", "0", "255", ms_kind_uchar, 0, 0},
        {"256", "0", "255", ms_kind_uchar, 3, 0},
        {"abc", "0", "255", ms_kind_uchar, 2, 0},
        {"-0", "0", "255", ms_kind_uchar, 0, 0},
        {"12", "60", "1", ms_kind_uchar, 0, 12},  // bounds in either order
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        uint8_t dest = 99;
        EXPECT_EQ(ms_iszahl(r.text, r.kind, r.lo, r.hi, &dest), r.rc);
        if (r.rc == 0 || r.rc == 3) {
            EXPECT_EQ(dest, r.stored);
        }
    }
    uint8_t d;
    EXPECT_EQ(ms_iszahl(nullptr, ms_kind_uchar, "0", "1", &d), 6);
    EXPECT_EQ(ms_iszahl("1", ms_kind_uchar, nullptr, "1", &d), 5);
}

TEST(Strings, CleanSplitCompare) {
    // Trimmed first, then the line end cut: a blank before CR stays.
    char line[64] = "  ik_sys_to\t12 \r\n";
    ms_clean_str(line);
    EXPECT_STREQ(line, "ik_sys_to 12 ");

    // The sizes count characters; the buffers hold one more for the NUL.
    char left[8], right[8];
    ms_lsep("ik_firmpath C:\\my files\\a.h86", left, sizeof left - 1, right, sizeof right - 1, ' ');
    EXPECT_STREQ(left, "ik_firm");  // cut to the room given
    EXPECT_STREQ(right, "C:\\my f");
    ms_lsep("novalue", left, sizeof left - 1, right, sizeof right - 1, ' ');
    EXPECT_STREQ(left, "novalue");
    EXPECT_STREQ(right, "");

    EXPECT_EQ(ms_strcmp_ud("IK_SYS_TO", "ik_sys_to"), 0);
    EXPECT_EQ(ms_strcmp_ud("ik_a", nullptr), 1);
    EXPECT_EQ(ms_strcmp_ud("ik_a", "ik_ab"), 2);
    EXPECT_EQ(ms_strcmp_ud("ik_a", "ik_b"), 3);

    char dst[8];
    ms_strnpcpy(dst, "abcdef", 3, 2);
    EXPECT_STREQ(dst, "bcd");
    ms_strnpcpy(dst, "ab", 3, 5);
    EXPECT_STREQ(dst, "");
}

class TextFiles : public ::testing::Test {
protected:
    std::string path;
    void SetUp() override {
        char tmpl[] = "/tmp/vq_files_XXXXXX";
        int fd = mkstemp(tmpl);
        // cppcheck-suppress resourceLeak ; when this fails, nothing was opened
        ASSERT_GE(fd, 0);
        close(fd);
        path = tmpl;
    }
    void TearDown() override { remove(path.c_str()); }
    void write_raw(const char *bytes, size_t n) {
        FILE *f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes, 1, n, f);
        fclose(f);
    }
};

TEST_F(TextFiles, LineReaderEndOfFileRules) {
    // LF, CR LF, a last line without a line end.
    const char text[] = "one\ntwo\r\nthree";
    write_raw(text, sizeof text - 1);
    FILE *f = nullptr;
    ASSERT_EQ(mf_fopen(&f, path.c_str(), mf_read), 0);
    char buf[mf_line_size];
    EXPECT_EQ(mf_readln(f, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "one");
    EXPECT_EQ(mf_readln(f, buf, sizeof buf), 0);
    ms_clean_str(buf);
    EXPECT_STREQ(buf, "two");
    EXPECT_EQ(mf_readln(f, buf, sizeof buf), 7);  // the end of the file ended the line
    EXPECT_STREQ(buf, "three");
    EXPECT_EQ(mf_readln(f, buf, sizeof buf), 7);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(mf_readln(f, nullptr, 10), 5);
    EXPECT_EQ(mf_readln(nullptr, buf, sizeof buf), 8);
    mf_fclose(&f);
    EXPECT_EQ(f, nullptr);
}

TEST_F(TextFiles, OpenWriteAndErrorTexts) {
    FILE *f = nullptr;
    ASSERT_EQ(mf_fopen(&f, path.c_str(), mf_write), 0);
    FILE *g = f;
    EXPECT_EQ(mf_fopen(&f, path.c_str(), mf_write), 1);  // holder busy: left alone
    EXPECT_EQ(f, g);
    EXPECT_EQ(mf_writeln_str(f, "ik_sys_to 12"), 0);
    EXPECT_EQ(mf_write_str(f, nullptr), 10);
    mf_fclose(&f);
    EXPECT_EQ(mf_fopen(&f, "", mf_read), 3);
    EXPECT_EQ(mf_fopen(&f, "/nonexistent/dir/x", mf_read), 4);
    EXPECT_EQ(mf_fopen(&f, path.c_str(), 0), 2);

    ASSERT_EQ(mf_fopen(&f, path.c_str(), mf_read | mf_bin), 0);
    char buf[32] = {0};
    EXPECT_EQ(fread(buf, 1, sizeof buf - 1, f), 14u);
    EXPECT_STREQ(buf, "ik_sys_to 12\r\n");
    EXPECT_EQ(mf_fgetsize(f), 14);
    mf_fclose(&f);

    EXPECT_EQ(mf_FileExists(path.c_str()), 1);
    EXPECT_EQ(mf_FileExists("/tmp"), 0);  // a directory is no file
    EXPECT_EQ(mf_FileExists(""), 2);
    EXPECT_EQ(mf_file_is_bin("edid.BIN"), 0);
    EXPECT_EQ(mf_file_is_bin("edid.hex"), 1);
    for (int id : {0, 4, 9, 15}) EXPECT_NE(mf_get_err_msg(id), nullptr);
    EXPECT_STREQ(mf_get_err_msg(99), mf_get_err_msg(4));
}

TEST_F(TextFiles, LinesByFirstCharacterSkipComments) {
    const char text[] = "# comment\n:10 // first\nx\n:20\n";
    write_raw(text, sizeof text - 1);
    FILE *f = nullptr;
    ASSERT_EQ(mf_fopen(&f, path.c_str(), mf_read), 0);
    EXPECT_EQ(mf_countlines_char(f, ':'), 2);
    rewind(f);
    sys_f_rv = 0;
    char buf[mf_line_size];
    EXPECT_EQ(mf_nextline_char_no_com(f, ':', buf), 0);
    EXPECT_STREQ(buf, ":10");
    EXPECT_EQ(mf_nextline_char(f, ':', buf), 0);
    EXPECT_STREQ(buf, ":20");
    EXPECT_EQ(mf_nextline_char(f, ':', buf), 0);
    EXPECT_STREQ(buf, "");  // none left, and no error
    EXPECT_EQ(sys_f_rv, 0);
    mf_fclose(&f);
}

}  // namespace
