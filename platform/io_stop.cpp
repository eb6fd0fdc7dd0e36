// The I/O stop: one eventfd whose counter is non-zero exactly while the stop
// is raised, so that it polls readable for every waiter at once (a level, not
// an edge), and a flag for the cheap question.
#include "io_stop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace plat {
namespace {

std::mutex g_mu;
std::atomic<bool> g_raised{false};

int stop_fd() {
    static std::once_flag once;
    static int fd = -1;
    std::call_once(once, [] { fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); });
    return fd;
}

}  // namespace

void io_stop_raise() {
    std::lock_guard<std::mutex> lk(g_mu);
    if (g_raised.load()) return;
    const int fd = stop_fd();
    const uint64_t one = 1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t r = ::write(fd, &one, sizeof one);
    }
    g_raised.store(true);
}

void io_stop_clear() {
    std::lock_guard<std::mutex> lk(g_mu);
    if (!g_raised.load()) return;
    const int fd = stop_fd();
    uint64_t v;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t r = ::read(fd, &v, sizeof v);
    }
    g_raised.store(false);
}

bool io_stop_raised() { return g_raised.load(); }

int io_stop_fd() { return stop_fd(); }

}  // namespace plat
