// Test support for the window layer's tests: a window procedure that records
// every message it gets (and whether on the main thread), kills each timer
// that fires, and answers WIN_MSG_CLOSE with ev_close_answer.
#pragma once

#include <mutex>
#include <vector>

#include "platform/loop.h"
#include "platform/win.h"

struct Event {
    int hwnd, msg, p1, p2;
    bool on_main;
};

inline std::mutex ev_mu;
inline std::vector<Event> ev_list;
inline int ev_close_answer = 0;

inline int ev_proc(int hwnd, int msg, int p1, int p2) {
    const bool main = plat::loop_is_main_thread();
    {
        std::lock_guard lk(ev_mu);
        ev_list.push_back({hwnd, msg, p1, p2, main});
    }
    if (msg == plat::WIN_MSG_TIMER) plat::win_kill_timer(hwnd, static_cast<unsigned>(p1));
    return msg == plat::WIN_MSG_CLOSE ? ev_close_answer : 0;
}

// The messages recorded so far, which are forgotten.
inline std::vector<Event> take_events() {
    std::lock_guard lk(ev_mu);
    std::vector<Event> out;
    out.swap(ev_list);
    return out;
}

// The recorded messages of one kind, which stay recorded.
inline std::vector<Event> events_of(int msg) {
    std::lock_guard lk(ev_mu);
    std::vector<Event> out;
    for (const Event &e : ev_list)
        if (e.msg == msg) out.push_back(e);
    return out;
}
