// Message boxes and window-text helpers of the operator interface.
//
// Boxes are modal and owned by a window; a handle of -1 stands for no window,
// and a box without an owner is not shown. They may be asked from the
// sequencer's worker: the caller waits until the operator has answered.
// Once start-up has bound the helper library the boxes go through its box
// functions, before that straight to the window layer with the same rules.
#pragma once

#include <cstddef>

// The main window: the owner of every box the operations show; -1 before it
// exists. Set by the window when it is created and when it is destroyed.
extern int hwndMain;

// The helper library's window functions, bound by name at start-up and
// nullptr until then: the box behind mw_alert and mw_quest, the Cancel
// button's enabling, and the menu selection.
extern void (*mw_enab_butt)(int hwnd, int enab);
extern void (*mw_alert2)(int hwnd, const char *title, const char *text, char style);
extern char (*mw_quest2)(int hwnd, const char *title, const char *text, char style);
extern char (*mw_select_menu2)(void *hInst, int hwnd, int id);

// Icon bits of a box style: 1 stop, 2 question, 4 exclamation (the first set
// bit wins). Bit value 128 of a two-part body joins the parts without quotes.
constexpr char mw_style_stop = 1;
constexpr char mw_style_quest = 2;
constexpr char mw_style_excl = 4;
constexpr unsigned mw_style_plain = 128;

// OK box with caption `title` and body `text`; texts are cut to 255 characters.
void mw_alert(int hwnd, const char *title, const char *text, char style);
// Yes/No box: 0 Yes; 1 No or closed; 2 hwnd is -1 or a text is missing.
char mw_quest(int hwnd, const char *title, const char *text, char style);
// The same with a body of two parts, each cut to 50 characters: the first, a
// blank and the second in double quotes ("%s %s" with style bit 128).
void mw_alert_str(int hwnd, const char *title, const char *text, const char *text2, char style);
char mw_quest_str(int hwnd, const char *title, const char *text, const char *text2, char style);
// Error boxes with the application name as caption and the stop icon.
void mw_showerror(int hwnd, const char *text);
void mw_showerror_str(int hwnd, const char *t1, const char *t2);

// Window text helpers; each does nothing for handle -1.
void mw_settext(int hwnd, const char *txt);
// Empties buf, then copies the window text into it (at most n - 1 characters).
void mw_gettext(int hwnd, char *buf, size_t n);
// Limits an edit field to n characters when 1 <= n <= 127.
void mw_limit_text(int hwnd, signed char n);
void mw_CloseWindow1(int hwnd);
// Closes the window held in *hwnd and sets the variable to -1.
void mw_CloseWindow(int *hwnd);
