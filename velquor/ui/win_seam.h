// The seam through which the lower layers reach the main window.
//
// A few calls of the system run upward by design: the end of an operation
// rebuilds the window's contents and repaints its enable states, the link
// appends its traffic lines to the Debug view, a ping and an identification
// show their results in the window's fields, the interface scan has the
// window tell which ports it was refused, and the status dialog's setters ask
// for a redraw. The layers below the window call these wrappers; the
// window fills win_seam with its own functions at start-up (vq_wire). Until
// then, and in programs that have no window, every call does nothing.
//
// The wrappers may be called from the sequencer's worker; the window's
// functions then do their work on the main thread.
#pragma once

// What win_ask asks of the window.
enum win_ask_t : int {
    wa_zelb_nr = 1,  // show sys_zelb_nr in the monitor-number field (after a ping)
    wa_info,         // show the identification record in the info group
    wa_stat_draw,    // redraw the status dialog from its state (texts, counters, bar)
    wa_stat_bar,     // redraw only its progress bar
    wa_stat_pre,     // redraw only its first counter text
    wa_stat_focus,   // show the status dialog in front
    wa_stat_hide,    // hide the status dialog
    wa_stop_on,      // enable the Cancel buttons of the status dialogs
    wa_stop_off,     // disable them
    wa_scan_denied,  // tell once that the scan was refused ports (scan_denied_text)
};

struct win_seam_T {
    void (*contents)(int mode);            // CreateWindowContents (a vq_content_mode)
    void (*paint_enab)(void);              // enable states of the elements and the menu
    void (*debug_line)(const char *line);  // a line for the Debug view's memo
    void (*ask)(int what);                 // one of win_ask_t
};
extern win_seam_T win_seam;

void win_contents(int mode);
void win_paint_enab(void);
void win_debug_line(const char *line);
void win_ask(int what);
