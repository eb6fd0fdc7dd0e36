// Status and progress dialogs shown while an operation runs: a progress dialog
// (caption with ring or list counter, two counters, a percent bar, Cancel), an
// error-status dialog that replaces it while a message is set, and the about
// box. Operation steps set texts and counters and ask for a redraw with
// set_auto_titel; they never touch the dialogs themselves.
//
// The texts and counters are written by the sequencer's worker and read by the
// main thread, so they live behind one lock; the redraw takes a consistent copy.
#pragma once

#include <cstdint>

// Dialog resources and their items.
constexpr int dlg_about_id = 209, dlg_stat_id = 213, dlg_staterr_id = 219;
constexpr int dlg_item_pre = 214, dlg_item_betw = 216, dlg_item_cancel = 215;
constexpr int dlg_item_msg = 218, dlg_item_ok = 208, dlg_item_ver = 211, dlg_item_dllver = 199;
constexpr const char *VER_APP_NUM = "1.014A";

// Dialog handles; 0 = not open.
extern int HDLG_About, HDLG_Stat, HDLG_StatErr, HPB_Stat;
extern uint8_t stat_dlg_ready;
// 2 = go back from the error display to the progress display at the next
// redraw; 1 while the error-status dialog is the one shown.
extern uint8_t dlg_err;
extern uint8_t s_dlg_err;

// Creating, showing and hiding.
void dlgopen_stat(void);
void dlgopen_staterr(void);
void dlgshow_stat(void);
void dlg_stat_focus(void);
void dlgshow_staterr(void);
void dlghide_stat(void);
void dlghide_staterr(void);
void dlgclose_stat(void);
void dlgclose_staterr(void);
void dlgopen_about(void);
void dlgclose_about(void);
// Text of the helper library's version in the about box ("1.000" until set).
void dlg_set_dll_version(const char *text);

// Titles: titeltx for the dialog caption, titeltx2 for the main window (empty =
// the application name). Cut to 60 characters.
void set_titeltx(const char *t);
void set_titeltx2(const char *t);
// pre and between (nullptr = unchanged) and the message (nullptr = empty).
void setdlg_stat_txt(const char *pre, const char *between, const char *msg);
void send_stat_msg(const char *msg);
void resdlg_stat_txt(void);
void stat_set_act(int32_t n);
void stat_set_max(int32_t n);
// Redraws: everything; the bar only; item 214 only.
void update_dlg_stat(void);
void set_auto_titel(void);
void set_auto_pbar(void);
void set_auto_pre_titel(void);
// Clears the error display state at the start of an operation.
void stat_dlg_reset_err(void);

// Enables (1) or disables (0) the Cancel button of both status dialogs.
void stat_dlgs_enab_stop(int enab);
// Cancel: an immediate stop when the operation allows it, else a stop request.
void stop_by_dlg(void);

// Progress bar in percent. 1 when bar is -1 (or 0); PBAR_SetPosProzent_li: 2
// when pos lies outside min..max; else 0.
char PBAR_SetRangeProzent(int bar);
char PBAR_SetPosProzent_li(int bar, int32_t min, int32_t max, int32_t pos);

// For tests and the terminal front end: the composed caption, item texts and
// bar position as last drawn.
struct stat_dlg_view {
    char caption[61];
    char pre[64];
    char betw[64];
    char msg[128];
    int percent;
    bool error_shown;
};
void stat_dlg_get_view(stat_dlg_view *v);
