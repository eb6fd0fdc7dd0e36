// Message boxes and window-text helpers on the headless window layer: Yes/No
// results and refusals, texts cut to their buffers, two-part bodies, the error
// boxes' caption, the helper library's box functions once bound, and the
// window-text helpers on handle -1 and short buffers.
#include <gtest/gtest.h>

#include <string>

#include "platform/win.h"
#include "support/ui_support.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/util/vqsystem.h"

namespace {

class Boxes : public ::testing::Test {
protected:
    void SetUp() override {
        ui_open_headless_main();
        ASSERT_NE(hwndMain, -1);
        plat::win_boxes_clear();
        snprintf(VER_APP_NAME, cfg_app_name_size, "%s", "Service Tool");
    }
};

// Each row asks one box; result -1 stands for the boxes without a result.
TEST_F(Boxes, ResultsRefusalsAndBodies) {
    const std::string l300(300, 'x'), l60(60, 'y'), l70(70, 'z');
    const char *x = l300.c_str(), *y = l60.c_str(), *z = l70.c_str();
    enum Kind { ALERT, QUEST, ALERT2, QUEST2, ERR, ERR2 };
    struct Row {
        int no;
        Kind kind;
        int owner;  // 0 = the main window
        const char *title, *text, *text2;
        char style;
        plat::WinAnswer answer;
        int want;             // result of the Yes/No boxes
        const char *caption;  // nullptr: no box shown
        std::string body;
        plat::WinIcon icon;
    } rows[] = {
        {1, QUEST, 0, "T", "Go?", nullptr, 2, plat::WIN_ANSWER_YES, 0, "T", "Go?",
         plat::WIN_ICON_QUESTION},
        {2, QUEST, 0, "T", "Go?", nullptr, 2, plat::WIN_ANSWER_NO, 1, "T", "Go?",
         plat::WIN_ICON_QUESTION},
        {3, QUEST, 0, "T", "Go?", nullptr, 6, plat::WIN_ANSWER_NONE, 1, "T", "Go?",
         plat::WIN_ICON_QUESTION},
        {4, QUEST, -1, "T", "Go?", nullptr, 2, plat::WIN_ANSWER_YES, 2, nullptr, "",
         plat::WIN_ICON_NONE},
        {5, QUEST, 0, nullptr, "Go?", nullptr, 2, plat::WIN_ANSWER_YES, 2, nullptr, "",
         plat::WIN_ICON_NONE},
        {6, QUEST2, 0, "T", "Go", nullptr, 2, plat::WIN_ANSWER_YES, 2, nullptr, "",
         plat::WIN_ICON_NONE},
        {7, QUEST2, 0, "T", "Load", "a.h86", 4, plat::WIN_ANSWER_YES, 0, "T", "Load \"a.h86\"",
         plat::WIN_ICON_EXCLAMATION},
        {8, ALERT, 0, x, x, nullptr, 0, plat::WIN_ANSWER_NONE, -1, x, std::string(255, 'x'),
         plat::WIN_ICON_NONE},
        {9, ALERT, -1, "T", "B", nullptr, 1, plat::WIN_ANSWER_NONE, -1, nullptr, "",
         plat::WIN_ICON_NONE},
        {10, ALERT2, 0, "T", "can not open file", "a.txt", static_cast<char>(128 | 4),
         plat::WIN_ANSWER_NONE, -1, "T", "can not open file a.txt", plat::WIN_ICON_EXCLAMATION},
        {11, ALERT2, 0, "T", y, z, 0, plat::WIN_ANSWER_NONE, -1, "T",
         std::string(50, 'y') + " \"" + std::string(50, 'z') + "\"", plat::WIN_ICON_NONE},
        {12, ALERT2, 0, "T", "a", nullptr, 0, plat::WIN_ANSWER_NONE, -1, nullptr, "",
         plat::WIN_ICON_NONE},
        {13, ERR, 0, nullptr,
         "Zeit\xFC"
         "berschreitung",
         nullptr, 0, plat::WIN_ANSWER_NONE, -1, "Service Tool",
         "Zeit\xFC"
         "berschreitung",
         plat::WIN_ICON_STOP},
        {14, ERR2, 0, nullptr, "can not open file", "a.txt", 0, plat::WIN_ANSWER_NONE, -1,
         "Service Tool", "can not open file \"a.txt\"", plat::WIN_ICON_STOP},
    };
    for (const Row &r : rows) {
        plat::win_boxes_clear();
        if (r.answer != plat::WIN_ANSWER_NONE) plat::win_script_box(r.answer);
        const int h = r.owner == 0 ? hwndMain : r.owner;
        int got = -1;
        switch (r.kind) {
        case ALERT: mw_alert(h, r.title, r.text, r.style); break;
        // NOLINTNEXTLINE(bugprone-signed-char-misuse): the answer is 0, 1 or 2
        case QUEST: got = mw_quest(h, r.title, r.text, r.style); break;
        case ALERT2: mw_alert_str(h, r.title, r.text, r.text2, r.style); break;
        // NOLINTNEXTLINE(bugprone-signed-char-misuse): the answer is 0, 1 or 2
        case QUEST2: got = mw_quest_str(h, r.title, r.text, r.text2, r.style); break;
        case ERR: mw_showerror(h, r.text); break;
        case ERR2: mw_showerror_str(h, r.text, r.text2); break;
        }
        EXPECT_EQ(got, r.want) << "row " << r.no;
        std::vector<plat::WinBoxRecord> b = plat::win_boxes_shown();
        ASSERT_EQ(b.size(), r.caption ? 1u : 0u) << "row " << r.no;
        if (!r.caption) continue;
        EXPECT_EQ(b[0].caption, std::string(r.caption).substr(0, 255)) << "row " << r.no;
        EXPECT_EQ(b[0].body, r.body) << "row " << r.no;
        EXPECT_EQ(b[0].icon, r.icon) << "row " << r.no;
        EXPECT_EQ(b[0].owner, hwndMain) << "row " << r.no;
    }
}

// Once start-up has bound the helper library, the boxes go through it with the
// cut copies.
std::string seen_text;
void fake_alert(int, const char *, const char *text, char) { seen_text = text; }
char fake_quest(int, const char *, const char *text, char) { return text[0] == 'y' ? 0 : 1; }

TEST_F(Boxes, BoundHelperLibraryShowsTheBoxes) {
    mw_alert2 = fake_alert;
    mw_quest2 = fake_quest;
    mw_alert(hwndMain, "Cap", std::string(300, 'q').c_str(), 4);
    EXPECT_EQ(seen_text, std::string(255, 'q'));
    EXPECT_EQ(mw_quest(hwndMain, "Cap", "yes", 2), 0);
    EXPECT_EQ(mw_quest(hwndMain, "Cap", "no", 2), 1);
    EXPECT_EQ(mw_quest(-1, "Cap", "yes", 2), 2);
    mw_alert2 = nullptr;
    mw_quest2 = nullptr;
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

TEST_F(Boxes, WindowTextHelpers) {
    int edit = plat::win_create_control(hwndMain, plat::WIN_EDIT, 500, "", 0, 0, 50, 20);
    mw_settext(edit, "12345");
    mw_settext(edit, nullptr);
    char buf[8];
    struct Row {
        int no;
        int hwnd;
        size_t n;
        const char *want;
    } rows[] = {{1, edit, sizeof buf, "12345"}, {2, edit, 4, "123"}, {3, -1, sizeof buf, ""}};
    for (const Row &r : rows) {
        snprintf(buf, sizeof buf, "junk");
        mw_gettext(r.hwnd, buf, r.n);
        EXPECT_STREQ(buf, r.want) << "row " << r.no;
    }
    mw_gettext(edit, nullptr, 8);
    mw_limit_text(edit, 5);
    mw_limit_text(edit, 0);  // outside 1..127: unchanged
    plat::WinInfo wi;
    ASSERT_TRUE(plat::win_info(edit, &wi));
    EXPECT_EQ(wi.limit, 5);

    int h = edit;
    mw_CloseWindow(&h);
    EXPECT_EQ(h, -1);
    EXPECT_FALSE(plat::win_exists(edit));
    mw_CloseWindow(&h);
    mw_CloseWindow(nullptr);
    mw_CloseWindow1(-1);
}

}  // namespace
