// Window helpers of the helper library over the platform's window layer: a
// button's check state, a window's enable state, the OK and Yes/No boxes, and
// the menu bar with its check marks. The window layer is one shared library,
// so these calls see the same windows as the program that loaded us.
#include "com_std.h"

#include "platform/win.h"

namespace {

// Icon of a style: the lowest set bit of 1 (stop), 2 (question), 4 (warning).
plat::WinIcon icon_of(char style) {
    return plat::win_icon_from_style(static_cast<unsigned char>(style) & 7u);
}

}  // namespace

char mw_butt_is_checked(int hwnd) {
    if (hwnd == -1) return 10;
    return plat::win_get_check(hwnd) == 1 ? 1 : 0;
}

void mw_enab_butt(int hwnd, int enab) {
    if (hwnd == -1) return;
    plat::win_enable(hwnd, enab != 0);
}

void mw_alert(int hwnd, const char *title, const char *text, char style) {
    if (hwnd == -1 || !title || !text) return;
    plat::win_message_box(hwnd, title, text, plat::WIN_BOX_OK, icon_of(style));
}

char mw_quest(int hwnd, const char *title, const char *text, char style) {
    if (hwnd == -1 || !title || !text) return 2;
    const plat::WinAnswer a =
        plat::win_message_box(hwnd, title, text, plat::WIN_BOX_YESNO, icon_of(style));
    return a == plat::WIN_ANSWER_YES ? 0 : 1;
}

char mw_select_menu(void * /*hInst*/, int hwnd, int id) {
    if (hwnd == -1) return 1;
    const int rc = plat::win_select_menu(hwnd, id);  // 1 no such menu, 2 not attached
    return rc == 0 ? 0 : (rc == 1 ? 1 : 2);
}

char mw_check_menu(int hwnd, int id, int check) {
    if (hwnd == -1) return 1;
    const int rc = plat::win_check_menu(hwnd, id, check != 0);  // 2 no menu, 3 no item
    return rc == 0 ? 0 : (rc == 3 ? 3 : 2);
}
