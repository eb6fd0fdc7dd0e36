// Operator texts: every id's texts present and in Windows-1252, the language
// selection with its no-fallback rule, lookups outside the table, and the
// start-up messages.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "velquor/ui/text_ar.h"

namespace {

// Every test leaves the language as it found it.
class TextAr : public ::testing::Test {
protected:
    void SetUp() override { saved_ = sys_lang; }
    void TearDown() override { sys_lang = saved_; }
    uint32_t saved_ = 0;
};

// German and English have a text for every id but the two empty ones, and
// every text is written in Windows-1252: a UTF-8 letter (a lead byte C2-DF
// before a continuation byte) would show as two wrong characters.
TEST_F(TextAr, EveryIdHasItsTextsInWindows1252) {
    EXPECT_EQ(sys_lang, lang_eng) << "English is the start language";
    for (int row = 0; row < texte_rows; ++row) {
        SCOPED_TRACE(row);
        const bool empty_row = row == tx_empty || row == tx_fe_no_file;
        EXPECT_EQ(texte[row].tx_deu[0] == '\0', empty_row);
        EXPECT_EQ(texte[row].tx_eng[0] == '\0', empty_row);
        for (const char *t : {texte[row].tx_deu, texte[row].tx_eng, texte[row].tx_franz}) {
            for (size_t i = 0; t && t[i] && t[i + 1]; ++i) {
                const auto a = static_cast<uint8_t>(t[i]), b = static_cast<uint8_t>(t[i + 1]);
                EXPECT_FALSE(a >= 0xC2 && a <= 0xDF && b >= 0x80 && b <= 0xBF) << t;
            }
        }
    }
    EXPECT_STREQ(scr_get_text_lang(tx_fr, lang_fr),
                 "Fran\xE7"
                 "aise");
}

// 1 German, 3 French, anything else English; no fallback to another column;
// nothing outside the table.
TEST_F(TextAr, LanguageSelection) {
    struct Row {
        int n;
        uint32_t lang;
        int row;
        const char *want;
    };
    const Row rows[] = {
        {1, 1, tx_abr, "Abbrechen"},
        {2, 2, tx_abr, "Cancel"},
        {3, 3, tx_abr, "Annuler"},
        {4, 7, tx_abr, "Cancel"},
        {5, 0, tx_abr, "Cancel"},
        {6, 3, tx_upd, ""},     // dash: not translated
        {7, 3, tx_err_un, ""},  // dash: no English stand-in
        {8, 3, tx_debug, ""},   // no French text at all
        {9, 3, tx_empty, ""},
        {10, 1, tx_fe_no_file, ""},
        {11, 1, -1, ""},  // outside the table
        {12, 2, texte_rows, ""},
        {13, 3, INT_MAX, ""},
        {14, 2, INT_MIN, ""},
    };
    for (const Row &r : rows) {
        sys_lang = r.lang;
        const char *got = scr_get_text_ix(r.row);
        ASSERT_NE(got, nullptr) << "row " << r.n;
        EXPECT_STREQ(got, r.want) << "row " << r.n;
    }
    EXPECT_STREQ(scr_get_text_none(1), "");
}

TEST_F(TextAr, StartUpMessages) {
    struct Row {
        int n;
        int code;
        int row;
    };
    const Row rows[] = {{1, 0, tx_ok},
                        {2, 1, tx_io32dll},
                        {3, 2, tx_io32dll_err},
                        {4, 3, tx_io32dll_err},
                        {5, 10, tx_comdll},
                        {6, 11, tx_comdll_err},
                        {7, 12, tx_syserr_nomem},
                        {8, 4, tx_err_un},
                        {9, -1, tx_err_un}};
    sys_lang = lang_deu;
    for (const Row &r : rows) {
        EXPECT_STREQ(sys_get_msg(r.code), texte[r.row].tx_deu) << "row " << r.n;
    }
}

}  // namespace
