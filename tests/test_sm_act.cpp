// Sequencer: the action table's chains, and how runs step, park, chain list
// entries and stop at once, over a small test table.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/io_stop.h"
#include "platform/loop.h"
#include "velquor/link/com_action.h"
#include "velquor/operations/vf_end.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_main.h"

namespace {

// ---------------------------------------------------------------- the real table

// The rows reachable from `start` through any verdict.
std::vector<int32_t> reachable(int32_t start) {
    std::vector<int32_t> out = {start};
    bool seen[sm_n_actions + 1] = {};
    seen[start] = true;
    for (size_t i = 0; i < out.size(); ++i) {
        const tm_func_table_t &r = tm_func_tab[out[i] - 1];
        for (int32_t s : {r.ix_doyes, r.ix_dono, r.ix_doerr})
            if (s > 0 && s <= static_cast<int32_t>(sm_n_actions) && !seen[s]) {
                seen[s] = true;
                out.push_back(s);
            }
    }
    return out;
}

// From every row some path of successors reaches a dash: every chain can end.
TEST(ActionTable, EveryRowReachesAnEnd) {
    for (int32_t a = 1; a <= static_cast<int32_t>(sm_n_actions); ++a) {
        bool ends = false;
        for (int32_t b : reachable(a)) {
            const tm_func_table_t &t = tm_func_tab[b - 1];
            ends = ends || t.ix_doyes == 0 || t.ix_dono == 0 || t.ix_doerr == 0;
        }
        EXPECT_TRUE(ends) << "action " << a << " never ends";
    }
}

// Every row of the table runs a real step: no operation can end in the
// error of a step that is missing.
TEST(ActionTable, EveryRowRunsARealStep) {
    for (size_t a = 1; a <= std::size(tm_func_tab); ++a) {
        EXPECT_NE(tm_func_tab[a - 1].do_ptr, nullptr) << "action " << a;
        EXPECT_NE(tm_func_tab[a - 1].do_ptr, &sm_step_missing) << "action " << a;
    }
}

// ---------------------------------------------------------------- a test table

std::mutex g_mu;
std::string g_trace;  // one letter per step run
char g_verdict = 1;   // verdict of step A
std::atomic<int> g_parks{0};
std::atomic<int> g_ends{0};
std::atomic<bool> g_block{false};
std::atomic<bool> g_in_block{false};

void trace(char c) {
    std::lock_guard<std::mutex> lk(g_mu);
    g_trace += c;
}
std::string traced() {
    std::lock_guard<std::mutex> lk(g_mu);
    return g_trace;
}

char st_a() {
    trace('A');
    return g_verdict;
}
// A step that leaves its letter and succeeds.
template <char C>
char st_ok() {
    trace(C);
    return 1;
}
constexpr auto st_b = st_ok<'B'>, st_n = st_ok<'N'>, st_e = st_ok<'E'>;
char st_block() {
    trace('K');
    g_in_block = true;
    while (g_block) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

enum : int32_t { tA = 1, tB, tN, tE, tEND, tLONG, tSTOP, tBLOCK, tC };

const tm_func_table_t kTab[] = {
    {tA, st_a, tB, tN, tE, 60},  // delay only on verdict 1
    {tB, st_b, tEND, 0, tEND, 0},
    {tN, st_n, tEND, 0, tEND, 0},
    {tE, st_e, tEND, 0, tEND, 0},
    {tEND, end_com1, 0, 0, 0, 30},     // end step with a delay, as real end rows may have
    {tLONG, st_a, tB, tN, tE, 60000},  // parks for a minute unless stopped
    {tSTOP, st_e, tEND, 0, tEND, 0},
    {tBLOCK, st_block, tB, 0, tEND, 0},
    {tC, st_n, 0, 0, 0, 0},  // ends on a dash, no end step
};

void on_timer(int, unsigned id) {
    if (id == sm_timer_resume) {
        ++g_parks;
        sm_on_timer_173();
    } else if (id == sm_timer_end) {
        ++g_ends;
        sm_on_timer_165();
    }
}

bool idle() {
    return sm_workers_running() == 0 && !plat::loop_timer_armed(hwndMain, sm_timer_end) &&
           !plat::loop_timer_armed(hwndMain, sm_timer_resume) && ix_act.load() == 0;
}

class Sequencer : public ::testing::Test {
protected:
    void SetUp() override {
        plat::loop_init();
        plat::loop_reset();
        plat::loop_set_timer_handler(on_timer);
        hwndMain = 1;
        sm_set_table(kTab, sizeof kTab / sizeof kTab[0]);
        g_trace.clear();
        g_verdict = 1;
        g_parks = 0;
        g_ends = 0;
        sys_rv = 0;
        dome = 1;
    }
    void TearDown() override {
        plat::loop_run_until(idle, 10000);
        sm_set_table(nullptr, 0);
        plat::loop_set_timer_handler(nullptr);
        hwndMain = -1;
    }
    static bool run_to_idle() {
        // The end timer fires 100 ms after the worker left; wait for it too.
        return plat::loop_run_until([] { return g_ends.load() > 0 && idle(); }, 20000);
    }
};

TEST_F(Sequencer, VerdictsChooseSuccessorAndOnlySuccessParks) {
    struct Row {
        char verdict;
        const char *trace;
        int parks;  // the delay of A, then the delay of the end row
    } rows[] = {
        {1, "AB", 2},
        {7, "AB", 2},  // any verdict but 0 and 2 counts as 1
        {2, "AN", 1},
        {0, "AE", 1},  // alternative and failure run at once
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string("verdict ") + std::to_string(r.verdict));
        g_trace.clear();
        g_parks = 0;
        g_ends = 0;
        g_verdict = r.verdict;
        dome = 1;
        sm_start_liste1(hwndMain, tA);
        ASSERT_TRUE(run_to_idle());
        EXPECT_EQ(traced(), r.trace);
        EXPECT_EQ(g_parks.load(), r.parks);
        EXPECT_EQ(dome.load(), 0);
    }
}

TEST_F(Sequencer, ListEntriesRunAtOnceAndEmptySlotsAreSkipped) {
    sm_start_liste3(hwndMain, tB, 0, tN);
    ASSERT_TRUE(run_to_idle());
    EXPECT_EQ(traced(), "BN");
    // The first end step handed the entry over without its delay; only the last parks.
    EXPECT_EQ(g_parks.load(), 1);
    EXPECT_EQ(dome.load(), 0);
    EXPECT_EQ(sm_list_get_next(), 0);
    // The end step ran again from the end timer and changed nothing.
    EXPECT_EQ(g_ends.load(), 1);
    EXPECT_EQ(ix_next.load(), 0);
}

TEST_F(Sequencer, ChainEndingOnADashGetsItsEndStepFromTheTimer) {
    sm_start_liste2(hwndMain, tC, tB);
    // C ends on a dash; the end timer's end step finds B pending and starts it.
    ASSERT_TRUE(plat::loop_run_until([] { return g_ends.load() >= 2 && idle(); }, 20000));
    EXPECT_EQ(traced(), "NB");
    EXPECT_EQ(dome.load(), 0);
}

TEST_F(Sequencer, ImmediateStopReleasesAParkedRunWithoutContinuingIt) {
    sm_start_liste2(hwndMain, tLONG, tN);
    ASSERT_TRUE(plat::loop_run_until([] { return sm_waitme.load() == 1; }, 10000));
    sm_start_liste1(hwndMain, tSTOP);
    ASSERT_TRUE(run_to_idle());
    EXPECT_EQ(traced(), "AE");  // B of the parked chain and the queued N never ran
    EXPECT_EQ(sm_workers_running(), 0);
}

// An immediate stop while the old worker is inside a step: the I/O stop is
// raised so that a wait for the link would end, the stop's own steps wait until
// the old worker has left, the old chain goes no further, and the I/O stop is
// cleared for the stop's run.
TEST_F(Sequencer, SupersededWorkerLeavesBeforeTheStopRuns) {
    g_block = true;
    g_in_block = false;
    sm_start_liste1(hwndMain, tBLOCK);
    ASSERT_TRUE(plat::loop_run_until([] { return g_in_block.load(); }, 10000));
    sys_rv = 11;  // what the ended step will have recorded
    sm_start_liste1(hwndMain, tSTOP);
    EXPECT_TRUE(plat::io_stop_raised());
    plat::loop_run_until(nullptr, 100);  // a wrong stop would run its step now
    EXPECT_EQ(traced(), "K");
    g_block = false;
    ASSERT_TRUE(plat::loop_run_until([] { return g_ends.load() > 0 && idle(); }, 20000));
    EXPECT_EQ(traced(), "KE");  // the old chain's B never ran
    EXPECT_EQ(g_ends.load(), 1);
    EXPECT_FALSE(plat::io_stop_raised());
    EXPECT_EQ(sys_rv, 0);
}

TEST_F(Sequencer, EndTimerOfAFinishedRunLeavesANewerRunAlone) {
    sm_start_liste1(hwndMain, tB);
    // The first run has ended and its end timer is pending: start the next one.
    ASSERT_TRUE(plat::loop_run_until(
        [] { return sm_workers_running() == 0 && plat::loop_timer_armed(hwndMain, sm_timer_end); },
        10000));
    dome = 1;
    sm_start_liste1(hwndMain, tLONG);
    ASSERT_TRUE(
        plat::loop_run_until([] { return g_ends.load() == 1 && sm_waitme.load() == 1; }, 10000));
    // The end step must not have run under the parked run: it would have made
    // the window idle and closed the link in the middle of it.
    EXPECT_EQ(dome.load(), 1);
    sm_start_liste1(hwndMain, tSTOP);
    ASSERT_TRUE(plat::loop_run_until([] { return g_ends.load() == 2 && idle(); }, 20000));
    EXPECT_EQ(traced(), "BAE");
    EXPECT_EQ(dome.load(), 0);
}

TEST_F(Sequencer, StartingARunResetsTheStopFlags) {
    sm_set_stop_request();
    sm_set_stop_enabled();
    sm_start_liste1(hwndMain, tB);
    EXPECT_EQ(sm_get_stop_request(), 0);
    EXPECT_EQ(sm_get_stop_enabled(), 0);
    ASSERT_TRUE(run_to_idle());
}

double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

TEST_F(Sequencer, AParkedRunCostsNoCpu) {
    sm_start_liste1(hwndMain, tLONG);
    ASSERT_TRUE(plat::loop_run_until([] { return sm_waitme.load() == 1; }, 10000));
    double c0 = cpu_seconds();
    auto t0 = std::chrono::steady_clock::now();
    plat::loop_run_until(nullptr, 1000);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double cpu = cpu_seconds() - c0;
    EXPECT_LT(cpu, 0.2 * wall) << "cpu " << cpu << " s over " << wall << " s";
    sm_start_liste1(hwndMain, tSTOP);
    ASSERT_TRUE(run_to_idle());
}

}  // namespace
