// Tree view items and the progress bar, on the window model.
//
// A tree keeps its items in insertion order with their level and parent; new
// items are appended under the last item of the level above, which is all the
// overview of a scan needs. Item ids are per tree and never reused until the
// tree is cleared. The progress bar keeps a range and a position.
#include <algorithm>

#include "platform/win_internal.h"

namespace plat {

using namespace winimpl;

namespace {

// The window `hwnd` when it is of `kind`. Lock held.
Window *find_kind(int hwnd, int kind) {
    Window *w = find(hwnd);
    return w && w->kind == kind ? w : nullptr;
}

Window *tree_of(int tree) { return find_kind(tree, WIN_TREE); }
Window *bar_of(int bar) { return find_kind(bar, WIN_PROGRESS); }

// Item `item` of tree `tree`, nullptr when either is missing. Lock held.
TreeItem *item_of(int tree, int item) {
    Window *w = tree_of(tree);
    if (!w) return nullptr;
    for (TreeItem &it : w->items)
        if (it.id == item) return &it;
    return nullptr;
}

}  // namespace

int win_tree_add(int tree, const char *text, int level) {
    if (!text || level < 1 || level > 3) return 0;
    TreeItem item;
    {
        std::lock_guard lk(reg().mu);
        Window *w = tree_of(tree);
        if (!w) return 0;
        const int parent = level == 1 ? 0 : w->last_of_level[level - 1];
        if (level > 1 && parent == 0) return 0;
        item = TreeItem{w->next_item++, level, parent, text, false};
        w->items.push_back(item);
        w->last_of_level[level] = item.id;
        // A new line of a level starts a new branch: deeper levels begin anew under it.
        for (int l = level + 1; l <= 3; ++l) w->last_of_level[l] = 0;
    }
    notify([tree, item](View &v) { v.tree_added(tree, item); });
    return item.id;
}

void win_tree_clear(int tree) {
    {
        std::lock_guard lk(reg().mu);
        Window *w = tree_of(tree);
        if (!w) return;
        w->items.clear();
        std::fill(std::begin(w->last_of_level), std::end(w->last_of_level), 0);
        w->selection = 0;
    }
    notify([tree](View &v) { v.tree_cleared(tree); });
}

bool win_tree_expand(int tree, int item, WinExpand how) {
    bool on;
    {
        std::lock_guard lk(reg().mu);
        TreeItem *it = item_of(tree, item);
        if (!it) return false;
        switch (how) {
        case WIN_EXPAND: on = true; break;
        case WIN_COLLAPSE: on = false; break;
        case WIN_TOGGLE: on = !it->expanded; break;
        default: return false;
        }
        it->expanded = on;
    }
    notify([tree, item, on](View &v) { v.tree_expanded(tree, item, on); });
    return true;
}

bool win_tree_is_expanded(int tree, int item) {
    std::lock_guard lk(reg().mu);
    TreeItem *it = item_of(tree, item);
    return it && it->expanded;
}

int win_tree_selection(int tree) {
    std::lock_guard lk(reg().mu);
    Window *w = tree_of(tree);
    return w ? w->selection : 0;
}

bool win_tree_select(int tree, int item) {
    {
        std::lock_guard lk(reg().mu);
        Window *w = tree_of(tree);
        if (!w || (item != 0 && !item_of(tree, item))) return false;
        w->selection = item;
    }
    notify([tree, item](View &v) { v.tree_selected(tree, item); });
    return true;
}

size_t win_tree_item_text(int tree, int item, char *buf, size_t n) {
    if (!buf || n == 0) return 0;
    buf[0] = '\0';
    std::lock_guard lk(reg().mu);
    TreeItem *it = item_of(tree, item);
    if (!it) return 0;
    const size_t len = std::min(it->text.size(), n - 1);
    it->text.copy(buf, len);
    buf[len] = '\0';
    return len;
}

int win_tree_item_level(int tree, int item) {
    std::lock_guard lk(reg().mu);
    TreeItem *it = item_of(tree, item);
    return it ? it->level : 0;
}

int win_tree_item_parent(int tree, int item) {
    std::lock_guard lk(reg().mu);
    TreeItem *it = item_of(tree, item);
    return it ? it->parent : 0;
}

int win_tree_count(int tree) {
    std::lock_guard lk(reg().mu);
    Window *w = tree_of(tree);
    return w ? static_cast<int>(w->items.size()) : 0;
}

int win_progress_set_range(int bar, int min, int max) {
    {
        std::lock_guard lk(reg().mu);
        Window *w = bar_of(bar);
        if (!w) return 1;
        if (max < min) return 2;
        w->pmin = min;
        w->pmax = max;
        w->ppos = std::clamp(w->ppos, min, max);
    }
    notify([bar](View &v) { v.changed(bar); });
    return 0;
}

int win_progress_set_pos(int bar, int pos) {
    {
        std::lock_guard lk(reg().mu);
        Window *w = bar_of(bar);
        if (!w) return 1;
        if (pos < w->pmin || pos > w->pmax) return 2;
        w->ppos = pos;
    }
    notify([bar](View &v) { v.changed(bar); });
    return 0;
}

int win_progress_pos(int bar) {
    std::lock_guard lk(reg().mu);
    Window *w = bar_of(bar);
    return w ? w->ppos : -1;
}

}  // namespace plat
