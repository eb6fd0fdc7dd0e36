// Tests of the window layer on its headless backend: controls and their
// non-automatic marks, command delivery, edit limits, boxes from a worker
// thread, timers armed from a worker, handle -1, menu result codes, the tree,
// the progress bar, the file dialog script and the viewer start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/loop.h"
#include "platform/win.h"
#include "support/test_util.h"
#include "support/win_events.h"

using namespace plat;

namespace {

constexpr int kWait = tu_wait_ms;
const auto proc = ev_proc;

class WinHeadless : public ::testing::Test {
protected:
    void SetUp() override {
        loop_reset();
        win_use_headless();
        take_events();
        ev_close_answer = 0;
        WinMainArgs a;
        a.title = "Velquor";
        a.x = 10;
        a.y = 20;
        a.proc = proc;
        main_ = win_create_main(a);
        ASSERT_NE(main_, -1);
    }
    void TearDown() override {
        win_shutdown();
        loop_reset();
    }
    int main_ = -1;
};

// One menu bar in the program's layout: popups with items, a separator, a
// top-level item.
const WinMenuRow menu_101[] = {
    // clang-format off
    {WIN_MENU_POPUP, "&File", 0},
        {WIN_MENU_ITEM, "Open", 172},
        {WIN_MENU_SEPARATOR, nullptr, 0},
        {WIN_MENU_POPUP, "Macro File", 0},
            {WIN_MENU_ITEM, "Reload", 164},
        {WIN_MENU_END, nullptr, 0},
        {WIN_MENU_ITEM, "Quit", 151},
    {WIN_MENU_END, nullptr, 0},
    {WIN_MENU_ITEM, "Version", 162},
    // clang-format on
};

// Buttons, radios and check boxes send their command when clicked, unless
// disabled, hidden or in a disabled window; other kinds take no click.
// Radios and check boxes are not automatic: a click neither sets nor clears
// the mark; only the program does, and other kinds have no mark.
TEST_F(WinHeadless, ClicksDeliverCommandsAndLeaveTheMarks) {
    struct Row {
        int kind;
        bool enabled, visible;
        bool clicked;  // expected: click accepted and command sent
    };
    const Row rows[] = {
        {WIN_BUTTON, true, true, true},    // 0 push button
        {WIN_RADIO, true, true, true},     // 1
        {WIN_CHECK, true, true, true},     // 2
        {WIN_BUTTON, false, true, false},  // 3 disabled: nothing
        {WIN_BUTTON, true, false, false},  // 4 hidden: nothing
        {WIN_STATIC, true, true, false},   // 5 not clickable
        {WIN_GROUP, true, true, false},    // 6
        {WIN_EDIT, true, true, false},     // 7
        {WIN_TREE, true, true, false},     // 8
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const Row &r = rows[i];
        const int id = 120 + static_cast<int>(i);
        const int c = win_create_control(main_, r.kind, id, "x", 0, 0, 20, 20);
        ASSERT_NE(c, -1);
        win_enable(c, r.enabled);
        win_show(c, r.visible);
        const bool marks = r.kind == WIN_RADIO || r.kind == WIN_CHECK;
        for (bool mark : {false, true}) {
            win_set_check(c, mark);
            EXPECT_EQ(win_get_check(c), marks ? int(mark) : -1);
            take_events();
            EXPECT_EQ(win_click(c), r.clicked);
            EXPECT_EQ(win_get_check(c), marks ? int(mark) : -1) << "the click changed the mark";
            const std::vector<Event> ev = take_events();
            ASSERT_EQ(ev.size(), r.clicked ? 1u : 0u);
            if (r.clicked) {
                EXPECT_EQ(ev[0].msg, WIN_MSG_COMMAND);
                EXPECT_EQ(ev[0].hwnd, main_);
                EXPECT_EQ(ev[0].p1, id);
                EXPECT_EQ(ev[0].p2, WIN_NOTIFY_CLICK);
            }
        }
    }
    const int b = win_create_control(main_, WIN_BUTTON, 7, "b", 0, 0, 10, 10);
    win_enable(main_, false);
    EXPECT_FALSE(win_click(b));
    win_enable(main_, true);
    EXPECT_TRUE(win_click(b));
}

// A control keeps its tooltip until it is replaced or removed; it is set from
// any thread and is no message to the procedure. Windows have none.
TEST_F(WinHeadless, TooltipsOfControls) {
    const int edit = win_create_control(main_, WIN_EDIT, 138, "1", 0, 0, 20, 10);
    const int group = win_create_control(main_, WIN_GROUP, 168, "Interface", 0, 0, 50, 50);
    ASSERT_NE(edit, -1);
    take_events();
    struct Row {
        int hwnd;
        const char *set;  // nullptr: removed
        const char *read;
    };
    const Row rows[] = {
        {edit, "/dev/ttyS0", "/dev/ttyS0"},      // 0
        {edit, "/dev/ttyUSB0", "/dev/ttyUSB0"},  // 1 replaced
        {edit, nullptr, ""},                     // 2 removed
        {group,
         "Fran\xe7"
         "ais",
         "Fran\xe7"
         "ais"},                     // 3 Windows-1252 kept as it is
        {group, "", ""},             // 4 removed by an empty text
        {main_, "main window", ""},  // 5 not a control
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        win_set_tooltip(rows[i].hwnd, rows[i].set);
        EXPECT_EQ(win_tooltip(rows[i].hwnd), rows[i].read) << i;
    }
    std::thread worker([edit] { win_set_tooltip(edit, "/dev/pts/3"); });
    worker.join();
    EXPECT_EQ(win_tooltip(edit), "/dev/pts/3");
    EXPECT_EQ(win_text(edit), "1");
    EXPECT_TRUE(take_events().empty());
    win_destroy(edit);
    EXPECT_EQ(win_tooltip(edit), "");
}

// The procedure may destroy the very control whose click it handles, as a
// rebuild of the window contents does.
TEST_F(WinHeadless, ProcedureMayDestroyTheClickedControl) {
    static int victim;
    WinMainArgs a;
    a.proc = [](int, int msg, int, int) {
        if (msg == WIN_MSG_COMMAND) win_destroy(victim);
        return 0;
    };
    const int w = win_create_main(a);
    victim = win_create_control(w, WIN_BUTTON, 3, "b", 0, 0, 10, 10);
    EXPECT_TRUE(win_click(victim));
    EXPECT_FALSE(win_exists(victim));
}

TEST_F(WinHeadless, DialogCommandsGoToItsProcOrItsOwner) {
    static std::atomic<int> dialog_cmds;
    dialog_cmds = 0;
    WinDialogArgs with;
    with.owner = main_;
    with.proc = [](int, int msg, int, int) {
        if (msg == WIN_MSG_COMMAND) ++dialog_cmds;
        return 0;
    };
    const int d1 = win_create_dialog(with);
    WinDialogArgs without;
    without.owner = main_;
    const int d2 = win_create_dialog(without);
    ASSERT_NE(d1, -1);
    ASSERT_NE(d2, -1);
    EXPECT_FALSE(win_is_visible(d1)) << "dialogs start hidden";
    win_show(d1, true);
    win_bring_to_front(d2);
    const int b1 = win_create_control(d1, WIN_BUTTON, 215, "Cancel", 0, 0, 60, 14);
    const int b2 = win_create_control(d2, WIN_BUTTON, 215, "Cancel", 0, 0, 60, 14);
    EXPECT_EQ(win_find_child(d1, 215), b1);
    take_events();
    EXPECT_TRUE(win_click(b1));
    EXPECT_EQ(dialog_cmds.load(), 1);
    EXPECT_TRUE(take_events().empty());
    EXPECT_TRUE(win_click(b2));
    const std::vector<Event> ev = take_events();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].hwnd, main_);
    EXPECT_EQ(ev[0].p1, 215);
    // Closing a dialog hides it; destroying the owner destroys it.
    win_close(d1);
    EXPECT_TRUE(win_exists(d1));
    EXPECT_FALSE(win_is_visible(d1));
    win_destroy(main_);
    EXPECT_FALSE(win_exists(d1));
    EXPECT_FALSE(win_exists(b2));
}

TEST_F(WinHeadless, EditLimitAppliesToTypingOnly) {
    struct Row {
        int limit;
        const char *typed;
        const char *stored;
    };
    const Row rows[] = {
        {3, "12345", "123"},      // 0 cut at the limit
        {3, "12", "12"},          // 1 below the limit
        {1, "", ""},              // 2 emptied
        {0, "abcdef", "abcdef"},  // 3 0 restores the default limit
    };
    const int e = win_create_control(main_, WIN_EDIT | WIN_FLAG_SUNKEN, 138, "1", 0, 0, 40, 18);
    ASSERT_NE(e, -1);
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(win_limit_text(e, rows[i].limit));
        take_events();
        ASSERT_TRUE(win_type_text(e, rows[i].typed));
        EXPECT_EQ(win_text(e), rows[i].stored);
        const std::vector<Event> ev = take_events();
        ASSERT_EQ(ev.size(), 1u);
        EXPECT_EQ(ev[0].p1, 138);
        EXPECT_EQ(ev[0].p2, WIN_NOTIFY_CHANGE);
    }
    win_limit_text(e, 2);
    win_set_text(e, "192.168.1.10");
    EXPECT_EQ(win_text(e), "192.168.1.10") << "the program's own text is not cut";
    char buf[4];
    EXPECT_EQ(win_get_text(e, buf, sizeof buf), 3u);
    EXPECT_STREQ(buf, "192");
    WinInfo info;
    ASSERT_TRUE(win_info(e, &info));
    EXPECT_EQ(info.flags, WIN_FLAG_SUNKEN);
    EXPECT_EQ(info.limit, 2);

    const int memo = win_create_control(main_, WIN_MEMO, 260, "", 0, 0, 40, 40);
    EXPECT_FALSE(win_type_text(memo, "x")) << "the memo is read-only";
    const int label = win_create_control(main_, WIN_STATIC, 139, "COM:", 0, 0, 40, 18);
    EXPECT_FALSE(win_limit_text(label, 3));
    win_enable(e, false);
    EXPECT_FALSE(win_type_text(e, "9"));
}

TEST_F(WinHeadless, CreateControlRejectsBadArguments) {
    EXPECT_EQ(win_create_control(main_, 3, 1, "x", 0, 0, 1, 1), -1) << "no such kind";
    EXPECT_EQ(win_create_control(main_, 0, 1, "x", 0, 0, 1, 1), -1);
    EXPECT_EQ(win_create_control(main_, WIN_BUTTON | 1024, 1, "x", 0, 0, 1, 1), -1)
        << "unknown flag";
    EXPECT_EQ(win_create_control(main_, WIN_BUTTON, 1, "x", 0, 0, -1, 1), -1);
    const int b = win_create_control(main_, WIN_BUTTON, 1, "x", 0, 0, 1, 1);
    EXPECT_EQ(win_create_control(b, WIN_BUTTON, 1, "x", 0, 0, 1, 1), -1)
        << "a control is no parent";
    EXPECT_NE(win_create_control(main_, WIN_STATIC | WIN_FLAG_RIGHT, 1, nullptr, 0, 0, 1, 1), -1);
}

// Every operation on -1 does nothing or answers its error code.
TEST_F(WinHeadless, HandleMinusOneDoesNothing) {
    char buf[8] = "junk";
    bool checked = true, enabled = true;
    int x = 5;
    std::string path = "x";
    WinOpenFileArgs fa;
    fa.owner = -1;
    win_set_text(-1, "x");
    win_enable(-1, true);
    win_set_check(-1, true);
    win_set_font(-1, WIN_FONT_SMALL);
    win_set_geometry(-1, 1, 2, 3, 4);
    win_show(-1, true);
    win_bring_to_front(-1);
    win_destroy(-1);
    win_close(-1);
    win_tree_clear(-1);
    win_set_tooltip(-1, "x");
    struct Row {
        const char *what;
        long got, want;
    };
    const Row rows[] = {
        {"exists", win_exists(-1), 0},
        {"kind", win_kind(-1), 0},
        {"id", win_id(-1), -1},
        {"get_text", static_cast<long>(win_get_text(-1, buf, sizeof buf)), 0},
        {"text emptied", buf[0], 0},
        {"tooltip", static_cast<long>(win_tooltip(-1).size()), 0},
        {"enabled", win_is_enabled(-1), 0},
        {"check", win_get_check(-1), -1},
        {"limit", win_limit_text(-1, 3), 0},
        {"geometry", win_get_geometry(-1, &x, &x, &x, &x), 0},
        {"visible", win_is_visible(-1), 0},
        {"control", win_create_control(-1, WIN_BUTTON, 1, "x", 0, 0, 1, 1), -1},
        {"progress", win_create_progress(-1, 0, 0, 1, 1), -1},
        {"progress range", win_progress_set_range(-1, 0, 100), 1},
        {"progress pos", win_progress_set_pos(-1, 0), 1},
        {"tree add", win_tree_add(-1, "x", 1), 0},
        {"tree selection", win_tree_selection(-1), 0},
        {"select menu", win_select_menu(-1, 101), 1},
        {"check menu", win_check_menu(-1, 172, true), 1},
        {"enable menu", win_enable_menu(-1, 172, true), 1},
        {"menu state", win_menu_item_state(-1, 172, &checked, &enabled), 1},
        {"timer", win_set_timer(-1, 173, 1), 0},
        {"kill timer", win_kill_timer(-1, 173), 0},
        {"click", win_click(-1), 0},
        {"type", win_type_text(-1, "1"), 0},
        {"click menu", win_click_menu(-1, 172), 0},
        {"find child", win_find_child(-1, 1), -1},
        {"png", win_save_png(-1, "/tmp/x.png"), 0},
        {"open file without path", win_open_file(fa, nullptr), WIN_OPEN_BAD_ARG},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(rows[i].got, rows[i].want) << i << " " << rows[i].what;
}

TEST_F(WinHeadless, MenuResultCodes) {
    ASSERT_TRUE(win_register_menu(101, menu_101, std::size(menu_101)));
    const int button = win_create_control(main_, WIN_BUTTON, 1, "b", 0, 0, 1, 1);
    WinMainArgs bare;
    const int no_menu = win_create_main(bare);
    struct Row {
        const char *what;
        int got, want;
    };
    // Before a menu is attached.
    EXPECT_EQ(win_check_menu(main_, 172, true), 2);
    const Row rows[] = {
        {"select unknown resource", win_select_menu(main_, 999), 1},    // 0
        {"select onto a control", win_select_menu(button, 101), 2},     // 1
        {"select onto dead handle", win_select_menu(12345, 101), 2},    // 2
        {"select", win_select_menu(main_, 101), 0},                     // 3
        {"check in popup", win_check_menu(main_, 172, true), 0},        // 4
        {"check in sub-popup", win_check_menu(main_, 164, true), 0},    // 5
        {"check top-level item", win_check_menu(main_, 162, true), 0},  // 6
        {"check unknown item", win_check_menu(main_, 4711, true), 3},   // 7
        {"check without menu", win_check_menu(no_menu, 172, true), 2},  // 8
        {"check dead handle", win_check_menu(12345, 172, true), 2},     // 9
        {"grey item", win_enable_menu(main_, 151, false), 0},           // 10
        {"grey unknown item", win_enable_menu(main_, 4711, false), 3},  // 11
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(rows[i].got, rows[i].want) << i << " " << rows[i].what;

    bool checked = false, enabled = true;
    ASSERT_EQ(win_menu_item_state(main_, 164, &checked, &enabled), 0);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(enabled);
    ASSERT_EQ(win_menu_item_state(main_, 151, &checked, &enabled), 0);
    EXPECT_FALSE(checked);
    EXPECT_FALSE(enabled);

    // Choosing items: a greyed one sends nothing.
    take_events();
    EXPECT_TRUE(win_click_menu(main_, 172));
    EXPECT_FALSE(win_click_menu(main_, 151));
    std::vector<Event> ev = take_events();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].msg, WIN_MSG_COMMAND);
    EXPECT_EQ(ev[0].p1, 172);

    // The structure as loaded; reloading resets every mark.
    const std::vector<WinMenuItemInfo> items = win_menu_items(main_);
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0].caption, "&File");
    EXPECT_EQ(items[0].level, 0);
    EXPECT_EQ(items[3].caption, "Macro File");
    EXPECT_EQ(items[4].level, 2);
    EXPECT_EQ(items[6].caption, "Version");
    EXPECT_EQ(items[6].level, 0);
    ASSERT_EQ(win_select_menu(main_, 101), 0);
    ASSERT_EQ(win_menu_item_state(main_, 164, &checked, &enabled), 0);
    EXPECT_FALSE(checked);
    ASSERT_EQ(win_menu_item_state(main_, 151, &checked, &enabled), 0);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(win_menu_of(main_), 101);
}

TEST_F(WinHeadless, MenuTablesAreChecked) {
    const WinMenuRow open_popup[] = {{WIN_MENU_POPUP, "File", 0}, {WIN_MENU_ITEM, "Open", 1}};
    const WinMenuRow extra_end[] = {{WIN_MENU_ITEM, "Open", 1}, {WIN_MENU_END, nullptr, 0}};
    const WinMenuRow bad_kind[] = {{static_cast<WinMenuRowKind>(9), "x", 1}};
    EXPECT_FALSE(win_register_menu(1, open_popup, std::size(open_popup)));
    EXPECT_FALSE(win_register_menu(2, extra_end, std::size(extra_end)));
    EXPECT_FALSE(win_register_menu(3, bad_kind, std::size(bad_kind)));
    EXPECT_FALSE(win_register_menu(4, nullptr, 0));
    EXPECT_EQ(win_select_menu(main_, 1), 1);
}

// A box asked by a worker runs on the main thread while the main loop runs;
// the worker waits until it was answered.
TEST_F(WinHeadless, QuestionFromWorkerBlocksUntilAnswered) {
    std::atomic<bool> worker_returned{false};
    std::atomic<bool> hook_on_main{false};
    std::atomic<bool> worker_waited{false};
    win_set_box_hook([&](const WinBoxRecord &box) {
        hook_on_main = loop_is_main_thread();
        worker_waited = !worker_returned.load();
        EXPECT_EQ(box.answer, WIN_ANSWER_NONE);
        return WIN_ANSWER_NONE;  // leave it to the script
    });
    win_script_box(WIN_ANSWER_YES);
    WinAnswer got = WIN_ANSWER_NONE;
    std::thread worker([&] {
        got = win_message_box(main_, "Velquor II", "Do you really want to delete the file system?",
                              WIN_BOX_YESNO, win_icon_from_style(2));
        worker_returned = true;
    });
    EXPECT_TRUE(win_pump_until([&] { return worker_returned.load(); }, kWait));
    worker.join();
    EXPECT_EQ(got, WIN_ANSWER_YES);
    EXPECT_TRUE(hook_on_main);
    EXPECT_TRUE(worker_waited);
    const std::vector<WinBoxRecord> shown = win_boxes_shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Velquor II");
    EXPECT_EQ(shown[0].icon, WIN_ICON_QUESTION);
    EXPECT_EQ(shown[0].buttons, WIN_BOX_YESNO);
    EXPECT_EQ(shown[0].answer, WIN_ANSWER_YES);
    EXPECT_EQ(shown[0].owner, main_);
}

TEST_F(WinHeadless, BoxAnswersFromHookScriptAndDefault) {
    struct Row {
        WinButtons buttons;
        WinAnswer hook, script, want;
    };
    const Row rows[] = {
        {WIN_BOX_OK, WIN_ANSWER_NONE, WIN_ANSWER_NONE, WIN_ANSWER_OK},     // 0 default OK
        {WIN_BOX_YESNO, WIN_ANSWER_NONE, WIN_ANSWER_NONE, WIN_ANSWER_NO},  // 1 default No
        {WIN_BOX_YESNO, WIN_ANSWER_NONE, WIN_ANSWER_YES, WIN_ANSWER_YES},  // 2 script
        {WIN_BOX_YESNO, WIN_ANSWER_YES, WIN_ANSWER_NO,
         WIN_ANSWER_YES},  // 3 the hook before the script
        {WIN_BOX_OK, WIN_ANSWER_NONE, WIN_ANSWER_YES,
         WIN_ANSWER_OK},  // 4 a misfit counts as default
        {WIN_BOX_YESNO, WIN_ANSWER_OK, WIN_ANSWER_NONE, WIN_ANSWER_NO},  // 5 misfit from the hook
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        win_boxes_clear();
        const WinAnswer hook_answer = rows[i].hook;
        win_set_box_hook([hook_answer](const WinBoxRecord &) { return hook_answer; });
        if (rows[i].script != WIN_ANSWER_NONE) win_script_box(rows[i].script);
        EXPECT_EQ(win_message_box(-1, "Error", "can't load", rows[i].buttons, WIN_ICON_STOP),
                  rows[i].want);
        const std::vector<WinBoxRecord> shown = win_boxes_shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].answer, rows[i].want);
        EXPECT_EQ(shown[0].owner, -1);
    }
    win_set_box_hook(nullptr);
}

TEST_F(WinHeadless, IconFromStyleBits) {
    const std::pair<unsigned, WinIcon> rows[] = {
        {0, WIN_ICON_NONE},        {1, WIN_ICON_STOP},   {2, WIN_ICON_QUESTION},
        {4, WIN_ICON_EXCLAMATION}, {3, WIN_ICON_STOP},   {6, WIN_ICON_QUESTION},
        {1 + 128, WIN_ICON_STOP},  {128, WIN_ICON_NONE},
    };
    for (const auto &[style, icon] : rows) EXPECT_EQ(win_icon_from_style(style), icon) << style;
}

// Timers armed by a worker fire on the main thread and reach the procedure.
TEST_F(WinHeadless, TimerFromWorkerReachesProcedureOnMainThread) {
    take_events();
    std::thread worker([&] { EXPECT_TRUE(win_set_timer(main_, 173, 1)); });
    worker.join();
    EXPECT_TRUE(win_pump_until([] { return !events_of(WIN_MSG_TIMER).empty(); }, kWait));
    const std::vector<Event> timers = events_of(WIN_MSG_TIMER);
    ASSERT_FALSE(timers.empty());
    EXPECT_EQ(timers[0].hwnd, main_);
    EXPECT_EQ(timers[0].p1, 173);
    EXPECT_TRUE(timers[0].on_main);
    EXPECT_FALSE(loop_timer_armed(main_, 173)) << "the procedure killed it";
}

TEST_F(WinHeadless, TimersOfADestroyedWindowStop) {
    WinMainArgs a;
    a.proc = proc;
    const int other = win_create_main(a);
    ASSERT_TRUE(win_set_timer(other, 217, 5));
    win_destroy(other);
    EXPECT_FALSE(win_set_timer(other, 217, 5));
    take_events();
    // Its next expiry finds no window: the layer disarms it and tells nobody.
    EXPECT_TRUE(win_pump_until([other] { return !loop_timer_armed(other, 217); }, kWait));
    EXPECT_TRUE(events_of(WIN_MSG_TIMER).empty());
}

// The main window gets one create message and keeps its size, kind and title;
// a close the procedure refuses keeps it, another destroys it and its controls.
TEST_F(WinHeadless, CreateCloseAndDestroy) {
    int cw = 0, ch = 0;
    ASSERT_TRUE(win_get_client_size(main_, &cw, &ch));
    EXPECT_EQ(std::pair(cw, ch), std::pair(600, 370));
    EXPECT_EQ(win_kind(main_), WIN_MAIN);
    EXPECT_EQ(win_text(main_), "Velquor");
    std::vector<Event> ev = take_events();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].msg, WIN_MSG_CREATE);
    EXPECT_EQ(ev[0].hwnd, main_);
    const int b = win_create_control(main_, WIN_BUTTON, 151, "Quit", 0, 0, 10, 10);
    ev_close_answer = 1;  // the procedure keeps the window
    take_events();
    win_close(main_);
    EXPECT_TRUE(win_exists(main_));
    ev_close_answer = 0;
    win_close(main_);
    EXPECT_FALSE(win_exists(main_));
    EXPECT_FALSE(win_exists(b));
    ev = take_events();
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].msg, WIN_MSG_CLOSE);
    EXPECT_EQ(ev[1].msg, WIN_MSG_CLOSE);
    EXPECT_EQ(ev[2].msg, WIN_MSG_DESTROY);
    main_ = -1;
}

TEST_F(WinHeadless, GeometryMessagesOnlyForChanges) {
    take_events();
    win_set_geometry(main_, 10, 20, 600, 370);  // unchanged
    EXPECT_TRUE(take_events().empty());
    win_set_geometry(main_, 30, 40, 600, 370);
    win_set_geometry(main_, 30, 40, 640, 400);
    const std::vector<Event> ev = take_events();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].msg, WIN_MSG_MOVE);
    EXPECT_EQ(ev[0].p1, 30);
    EXPECT_EQ(ev[0].p2, 40);
    EXPECT_EQ(ev[1].msg, WIN_MSG_SIZE);
    EXPECT_EQ(ev[1].p1, 640);
    EXPECT_EQ(ev[1].p2, 400);

    // A control may lie partly outside its window; it is listed as the window's child.
    const int s = win_create_control(main_, WIN_STATIC, 166, "", 0, -5, 600, 380);
    const std::vector<WinInfo> kids = win_list(main_);
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_EQ(kids[0].hwnd, s);
    EXPECT_EQ(kids[0].id, 166);
}

TEST_F(WinHeadless, TreeLevelsAndSelection) {
    const int t = win_create_control(main_, WIN_TREE, 230, "", 5, 11, 200, 100);
    EXPECT_EQ(win_tree_add(t, "orphan", 2), 0) << "no level-1 item yet";
    const int com1 = win_tree_add(t, "COM1:  2 Monitor(s)", 1);
    const int m1 = win_tree_add(t, "1: ZELB3 -> Display: 0x12", 2);
    const int f1 = win_tree_add(t, "Firmware 5.068", 3);
    const int m2 = win_tree_add(t, "2: ZELB3 -> Display: 0x13", 2);
    const int f2 = win_tree_add(t, "Firmware 5.070", 3);
    const int com2 = win_tree_add(t, "COM2: Loop", 1);
    EXPECT_EQ(win_tree_add(t, "under nothing", 3), 0) << "a new port has no monitor line yet";
    EXPECT_EQ(win_tree_add(t, "bad level", 4), 0);
    EXPECT_EQ(win_tree_add(t, nullptr, 1), 0);
    struct Row {
        int item, level, parent;
    };
    const Row rows[] = {{com1, 1, 0},  {m1, 2, com1}, {f1, 3, m1},
                        {m2, 2, com1}, {f2, 3, m2},   {com2, 1, 0}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(win_tree_item_level(t, rows[i].item), rows[i].level) << i;
        EXPECT_EQ(win_tree_item_parent(t, rows[i].item), rows[i].parent) << i;
    }
    EXPECT_EQ(win_tree_count(t), 6);
    EXPECT_TRUE(win_tree_expand(t, m2, WIN_TOGGLE));
    EXPECT_TRUE(win_tree_is_expanded(t, m2));
    EXPECT_TRUE(win_tree_expand(t, m2, WIN_TOGGLE));
    EXPECT_FALSE(win_tree_is_expanded(t, m2));
    EXPECT_FALSE(win_tree_expand(t, 999, WIN_EXPAND));
    EXPECT_EQ(win_tree_selection(t), 0);
    EXPECT_TRUE(win_tree_select(t, f2));
    EXPECT_EQ(win_tree_selection(t), f2);
    char buf[64];
    win_tree_item_text(t, win_tree_selection(t), buf, sizeof buf);
    EXPECT_STREQ(buf, "Firmware 5.070");
    EXPECT_FALSE(win_tree_select(t, 999));
    win_tree_clear(t);
    EXPECT_EQ(win_tree_count(t), 0);
    EXPECT_EQ(win_tree_selection(t), 0);
    EXPECT_EQ(win_tree_add(t, "again", 2), 0) << "clear forgets the last items";
    EXPECT_NE(win_tree_add(t, "COM3: Error", 1), 0);
}

TEST_F(WinHeadless, ProgressBarRangeAndPosition) {
    WinDialogArgs d;
    d.owner = main_;
    const int dlg = win_create_dialog(d);
    const int bar = win_create_progress(dlg, 6, 26, 132, 13);
    ASSERT_NE(bar, -1);
    EXPECT_EQ(win_kind(bar), WIN_PROGRESS);
    EXPECT_EQ(win_progress_pos(bar), 0);
    struct Row {
        int min, max, pos;
        int range_rc, pos_rc, after;
    };
    const Row rows[] = {
        {0, 100, 50, 0, 0, 50},   // 0
        {0, 100, 101, 0, 2, 50},  // 1 outside: position kept
        {0, 100, -1, 0, 2, 50},   // 2
        {10, 5, 7, 2, 0, 7},      // 3 bad range refused, the old one stays
        {0, 10, 10, 0, 0, 10},    // 4 narrower range, then its end
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(win_progress_set_range(bar, rows[i].min, rows[i].max), rows[i].range_rc);
        EXPECT_EQ(win_progress_set_pos(bar, rows[i].pos), rows[i].pos_rc);
        EXPECT_EQ(win_progress_pos(bar), rows[i].after);
    }
    const int button = win_create_control(dlg, WIN_BUTTON, 215, "Cancel", 0, 0, 10, 10);
    EXPECT_EQ(win_progress_set_pos(button, 1), 1);
}

TEST_F(WinHeadless, FileDialogScript) {
    const std::string d = tu_make_temp_dir("vq_win_files_");
    ASSERT_FALSE(d.empty());
    const std::string existing = d + "/dump.vqf";
    std::ofstream(existing) << "x";
    WinOpenFileArgs a;
    a.owner = main_;
    a.title = "Choose Filesystem File";
    a.filters = {"All Files [*.*]", "*.*", "Filesystem File [*.vqf]", "*.vqf"};
    a.filter_index = 1;
    a.def_ext = "vqf";
    a.start_name = "*.vqf";
    // Scripted answer (empty: cancel), existence rule, result, path given back.
    struct Row {
        std::string scripted;
        bool must_exist;
        int result;
        std::string path;
    };
    const Row rows[] = {
        {existing, true, WIN_OPEN_CHOSEN, existing},           // 0
        {d + "/dump", true, WIN_OPEN_CHOSEN, existing},        // 1 extension added
        {d + "/none.vqf", true, WIN_OPEN_CANCEL, ""},          // 2 missing file
        {d + "/new", false, WIN_OPEN_CHOSEN, d + "/new.vqf"},  // 3 need not exist
        {"", true, WIN_OPEN_CANCEL, ""},                       // 4 cancelled
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        win_script_file(rows[i].scripted.empty() ? nullptr : rows[i].scripted.c_str());
        a.must_exist = rows[i].must_exist;
        std::string path = "old";
        EXPECT_EQ(win_open_file(a, &path), rows[i].result);
        EXPECT_EQ(path, rows[i].path);
    }
    std::string path;
    EXPECT_EQ(win_open_file(a, &path), WIN_OPEN_CANCEL) << "no script: cancel";
    const std::vector<WinFileRecord> shown = win_files_shown();
    ASSERT_EQ(shown.size(), std::size(rows) + 1);
    EXPECT_EQ(shown[0].args.title, "Choose Filesystem File");
    EXPECT_EQ(shown[0].args.filter_index, 1);
    a.filters.pop_back();
    EXPECT_EQ(win_open_file(a, &path), WIN_OPEN_BAD_ARG) << "filters come in pairs";
    std::remove(existing.c_str());
    rmdir(d.c_str());
}

TEST(WinViewer, ArgumentSplitting) {
    struct Row {
        const char *command, *file, *suffix;
        std::vector<std::string> argv;
    };
    const Row rows[] = {
        {"xdg-open ", "/tmp/a b.txt", "", {"xdg-open", "/tmp/a b.txt"}},     // 0 the default viewer
        {"less -R", "a b;touch X", nullptr, {"less", "-R", "a b;touch X"}},  // 1
        {"\"/opt/my viewer/v\" --hex",
         "f",
         "-x  -y",
         {"/opt/my viewer/v", "--hex", "f", "-x", "-y"}},    // 2
        {"v \"\"", "f", "", {"v", "", "f"}},                 // 3 empty quoted word
        {"v", "$(touch X)\"'", "", {"v", "$(touch X)\"'"}},  // 4 quotes in the file stay
        {"", "f", "", {}},                                   // 5 no program
        {"\"unclosed", "f", "", {}},                         // 6
        {"v", "f", "\"", {}},                                // 7 bad suffix
        {"v", "\xe4.txt", "", {"v", "\xc3\xa4.txt"}},        // 8 Windows-1252 to UTF-8
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(win_viewer_argv(rows[i].command, rows[i].file, rows[i].suffix), rows[i].argv)
            << i;
    EXPECT_EQ(win_start_viewer("", "f", ""), 1);
    EXPECT_EQ(win_start_viewer("/nonexistent/viewer", "f", ""), 2);
}

// A hostile file name reaches the viewer as one argument and runs nothing.
TEST(WinViewer, HostileFileNameIsOneArgument) {
    const std::string d = tu_make_temp_dir("vq_win_viewer_");
    ASSERT_FALSE(d.empty());
    const std::string script = d + "/viewer.sh";
    const std::string out = d + "/argv.txt";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \""
                          << out << ".tmp\"\nmv \"" << out << ".tmp\" \"" << out << "\"\n";
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    ASSERT_EQ(chdir(d.c_str()), 0);  // a successful `touch X` would create X here
    ASSERT_EQ(win_start_viewer(("\"" + script + "\" --view").c_str(), "a b;touch X", ""), 0);
    struct stat st {};
    tu_wait_until([&] { return stat(out.c_str(), &st) == 0; }, kWait);
    EXPECT_EQ(tu_read_file(out), "--view\na b;touch X\n");
    EXPECT_NE(stat((d + "/X").c_str(), &st), 0) << "the file name was run as a command";
    EXPECT_NE(stat((d + "/X\"").c_str(), &st), 0);
    ASSERT_EQ(chdir("/"), 0);
    std::remove(out.c_str());
    std::remove(script.c_str());
    rmdir(d.c_str());
}

}  // namespace
