// Tests of the window layer's Qt backend on the offscreen platform: a window
// with one control of each kind and a menu bar, commands through the real
// widget signals, a PNG of the window, a box from a worker thread, timers
// through the Qt loop backend, and Windows-1252 text through an edit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QTreeWidget>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/loop.h"
#include "platform/win.h"
#include "tests/support/win_events.h"

using namespace plat;

// Under the leak checker: fontconfig keeps a few blocks for the whole process.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the leak checker calls.
extern "C" const char *__lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

constexpr int kWait = 10000;  // generous time-out for anything that waits, in ms
const auto proc = ev_proc;
void clear_events() { take_events(); }

const WinMenuRow menu_101[] = {
    // clang-format off
    {WIN_MENU_POPUP, "&File", 0},
        {WIN_MENU_ITEM, "Open", 172},
        {WIN_MENU_SEPARATOR, nullptr, 0},
        {WIN_MENU_ITEM, "Quit", 151},
    {WIN_MENU_END, nullptr, 0},
    {WIN_MENU_POPUP, "&System", 0},
        {WIN_MENU_ITEM, "Deutsch", 119},
        {WIN_MENU_ITEM, "English", 120},
    {WIN_MENU_END, nullptr, 0},
    {WIN_MENU_ITEM, "Version", 162},
    // clang-format on
};

// The one visible widget of a type in the test's main window, or nullptr.
template <class W>
W *only_widget() {
    W *found = nullptr;
    for (QWidget *w : QApplication::allWidgets())
        if (auto *t = dynamic_cast<W *>(w); t && t->isVisible()) {
            if (found) return nullptr;
            found = t;
        }
    return found;
}

template <class W>
W *widget_with_text(const QString &text) {
    for (QWidget *w : QApplication::allWidgets())
        if (auto *t = dynamic_cast<W *>(w); t && t->text() == text) return t;
    return nullptr;
}

class WinQt : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);  // never a window on someone's display
        static int argc = 1;
        static char arg0[] = "test_win_qt";
        static char *argv[] = {arg0, nullptr};
        ASSERT_TRUE(win_use_qt(argc, argv));
    }
    static void TearDownTestSuite() { win_shutdown(); }

    void SetUp() override {
        ASSERT_TRUE(win_is_qt());
        clear_events();
        win_boxes_clear();
        ASSERT_TRUE(win_register_menu(101, menu_101, std::size(menu_101)));
        WinMainArgs a;
        a.title = "Velquor II";
        a.x = 40;
        a.y = 30;
        a.width = 600;
        a.height = 370;
        a.menu_id = 101;
        a.proc = proc;
        main_ = win_create_main(a);
        ASSERT_NE(main_, -1);
        // Let the window settle (show, first layout) before the test looks at it.
        win_pump_until([] { return false; }, 50);
        clear_events();
    }
    void TearDown() override {
        win_destroy(main_);
        win_pump_until([] { return false; }, 20);
    }
    int main_ = -1;
};

// One control of each kind, placed as the program's element table places them.
struct Built {
    int button, label, group, radio, edit, memo, check, tree;
};

Built build_all(int w) {
    Built b;
    b.group = win_create_control(w, WIN_GROUP, 168, "Interface", 344, 5, 160, 160);
    b.label = win_create_control(w, WIN_STATIC, 139, "COM:", 372, 30, 60, 16);
    b.edit = win_create_control(w, WIN_EDIT | WIN_FLAG_SUNKEN, 138, "1", 424, 28, 40, 20);
    b.radio = win_create_control(w, WIN_RADIO, 181, "9600", 352, 60, 80, 18);
    b.check = win_create_control(w, WIN_CHECK, 169, "No Parity", 352, 84, 100, 18);
    b.button = win_create_control(w, WIN_BUTTON, 176, "Ping", 352, 120, 60, 24);
    b.memo = win_create_control(w, WIN_MEMO, 260, "line 1\r\nline 2", 8, 200, 300, 100);
    b.tree = win_create_control(w, WIN_TREE, 230, "", 8, 5, 300, 180);
    return b;
}

TEST_F(WinQt, CommandsArriveThroughTheWidgets) {
    const Built b = build_all(main_);
    for (int h : {b.button, b.label, b.group, b.radio, b.edit, b.memo, b.check, b.tree})
        ASSERT_NE(h, -1);
    for (int h : {b.button, b.label, b.radio, b.check}) win_set_font(h, WIN_FONT_SMALL);

    struct Row {
        int hwnd, id;
    };
    const Row rows[] = {{b.button, 176}, {b.radio, 181}, {b.check, 169}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        clear_events();
        ASSERT_TRUE(win_click(rows[i].hwnd));
        const std::vector<Event> cmds = events_of(WIN_MSG_COMMAND);
        ASSERT_EQ(cmds.size(), 1u);
        EXPECT_EQ(cmds[0].hwnd, main_);
        EXPECT_EQ(cmds[0].p1, rows[i].id);
        EXPECT_EQ(cmds[0].p2, WIN_NOTIFY_CLICK);
    }
    // Not automatic: the real widgets keep their marks after the clicks.
    QRadioButton *radio = widget_with_text<QRadioButton>("9600");
    QCheckBox *check = widget_with_text<QCheckBox>("No Parity");
    ASSERT_NE(radio, nullptr);
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(radio->isChecked());
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(win_get_check(b.check), 0);
    win_set_check(b.check, true);
    EXPECT_TRUE(check->isChecked());
    check->click();  // a click on the widget itself, as the mouse does
    EXPECT_TRUE(check->isChecked());

    // A disabled button sends nothing.
    win_enable(b.button, false);
    clear_events();
    EXPECT_FALSE(win_click(b.button));
    EXPECT_TRUE(events_of(WIN_MSG_COMMAND).empty());

    // The tree shows its items.
    const int port = win_tree_add(b.tree, "COM1:  1 Monitor(s)", 1);
    const int mon = win_tree_add(b.tree, "1: ZELB3 -> Display: 0x12", 2);
    win_tree_add(b.tree, "Firmware 5.068", 3);
    win_tree_expand(b.tree, mon, WIN_TOGGLE);
    auto *tree = only_widget<QTreeWidget>();
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->childCount(), 1);
    EXPECT_TRUE(tree->topLevelItem(0)->child(0)->isExpanded());
    tree->setCurrentItem(tree->topLevelItem(0));  // the operator selects
    EXPECT_EQ(win_tree_selection(b.tree), port);
}

TEST_F(WinQt, MenuChoiceSendsCommandAndMarksFollowTheModel) {
    ASSERT_EQ(win_check_menu(main_, 120, true), 0);
    EXPECT_EQ(win_check_menu(main_, 4711, true), 3);
    ASSERT_TRUE(win_click_menu(main_, 119));
    const std::vector<Event> cmds = events_of(WIN_MSG_COMMAND);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].p1, 119);
    bool checked = true, enabled = false;
    ASSERT_EQ(win_menu_item_state(main_, 119, &checked, &enabled), 0);
    EXPECT_FALSE(checked) << "choosing an item sets no mark";
    ASSERT_EQ(win_enable_menu(main_, 151, false), 0);
    EXPECT_FALSE(win_click_menu(main_, 151));
    // Reloading the menu inside a menu command is safe.
    WinMainArgs a;
    a.menu_id = 101;
    a.proc = [](int hwnd, int msg, int, int) {
        if (msg == WIN_MSG_COMMAND) win_select_menu(hwnd, 101);
        return 0;
    };
    const int w = win_create_main(a);
    EXPECT_TRUE(win_click_menu(w, 172));
    EXPECT_TRUE(win_click_menu(w, 172));
    win_destroy(w);
}

TEST_F(WinQt, PngShowsBackgroundAndControls) {
    const Built b = build_all(main_);
    win_pump_until([] { return false; }, 50);
    int cw = 0, ch = 0;
    ASSERT_TRUE(win_get_client_size(main_, &cw, &ch));
    EXPECT_EQ(cw, 600);
    EXPECT_GT(ch, 300);
    const std::string png =
        std::string(VQ_BINARY_DIR) + "/test_win_qt_" + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(win_save_png(main_, png.c_str()));
    QImage img(QString::fromStdString(png));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.width(), cw);
    const int dy = img.height() - ch;  // the menu bar stands above the client area
    EXPECT_GT(dy, 0) << "a menu bar is shown";
    // Bottom right of the client area: nothing but the background colour.
    EXPECT_EQ(img.pixelColor(cw - 5, dy + ch - 5), QColor(168, 200, 168));
    // Inside the button (352, 120, 60 x 24) something else is drawn.
    EXPECT_NE(img.pixelColor(352 + 30, dy + 120 + 12), QColor(168, 200, 168));
    // And inside the memo.
    EXPECT_NE(img.pixelColor(8 + 150, dy + 200 + 50), QColor(168, 200, 168));
    std::remove(png.c_str());
    (void)b;
}

// A box asked by a worker runs on the GUI thread; the scripted answer presses
// the real box's button; nothing deadlocks.
TEST_F(WinQt, BoxFromWorkerDoesNotDeadlock) {
    win_script_box(WIN_ANSWER_YES);
    win_script_box(WIN_ANSWER_OK);
    std::atomic<int> done{0};
    WinAnswer q = WIN_ANSWER_NONE, a = WIN_ANSWER_NONE;
    std::thread worker([&] {
        q = win_message_box(main_, "Velquor II", "Do you really want to delete the file system?",
                            WIN_BOX_YESNO, WIN_ICON_QUESTION);
        a = win_message_box(main_, "Velquor II", "Timeout", WIN_BOX_OK, WIN_ICON_STOP);
        done = 1;
    });
    EXPECT_TRUE(win_pump_until([&] { return done.load() == 1; }, kWait));
    worker.join();
    EXPECT_EQ(q, WIN_ANSWER_YES);
    EXPECT_EQ(a, WIN_ANSWER_OK);
    const std::vector<WinBoxRecord> shown = win_boxes_shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].answer, WIN_ANSWER_YES);
    EXPECT_EQ(shown[1].icon, WIN_ICON_STOP);
}

// While a worker's box is open, the main window's timers keep running.
TEST_F(WinQt, TimersFireThroughTheQtLoop) {
    std::thread worker([&] { EXPECT_TRUE(win_set_timer(main_, 173, 1)); });
    worker.join();
    EXPECT_TRUE(win_pump_until([] { return !events_of(WIN_MSG_TIMER).empty(); }, kWait));
    EXPECT_EQ(events_of(WIN_MSG_TIMER).at(0).p1, 173);

    clear_events();
    win_set_box_hook([this](const WinBoxRecord &) {
        win_set_timer(main_, 165, 1);
        // Answer only once the timer has fired inside the box's own event loop.
        win_pump_until([] { return !events_of(WIN_MSG_TIMER).empty(); }, kWait);
        return WIN_ANSWER_OK;
    });
    EXPECT_EQ(win_message_box(main_, "c", "b", WIN_BOX_OK, WIN_ICON_NONE), WIN_ANSWER_OK);
    win_set_box_hook(nullptr);
    EXPECT_FALSE(events_of(WIN_MSG_TIMER).empty());
}

TEST_F(WinQt, TextRoundTripsThroughAnEdit) {
    const Built b = build_all(main_);
    struct Row {
        const char *typed;   // Windows-1252
        const char *widget;  // what the widget shows, UTF-8
    };
    const Row rows[] = {
        {"\xe4\xf6\xfc\xdf", "\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f"},  // 0 umlauts and sharp s
        {"Fran\xe7"
         "aise \x80",
         "Fran\xc3\xa7"
         "aise \xe2\x82\xac"},  // 1 cedilla, euro
        {"", ""},               // 2 emptied
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        clear_events();
        ASSERT_TRUE(win_type_text(b.edit, rows[i].typed));
        EXPECT_EQ(win_text(b.edit), rows[i].typed);
        auto *e = only_widget<QLineEdit>();
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->text(), QString::fromUtf8(rows[i].widget));
        EXPECT_FALSE(events_of(WIN_MSG_COMMAND).empty()) << "typing notifies the change";
    }
    // The program's text shows as Unicode; a character beyond Windows-1252 reads back as '?'.
    win_set_text(b.edit,
                 "Gr\xfc\xdf"
                 "e");
    QLineEdit *e =
        widget_with_text<QLineEdit>(QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                                                      "e"));
    ASSERT_NE(e, nullptr);
    e->end(false);
    QKeyEvent omega(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x03A9)));
    QApplication::sendEvent(e, &omega);
    EXPECT_EQ(win_text(b.edit),
              "Gr\xfc\xdf"
              "e?");
    // The typing limit holds on the real widget too.
    win_limit_text(b.edit, 3);
    ASSERT_TRUE(win_type_text(b.edit, "12345"));
    EXPECT_EQ(win_text(b.edit), "123");
}

// A tooltip reaches its widget as Unicode, also when a worker sets it, and
// an empty text removes it.
TEST_F(WinQt, TooltipsReachTheWidgets) {
    const Built b = build_all(main_);
    auto *edit = only_widget<QLineEdit>();
    ASSERT_NE(edit, nullptr);
    win_set_tooltip(b.edit, "/dev/ttyS0");
    EXPECT_EQ(edit->toolTip(), QStringLiteral("/dev/ttyS0"));
    std::thread worker([&] {
        win_set_tooltip(b.edit,
                        "/home/j\xfc"
                        "rgen/tty \x80");
    });
    worker.join();
    const QString want = QString::fromUtf8(
        "/home/j\xc3\xbc"
        "rgen/tty \xe2\x82\xac");
    EXPECT_TRUE(win_pump_until([&] { return edit->toolTip() == want; }, kWait))
        << edit->toolTip().toStdString();
    win_set_tooltip(b.edit, "");
    EXPECT_TRUE(edit->toolTip().isEmpty());
    EXPECT_EQ(edit->text(), QStringLiteral("1"));
}

// State set by a worker reaches the widgets through the loop.
TEST_F(WinQt, WorkerChangesReachTheWidgets) {
    WinDialogArgs d;
    d.owner = main_;
    d.caption = "Fortschritt";
    d.width = 189;
    d.height = 97;
    const int dlg = win_create_dialog(d);
    ASSERT_NE(dlg, -1);
    std::atomic<bool> done{false};
    int label = -1, bar = -1;
    std::thread worker([&] {
        label = win_create_control(dlg, WIN_STATIC | WIN_FLAG_RIGHT, 214, "", 10, 8, 80, 20);
        bar = win_create_progress(dlg, 6, 26, 132, 13);
        win_set_text(label, "Line: 17");
        win_progress_set_pos(bar, 8);
        win_bring_to_front(dlg);
        done = true;
    });
    worker.join();
    EXPECT_TRUE(
        win_pump_until([] { return widget_with_text<QLabel>("Line: 17") != nullptr; }, kWait));
    EXPECT_TRUE(win_is_visible(dlg));
    EXPECT_EQ(win_progress_pos(bar), 8);
    const std::string png =
        std::string(VQ_BINARY_DIR) + "/test_win_qt_dlg_" + std::to_string(getpid()) + ".png";
    EXPECT_TRUE(win_save_png(dlg, png.c_str()));
    std::remove(png.c_str());
    win_close(dlg);
    EXPECT_FALSE(win_is_visible(dlg));
    EXPECT_TRUE(win_exists(dlg));
}

// The icon is drawn from the SVG text: a red square comes out red at every
// size, text that is no SVG leaves the icon as it was, and the program's own
// icon file reads.
TEST_F(WinQt, AppIconIsDrawnFromSvgText) {
    const char red[] =
        "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8' viewBox='0 0 8 8'>"
        "<rect width='8' height='8' fill='#ff0000'/></svg>";
    ASSERT_TRUE(win_set_app_icon("velquor-test", red));
    EXPECT_EQ(QGuiApplication::desktopFileName(), QString("velquor-test"));
    for (const int side : {16, 48}) {
        const QImage img = QApplication::windowIcon().pixmap(side, side).toImage();
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.pixelColor(side / 2, side / 2), QColor(255, 0, 0)) << side;
    }
    EXPECT_FALSE(win_set_app_icon(nullptr, "not an svg"));
    EXPECT_EQ(QApplication::windowIcon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(255, 0, 0));

    std::string svg;
    FILE *f = std::fopen(VQ_SOURCE_DIR "/packaging/velquor.svg", "rb");
    ASSERT_NE(f, nullptr);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) svg.append(buf, n);
    std::fclose(f);
    EXPECT_TRUE(win_set_app_icon(nullptr, svg.c_str()));
}

}  // namespace
