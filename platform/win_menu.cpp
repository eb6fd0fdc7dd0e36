// Menu bars built from the program's tables.
//
// The program registers each menu bar once as a flat table, the way a
// resource script writes it: POPUP opens a popup, END closes it, ITEM and
// SEPARATOR stand between. The layer keeps each registered bar as a list of
// nodes with their depth; loading one copies that list into a main window with
// every item enabled and unmarked. Marks and greying then work by command id
// on the window's copy, with the result codes the program's helpers return.
#include "platform/win_internal.h"

namespace plat {

using namespace winimpl;

namespace {

// Registered menu bars by resource number. Guarded by the registry's lock.
std::map<int, std::vector<MenuNode>> &resources() {
    static std::map<int, std::vector<MenuNode>> r;
    return r;
}

// Finds the main window and its item `id`; result code as win_check_menu.
int locate(int hwnd, int id, MenuNode **node) {
    if (hwnd == -1) return 1;
    Window *w = find(hwnd);
    if (!w || w->menu_id == 0) return 2;
    for (MenuNode &n : w->menu)
        if (n.kind == WIN_MENU_ITEM && n.id == id) {
            *node = &n;
            return 0;
        }
    return 3;
}

// Sets one mark (`mark`: checked or enabled) of item `id` and tells the view
// when it changed; result code as win_check_menu.
int set_mark(int hwnd, int id, bool MenuNode::*mark, bool on) {
    {
        std::lock_guard lk(reg().mu);
        MenuNode *n = nullptr;
        if (const int rc = locate(hwnd, id, &n)) return rc;
        if (n->*mark == on) return 0;
        n->*mark = on;
    }
    notify([hwnd](View &v) { v.menu_marks(hwnd); });
    return 0;
}

}  // namespace

namespace winimpl {
void menus_reset() {
    std::lock_guard lk(reg().mu);
    resources().clear();
}
}  // namespace winimpl

bool win_register_menu(int resource, const WinMenuRow *rows, size_t count) {
    if (!rows) return false;
    std::vector<MenuNode> nodes;
    int level = 0;
    for (size_t i = 0; i < count; ++i) {
        const WinMenuRow &r = rows[i];
        const std::string caption = r.caption ? r.caption : "";
        switch (r.kind) {
        case WIN_MENU_POPUP:
            nodes.push_back(MenuNode{level, WIN_MENU_POPUP, caption, 0});
            ++level;
            break;
        case WIN_MENU_END:
            if (level == 0) return false;
            --level;
            break;
        case WIN_MENU_ITEM: nodes.push_back(MenuNode{level, WIN_MENU_ITEM, caption, r.id}); break;
        case WIN_MENU_SEPARATOR: nodes.push_back(MenuNode{level, WIN_MENU_SEPARATOR, "", 0}); break;
        default: return false;
        }
    }
    if (level != 0) return false;
    std::lock_guard lk(reg().mu);
    resources()[resource] = std::move(nodes);
    return true;
}

int win_select_menu(int hwnd, int resource) {
    if (hwnd == -1) return 1;
    {
        std::lock_guard lk(reg().mu);
        auto res = resources().find(resource);
        if (res == resources().end() || resource == 0) return 1;
        Window *w = find(hwnd);
        if (!w || w->kind != WIN_MAIN || w->destroying) return 2;
        w->menu = res->second;
        w->menu_id = resource;
    }
    notify([hwnd](View &v) { v.menu_loaded(hwnd); });
    return 0;
}

int win_menu_of(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    return w ? w->menu_id : 0;
}

int win_check_menu(int hwnd, int id, bool on) { return set_mark(hwnd, id, &MenuNode::checked, on); }

int win_enable_menu(int hwnd, int id, bool on) {
    return set_mark(hwnd, id, &MenuNode::enabled, on);
}

int win_menu_item_state(int hwnd, int id, bool *checked, bool *enabled) {
    std::lock_guard lk(reg().mu);
    MenuNode *n = nullptr;
    if (const int rc = locate(hwnd, id, &n)) return rc;
    if (checked) *checked = n->checked;
    if (enabled) *enabled = n->enabled;
    return 0;
}

std::vector<WinMenuItemInfo> win_menu_items(int hwnd) {
    std::vector<WinMenuItemInfo> out;
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    if (!w) return out;
    for (const MenuNode &n : w->menu)
        out.push_back(WinMenuItemInfo{n.level, n.kind, n.caption, n.id, n.checked, n.enabled});
    return out;
}

}  // namespace plat
