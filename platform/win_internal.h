// Inside of the window layer: the window model and the interface of a view.
//
// Not part of the contract (platform/win.h). The layer's own files and the Qt
// backend include it. The model is one registry of windows keyed by handle,
// guarded by one recursive mutex. A view (the Qt backend) owns the real
// widgets: the layer tells it what changed, always on the main thread (a
// change made by a worker is posted through the loop), and the view reports
// the operator's actions back through the ev_* functions, also on the main
// thread. A view reads the model only through snapshot(), a copy taken under
// the lock, so that no widget call ever runs with the lock held.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win.h"

namespace plat::winimpl {

// What an edit takes when no limit was set (win_limit_text with 0).
constexpr int default_text_limit = 32767;

struct TreeItem {
    int id;
    int level;
    int parent;  // item id, 0 = top level
    std::string text;
    bool expanded = false;
};

struct MenuNode {
    int level;
    WinMenuRowKind kind;  // popup, item or separator
    std::string caption;
    int id;
    bool checked = false;
    bool enabled = true;
};

struct Window {
    int hwnd = -1;
    int kind = 0;   // WinKind without flags
    int flags = 0;  // WIN_FLAG_* bits
    int id = 0;
    int parent = -1;  // control: its window; dialog: its owner
    std::string text;
    std::string tooltip;  // empty = none
    bool enabled = true;
    bool visible = true;
    int checked = 0;
    int x = 0, y = 0, w = 0, h = 0;
    WinFont font = WIN_FONT_DEFAULT;
    int limit = default_text_limit;
    uint32_t background = 0;
    WinProc proc = nullptr;
    bool destroying = false;
    // main window
    int menu_id = 0;
    std::vector<MenuNode> menu;
    // tree view
    std::vector<TreeItem> items;
    int last_of_level[4] = {0, 0, 0, 0};
    int next_item = 1;
    int selection = 0;
    // progress bar
    int pmin = 0, pmax = 100, ppos = 0;
};

// What the layer tells a view. Every call comes on the main thread.
struct View {
    virtual ~View() = default;
    virtual void created(int hwnd) = 0;
    virtual void destroyed(int hwnd) = 0;
    // Text, tooltip, enable, check, geometry, visibility, font, limit or progress of
    // `hwnd` may have changed: bring the widget in line with the model.
    virtual void changed(int hwnd) = 0;
    virtual void raise(int hwnd) = 0;
    // The menu was loaded anew (rebuild) or only marks changed.
    virtual void menu_loaded(int hwnd) = 0;
    virtual void menu_marks(int hwnd) = 0;
    virtual void tree_added(int tree, TreeItem item) = 0;
    virtual void tree_cleared(int tree) = 0;
    virtual void tree_expanded(int tree, int item, bool on) = 0;
    virtual void tree_selected(int tree, int item) = 0;
    // Operator actions driven by the test hooks; false: no widget, use the model.
    virtual bool click(int hwnd) = 0;
    virtual bool type_text(int hwnd, const std::string &text) = 0;
    virtual bool click_menu(int hwnd, int id) = 0;
    // Modal dialogs. `scripted` is an answer to give by pressing the button,
    // or WIN_ANSWER_NONE to wait for the operator.
    virtual WinAnswer box(const WinBoxRecord &box, WinAnswer scripted) = 0;
    virtual int open_file(const WinOpenFileArgs &args, std::string *path) = 0;
    virtual bool save_png(int hwnd, const char *path) = 0;
    virtual void screen_size(int *w, int *h) = 0;
    virtual int run() = 0;
    virtual void quit(int code) = 0;
    virtual bool pump_until(const std::function<bool()> &done, int timeout_ms) = 0;
    // The layer is shutting down: detach from the loop, drop every widget.
    // The view may delete itself at the end of this call.
    virtual void shutdown() = 0;
};

// The registry. Handles are never reused, so a late posted change can never
// reach a newer window.
struct Registry {
    std::recursive_mutex mu;
    std::map<int, Window> wins;
    int next = 1;
    View *view = nullptr;
};
Registry &reg();

// The window `hwnd` in the registry; nullptr for -1 or a dead handle. Lock held.
Window *find(int hwnd);

// Installs a view (nullptr: headless). The layer does not own it.
void set_view(View *view);
// The view installed now, nullptr when headless.
View *current_view();

// Copy of a window's state; false when it does not exist.
bool snapshot(int hwnd, Window *out);

// Runs fn with the view now when on the main thread, else posts it to the
// main thread. Nothing without a view.
void notify(std::function<void(View &)> fn);

// Calls the procedure of `hwnd` without any lock held; 0 without one.
int send(int hwnd, int msg, int p1, int p2);

// Operator actions reported by a view (main thread).
void ev_clicked(int hwnd);
void ev_text_edited(int hwnd, const std::string &text);
void ev_menu(int hwnd, int id);
void ev_close(int hwnd);
void ev_moved(int hwnd, int x, int y);
void ev_resized(int hwnd, int w, int h);
void ev_tree_selected(int tree, int item);
void ev_tree_expanded(int tree, int item, bool on);

// Installs the timer receiver into the loop (idempotent).
void install_timer_handler();

// The default extension of a file dialog without its leading dot ("" for none).
std::string bare_ext(const std::string &def_ext);

// Menus and boxes: state cleared by win_shutdown.
void menus_reset();
void boxes_reset();

}  // namespace plat::winimpl
