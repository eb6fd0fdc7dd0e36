// Main-thread loop: timers armed from any thread fire on the main thread, in
// due order, re-arming replaces, killing disarms; posted and blocking calls.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/loop.h"

namespace {

std::mutex g_mu;
std::vector<std::pair<int, unsigned>> g_fired;
std::atomic<bool> g_on_main{true};

void record(int hwnd, unsigned id) {
    if (!plat::loop_is_main_thread()) g_on_main = false;
    plat::loop_kill_timer(hwnd, id);  // one-shot, as every handler of the program does
    std::lock_guard<std::mutex> lk(g_mu);
    g_fired.push_back({hwnd, id});
}

size_t fired_count() {
    std::lock_guard<std::mutex> lk(g_mu);
    return g_fired.size();
}

class LoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::loop_init();
        plat::loop_reset();
        plat::loop_set_timer_handler(record);
        g_fired.clear();
        g_on_main = true;
    }
    void TearDown() override { plat::loop_set_timer_handler(nullptr); }
};

TEST_F(LoopTest, TimersFromWorkerFireOnMainThreadInDueOrder) {
    std::thread w([] {
        plat::loop_set_timer(1, 173, 60);
        plat::loop_set_timer(1, 165, 20);
        plat::loop_set_timer(2, 171, 40);
    });
    w.join();
    ASSERT_TRUE(plat::loop_run_until([] { return fired_count() == 3; }, 10000));
    EXPECT_TRUE(g_on_main);
    std::vector<std::pair<int, unsigned>> want = {{1, 165}, {2, 171}, {1, 173}};
    EXPECT_EQ(g_fired, want);
}

TEST_F(LoopTest, RearmReplacesAndKillDisarms) {
    EXPECT_FALSE(plat::loop_set_timer(-1, 5, 1));  // no window, no timer
    plat::loop_set_timer(1, 173, 5000);
    plat::loop_set_timer(1, 173, 10);  // replaces the long one
    plat::loop_set_timer(1, 259, 10);
    EXPECT_TRUE(plat::loop_kill_timer(1, 259));
    EXPECT_FALSE(plat::loop_kill_timer(1, 259));
    ASSERT_TRUE(plat::loop_run_until([] { return fired_count() == 1; }, 10000));
    // Nothing else may follow: the killed timer stays quiet.
    plat::loop_run_until(nullptr, 100);
    EXPECT_EQ(fired_count(), 1u);
    EXPECT_FALSE(plat::loop_timer_armed(1, 173));
}

TEST_F(LoopTest, PeriodicTimerRepeatsUntilKilled) {
    static std::atomic<int> n{0};
    n = 0;
    plat::loop_set_timer_handler([](int h, unsigned id) {
        if (++n == 3) plat::loop_kill_timer(h, id);
    });
    plat::loop_set_timer(3, 217, 2);
    ASSERT_TRUE(plat::loop_run_until([] { return !plat::loop_timer_armed(3, 217); }, 10000));
    EXPECT_EQ(n.load(), 3);
}

TEST_F(LoopTest, PostedAndBlockingCallsRunOnMainInOrder) {
    std::vector<int> order;
    std::atomic<bool> worker_done{false};
    std::thread w([&] {
        plat::loop_post([&] { order.push_back(1); });
        plat::loop_call_blocking([&] { order.push_back(plat::loop_is_main_thread() ? 2 : -2); });
        // The blocking call has returned: its effect is visible here.
        order.push_back(3);
        worker_done = true;
    });
    ASSERT_TRUE(plat::loop_run_until([&] { return worker_done.load(); }, 10000));
    w.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(LoopTest, RunUntilGivesUpAfterTimeoutAndQuitEndsRun) {
    EXPECT_FALSE(plat::loop_run_until([] { return false; }, 30));
    std::thread w([] { plat::loop_quit(7); });
    EXPECT_EQ(plat::loop_run(), 7);
    w.join();
}

TEST_F(LoopTest, HandlerMayNestALoop) {
    // A modal box runs a nested loop inside a timer handler; other timers keep firing.
    static std::atomic<bool> inner{false};
    inner = false;
    plat::loop_set_timer_handler([](int h, unsigned id) {
        plat::loop_kill_timer(h, id);
        if (id == 1) {
            plat::loop_set_timer(h, 2, 5);
            plat::loop_run_until([] { return inner.load(); }, 10000);
        } else {
            inner = true;
        }
    });
    plat::loop_set_timer(9, 1, 1);
    ASSERT_TRUE(plat::loop_run_until([] { return inner.load(); }, 10000));
}

}  // namespace
