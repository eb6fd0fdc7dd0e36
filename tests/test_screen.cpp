// Tests of the element table and the views, headless, driven as an operator
// drives the window: typing into fields, clicking buttons and menu items.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/serial.h"
#include "platform/win.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/operations/vf_end.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_main.h"

namespace {

constexpr int kWait = tu_wait_ms;

struct Ui : UiTest {
    void SetUp() override {
        UiTest::SetUp();
        open();
    }
};

std::set<int32_t> live_elements() {
    std::set<int32_t> s;
    for (const screen_element &e : screen)
        if (e.wnd != -1 && plat::win_exists(e.wnd)) s.insert(e.elem_ix);
    return s;
}

std::string text_of(int32_t ix) { return plat::win_text(scr_getwnd_ix(ix)); }

}  // namespace

// Each row sits at the position of its own identifier and is found by its
// name (in any case), and has a predicate; each interval row holds its own kind.
TEST(Table, RowsSitAtTheirOwnIds) {
    for (size_t i = 0; i < scr_n_rows; i++) {
        SCOPED_TRACE(wndelemnts[i].index_name);
        EXPECT_EQ(wndelemnts[i].my_ix, static_cast<int32_t>(i));
        EXPECT_EQ(get_index_by_name(wndelemnts[i].index_name), static_cast<int32_t>(i));
        EXPECT_NE(wndelemnts[i].is_enab_visib, nullptr);
    }
    for (int k = 0; k < iv_count; k++) EXPECT_EQ(intervall[k].kind, k);
    EXPECT_EQ(get_index_by_name("IX_FIRM_BD96"), ix_firm_bd96);
    EXPECT_EQ(get_index_by_name("ix_nothing"), ix_last);
    EXPECT_EQ(get_index_by_name(nullptr), ix_last);
    EXPECT_EQ(iv_get(99)->max, 255u);
}

// Every command that a button, radio or check box of some view, or an item of
// either menu bar, sends has a row in the dispatcher (rows of no view are
// never created).
TEST_F(Ui, EveryControlAndMenuCommandIsDispatched) {
    for (size_t i = 0; i < scr_n_rows; i++) {
        const elementT &e = wndelemnts[i];
        const int kind = e.win_type & 0xFF;
        if (e.screen != 0 && (kind == wt_button || kind == wt_radio || kind == wt_check)) {
            EXPECT_TRUE(check_cmd_known(e.win_id)) << e.index_name << " sends " << e.win_id;
        }
    }
    for (int menu : {100, 101}) {
        ASSERT_EQ(plat::win_select_menu(hwndMain, menu), 0);
        size_t items = 0;
        for (const plat::WinMenuItemInfo &m : plat::win_menu_items(hwndMain)) {
            if (m.kind != plat::WIN_MENU_ITEM) continue;
            ++items;
            EXPECT_TRUE(check_cmd_known(m.id)) << "menu " << menu << ": " << m.caption;
        }
        EXPECT_GT(items, 0u) << "menu " << menu;
    }
}

// Which elements each view builds, by link.
TEST_F(Ui, ViewContentsFollowViewAndLink) {
    struct Row {
        int n;
        int32_t view, link;
        std::set<int32_t> has, hasnt;
    } rows[] = {
        // clang-format off
        {1, 129, 238, {ix_fill, ix_key_grp, ix_key_lf, ix_mak_grp, ix_mak_5, ix_grp_info, ix_tx_com,
                       ix_ed_com, ix_bt_ping, ix_bt_test, ix_grp_fs, ix_fs_er},
                      {ix_ed_ip, ix_ed_ipl, ix_broad, ix_tx_com_ddc, ix_grp_firm}},
        {2, 129, 237, {ix_tx_ip, ix_ed_ip}, {ix_ed_com, ix_bt_test, ix_broad}},
        {3, 129, 245, {ix_tx_ipl, ix_ed_ipl, ix_broad}, {ix_ed_com, ix_ed_ip}},
        {4, 130, 238, {ix_tx_com_ddc, ix_ed_com_ddc, ix_grp_ddc, ix_ddc_dnl, ix_ddc_upl, ix_grp_com},
                      {ix_key_grp, ix_key_lf, ix_mak_grp, ix_mak_1, ix_grp_info, ix_tx_com, ix_ed_com,
                       ix_tx_to, ix_ed_to, ix_ed_to_ddc, ix_tx_nr_i2c, ix_ed_nr_i2c, ix_ed_zelb_nr,
                       ix_bt_ping}},
        {5, 127, 238, {ix_grp_firm, ix_firm_bd96, ix_firm_bd192, ix_firm_bd5760, ix_firm_hi_to},
                      {ix_grp_fs}},
        {6, 127, 245, {ix_firm_bd96}, {ix_firm_bd192, ix_firm_bd384, ix_firm_bd1152, ix_firm_bd2880,
                                       ix_firm_bd3840, ix_firm_bd5760}},
        {7, 128, 238, {ix_grp_boot, ix_rd_boot_zelb3, ix_firm_boot, ix_ed_com, ix_ed_to, ix_bt_test},
                      {ix_key_grp, ix_mak_grp, ix_grp_info, ix_ed_zelb_nr, ix_parno, ix_bt_ping}},
        {8, 221, 238, {ix_sc_intf_grp, ix_ed_sc_intf_s, ix_sc_parno, ix_sc_tv, ix_bt_scan},
                      {ix_key_grp, ix_key_lf, ix_mak_grp, ix_grp_com, ix_grp_scopts, ix_sc_fs}},
        {9, 261, 238, {ix_grp_debug, ix_debug_memo, ix_key_up, ix_grp_com}, {ix_grp_fs}},
        {10, 999, 238, {ix_grp_fs, ix_fs_res}, {ix_grp_debug}},  // no such view: File System
        // clang-format on
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.n);
        sysmode = r.view;
        com_mode = r.link;
        CreateWindowContents(11);
        std::set<int32_t> live = live_elements();
        for (int32_t ix : r.has) EXPECT_TRUE(live.count(ix)) << wndelemnts[ix].index_name;
        for (int32_t ix : r.hasnt) EXPECT_FALSE(live.count(ix)) << wndelemnts[ix].index_name;
    }
    sysmode = 130;
    CreateWindowContents(11);
    EXPECT_EQ(text_of(ix_tx_com_ddc), "LPT:");
    ddc_intf = 1;
    plat::win_type_text(scr_getwnd_ix(ix_ed_com_ddc), "3");
    CreateWindowContents(1);
    EXPECT_EQ(ddc_intf, 3);
}

// Busy: every element and every menu item but Quit and Version is disabled;
// in the Bootstrap view the Download button stays while an operation runs.
TEST_F(Ui, BusyDisablesAllButQuitAndVersion) {
    enab_sys_action(0);
    for (const plat::WinInfo &w : plat::win_list(hwndMain))
        EXPECT_FALSE(w.enabled) << w.id << " " << w.text;
    for (const plat::WinMenuItemInfo &m : plat::win_menu_items(hwndMain)) {
        if (m.kind != plat::WIN_MENU_ITEM) continue;
        EXPECT_EQ(m.enabled, m.id == 151 || m.id == 162) << m.id;
    }
    EXPECT_FALSE(plat::win_click(scr_getwnd_ix(ix_bt_ping)));
    enab_sys_action(1);
    sysmode = 128;
    CreateWindowContents(11);
    dome = 1;
    enab_sys_action(0);
    EXPECT_TRUE(plat::win_is_enabled(scr_getwnd_ix(ix_firm_boot)));
    EXPECT_FALSE(plat::win_is_enabled(scr_getwnd_ix(ix_rd_boot_zelb3)));
    dome = 0;
    enab_sys_action(1);
    EXPECT_TRUE(plat::win_is_enabled(scr_getwnd_ix(ix_rd_boot_zelb3)));
}

// The language commands rebuild with the other captions and menu bar.
TEST_F(Ui, LanguageSwitchRebuilds) {
    EXPECT_EQ(plat::win_menu_of(hwndMain), 101);
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 119));
    EXPECT_EQ(sys_lang, 1u);
    EXPECT_EQ(plat::win_menu_of(hwndMain), 100);
    EXPECT_EQ(text_of(ix_key_grp), "Tastatur");
    EXPECT_EQ(text_of(ix_fs_er), "L\xf6schen");
    EXPECT_EQ(text_of(ix_grp_com), "Schnittstelle:");
    bool found = false, checked = false, enabled = false;
    for (const plat::WinMenuItemInfo &m : plat::win_menu_items(hwndMain))
        if (m.id == 163 && m.caption ==
                               "Schlie\xdf"
                               "en")
            found = true;
    EXPECT_TRUE(found);
    plat::win_menu_item_state(hwndMain, 119, &checked, &enabled);
    EXPECT_TRUE(checked);
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 120));
    EXPECT_EQ(plat::win_menu_of(hwndMain), 101);
    EXPECT_EQ(text_of(ix_key_grp), "Keyboard");
    plat::win_menu_item_state(hwndMain, 119, &checked, &enabled);
    EXPECT_FALSE(checked);
    sys_lang = 3;  // French only from the configuration: English menus, French labels
    CreateWindowContents(11);
    EXPECT_EQ(plat::win_menu_of(hwndMain), 101);
    EXPECT_EQ(text_of(ix_grp_com), "interface de transmission ");
}

// Link commands and the views that need RS232.
TEST_F(Ui, LinkSwitchesAndRs232Views) {
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 237));
    EXPECT_EQ(com_mode, 237);
    EXPECT_NE(scr_getwnd_ix(ix_ed_ip), -1);
    int before = scr_getwnd_ix(ix_grp_fs);
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 129));  // same view, same link: no rebuild
    EXPECT_EQ(scr_getwnd_ix(ix_grp_fs), before);
    // Bootstrap already selected with the IP link: the command switches to
    // RS232 and rebuilds.
    sysmode = 128;
    CreateWindowContents(11);
    before = scr_getwnd_ix(ix_grp_com);
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 128));
    EXPECT_EQ(com_mode, 238);
    EXPECT_NE(scr_getwnd_ix(ix_grp_com), before);
    EXPECT_NE(scr_getwnd_ix(ix_ed_com), -1);
    bool checked = false, enabled = true;
    plat::win_menu_item_state(hwndMain, 237, &checked, &enabled);
    EXPECT_FALSE(enabled);  // no IP link in the Bootstrap view
    // The Scan button's command forces RS232 the same way.
    sysmode = 129;
    com_mode = 245;
    CreateWindowContents(11);
    check_cmd(hwndMain, 221, 0);
    EXPECT_EQ(com_mode, 238);
    EXPECT_EQ(sysmode, 221);
    EXPECT_NE(scr_getwnd_ix(ix_sc_tv), -1);
    // Without networking the IP links cannot be chosen.
    sysmode = 129;
    CreateWindowContents(11);
    is_inet = 0;
    check_cmd(hwndMain, 237, 0);
    EXPECT_EQ(com_mode, 238);
    enab_sys_action(1);
    plat::win_menu_item_state(hwndMain, 237, &checked, &enabled);
    EXPECT_FALSE(enabled);
}

// Display options, the macro group and resizing.
TEST_F(Ui, OptionsMacrosAndResize) {
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 116));
    EXPECT_EQ(show_keyb, 1);
    EXPECT_EQ(scr_getwnd_ix(ix_key_grp), -1);
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 126));
    EXPECT_EQ(show_mak, 1);
    for (int32_t ix = ix_mak_grp; ix <= ix_mak_5; ix++) EXPECT_EQ(scr_getwnd_ix(ix), -1);
    EXPECT_NE(scr_getwnd_ix(ix_grp_fs), -1);  // the rest stays
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 126));
    EXPECT_NE(scr_getwnd_ix(ix_mak_grp), -1);
    // The empty macro set: buttons shown, but disabled.
    EXPECT_FALSE(plat::win_is_enabled(scr_getwnd_ix(ix_mak_1)));
    bool checked = false, enabled = false;
    plat::win_menu_item_state(hwndMain, 126, &checked, &enabled);
    EXPECT_TRUE(checked);
    plat::win_menu_item_state(hwndMain, 116, &checked, &enabled);
    EXPECT_FALSE(checked);
    // Resizing rebuilds with the new proportions, moving does not.
    int x, y, w, h;
    plat::win_get_geometry(hwndMain, &x, &y, &w, &h);
    plat::win_set_geometry(hwndMain, x, y, 1280, 740);
    int gx, gy, gw, gh;
    ASSERT_TRUE(plat::win_get_geometry(scr_getwnd_ix(ix_grp_com), &gx, &gy, &gw, &gh));
    EXPECT_EQ(gx, 86 * 1280 / 128);
    EXPECT_EQ(gy, 1 * 730 / 128 + 5);
    EXPECT_EQ(gw, 40 * 1280 / 128);
    int grp = scr_getwnd_ix(ix_grp_com);
    plat::win_set_geometry(hwndMain, x + 10, y + 20, 1280, 740);
    EXPECT_EQ(scr_getwnd_ix(ix_grp_com), grp);
    EXPECT_EQ(win_left, x + 10);
    EXPECT_EQ(win_top, y + 20);
}

// The debug memo keeps at most 511 characters and takes lines from a worker.
TEST_F(Ui, DebugMemo) {
    sysmode = 261;
    CreateWindowContents(11);
    add_debug_str("W:      AA 55 ");
    EXPECT_EQ(text_of(ix_debug_memo), "\r\nW:      AA 55 ");
    std::string long_line(300, 'x');
    add_debug_str(long_line.c_str());
    add_debug_str(long_line.c_str());  // would pass 511: the memo starts again
    EXPECT_EQ(text_of(ix_debug_memo), "\r\n" + long_line);
    std::string huge(700, 'y');
    add_debug_str(huge.c_str());
    EXPECT_EQ(text_of(ix_debug_memo).size(), debug_str_max);
    std::thread t([] { add_debug_str("R:      "); });
    t.join();
    EXPECT_TRUE(
        plat::win_pump_until([] { return text_of(ix_debug_memo) == "\r\nR:      "; }, kWait));
    add_debug_str("");
    EXPECT_EQ(text_of(ix_debug_memo), "");
    char out[4];
    add_debug_str("abcdef");
    debug_str_get(out, sizeof out);
    EXPECT_STREQ(out, "\r\na");
}

// The end of an operation rebuilds from the worker: the rebuild runs on the
// main thread while the worker waits.
TEST_F(Ui, ContentChangesFromAWorkerRunOnTheMainThread) {
    int before = scr_getwnd_ix(ix_grp_fs);
    std::atomic<bool> done{false};
    std::thread t([&] {
        enab_sys_action(0);
        CreateWindowContents(11);
        done = true;
    });
    EXPECT_TRUE(plat::win_pump_until([&] { return done.load(); }, kWait));
    t.join();
    EXPECT_NE(scr_getwnd_ix(ix_grp_fs), before);
    EXPECT_FALSE(plat::win_is_enabled(scr_getwnd_ix(ix_grp_fs)));
}

// In every view, with every link and at two window sizes, the group boxes
// stand apart: two boxes either do not meet, or one lies inside the other
// below its caption. Two boxes on one place would draw their captions over
// each other.
TEST_F(Ui, GroupBoxesOfAViewStandApart) {
    struct Box {
        int x, y, w, h;
        std::string caption;
    };
    const auto inside = [](const Box &in, const Box &out) {
        return in.x >= out.x && in.x + in.w <= out.x + out.w && in.y > out.y &&
               in.y + in.h <= out.y + out.h;
    };
    const auto meet = [](const Box &a, const Box &b) {
        return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
    };
    int x, y, w, h;
    plat::win_get_geometry(hwndMain, &x, &y, &w, &h);
    for (const auto &[cw, ch] : {std::pair{600, 370}, std::pair{1280, 740}}) {
        plat::win_set_geometry(hwndMain, x, y, cw, ch);
        for (int32_t view : {129, 127, 130, 128, 221, 261}) {
            for (int32_t link : {238, 237, 245}) {
                SCOPED_TRACE(std::to_string(cw) + " view " + std::to_string(view) + " link " +
                             std::to_string(link));
                sysmode = view;
                com_mode = link;
                CreateWindowContents(11);
                std::vector<Box> boxes;
                for (const plat::WinInfo &c : plat::win_list(hwndMain))
                    if (c.kind == plat::WIN_GROUP && c.visible)
                        boxes.push_back({c.x, c.y, c.w, c.h, c.text});
                ASSERT_GE(boxes.size(), 2u);
                for (size_t i = 0; i < boxes.size(); i++)
                    for (size_t j = i + 1; j < boxes.size(); j++) {
                        const Box &a = boxes[i], &b = boxes[j];
                        EXPECT_TRUE(!meet(a, b) || inside(a, b) || inside(b, a))
                            << "\"" << a.caption << "\" and \"" << b.caption << "\"";
                    }
            }
        }
    }
}

// The value in use behind a field, as text.
std::string value_of(int32_t ix) {
    switch (ix) {
    case ix_ed_com: return std::to_string(sys_intf);
    case ix_ed_to: return std::to_string(sys_to);
    case ix_ed_zelb_nr: return std::to_string(sys_zelb_nr);
    case ix_ed_ipl: return std::to_string(sys_ipx + 1);  // stored 0-based
    case ix_ed_ip: return sys_ip;
    default: return fname1;
    }
}

// Typed text is stored by the field's rules when the fields are stored (before
// every command); a refused number is replaced by the value in use, which the
// field then shows without a rebuild. A value taken as typed stays as typed.
TEST_F(Ui, FieldsStoreByTheirRulesAndShowTheValueInUse) {
    struct Row {
        int n;
        int32_t link, ix;
        const char *typed, *shown;
    } rows[] = {
        {1, 238, ix_ed_com, "0", "1"},  // below the COM range: default 1
        {2, 238, ix_ed_com, "7", "7"},
        {3, 238, ix_ed_com, "x", "1"},  // not a number: default
        {4, 238, ix_ed_to, "61", "5"},  // above 60: default 5
        {5, 238, ix_ed_to, "", "5"},
        {6, 238, ix_ed_zelb_nr, "0", "0"},  // 0 is a monitor number (all)
        {7, 238, ix_ed_zelb_nr, "256", "1"},
        {8, 238, ix_ed_zelb_nr, "12", "12"},
        {9, 238, ix_ed_zelb_nr, "7x", "7"},
        {10, 238, ix_ed_f_fs, "File:", "/tmp/old.vqf"},  // not a file name: kept
        {11, 238, ix_ed_f_fs, "Datei:", "/tmp/old.vqf"},
        {12, 238, ix_ed_f_fs, "", "/tmp/old.vqf"},
        {13, 238, ix_ed_f_fs, "/tmp/x y.vqf", "/tmp/x y.vqf"},
        {14, 245, ix_ed_ipl, "3", "3"},
        {15, 245, ix_ed_ipl, "0", "1"},  // default index 1 (stored 0)
        {16, 245, ix_ed_ipl, "10", "1"},
        {17, 237, ix_ed_ip, "1.2.3", "0.0.0.0"},
        {18, 237, ix_ed_ip, "10.0.0.256", "0.0.0.0"},
        {19, 237, ix_ed_ip, "10.0.0.5", "10.0.0.5"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.n);
        strcpy(fname1, "/tmp/old.vqf");
        if (com_mode != r.link) {
            ASSERT_TRUE(plat::win_click_menu(hwndMain, r.link));
        }
        const int field = scr_getwnd_ix(r.ix);
        ASSERT_NE(field, -1);
        ASSERT_TRUE(plat::win_type_text(field, r.typed));
        CreateWindowContents(cw_store);
        EXPECT_EQ(scr_getwnd_ix(r.ix), field) << "stored without a rebuild";
        EXPECT_EQ(value_of(r.ix), r.shown);
        // A refused file name stays in the field as typed: nothing replaces it.
        if (r.ix != ix_ed_f_fs) {
            EXPECT_EQ(plat::win_text(field), r.shown);
        }
    }
    // No Parity stores every field, toggles and rebuilds: the new field shows the value.
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 245));
    plat::win_type_text(scr_getwnd_ix(ix_ed_ipl), "3");
    ASSERT_TRUE(plat::win_click(scr_getwnd_ix(ix_parno)));
    EXPECT_EQ(sys_ipx, 2);
    EXPECT_EQ(text_of(ix_ed_ipl), "3");
    // The operator's case: Monitor-No. 300, then a command that stores the
    // fields and rebuilds nothing (a rate radio of the Firmware-Update view).
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 238));
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 127));
    const int field = scr_getwnd_ix(ix_ed_zelb_nr);
    ASSERT_TRUE(plat::win_type_text(field, "300"));
    ASSERT_TRUE(plat::win_click(scr_getwnd_ix(ix_firm_bd96)));
    EXPECT_EQ(scr_getwnd_ix(ix_ed_zelb_nr), field);
    EXPECT_EQ(plat::win_text(field), "1");
    EXPECT_EQ(sys_zelb_nr, 1);
}

// The COM number field names the device of the number in use, from the port
// table: its default, or a path set for the number. It follows a new number
// when the contents are built again, refreshed or rebuilt.
TEST_F(Ui, ComFieldTooltipNamesTheDevice) {
    ASSERT_TRUE(plat::ser_set_com_path(4, "/dev/ttyUSB1"));
    struct Row {
        int n;
        const char *typed;
        int mode;  // content mode after typing
        const char *tip;
    } rows[] = {
        {1, "1", cw_store_refresh, "/dev/ttyS0"},
        {2, "4", cw_store_refresh, "/dev/ttyUSB1"},  // set for COM 4
        {3, "3", cw_store_rebuild, "/dev/ttyS2"},
        {4, "0", cw_store_refresh, "/dev/ttyS0"},  // refused: COM 1
        {5, "4", cw_store_full, "/dev/ttyUSB1"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.n);
        ASSERT_TRUE(plat::win_type_text(scr_getwnd_ix(ix_ed_com), r.typed));
        CreateWindowContents(r.mode);
        EXPECT_EQ(plat::win_tooltip(scr_getwnd_ix(ix_ed_com)), r.tip);
    }
    EXPECT_EQ(plat::win_tooltip(scr_getwnd_ix(ix_ed_to)), "") << "no other field has one";
    plat::ser_set_com_path(4, nullptr);
}
