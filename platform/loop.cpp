// Main-thread event loop and window timers: the timer table, the queue of
// posted calls and the headless wait.
//
// One lock guards the table and the queue. It is never held while a posted call
// or a timer handler runs, so handlers may arm timers, post calls and even run
// a nested loop (a modal box does) without deadlocking; loop_dispatch_due is
// re-entrant for the same reason.
#include "loop.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRecheck{50};

struct Timer {
    uint32_t period_ms;
    Clock::time_point due;
    uint64_t serial;  // changes on every re-arm, so a stale snapshot is skipped
};

struct LoopState {
    std::mutex mu;
    std::condition_variable cv;
    std::map<std::pair<int, unsigned>, Timer> timers;
    std::deque<std::function<void()>> posted;
    uint64_t next_serial = 1;
    uint64_t wake_seq = 0;  // bumped on every change a waiter must see
    TimerHandler handler = nullptr;
    LoopBackend *backend = nullptr;
    bool have_main = false;
    std::thread::id main_id;
    bool quit = false;
    int quit_code = 0;
};

LoopState &st() {
    static LoopState s;
    return s;
}

// Wakes the headless waiter and the backend. Called with the lock held; the
// backend's wake only schedules work, it never calls back into this module.
void notify_locked(LoopState &s) {
    ++s.wake_seq;
    s.cv.notify_all();
    if (s.backend) s.backend->wake();
}

void claim_main_locked(LoopState &s) {
    if (!s.have_main) {
        s.have_main = true;
        s.main_id = std::this_thread::get_id();
    }
}

// Milliseconds until the earliest timer, rounded up; -1 when none is armed.
int next_due_ms_locked(LoopState &s, Clock::time_point now) {
    if (s.timers.empty()) return -1;
    Clock::time_point first = Clock::time_point::max();
    for (auto &kv : s.timers) first = std::min(first, kv.second.due);
    if (first <= now) return 0;
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(first - now).count();
    return static_cast<int>((us + 999) / 1000);
}

}  // namespace

void loop_set_timer_handler(TimerHandler fn) {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    s.handler = fn;
}

bool loop_set_timer(int hwnd, unsigned id, uint32_t ms) {
    if (hwnd == -1) return false;
    if (ms == 0) ms = 1;
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    Timer &t = s.timers[{hwnd, id}];
    t.period_ms = ms;
    t.due = Clock::now() + std::chrono::milliseconds(ms);
    t.serial = s.next_serial++;
    notify_locked(s);
    return true;
}

bool loop_kill_timer(int hwnd, unsigned id) {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    bool was = s.timers.erase({hwnd, id}) > 0;
    if (was) notify_locked(s);
    return was;
}

bool loop_timer_armed(int hwnd, unsigned id) {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    return s.timers.count({hwnd, id}) > 0;
}

void loop_post(std::function<void()> fn) {
    if (!fn) return;
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    s.posted.push_back(std::move(fn));
    notify_locked(s);
}

void loop_call_blocking(const std::function<void()> &fn) {
    if (!fn) return;
    if (loop_is_main_thread()) {
        fn();
        return;
    }
    struct Done {
        std::mutex mu;
        std::condition_variable cv;
        bool done = false;
    };
    auto d = std::make_shared<Done>();
    loop_post([d, &fn] {
        fn();
        std::lock_guard<std::mutex> lk(d->mu);
        d->done = true;
        d->cv.notify_all();
    });
    std::unique_lock<std::mutex> lk(d->mu);
    d->cv.wait(lk, [&] { return d->done; });
}

void loop_init() {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    s.have_main = true;
    s.main_id = std::this_thread::get_id();
}

bool loop_is_main_thread() {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    claim_main_locked(s);
    return s.main_id == std::this_thread::get_id();
}

int loop_dispatch_due() {
    LoopState &s = st();
    std::unique_lock<std::mutex> lk(s.mu);
    claim_main_locked(s);

    // Posted calls first, in order. Only those queued before this dispatch
    // began run now; calls they post wait for the next round.
    size_t n_posted = s.posted.size();
    while (n_posted-- > 0 && !s.posted.empty()) {
        std::function<void()> fn = std::move(s.posted.front());
        s.posted.pop_front();
        lk.unlock();
        fn();
        lk.lock();
    }

    // Timers due now, earliest first. The snapshot keeps a handler that
    // re-arms its own timer with a short period from running twice here.
    Clock::time_point now = Clock::now();
    struct Due {
        Clock::time_point due;
        std::pair<int, unsigned> key;
        uint64_t serial;
    };
    std::vector<Due> due;
    for (auto &kv : s.timers)
        if (kv.second.due <= now) due.push_back({kv.second.due, kv.first, kv.second.serial});
    std::sort(due.begin(), due.end(), [](const Due &a, const Due &b) {
        return a.due != b.due ? a.due < b.due : a.serial < b.serial;
    });
    for (const Due &d : due) {
        auto it = s.timers.find(d.key);
        if (it == s.timers.end() || it->second.serial != d.serial) continue;  // killed or re-armed
        // Periodic: the next expiry counts from now, as a window timer's does.
        it->second.due = Clock::now() + std::chrono::milliseconds(it->second.period_ms);
        TimerHandler h = s.handler;
        lk.unlock();
        if (h) h(d.key.first, d.key.second);
        lk.lock();
    }

    if (!s.posted.empty()) return 0;
    return next_due_ms_locked(s, Clock::now());
}

bool loop_run_until(const std::function<bool()> &done, int timeout_ms) {
    LoopState &s = st();
    const bool limited = timeout_ms >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limited ? timeout_ms : 0);
    for (;;) {
        uint64_t seq;
        {
            std::lock_guard<std::mutex> lk(s.mu);
            seq = s.wake_seq;
        }
        loop_dispatch_due();
        bool ok = done ? done() : false;
        if (ok) return true;
        Clock::time_point now = Clock::now();
        if (limited && now >= deadline) return false;

        std::unique_lock<std::mutex> lk(s.mu);
        if (s.quit && !done) return false;  // loop_quit ends a predicate-less run
        Clock::time_point until = limited ? deadline : Clock::time_point::max();
        // A predicate may watch state that other threads change without a
        // loop event; look at it again now and then (a few wake-ups a second).
        if (done) until = std::min(until, now + kRecheck);
        for (auto &kv : s.timers) until = std::min(until, kv.second.due);
        if (!s.posted.empty()) continue;
        auto pred = [&] { return s.wake_seq != seq; };
        if (until == Clock::time_point::max())
            s.cv.wait(lk, pred);
        else
            s.cv.wait_until(lk, until, pred);
    }
}

int loop_run() {
    LoopState &s = st();
    {
        std::lock_guard<std::mutex> lk(s.mu);
        s.quit = false;
    }
    // Without a predicate the run ends only on loop_quit, and an idle program
    // sleeps until an event instead of looking at a flag a few times a second.
    loop_run_until(nullptr, -1);
    std::lock_guard<std::mutex> lk(s.mu);
    s.quit = false;
    return s.quit_code;
}

void loop_quit(int code) {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    s.quit = true;
    s.quit_code = code;
    notify_locked(s);
}

void loop_set_backend(LoopBackend *backend) {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    s.backend = backend;
    if (backend) backend->wake();
}

void loop_reset() {
    LoopState &s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    s.timers.clear();
    s.posted.clear();
    s.quit = false;
    s.quit_code = 0;
    notify_locked(s);
}

}  // namespace plat
