// Timed waits and restarts. A wait of n seconds is the pair wait_init_n (shows
// the status dialog with a bar of n, allows an immediate stop) and wait_me
// (one step a second, verdict 0 once n is reached). A restart sends command
// 0x6009, which no monitor answers: it falls silent while it starts anew.
#pragma once

#include <cstdint>

constexpr uint32_t zelb_cmd_restart = 0x6009;

// Steps of the waits.
char wait_init_x(int32_t n);
char wait_init_4(void);
char wait_init_5(void);
char wait_init_7(void);
char wait_init_9(void);
char wait_init_12(void);
char wait_me(void);

// Starts the restart of sys_zelb_nr, or of every monitor of the line for
// number 0. Returns 0.
char restart_zelb(int hwnd);
// Steps: open a session and restart sys_zelb_nr; restart it on the open link;
// ping the line and restart every monitor from the highest number down.
char restart_zelb1(void);
char restart_zelb_no(void);
char restart_zelb_all(void);
// Restarts monitors sys_zelb_nr down to 1 on the open link (a step).
char restart_zelb_all_no(void);
// The same, then the link is closed.
void restart_zelb_all_no_close(void);

// Step: the status dialog in front. Verdict 1.
char focus_stat_dlg(void);
