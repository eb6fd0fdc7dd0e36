// The windows of the status and progress dialogs and the about box.
//
// A progress dialog (caption with ring or list counter, two counters, a
// percent bar, Cancel), an error-status dialog that replaces it while a
// message is set, and the about box. What they show is the status display's
// state (velquor_stat.h); the operations ask for redraws there, and the main
// window carries the requests out here (stat_dlg_window).
#pragma once

#include <cstdint>

#include "velquor/ui/velquor_stat.h"

// Dialog resources and their items.
constexpr int dlg_about_id = 209, dlg_stat_id = 213, dlg_staterr_id = 219;
constexpr int dlg_item_pre = 214, dlg_item_betw = 216, dlg_item_cancel = 215;
constexpr int dlg_item_msg = 218, dlg_item_ok = 208, dlg_item_ver = 211, dlg_item_dllver = 199;

// Timer of the main window that runs while the progress dialog is shown: each
// expiry (every 5 ms) looks whether the window is idle again, and then hides
// the dialog and stops itself. Showing the dialog arms it, hiding it stops it.
constexpr unsigned dlg_tm_idle = 217;
constexpr uint32_t dlg_tm_idle_ms = 5;

// Dialog handles; 0 = not open.
extern int HDLG_About, HDLG_Stat, HDLG_StatErr, HPB_Stat;
extern uint8_t stat_dlg_ready;

// Creating, showing and hiding.
void dlgopen_stat(void);
void dlgopen_staterr(void);
void dlgshow_stat(void);
void dlgshow_staterr(void);
void dlghide_staterr(void);
void dlgclose_stat(void);
void dlgclose_staterr(void);
void dlgopen_about(void);
void dlgclose_about(void);

// Timer dlg_tm_idle has expired: once the window is idle (sys_act bit 1), the
// progress dialog is hidden and the timer stopped.
void dlg_idle_tick(void);

// Carries out a request of the status display (a win_ask_t: redraw, bar,
// first counter, focus, hide, Cancel on or off) on the dialogs.
void stat_dlg_window(int what);

// Cancel: an immediate stop when the operation allows it, else a stop request.
void stop_by_dlg(void);

// Progress bar in percent. 1 when bar is -1 (or 0); PBAR_SetPosProzent_li: 2
// when pos lies outside min..max; else 0.
char PBAR_SetRangeProzent(int bar);
char PBAR_SetPosProzent_li(int bar, int32_t min, int32_t max, int32_t pos);
