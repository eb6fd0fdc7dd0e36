// Main-thread event loop and window timers.
//
// The program is driven the way a classic window program is: one main thread
// owns the windows and runs every timer expiry and every posted call, while
// worker threads (the sequencer's) arm timers and post calls from outside.
//
// This module keeps the timer table and the queue of posted calls and decides
// what is due. It does not wait by itself on a window system: a backend does
// the waiting. The headless backend is built in (loop_run_until / loop_run);
// the Qt backend of the window layer installs itself with loop_set_backend and
// calls loop_dispatch_due on its GUI thread whenever it is woken.
//
// Timers are keyed by (window handle, id), as SetTimer's are: arming an id that
// is armed already replaces it. A timer is periodic until killed; every handler
// in this program kills its timer first, which makes it one-shot in effect.
// Periods are kept in milliseconds against the steady clock, so a 1 ms timer
// really fires about 1 ms later (no 10-16 ms tick rounding).
#pragma once

#include <cstdint>
#include <functional>

namespace plat {

// Called on the main thread for each expiry of an armed timer.
using TimerHandler = void (*)(int hwnd, unsigned id);

// Installs the one receiver of timer expiries (the window layer, or a test).
// nullptr drops expiries.
void loop_set_timer_handler(TimerHandler fn);

// Arms (or re-arms) timer `id` of window `hwnd` with a period of `ms`
// milliseconds (0 counts as 1). Callable from any thread. Returns false for
// hwnd -1, as SetTimer fails for a missing window.
bool loop_set_timer(int hwnd, unsigned id, uint32_t ms);

// Disarms timer `id` of window `hwnd`; false if it was not armed. Any thread.
bool loop_kill_timer(int hwnd, unsigned id);

// True while timer `id` of `hwnd` is armed.
bool loop_timer_armed(int hwnd, unsigned id);

// Queues `fn` to run on the main thread, after the calls queued before it.
// Callable from any thread.
void loop_post(std::function<void()> fn);

// Runs `fn` on the main thread and waits until it has returned. On the main
// thread itself it runs at once. Used for modal boxes asked from a worker.
void loop_call_blocking(const std::function<void()> &fn);

// The main thread is the thread that called loop_init (or, if nobody did, the
// first thread that ran a loop function).
void loop_init();
bool loop_is_main_thread();

// Runs, on the calling (main) thread, every posted call and every timer that is
// due now. Returns the milliseconds until the next timer is due, or -1 when no
// timer is armed. Backends call this when woken.
int loop_dispatch_due();

// Headless loop: dispatches until `done` returns true (checked after every
// dispatch) or `timeout_ms` has passed (negative: no limit). Returns the last
// value of `done`. Sleeps between events; costs no CPU while nothing is due.
// Without `done` (nullptr) it runs until the time-out or loop_quit, false.
bool loop_run_until(const std::function<bool()> &done, int timeout_ms);

// Headless loop until loop_quit is called (from any thread). Returns its code.
int loop_run();
void loop_quit(int code);

// A backend that waits for events on its own (a GUI toolkit). `wake` is called
// from any thread whenever a call was posted or the earliest timer changed; the
// backend must then arrange for loop_dispatch_due to run on the main thread,
// and again after the number of ms it returned.
struct LoopBackend {
    virtual ~LoopBackend() = default;
    virtual void wake() = 0;
};
void loop_set_backend(LoopBackend *backend);

// Forgets every timer and posted call (tests, between cases).
void loop_reset();

}  // namespace plat
