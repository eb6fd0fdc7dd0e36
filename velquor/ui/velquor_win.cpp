// Message boxes and window-text helpers. The texts are copied into bounded
// buffers before they are shown, so a caller's long text is cut, never overrun.
// The boxes go through the helper library's box functions once start-up has
// bound them; before that (and in programs that never bind the library, such
// as the tests) they go straight to the window layer with the same rules.
#include "velquor_win.h"

#include <cstdio>
#include <cstring>

#include "platform/win.h"
#include "velquor/ui/text_ar.h"

int hwndMain = -1;

void (*mw_enab_butt)(int hwnd, int enab) = nullptr;
void (*mw_alert2)(int hwnd, const char *title, const char *text, char style) = nullptr;
char (*mw_quest2)(int hwnd, const char *title, const char *text, char style) = nullptr;
char (*mw_select_menu2)(void *hInst, int hwnd, int id) = nullptr;

namespace {

constexpr size_t kBoxText = 256;  // 255 characters and the NUL
constexpr size_t kPartText = 51;  // a part of a two-part body: 50 characters

void copy_cut(char *dst, size_t n, const char *src) { snprintf(dst, n, "%s", src ? src : ""); }

// The box itself, as the helper library shows it: nothing without an owner
// or a text. Yes/No boxes answer 0 for Yes, 1 otherwise; OK boxes answer 0.
char show_box(int hwnd, const char *title, const char *text, char style, plat::WinButtons buttons) {
    if (hwnd == -1 || !title || !text) return 2;
    char t[kBoxText], b[kBoxText];
    copy_cut(t, sizeof t, title);
    copy_cut(b, sizeof b, text);
    if (buttons == plat::WIN_BOX_OK && mw_alert2) {
        mw_alert2(hwnd, t, b, style);
        return 0;
    }
    if (buttons == plat::WIN_BOX_YESNO && mw_quest2)
        return mw_quest2(hwnd, t, b, style) == 0 ? 0 : 1;
    plat::WinAnswer a = plat::win_message_box(
        hwnd, t, b, buttons, plat::win_icon_from_style(static_cast<unsigned char>(style)));
    if (buttons == plat::WIN_BOX_OK) return 0;
    return a == plat::WIN_ANSWER_YES ? 0 : 1;
}

void join_parts(char *out, size_t n, const char *text, const char *text2, char style) {
    char a[kPartText], b[kPartText];
    copy_cut(a, sizeof a, text);
    copy_cut(b, sizeof b, text2);
    if (static_cast<unsigned char>(style) & mw_style_plain)
        snprintf(out, n, "%s %s", a, b);
    else
        snprintf(out, n, "%s \"%s\"", a, b);
}

}  // namespace

void mw_alert(int hwnd, const char *title, const char *text, char style) {
    show_box(hwnd, title, text, style, plat::WIN_BOX_OK);
}

char mw_quest(int hwnd, const char *title, const char *text, char style) {
    return show_box(hwnd, title, text, style, plat::WIN_BOX_YESNO);
}

void mw_alert_str(int hwnd, const char *title, const char *text, const char *text2, char style) {
    if (hwnd == -1 || !text || !text2) return;
    char body[kBoxText];
    join_parts(body, sizeof body, text, text2, style);
    mw_alert(hwnd, title, body, style);
}

char mw_quest_str(int hwnd, const char *title, const char *text, const char *text2, char style) {
    if (hwnd == -1 || !text || !text2) return 2;
    char body[kBoxText];
    join_parts(body, sizeof body, text, text2, style);
    return mw_quest(hwnd, title, body, style);
}

void mw_showerror(int hwnd, const char *text) { mw_alert(hwnd, VER_APP_NAME, text, mw_style_stop); }

void mw_showerror_str(int hwnd, const char *t1, const char *t2) {
    mw_alert_str(hwnd, VER_APP_NAME, t1, t2, mw_style_stop);
}

void mw_settext(int hwnd, const char *txt) {
    if (hwnd == -1 || !txt) return;
    plat::win_set_text(hwnd, txt);
}

void mw_gettext(int hwnd, char *buf, size_t n) {
    if (!buf || n == 0) return;
    buf[0] = 0;
    if (hwnd == -1) return;
    plat::win_get_text(hwnd, buf, n);
}

void mw_limit_text(int hwnd, signed char n) {
    if (hwnd == -1 || n < 1) return;
    plat::win_limit_text(hwnd, n);
}

void mw_CloseWindow1(int hwnd) {
    if (hwnd == -1) return;
    plat::win_close(hwnd);
}

void mw_CloseWindow(int *hwnd) {
    if (!hwnd || *hwnd == -1) return;
    plat::win_close(*hwnd);
    *hwnd = -1;
}
