// The status display of a running operation: the texts and counters of the
// progress dialog and of the error-status dialog that replaces it while a
// message is set, and the requests to show, hide and redraw them.
//
// Operation steps set texts and counters and ask for a redraw; they never
// touch the dialogs themselves. The state is written by the sequencer's
// worker and read by the main thread, so it lives behind one lock; a redraw
// takes a consistent composition of it. The dialogs' windows belong to the
// main window (velquor_dialogs.h), which carries out the requests below
// through the window seam (win_seam.h).
#pragma once

#include <cstddef>
#include <cstdint>

// 2 = go back from the error display to the progress display at the next
// redraw; 1 while the error-status dialog is the one shown.
extern uint8_t dlg_err;
extern uint8_t s_dlg_err;

// ---------------------------------------------------------------- texts and counters

// Titles: titeltx for the dialog caption, titeltx2 for the main window (empty =
// the application name). Cut to 60 characters.
void set_titeltx(const char *t);
void set_titeltx2(const char *t);
// pre and between (nullptr = unchanged) and the message (nullptr = empty).
void setdlg_stat_txt(const char *pre, const char *between, const char *msg);
// The message, then a redraw.
void send_stat_msg(const char *msg);
// Empties the texts; every part is drawn anew at the next redraw.
void resdlg_stat_txt(void);
void stat_set_act(int32_t n);
void stat_set_max(int32_t n);
// Clears the error display state at the start of an operation.
void stat_dlg_reset_err(void);
// Text of the helper library's version in the about box ("1.000" until set).
void dlg_set_dll_version(const char *text);
void dlg_get_dll_version(char *out, size_t n);

// ---------------------------------------------------------------- requests to the dialogs

// Redraws: everything; the bar only; the first counter text only.
void update_dlg_stat(void);
void set_auto_titel(void);
void set_auto_pbar(void);
void set_auto_pre_titel(void);
// Shows the progress dialog in front / hides it.
void dlg_stat_focus(void);
void dlghide_stat(void);
// Enables (1) or disables (0) the Cancel button of both status dialogs.
void stat_dlgs_enab_stop(int enab);

// ---------------------------------------------------------------- composing a redraw

// The position of the walks that the captions count (the main window's title
// counts the IP-list addresses, the dialog's caption the ring's monitors).
struct stat_counts_T {
    bool ipl_count;  // the IP list is walked as a group
    int32_t ipl_ix, ipl_max;
    bool ring;  // a ring over monitor numbers runs
    int32_t ring_ix, ring_max;
};

// What a full redraw draws, composed under the state's lock.
struct stat_draw_T {
    bool back_from_err;  // hide the error dialog, show the progress dialog
    bool to_err;         // the other way round
    bool err_on;         // the message is shown instead of the counters
    bool draw_pre, draw_betw, new_caption;
    char win_title[128];
    char caption[61];
    char pre[64];
    char betw[64];
    char msg[128];
    int pct;  // bar position in percent, -1 = leave the bar
};
// Composes the next full redraw and marks its parts as drawn.
void stat_dlg_compose(const stat_counts_T *c, stat_draw_T *out);
// The bar's counters for a bar-only redraw; false when act lies outside 0..max.
bool stat_dlg_bar(int32_t *act, int32_t *max, int *pct);
// The first counter's text for a redraw of it alone.
void stat_dlg_pre(char *out, size_t n);
// The view of a new, empty progress dialog: caption the application name.
void stat_dlg_view_reset(void);

// Percent of pos within min..max as the bar shows it; -1 when pos is outside.
int stat_percent(int32_t min, int32_t max, int32_t pos);

// For tests and the terminal front end: the composed caption, item texts and
// bar position as last drawn.
struct stat_dlg_view {
    char caption[61];
    char pre[64];
    char betw[64];
    char msg[128];
    int percent;
    bool error_shown;
    int32_t act, max;                    // the counters as last drawn (bar or text)
    char pre_label[30], betw_label[30];  // the texts before the counters
};
void stat_dlg_get_view(stat_dlg_view *v);
