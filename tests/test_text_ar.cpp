// Operator texts: the shape of the table, a sample of cells checked byte for
// byte (Windows-1252 letters, tabs, quotes, double and trailing blanks), the
// language selection with its no-fallback rule, and lookups outside the table.
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

TEST_F(TextAr, TableShape) {
    EXPECT_EQ(texte_rows, 138);
    EXPECT_EQ(tx_gamma_tab_def_tit, 137);
    EXPECT_EQ(sys_lang, lang_eng) << "English is the start language";
    // German and English exist in every row; only rows 0 and 83 are empty.
    for (int row = 0; row < texte_rows; ++row) {
        SCOPED_TRACE(row);
        ASSERT_NE(texte[row].tx_deu, nullptr);
        ASSERT_NE(texte[row].tx_eng, nullptr);
        const bool empty_row = row == tx_empty || row == tx_fe_no_file;
        EXPECT_EQ(texte[row].tx_deu[0] == '\0', empty_row);
        EXPECT_EQ(texte[row].tx_eng[0] == '\0', empty_row);
    }
    // French is absent exactly in rows 0, 135, 136 and 137.
    for (int row = 0; row < texte_rows; ++row) {
        const bool absent = row == tx_empty || row >= tx_debug;
        EXPECT_EQ(texte[row].tx_franz == nullptr, absent) << "row " << row;
    }
}

// Cells whose bytes are easy to get wrong, written out in Windows-1252.
TEST_F(TextAr, CellsByteForByte) {
    struct Row {
        int n;
        int row;
        uint32_t lang;
        const char *bytes;
    };
    // clang-format off
    const Row rows[] = {
        {1, tx_fr, lang_fr, "Fran\xE7" "aise"},
        {2, tx_fe_sz, lang_deu, "unbekannte Dateigr\xF6\xDF" "e"},
        {3, tx_cmp_to, lang_fr, "temps de d\xE9" "bouclement "},
        {4, tx_cmp_inv_cks, lang_fr, "somme de contr\xF4le erron\xE9" "e "},
        {5, tx_fs_er_n_ent, lang_fr, "entr\xE9" "e/entr\xE9" "es a/ont supprim\xE9"},
        {6, tx_io32dll, lang_eng, "can't load\t\"inpout32.dll\""},
        {7, tx_mon_0, lang_deu, "Monitor-Nr. muss \"0\" sein!"},
        {8, tx_cmp_r_dat, lang_deu, "Fehler beim Lesen  von Schnittstelle"},
        {9, tx_gamma_def_col_tit, lang_deu, " Def. Farbpunkte"},
        {10, tx_ddc_mask, lang_deu,
         "Alle Dateien [*.*],*.*,Bin\xE4ratei [*.bin],*.bin,EDID-Dateien [*.dat],*.dat"},
        {11, tx_n_op_comp, lang_fr, "ouvrir de interface n'a pas du succ\xE8s"},
    };
    // clang-format on
    for (const Row &r : rows) {
        EXPECT_STREQ(scr_get_text_lang(r.row, r.lang), r.bytes) << "row " << r.n;
        sys_lang = r.lang;
        EXPECT_STREQ(scr_get_text_ix(r.row), r.bytes) << "row " << r.n;
    }
}

// 1 German, 3 French, anything else English; no fallback to another column.
TEST_F(TextAr, LanguageSelection) {
    struct Row {
        int n;
        uint32_t lang;
        int row;
        const char *want;
    };
    const Row rows[] = {
        {1, 1, tx_abr, "Abbrechen"}, {2, 2, tx_abr, "Cancel"},
        {3, 3, tx_abr, "Annuler"},   {4, 7, tx_abr, "Cancel"},
        {5, 0, tx_abr, "Cancel"},    {6, 3, tx_upd, ""},  // dash: not translated
        {7, 3, tx_err_un, ""},                            // dash: no English stand-in
        {8, 3, tx_debug, ""},                             // no French text at all
        {9, 3, tx_empty, ""},        {10, 1, tx_fe_no_file, ""},
    };
    for (const Row &r : rows) {
        sys_lang = r.lang;
        const char *got = scr_get_text_ix(r.row);
        ASSERT_NE(got, nullptr) << "row " << r.n;
        EXPECT_STREQ(got, r.want) << "row " << r.n;
    }
}

TEST_F(TextAr, RowsOutsideTheTableAreEmpty) {
    const int rows[] = {-1, texte_rows, texte_rows + 1, INT_MAX, INT_MIN};
    for (uint32_t lang : {1u, 2u, 3u}) {
        sys_lang = lang;
        for (int row : rows) {
            const char *got = scr_get_text_ix(row);
            ASSERT_NE(got, nullptr) << row;
            EXPECT_STREQ(got, "") << row;
        }
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
