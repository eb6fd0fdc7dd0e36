// Test support for the window program on the headless window layer: a main
// window whose procedure hands the sequencer its timers, the status dialogs,
// the idle test, and a fixture that puts the settings at the tests' start
// values and opens the program's own window.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Window procedure that hands the sequencer's two timers to it, and the
// status dialog's idle timer to the dialogs, as the program's window does.
int ui_timer_proc(int hwnd, int msg, int p1, int p2);
// Once per program: the headless layer, a main window with ui_timer_proc as
// hwndMain, and the two status dialogs, hidden.
void ui_open_headless_main(void);
// No operation runs: none marked, no worker, neither sequencer timer armed.
bool ui_idle(void);
// Waits until ui_idle holds; false after timeout_ms.
bool ui_wait_idle(int timeout_ms);
// The text of item id of a dialog.
std::string ui_item(int dlg, int id);
// The bodies of the boxes shown since the last call, which are forgotten.
std::vector<std::string> ui_boxes(void);

// The program's settings at the tests' start values: File System view, RS232,
// English, networking available, idle; open() builds the program's window.
struct UiTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;
    void open();
};
