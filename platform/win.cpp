// Window layer core: the registry of windows and controls, message delivery,
// the operator actions reported by a view, timers and the main loop.
//
// Every window lives in the registry (platform/win_internal.h) from creation
// to destruction. State setters change the model under the lock and then
// tell the view, if any, on the main thread. Everything that calls a window
// procedure runs on the main thread, without the lock, so a procedure may
// call back into the layer freely, even destroy the control that sent it.
//
// Sections: registry and helpers; backend and loop; creation and destruction;
// control state; operator actions; timers; listing.
#include <atomic>

#include "platform/loop.h"
#include "platform/win_internal.h"

namespace plat {
namespace winimpl {

// ---------------------------------------------------------------- registry and helpers

Registry &reg() {
    static Registry r;
    return r;
}

namespace {

// What win_screen_size reports headless until a test sets it.
constexpr int default_screen_w = 1920;
constexpr int default_screen_h = 1017;
std::atomic<int> headless_screen_w{default_screen_w};
std::atomic<int> headless_screen_h{default_screen_h};

bool is_top(int kind) { return kind == WIN_MAIN || kind == WIN_DIALOG; }
bool is_clickable(int kind) { return kind == WIN_BUTTON || kind == WIN_RADIO || kind == WIN_CHECK; }
bool is_checkable(int kind) { return kind == WIN_RADIO || kind == WIN_CHECK; }
bool is_control_kind(int kind) {
    switch (kind) {
    case WIN_BUTTON:
    case WIN_STATIC:
    case WIN_GROUP:
    case WIN_RADIO:
    case WIN_EDIT:
    case WIN_MEMO:
    case WIN_CHECK:
    case WIN_TREE: return true;
    default: return false;
    }
}

// The window whose procedure receives a control's commands: its parent, or
// for a dialog without a procedure the dialog's owner. Lock held.
int command_target(const Window &ctl) {
    const Window *p = find(ctl.parent);
    if (!p) return -1;
    if (p->kind == WIN_DIALOG && !p->proc) return find(p->parent) ? p->parent : -1;
    return p->hwnd;
}

// Visible and enabled up the parent chain of a control (a dialog's owner
// does not count). Lock held.
bool reachable(const Window &w) {
    const Window *cur = &w;
    while (cur) {
        if (!cur->visible || !cur->enabled) return false;
        if (is_top(cur->kind)) return true;
        cur = find(cur->parent);
    }
    return false;
}

void destroy_now(int hwnd);

}  // namespace

Window *find(int hwnd) {
    if (hwnd == -1) return nullptr;
    auto it = reg().wins.find(hwnd);
    return it == reg().wins.end() ? nullptr : &it->second;
}

void set_view(View *view) {
    std::lock_guard lk(reg().mu);
    reg().view = view;
}

View *current_view() {
    std::lock_guard lk(reg().mu);
    return reg().view;
}

bool snapshot(int hwnd, Window *out) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    if (!w) return false;
    *out = *w;
    return true;
}

void notify(std::function<void(View &)> fn) {
    View *v = current_view();
    if (!v) return;
    if (loop_is_main_thread()) {
        fn(*v);
        return;
    }
    // The view may be gone by the time the main thread runs this.
    loop_post([fn = std::move(fn)] {
        if (View *cur = current_view()) fn(*cur);
    });
}

int send(int hwnd, int msg, int p1, int p2) {
    WinProc proc = nullptr;
    {
        std::lock_guard lk(reg().mu);
        const Window *w = find(hwnd);
        if (w) proc = w->proc;
    }
    return proc ? proc(hwnd, msg, p1, p2) : 0;
}

// ---------------------------------------------------------------- operator actions

void ev_clicked(int hwnd) {
    int target, id;
    {
        std::lock_guard lk(reg().mu);
        const Window *w = find(hwnd);
        if (!w || !is_clickable(w->kind)) return;
        target = command_target(*w);
        id = w->id;
    }
    send(target, WIN_MSG_COMMAND, id, WIN_NOTIFY_CLICK);
}

void ev_text_edited(int hwnd, const std::string &text) {
    int target, id;
    {
        std::lock_guard lk(reg().mu);
        Window *w = find(hwnd);
        if (!w || w->kind != WIN_EDIT) return;
        w->text = text;
        target = command_target(*w);
        id = w->id;
    }
    send(target, WIN_MSG_COMMAND, id, WIN_NOTIFY_CHANGE);
}

void ev_menu(int hwnd, int id) {
    bool ok = false;
    {
        std::lock_guard lk(reg().mu);
        const Window *w = find(hwnd);
        if (w)
            for (const MenuNode &n : w->menu)
                if (n.kind == WIN_MENU_ITEM && n.id == id) {
                    ok = n.enabled;
                    break;
                }
    }
    if (ok) send(hwnd, WIN_MSG_COMMAND, id, WIN_NOTIFY_CLICK);
}

void ev_close(int hwnd) {
    int kind;
    {
        std::lock_guard lk(reg().mu);
        const Window *w = find(hwnd);
        if (!w || w->destroying) return;
        kind = w->kind;
    }
    if (!is_top(kind)) {
        destroy_now(hwnd);
        return;
    }
    if (send(hwnd, WIN_MSG_CLOSE, 0, 0) != 0) return;
    if (kind == WIN_MAIN)
        destroy_now(hwnd);
    else
        win_show(hwnd, false);
}

void ev_moved(int hwnd, int x, int y) {
    {
        std::lock_guard lk(reg().mu);
        Window *w = find(hwnd);
        if (!w || !is_top(w->kind) || (w->x == x && w->y == y)) return;
        w->x = x;
        w->y = y;
    }
    send(hwnd, WIN_MSG_MOVE, x, y);
}

void ev_resized(int hwnd, int width, int height) {
    {
        std::lock_guard lk(reg().mu);
        Window *w = find(hwnd);
        if (!w || !is_top(w->kind) || (w->w == width && w->h == height)) return;
        w->w = width;
        w->h = height;
    }
    send(hwnd, WIN_MSG_SIZE, width, height);
}

void ev_tree_selected(int tree, int item) {
    std::lock_guard lk(reg().mu);
    Window *w = find(tree);
    if (w && w->kind == WIN_TREE) w->selection = item;
}

void ev_tree_expanded(int tree, int item, bool on) {
    std::lock_guard lk(reg().mu);
    Window *w = find(tree);
    if (!w || w->kind != WIN_TREE) return;
    for (TreeItem &it : w->items)
        if (it.id == item) it.expanded = on;
}

// ---------------------------------------------------------------- timers

namespace {

void on_timer(int hwnd, unsigned id) {
    bool alive;
    {
        std::lock_guard lk(reg().mu);
        alive = find(hwnd) != nullptr;
    }
    // A destroyed window's timers die with it.
    if (!alive) {
        loop_kill_timer(hwnd, id);
        return;
    }
    send(hwnd, WIN_MSG_TIMER, static_cast<int>(id), 0);
}

}  // namespace

void install_timer_handler() { loop_set_timer_handler(&on_timer); }

// ---------------------------------------------------------------- creation and destruction

namespace {

int add_window(Window w) {
    std::lock_guard lk(reg().mu);
    w.hwnd = reg().next++;
    const int h = w.hwnd;
    reg().wins.emplace(h, std::move(w));
    return h;
}

// Destroys a window, what it owns and its controls. Main thread.
void destroy_now(int hwnd) {
    int kind;
    {
        std::lock_guard lk(reg().mu);
        Window *w = find(hwnd);
        if (!w || w->destroying) return;
        w->destroying = true;
        kind = w->kind;
    }
    if (is_top(kind)) send(hwnd, WIN_MSG_DESTROY, 0, 0);
    std::vector<int> owned;
    {
        std::lock_guard lk(reg().mu);
        for (const auto &[h, w] : reg().wins)
            if (w.parent == hwnd) owned.push_back(h);
    }
    for (int h : owned) destroy_now(h);
    {
        std::lock_guard lk(reg().mu);
        reg().wins.erase(hwnd);
    }
    notify([hwnd](View &v) { v.destroyed(hwnd); });
}

}  // namespace

}  // namespace winimpl

using namespace winimpl;

// ---------------------------------------------------------------- backend and loop

void win_use_headless() {
    if (win_is_qt()) win_shutdown();
    loop_init();
    install_timer_handler();
}

bool win_is_qt() { return current_view() != nullptr; }

void win_shutdown() {
    loop_call_blocking([] {
        std::vector<int> tops;
        {
            std::lock_guard lk(reg().mu);
            for (const auto &[h, w] : reg().wins)
                if (w.kind == WIN_MAIN || (w.kind == WIN_DIALOG && !find(w.parent)))
                    tops.push_back(h);
        }
        for (int h : tops) destroy_now(h);
        std::vector<int> rest;
        {
            std::lock_guard lk(reg().mu);
            for (const auto &[h, w] : reg().wins) rest.push_back(h);
        }
        for (int h : rest) destroy_now(h);
        if (View *v = current_view()) v->shutdown();
        set_view(nullptr);
    });
    menus_reset();
    boxes_reset();
    headless_screen_w = default_screen_w;
    headless_screen_h = default_screen_h;
}

int win_run() {
    View *v = current_view();
    return v ? v->run() : loop_run();
}

void win_quit(int code) {
    if (View *v = current_view())
        v->quit(code);
    else
        loop_quit(code);
}

bool win_pump_until(const std::function<bool()> &done, int timeout_ms) {
    View *v = current_view();
    return v ? v->pump_until(done, timeout_ms) : loop_run_until(done, timeout_ms);
}

void win_screen_size(int *width, int *height) {
    int w = headless_screen_w, h = headless_screen_h;
    if (View *v = current_view()) v->screen_size(&w, &h);
    if (width) *width = w;
    if (height) *height = h;
}

void win_headless_set_screen(int width, int height) {
    headless_screen_w = width;
    headless_screen_h = height;
}

// The small font is about 6 pixels per average character and 13 per line.
void win_dialog_base_units(int *base_x, int *base_y) {
    if (base_x) *base_x = 6;
    if (base_y) *base_y = 13;
}

void win_dialog_units_to_px(int *x, int *y, int *w, int *h) {
    int bx, by;
    win_dialog_base_units(&bx, &by);
    if (x) *x = *x * bx / 4;
    if (w) *w = *w * bx / 4;
    if (y) *y = *y * by / 8;
    if (h) *h = *h * by / 8;
}

// ---------------------------------------------------------------- creation

int win_create_main(const WinMainArgs &args) {
    int hwnd = -1;
    loop_call_blocking([&] {
        install_timer_handler();
        Window w;
        w.kind = WIN_MAIN;
        w.text = args.title ? args.title : "";
        w.x = args.x;
        w.y = args.y;
        w.w = args.width < 0 ? 0 : args.width;
        w.h = args.height < 0 ? 0 : args.height;
        w.background = args.background;
        w.proc = args.proc;
        w.visible = args.visible;
        hwnd = add_window(std::move(w));
        if (args.menu_id != 0) win_select_menu(hwnd, args.menu_id);
        notify([hwnd](View &v) { v.created(hwnd); });
        send(hwnd, WIN_MSG_CREATE, 0, 0);
    });
    return hwnd;
}

int win_create_dialog(const WinDialogArgs &args) {
    Window w;
    {
        std::lock_guard lk(reg().mu);
        if (args.owner != -1 && !find(args.owner)) return -1;
    }
    w.kind = WIN_DIALOG;
    w.parent = args.owner;
    w.text = args.caption ? args.caption : "";
    w.w = args.width < 0 ? 0 : args.width;
    w.h = args.height < 0 ? 0 : args.height;
    w.proc = args.proc;
    w.visible = false;
    w.font = WIN_FONT_SMALL;
    const int hwnd = add_window(std::move(w));
    notify([hwnd](View &v) { v.created(hwnd); });
    return hwnd;
}

namespace {

int create_child(int parent, int kind, int flags, int id, const char *text, int x, int y, int w,
                 int h) {
    if (w < 0 || h < 0) return -1;
    Window c;
    {
        std::lock_guard lk(reg().mu);
        const Window *p = find(parent);
        if (!p || !is_top(p->kind) || p->destroying) return -1;
        c.font = p->font;  // a dialog's items take the dialog's font, as a template's do
    }
    c.kind = kind;
    c.flags = flags;
    c.id = id;
    c.parent = parent;
    c.text = text ? text : "";
    c.x = x;
    c.y = y;
    c.w = w;
    c.h = h;
    const int hwnd = add_window(std::move(c));
    notify([hwnd](View &v) { v.created(hwnd); });
    return hwnd;
}

}  // namespace

int win_create_control(int parent, int kind, int id, const char *text, int x, int y, int w, int h) {
    const int base = kind & 0xFF;
    const int flags = kind & (WIN_FLAG_SUNKEN | WIN_FLAG_RIGHT);
    if (!is_control_kind(base) || (kind & ~(0xFF | WIN_FLAG_SUNKEN | WIN_FLAG_RIGHT)) != 0)
        return -1;
    return create_child(parent, base, flags, id, text, x, y, w, h);
}

int win_create_progress(int parent, int x, int y, int w, int h) {
    return create_child(parent, WIN_PROGRESS, 0, 0, "", x, y, w, h);
}

void win_destroy(int hwnd) {
    if (hwnd == -1) return;
    loop_call_blocking([hwnd] { destroy_now(hwnd); });
}

void win_close(int hwnd) {
    if (hwnd == -1) return;
    loop_call_blocking([hwnd] { ev_close(hwnd); });
}

// ---------------------------------------------------------------- control state

namespace {

// Applies `edit` to the model of `hwnd` under the lock and, when it reports a
// change, tells the view. False for -1, a dead handle, or when `edit` returns
// false (not its kind, nothing to change).
template <typename Edit>
bool change(int hwnd, Edit edit) {
    {
        std::lock_guard lk(reg().mu);
        Window *w = find(hwnd);
        if (!w || !edit(*w)) return false;
    }
    notify([hwnd](View &v) { v.changed(hwnd); });
    return true;
}

}  // namespace

bool win_exists(int hwnd) {
    std::lock_guard lk(reg().mu);
    return find(hwnd) != nullptr;
}

int win_kind(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    return w ? w->kind : 0;
}

int win_id(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    return w ? w->id : -1;
}

int win_find_child(int parent, int id) {
    std::lock_guard lk(reg().mu);
    if (!find(parent)) return -1;
    for (const auto &[h, w] : reg().wins)
        if (w.parent == parent && !is_top(w.kind) && w.id == id) return h;
    return -1;
}

void win_set_text(int hwnd, const char *text) {
    if (!text) return;
    change(hwnd, [text](Window &w) {
        w.text = text;
        return true;
    });
}

size_t win_get_text(int hwnd, char *buf, size_t n) {
    if (!buf || n == 0) return 0;
    buf[0] = '\0';
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    if (!w) return 0;
    const size_t len = w->text.size() < n - 1 ? w->text.size() : n - 1;
    w->text.copy(buf, len);
    buf[len] = '\0';
    return len;
}

std::string win_text(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    return w ? w->text : std::string();
}

void win_set_tooltip(int hwnd, const char *text) {
    const std::string tip = text ? text : "";
    change(hwnd, [&tip](Window &w) {
        if (is_top(w.kind) || w.tooltip == tip) return false;
        w.tooltip = tip;
        return true;
    });
}

std::string win_tooltip(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    return w ? w->tooltip : std::string();
}

bool win_limit_text(int hwnd, int n) {
    return change(hwnd, [n](Window &w) {
        if (w.kind != WIN_EDIT && w.kind != WIN_MEMO) return false;
        w.limit = n <= 0 ? default_text_limit : n;
        return true;
    });
}

void win_enable(int hwnd, bool on) {
    change(hwnd, [on](Window &w) {
        if (w.enabled == on) return false;
        w.enabled = on;
        return true;
    });
}

bool win_is_enabled(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    return w && w->enabled;
}

void win_set_check(int hwnd, bool on) {
    change(hwnd, [on](Window &w) {
        if (!is_checkable(w.kind)) return false;
        w.checked = on ? 1 : 0;
        return true;
    });
}

int win_get_check(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    if (!w || !is_checkable(w->kind)) return -1;
    return w->checked;
}

void win_set_font(int hwnd, WinFont font) {
    change(hwnd, [font](Window &w) {
        w.font = font;
        return true;
    });
}

WinFont win_get_font(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    return w ? w->font : WIN_FONT_DEFAULT;
}

void win_set_geometry(int hwnd, int x, int y, int w, int h) {
    if (hwnd == -1 || w < 0 || h < 0) return;
    bool moved = false, sized = false;
    const auto place = [&](Window &win) {
        moved = win.x != x || win.y != y;
        sized = win.w != w || win.h != h;
        win.x = x;
        win.y = y;
        win.w = w;
        win.h = h;
        return true;
    };
    if (win_kind(hwnd) != WIN_MAIN) {
        change(hwnd, place);
        return;
    }
    // A main window reports what changed to its procedure, on the main thread.
    loop_call_blocking([&] {
        if (!change(hwnd, place)) return;
        if (moved) send(hwnd, WIN_MSG_MOVE, x, y);
        if (sized) send(hwnd, WIN_MSG_SIZE, w, h);
    });
}

bool win_get_geometry(int hwnd, int *x, int *y, int *w, int *h) {
    std::lock_guard lk(reg().mu);
    const Window *win = find(hwnd);
    if (!win) return false;
    if (x) *x = win->x;
    if (y) *y = win->y;
    if (w) *w = win->w;
    if (h) *h = win->h;
    return true;
}

bool win_get_client_size(int hwnd, int *w, int *h) {
    return win_get_geometry(hwnd, nullptr, nullptr, w, h);
}

void win_show(int hwnd, bool on) {
    change(hwnd, [on](Window &w) {
        if (w.visible == on) return false;
        w.visible = on;
        return true;
    });
}

bool win_is_visible(int hwnd) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    while (w) {
        if (!w->visible) return false;
        if (is_top(w->kind)) return true;
        w = find(w->parent);
    }
    return false;
}

void win_bring_to_front(int hwnd) {
    const bool top = change(hwnd, [](Window &w) {
        if (!is_top(w.kind)) return false;
        w.visible = true;
        return true;
    });
    if (top) notify([hwnd](View &v) { v.raise(hwnd); });
}

// ---------------------------------------------------------------- operator actions (hooks)

bool win_click(int hwnd) {
    bool ok = false;
    loop_call_blocking([&] {
        {
            std::lock_guard lk(reg().mu);
            const Window *w = find(hwnd);
            if (!w || !is_clickable(w->kind) || !reachable(*w)) return;
        }
        ok = true;
        View *v = current_view();
        if (!v || !v->click(hwnd)) ev_clicked(hwnd);
    });
    return ok;
}

bool win_type_text(int hwnd, const char *text) {
    bool ok = false;
    loop_call_blocking([&] {
        View *v = current_view();
        std::string typed = text ? text : "";
        {
            std::lock_guard lk(reg().mu);
            const Window *w = find(hwnd);
            if (!w || w->kind != WIN_EDIT || !reachable(*w)) return;
            // Headless, the limit is applied here; a view's widget applies its own.
            if (!v && typed.size() > static_cast<size_t>(w->limit)) typed.resize(w->limit);
        }
        ok = true;
        if (!v || !v->type_text(hwnd, typed)) ev_text_edited(hwnd, typed);
    });
    return ok;
}

bool win_click_menu(int hwnd, int id) {
    bool ok = false;
    loop_call_blocking([&] {
        bool checked = false, enabled = false;
        if (win_menu_item_state(hwnd, id, &checked, &enabled) != 0 || !enabled) return;
        ok = true;
        View *v = current_view();
        if (!v || !v->click_menu(hwnd, id)) ev_menu(hwnd, id);
    });
    return ok;
}

// ---------------------------------------------------------------- timers

bool win_set_timer(int hwnd, unsigned id, uint32_t ms) {
    if (!win_exists(hwnd)) return false;
    install_timer_handler();
    return loop_set_timer(hwnd, id, ms);
}

bool win_kill_timer(int hwnd, unsigned id) {
    if (hwnd == -1) return false;
    return loop_kill_timer(hwnd, id);
}

// ---------------------------------------------------------------- listing

namespace {

WinInfo info_of(const Window &w) {
    WinInfo i;
    i.hwnd = w.hwnd;
    i.kind = w.kind;
    i.flags = w.flags;
    i.id = w.id;
    i.parent = w.parent;
    i.text = w.text;
    i.enabled = w.enabled;
    i.visible = w.visible;
    i.checked = is_checkable(w.kind) ? w.checked : -1;
    i.x = w.x;
    i.y = w.y;
    i.w = w.w;
    i.h = w.h;
    i.font = w.font;
    i.limit = w.limit;
    return i;
}

}  // namespace

std::vector<WinInfo> win_list(int parent) {
    std::vector<WinInfo> out;
    std::lock_guard lk(reg().mu);
    for (const auto &[h, w] : reg().wins) {
        const bool top = is_top(w.kind);
        if (parent == -1 ? top : (!top && w.parent == parent)) out.push_back(info_of(w));
    }
    return out;
}

bool win_info(int hwnd, WinInfo *out) {
    std::lock_guard lk(reg().mu);
    const Window *w = find(hwnd);
    if (!w || !out) return false;
    *out = info_of(*w);
    return true;
}

bool win_save_png(int hwnd, const char *path) {
    if (!path || !win_exists(hwnd)) return false;
    bool ok = false;
    loop_call_blocking([&] {
        View *v = current_view();
        ok = v && v->save_png(hwnd, path);
    });
    return ok;
}

}  // namespace plat
