// Throughput of the simulator: command frames answered per second over its pseudo-terminal,
// unpaced, one frame in flight at a time (as the program works), and with a window of frames
// written back to back. Then two figures printed after the table: the first answer of a
// session (open the slave, set 9600 8E1 raw, write a ping, read its answer, close, as the
// program does for every operation), as median and 99th percentile; and what an idle
// simulation costs: the CPU time and the wake-ups (voluntary context switches) of the process
// while a simulation with one pty line and one TCP line has nothing to do, after one session
// on each has been and gone. Figures only; nothing here fails.
#include "zelbsim.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

// Reads n bytes within 5 s.
bool read_all(int fd, size_t n) {
    uint8_t b[4096];
    size_t got = 0;
    while (got < n) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) return false;
        const ssize_t r = read(fd, b, std::min(sizeof b, n - got));
        if (r <= 0) return false;
        got += size_t(r);
    }
    return true;
}

struct Bench {
    zs_sim *sim = nullptr;
    int fd = -1;
    uint8_t req[10] = {0xAA, 0x55, 0x01, 0xE5, 0x08, 0x00, 0x00, 0xEE, 0xFF, 0x00};  // 0x08E5 to 1
    Bench() {
        zs_config c;
        c.lines.resize(1);
        zs_line_set_count(&c.lines[0], 3);
        c.max_events = 1000;
        if (zs_start(c, &sim) != ZS_OK) return;
        fd = open(zs_slave_path(sim, 0).c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(fd, TCSANOW, &t);
    }
    ~Bench() {
        if (fd >= 0) close(fd);
        zs_stop(&sim);
    }
    bool read_n(size_t n) { return read_all(fd, n); }
};

void BM_FrameRoundTrip(benchmark::State &state) {
    Bench b;
    if (b.fd < 0) {
        state.SkipWithError("no simulation");
        return;
    }
    for (auto _ : state) {
        if (write(b.fd, b.req, sizeof b.req) != ssize_t(sizeof b.req) || !b.read_n(10)) {
            state.SkipWithError("no answer");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameRoundTrip)->UseRealTime();

void BM_FrameWindow(benchmark::State &state) {
    Bench b;
    const size_t window = size_t(state.range(0));
    std::vector<uint8_t> burst;
    for (size_t i = 0; i < window; ++i) burst.insert(burst.end(), b.req, b.req + 10);
    for (auto _ : state) {
        if (b.fd < 0 || write(b.fd, burst.data(), burst.size()) != ssize_t(burst.size()) ||
            !b.read_n(burst.size())) {
            state.SkipWithError("no answer");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(window));
}
BENCHMARK(BM_FrameWindow)->Arg(32)->UseRealTime();

using Clock = std::chrono::steady_clock;

const uint8_t kPing[10] = {0xAA, 0x55, 0x00, 0x00, 0x50, 0x00, 0x55, 0xA5, 0xFF, 0x00};

// One session on the slave `path`; false when it got no answer.
bool pty_session(const std::string &path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return false;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD | PARENB;
    t.c_cflag &= ~(CSTOPB | PARODD);
    tcsetattr(fd, TCSANOW, &t);
    const bool ok = write(fd, kPing, sizeof kPing) == ssize_t(sizeof kPing) && read_all(fd, 10);
    close(fd);
    return ok;
}

// One session on a TCP line: connect, the converter packet of a ping, its answer, close.
bool tcp_session(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<uint8_t> pk = {0x02, 0x81, 0x03, 0x4E, 0x01, 0x05};
    for (uint8_t b : kPing) pk.insert(pk.end(), {0x00, b});
    const bool ok = connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
                    write(fd, pk.data(), pk.size()) == ssize_t(pk.size()) && read_all(fd, 10);
    close(fd);
    return ok;
}

// True once the simulation sees no client on `line` (within 5 s).
bool client_gone(zs_sim *sim, int line) {
    for (int i = 0; i < 5000; ++i) {
        zs_line_settings st;
        if (zs_get_settings(sim, line, &st) == ZS_OK && !st.client) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void session_figures(int n) {
    zs_config c;
    c.lines.resize(1);
    zs_line_set_count(&c.lines[0], 3);
    c.max_events = 1000;
    zs_sim *sim = nullptr;
    if (zs_start(c, &sim) != ZS_OK) {
        std::printf("session first answer: no simulation\n");
        return;
    }
    const std::string path = zs_slave_path(sim, 0);
    std::vector<double> us;
    int failed = 0;
    for (int i = 0; i < n; ++i) {
        // Each session starts once the simulation has seen the one before it leave, after a
        // pause of 0..19 ms, as the program's operations come at any time.
        if (i > 0 && !client_gone(sim, 0)) ++failed;
        std::this_thread::sleep_for(std::chrono::milliseconds(i * 7 % 20));
        const auto a = Clock::now();
        if (!pty_session(path)) ++failed;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - a).count());
    }
    zs_stop(&sim);
    std::sort(us.begin(), us.end());
    std::printf(
        "pty session first answer (open, 9600 8E1 raw, ping, answer, close), %d sessions: "
        "median %.1f us, p99 %.1f us, max %.1f us, failed %d\n",
        n, us[us.size() / 2], us[us.size() * 99 / 100], us.back(), failed);
}

double cpu_ms(const rusage &u) {
    return u.ru_utime.tv_sec * 1e3 + u.ru_utime.tv_usec / 1e3 + u.ru_stime.tv_sec * 1e3 +
           u.ru_stime.tv_usec / 1e3;
}

void idle_figures(int ms) {
    zs_config c;
    c.lines.resize(2);
    zs_line_set_count(&c.lines[0], 3);
    c.lines[1].kind = ZS_TCP;
    c.lines[1].port = 0;
    zs_line_set_count(&c.lines[1], 3);
    zs_sim *sim = nullptr;
    if (zs_start(c, &sim) != ZS_OK) {
        std::printf("idle simulation: no simulation\n");
        return;
    }
    const bool ok = pty_session(zs_slave_path(sim, 0)) && tcp_session(zs_tcp_port(sim, 1)) &&
                    client_gone(sim, 0) && client_gone(sim, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    getrusage(RUSAGE_SELF, &after);
    zs_stop(&sim);
    const double cpu = cpu_ms(after) - cpu_ms(before);
    // The sleep above is one of the voluntary switches; the rest are the simulation's.
    const long wakes = (after.ru_nvcsw - before.ru_nvcsw) - 1;
    std::printf(
        "idle simulation (one pty line, one TCP line, after a session on each%s), %d ms: CPU "
        "%.2f ms (%.3f %%), %ld wake-ups (%.1f per second)\n",
        ok ? "" : ", which failed", ms, cpu, cpu * 100.0 / ms, wakes, wakes * 1000.0 / ms);
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    session_figures(200);
    idle_figures(5000);
    return 0;
}
