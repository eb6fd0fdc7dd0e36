// Test support for the operations end to end: lines of simulated monitors
// (behind a converter on a loopback address, or on a pseudo-terminal), and a
// fixture that starts operations on a headless main window as the dispatcher
// does and waits until they have ended.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/zelbsim/zelbsim.h"

// A line of `monitors` monitors behind a converter on addr:11111.
zs_line_cfg ops_tcp_line(const char *addr, int monitors, bool loop = false);
// The simulator with the given lines; nullptr (and a test failure) when it cannot start.
zs_sim *ops_start(std::vector<zs_line_cfg> lines);

// A headless main window (the status dialogs hidden), no box shown, the IP
// link, monitor 1, English, answer time-out 1.
struct Ops : ::testing::Test {
    zs_sim *sim = nullptr;

    void SetUp() override;
    void TearDown() override;

    // One line on addr, reached as "Monitor over IP".
    void start_sim(int monitors, const char *addr, bool loop = false);
    // One line on a pty, reached as COM1 over RS232 through the helper library.
    void start_pty_sim(int monitors);
    void start_pty_line(const zs_line_cfg &lc);
    // Runs the list of actions a1, a2, a3 to its end.
    static void run(int32_t a1, int32_t a2 = 0, int32_t a3 = 0);
    // Presses key button ctl; the frames the line received since the last press.
    std::vector<zs_event> press(int ctl);
    // Every frame the line received with command cmd.
    std::vector<zs_event> frames_with(uint16_t cmd);

private:
    uint64_t seen = 0;
};
