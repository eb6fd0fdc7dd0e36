// Window system layer: the main window, its controls, menus, dialogs and boxes.
//
// The program talks to its windows the way a classic window program does:
// windows are small integer handles (-1 = no window; 0 is never a handle),
// each control has a control id, and a window procedure registered by the
// program receives create, close, destroy, move, size, command and timer
// messages on the main thread. Every operation on -1 (or on a handle that no
// longer exists) does nothing or returns its error code.
//
// How it works: the layer keeps the whole state of every window in memory
// (kind, id, text, tooltip, enabled and checked state, geometry, menus, tree
// items). That model is the truth. The headless backend is the model alone;
// tests and the command-line program drive it through the hooks at the end of
// this file.
// The Qt backend mirrors the model into real widgets and feeds the operator's
// clicks and typing back into it, so the same hooks work there too.
//
// Threads: calls that only set or read state (texts, marks, enable, progress,
// tree items) may come from any thread; a change made off the main thread
// reaches the real widgets through the event loop (platform/loop.h). Calls
// that deliver messages (close, destroy, click) run on the main thread: from a
// worker they wait until the main thread has run them. Message boxes and the
// file dialog run on the main thread and block their caller until answered.
//
// Text crosses this interface as Windows-1252 bytes (platform/cp1252.h).
//
// Index: backend and loop; window procedure; main window; dialogs; controls;
// tree view; progress bar; menus; message boxes; file dialog; external
// programs; timers; test and driver hooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat {

// ---------------------------------------------------------------- backend and loop

// Selects the in-memory backend (no display, no Qt). Call once at start-up on
// the main thread; it also makes the calling thread the loop's main thread.
void win_use_headless();

// Selects the Qt6 Widgets backend; defined in the library vq_platform_qt, so
// only a program that links it can call this. Creates the QApplication when
// none exists (argc and argv must outlive it, as QApplication demands), makes
// the calling thread the main thread and drives the loop's timers from Qt.
// Call it before any window exists. False when no display could be opened
// (neither QT_QPA_PLATFORM nor DISPLAY nor WAYLAND_DISPLAY is set).
bool win_use_qt(int &argc, char **argv);

// The program's identity on the desktop (Qt backend only, after win_use_qt):
// `desktop_name` names its desktop entry (the shell matches windows to the
// entry's icon by it) and `svg` is the icon's SVG text, drawn at the sizes a
// window manager picks from and given to every window. False when no
// application exists or the SVG does not read; the windows then keep the
// toolkit's default icon.
bool win_set_app_icon(const char *desktop_name, const char *svg);

// True when the Qt backend is the active one.
bool win_is_qt();

// Destroys every window left, detaches the backend from the loop and returns
// to the initial state (headless, empty). For the end of a program or a test.
void win_shutdown();

// Runs the main loop until win_quit; returns the code given there.
int win_run();
// Ends win_run with `code` (as PostQuitMessage). Any thread.
void win_quit(int code);
// Runs the main loop until `done` returns true or `timeout_ms` passed
// (negative: no limit); returns the last value of `done`. Main thread only;
// for tests and drivers (a modal box runs the loop the same way).
bool win_pump_until(const std::function<bool()> &done, int timeout_ms);

// Usable screen area for a main window in pixels: the full-screen client
// width and height (screen without task bar and without a caption).
void win_screen_size(int *width, int *height);

// Base units of dialog templates for the small font: a dialog unit is
// x * base_x / 4 pixels across and y * base_y / 8 pixels down.
void win_dialog_base_units(int *base_x, int *base_y);
// Converts a rectangle given in dialog units to pixels with the units above.
void win_dialog_units_to_px(int *x, int *y, int *w, int *h);

// ---------------------------------------------------------------- window procedure

enum WinMsg : int {
    WIN_MSG_CREATE = 1,   // the window exists; p1 = p2 = 0
    WIN_MSG_CLOSE = 2,    // the operator (or win_close) asks to close; return 1 to keep the window
    WIN_MSG_DESTROY = 3,  // the window is being destroyed; its controls still exist
    WIN_MSG_MOVE = 4,     // new position: p1 = x, p2 = y (top-left of the frame)
    WIN_MSG_SIZE = 5,     // new client size: p1 = width, p2 = height
    WIN_MSG_COMMAND = 6,  // p1 = control or menu command id, p2 = notification (WinNotify)
    WIN_MSG_TIMER = 7,    // p1 = timer id
};

// Notification code of WIN_MSG_COMMAND.
enum WinNotify : int {
    WIN_NOTIFY_CLICK = 0,   // a button, radio or check box was clicked, or a menu item chosen
    WIN_NOTIFY_CHANGE = 1,  // the operator changed the text of an edit field
};

// Returns 0 unless the message says otherwise (WIN_MSG_CLOSE). Always called
// on the main thread, never with a lock of this layer held, so it may call
// any function of this layer, including destroying the window that sent it.
using WinProc = int (*)(int hwnd, int msg, int p1, int p2);

// ---------------------------------------------------------------- main window

struct WinMainArgs {
    const char *title = "";
    int x = 0, y = 0;                // frame position on the screen
    int width = 600, height = 370;   // client area (below the menu bar)
    uint32_t background = 0xA8C8A8;  // client colour 0xRRGGBB
    int menu_id = 0;                 // menu bar resource to attach at once, 0 = none
    WinProc proc = nullptr;
    bool visible = true;
};

// Creates the main window: caption, resizable frame with a minimise box and no
// maximise box. WIN_MSG_CREATE reaches `proc` before this returns. Returns the
// handle, or -1. Runs on the main thread (a worker's call waits for it).
int win_create_main(const WinMainArgs &args);

// ---------------------------------------------------------------- dialogs

struct WinDialogArgs {
    int owner = -1;  // stays in front of this window; -1 = none
    const char *caption = "";
    int width = 200, height = 100;  // client size in pixels
    WinProc proc = nullptr;         // receives its commands; nullptr: they go to the owner's
};

// Creates a modeless dialog, hidden. Its items are controls created with the
// dialog as parent. Closing it by its caption box sends WIN_MSG_CLOSE to its
// procedure (or nobody's); unless that returns 1 the dialog is only hidden.
// Returns the handle or -1. Any thread.
int win_create_dialog(const WinDialogArgs &args);

// ---------------------------------------------------------------- controls

// Control kinds. The values are the kind codes of the program's element
// table, so a row's kind can be passed as it is, with its flags.
enum WinKind : int {
    WIN_BUTTON = 1,  // push button
    WIN_STATIC = 2,  // static text
    WIN_GROUP = 4,   // group box (a frame with a caption; contains nothing)
    WIN_RADIO = 8,   // radio button, not automatic: a click changes no mark
    WIN_EDIT = 16,   // single-line edit
    WIN_MEMO = 32,   // read-only multi-line edit with a vertical scroll bar
    WIN_CHECK = 64,  // check box, not automatic
    WIN_TREE = 128,  // tree view with lines
    // Kinds of windows not made by win_create_control:
    WIN_MAIN = 0x10000,
    WIN_DIALOG = 0x20000,
    WIN_PROGRESS = 0x40000,
};

// Flags added to a kind (plain ints, so that `WIN_EDIT | WIN_FLAG_SUNKEN` mixes
// no two enumerations).
constexpr int WIN_FLAG_SUNKEN = 256;  // sunken client edge
constexpr int WIN_FLAG_RIGHT = 512;   // text right-aligned (statics and edits)

// Creates a control of `kind` (WinKind 1..128, optionally with WIN_FLAG_*
// bits) as a visible child of `parent` (main window or dialog) at (x, y) with
// size w x h in pixels of the parent's client area. Buttons, radios and check
// boxes send WIN_MSG_COMMAND with `id` when clicked. Returns the handle, or -1
// for a missing parent, an unknown kind or a negative size. A control starts
// with its parent's font (dialogs: the small font). Any thread.
int win_create_control(int parent, int kind, int id, const char *text, int x, int y, int w, int h);

// Destroys a window: a main window or dialog first receives WIN_MSG_DESTROY,
// then its controls and it are gone. Nothing for -1. Its timers stop firing.
void win_destroy(int hwnd);
// Sends WIN_MSG_CLOSE; unless the procedure returns 1, a main window is
// destroyed, a dialog hidden, a control destroyed.
void win_close(int hwnd);

bool win_exists(int hwnd);
// Kind of the window without flags (WinKind), or 0 for -1 or a dead handle.
int win_kind(int hwnd);
// Control id, or -1.
int win_id(int hwnd);
// First live control of `parent` with control id `id`, or -1 (GetDlgItem).
int win_find_child(int parent, int id);

// Sets the text of a control, the caption of a main window or dialog. Nothing
// for -1 or a missing text. The text of an edit is not cut by its limit.
void win_set_text(int hwnd, const char *text);
// Copies the text into buf (at most n-1 bytes, then NUL); returns the bytes
// copied. buf is emptied first; nothing for n = 0. 0 for -1.
size_t win_get_text(int hwnd, char *buf, size_t n);
std::string win_text(int hwnd);

// Sets the tooltip of a control (shown when the pointer rests on it); an
// empty text or nullptr removes it. Any thread.
void win_set_tooltip(int hwnd, const char *text);
// The tooltip of a control; empty for none or for -1.
std::string win_tooltip(int hwnd);

// Limits what the operator can type into an edit to `n` characters (0 = the
// default of 32767). False when hwnd is no edit or memo.
bool win_limit_text(int hwnd, int n);

void win_enable(int hwnd, bool on);
bool win_is_enabled(int hwnd);  // false for -1

// Check mark of a radio button or check box. win_get_check: 1 marked, 0 not,
// -1 when hwnd is no radio or check box.
void win_set_check(int hwnd, bool on);
int win_get_check(int hwnd);

enum WinFont : int {
    WIN_FONT_DEFAULT = 0,  // the toolkit's font
    WIN_FONT_SMALL = 1,    // small sans font, about 11 pixels high (8-point dialog font)
};
void win_set_font(int hwnd, WinFont font);
WinFont win_get_font(int hwnd);

// Geometry in pixels: controls relative to their parent's client area, main
// windows by frame position and client size, dialogs by client size (the
// toolkit places a dialog over its owner). A main window gets
// WIN_MSG_MOVE / WIN_MSG_SIZE for what changed.
void win_set_geometry(int hwnd, int x, int y, int w, int h);
bool win_get_geometry(int hwnd, int *x, int *y, int *w, int *h);
// Client size of a main window or dialog (a control: its size). False for -1.
bool win_get_client_size(int hwnd, int *w, int *h);

void win_show(int hwnd, bool on);
bool win_is_visible(int hwnd);
// Shows a main window or dialog, restores it (and its owner) when minimised
// and puts it in front.
void win_bring_to_front(int hwnd);

// ---------------------------------------------------------------- tree view

// Tree items are small integers per tree, 0 = none.
// Appends an item at `level` 1, 2 or 3: level 1 after the last top-level
// item, level 2 at the end of the last level-1 item's children, level 3 under
// the last level-2 item. A new item ends the branches below its level: after a
// new level-1 item, a level-3 item waits for a level-2 item under it. Returns
// the item, or 0 (no tree, bad level, no item of the level above, missing
// text).
int win_tree_add(int tree, const char *text, int level);
// Removes every item and forgets the last items of each level.
void win_tree_clear(int tree);

enum WinExpand : int { WIN_EXPAND = 1, WIN_COLLAPSE = 2, WIN_TOGGLE = 3 };
bool win_tree_expand(int tree, int item, WinExpand how);
bool win_tree_is_expanded(int tree, int item);
// The selected item, 0 when none.
int win_tree_selection(int tree);
// Selects `item` (0 clears the selection); false for an unknown item.
bool win_tree_select(int tree, int item);
// Text of an item into buf as win_get_text does.
size_t win_tree_item_text(int tree, int item, char *buf, size_t n);
// Level (1..3) of an item, its parent item (0 for top level), item count.
int win_tree_item_level(int tree, int item);
int win_tree_item_parent(int tree, int item);
int win_tree_count(int tree);

// ---------------------------------------------------------------- progress bar

// Creates a horizontal progress bar in `parent` (range 0..100, position 0).
int win_create_progress(int parent, int x, int y, int w, int h);
// Results: 0 ok, 1 hwnd is no progress bar, 2 bad range / position outside it.
int win_progress_set_range(int bar, int min, int max);
int win_progress_set_pos(int bar, int pos);
int win_progress_pos(int bar);  // -1 for no progress bar

// ---------------------------------------------------------------- menus

enum WinMenuRowKind : uint8_t {
    // Opens a popup with `caption`; the rows up to its WIN_MENU_END are its children.
    WIN_MENU_POPUP = 1,
    WIN_MENU_END = 2,   // closes the last open popup
    WIN_MENU_ITEM = 3,  // command item with `caption` and command id `id`
    WIN_MENU_SEPARATOR = 4,
};
struct WinMenuRow {
    WinMenuRowKind kind;
    const char *caption;  // Windows-1252; '&' marks the mnemonic
    int id;               // command id of an item
};

// Registers a menu bar under resource number `resource` (replacing one of the
// same number). The rows are copied. False for a missing table, a bad kind,
// or popups that do not close (or close more than they open).
bool win_register_menu(int resource, const WinMenuRow *rows, size_t count);

// Loads menu `resource` and attaches it to main window `hwnd`: every item
// enabled and unmarked, as freshly loaded. Results: 1 menu not registered or
// hwnd -1; 2 hwnd is not a live main window (attaching fails); 0 attached.
int win_select_menu(int hwnd, int resource);
// Resource number of the attached menu, 0 = none.
int win_menu_of(int hwnd);

// Sets or clears the check mark of menu item `id`. Results: 1 hwnd -1; 2 no
// live window or it has no menu; 3 no item with that id; 0 done.
int win_check_menu(int hwnd, int id, bool on);
// Enables or greys item `id`; results as win_check_menu.
int win_enable_menu(int hwnd, int id, bool on);
// Reads the marks of item `id`; results as win_check_menu.
int win_menu_item_state(int hwnd, int id, bool *checked, bool *enabled);

struct WinMenuItemInfo {
    int level;            // 0 = on the menu bar, 1 = in a popup of it, ...
    WinMenuRowKind kind;  // WIN_MENU_POPUP, WIN_MENU_ITEM or WIN_MENU_SEPARATOR
    std::string caption;
    int id;
    bool checked;
    bool enabled;
};
// The attached menu in order, popups before their children.
std::vector<WinMenuItemInfo> win_menu_items(int hwnd);

// ---------------------------------------------------------------- message boxes

enum WinIcon : int {
    WIN_ICON_NONE = 0,
    WIN_ICON_STOP = 1,
    WIN_ICON_QUESTION = 2,
    WIN_ICON_EXCLAMATION = 3
};
enum WinButtons : int { WIN_BOX_OK = 0, WIN_BOX_YESNO = 1 };
enum WinAnswer : int {
    WIN_ANSWER_NONE = 0,
    WIN_ANSWER_OK = 1,
    WIN_ANSWER_YES = 2,
    WIN_ANSWER_NO = 3
};

// Icon of the program's style bits, tested in this order: 1 stop, 2
// question, 4 exclamation; none set: no icon.
WinIcon win_icon_from_style(unsigned style);

// Shows a modal box with `caption`, `body`, the buttons and the icon, owned by
// `owner` (-1 = none), and returns the answer: OK for an OK box; YES or NO for
// a Yes/No box (closing it answers NO). Callable from any thread: the box runs
// on the main thread and the caller waits. Missing texts count as empty.
WinAnswer win_message_box(int owner, const char *caption, const char *body, WinButtons buttons,
                          WinIcon icon);

// One box as shown, for the record and the hook.
struct WinBoxRecord {
    int owner;
    std::string caption;  // Windows-1252, as given
    std::string body;
    WinButtons buttons;
    WinIcon icon;
    WinAnswer answer;  // WIN_ANSWER_NONE while the box is still open
};

// Scripted answers, taken in order by the boxes that follow (also by the Qt
// backend, which then shows the box and presses the button itself). Without a
// scripted answer the headless backend answers OK, or NO for Yes/No; the Qt
// backend waits for the operator. An answer that does not fit the box (YES for
// an OK box) counts as the default.
void win_script_box(WinAnswer answer);
// Called on the main thread as each box is shown, before it is answered. A
// hook that returns an answer other than WIN_ANSWER_NONE answers the box
// (before the script). nullptr removes it.
using WinBoxHook = std::function<WinAnswer(const WinBoxRecord &box)>;
void win_set_box_hook(WinBoxHook hook);
// Every box shown since the last clear, oldest first.
std::vector<WinBoxRecord> win_boxes_shown();
// Forgets the record, the scripted answers and the scripted file choices.
void win_boxes_clear();

// ---------------------------------------------------------------- file dialog

struct WinOpenFileArgs {
    int owner = -1;
    std::string title;
    std::vector<std::string>
        filters;             // label, pattern, label, pattern, ... ("Dump files", "*.vqf")
    int filter_index = 0;    // preselected pair, 0-based
    std::string start_name;  // preselected file name or pattern, may be empty
    std::string def_ext;     // appended (with '.') to a name typed without extension
    bool must_exist = true;  // only an existing file in an existing folder
};

// Results of win_open_file.
enum WinOpenResult : int { WIN_OPEN_CHOSEN = 0, WIN_OPEN_CANCEL = 1, WIN_OPEN_BAD_ARG = 11 };

// Shows a modal open-file dialog and puts the chosen path into *path
// (Windows-1252, as every text here: a file layer converts it to UTF-8 before
// opening, and a name with other characters comes back with '?'). Any
// thread (runs on the main thread). WIN_OPEN_BAD_ARG for a missing path or an
// odd number of filter texts.
int win_open_file(const WinOpenFileArgs &args, std::string *path);

// The file dialog's scripted answers, in order: a path chooses it (with the
// default extension and existence rules applied), nullptr cancels. Without
// one the headless backend cancels.
void win_script_file(const char *path);
struct WinFileRecord {
    WinOpenFileArgs args;
    std::string path;  // chosen path, empty when cancelled
    int result;
};
std::vector<WinFileRecord> win_files_shown();

// ---------------------------------------------------------------- external programs

// Starts a viewer without waiting for it and without a shell: `command` is
// split into words at blanks (double quotes group words and are removed),
// `file` is appended as one argument, then the words of `suffix`. The program
// is looked up in PATH. The texts are Windows-1252 and reach the program as
// UTF-8. Results: 0 started; 1 empty command or unbalanced
// quotes; 2 the program could not be started.
int win_start_viewer(const char *command, const char *file, const char *suffix);
// The argument vector win_start_viewer would run (for tests and logs); empty
// on a bad command.
std::vector<std::string> win_viewer_argv(const char *command, const char *file, const char *suffix);

// ---------------------------------------------------------------- timers

// Arms timer `id` of window `hwnd` (replacing it when armed) with a period of
// `ms`; its expiries reach the window's procedure as WIN_MSG_TIMER on the main
// thread until killed. Any thread. False for -1 or a dead window.
bool win_set_timer(int hwnd, unsigned id, uint32_t ms);
bool win_kill_timer(int hwnd, unsigned id);

// ---------------------------------------------------------------- test and driver hooks

// Clicks a button, radio or check box as the operator would: the command is
// sent (a Qt backend goes through the widget's own click). False when hwnd is
// not clickable, disabled or hidden. Main thread (a worker's call waits).
bool win_click(int hwnd);
// Replaces an edit's text as if the operator selected all and typed `text`:
// the limit applies and WIN_NOTIFY_CHANGE is sent. False for no enabled edit.
bool win_type_text(int hwnd, const char *text);
// Chooses menu item `id` of main window `hwnd` as the operator would. False
// when there is no such item or it is greyed.
bool win_click_menu(int hwnd, int id);

struct WinInfo {
    int hwnd;
    int kind;   // WinKind without flags
    int flags;  // WIN_FLAG_* bits
    int id;
    int parent;
    std::string text;
    bool enabled;
    bool visible;
    int checked;  // as win_get_check
    int x, y, w, h;
    WinFont font;
    int limit;  // edits: typing limit
};
// The live windows: with parent -1 the main windows and dialogs, otherwise
// the controls of `parent`, in creation order.
std::vector<WinInfo> win_list(int parent);
bool win_info(int hwnd, WinInfo *out);

// Saves a picture of a window (with its menu bar) as PNG. Qt backend only;
// false in headless mode or on failure.
bool win_save_png(int hwnd, const char *path);

// Headless: sets what win_screen_size reports (tests of the geometry check).
void win_headless_set_screen(int width, int height);

}  // namespace plat
