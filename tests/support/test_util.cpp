// Test support: the shared helpers (see test_util.h).
#include "test_util.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

bool tu_wait_until(const std::function<bool()> &pred, int timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::vector<uint8_t> tu_read_n(int fd, size_t n, int timeout_ms) {
    std::vector<uint8_t> got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, int(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        uint8_t b[256];
        const ssize_t k = ::read(fd, b, std::min(sizeof b, n - got.size()));
        if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (k <= 0) break;
        got.insert(got.end(), b, b + k);
    }
    return got;
}

bool tu_write_all(int fd, const void *b, size_t n) {
    const auto *p = static_cast<const uint8_t *>(b);
    size_t put = 0;
    while (put < n) {
        const ssize_t w = ::write(fd, p + put, n - put);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        put += size_t(w);
    }
    return true;
}

std::string tu_read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string tu_write_file(const std::string &path, const std::string &text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
    f.close();
    return f ? path : std::string();
}

std::string tu_make_temp_dir(const char *prefix) {
    std::string t = std::string("/tmp/") + prefix + "XXXXXX";
    return mkdtemp(t.data()) ? t : std::string();
}

bool tu_pty::open(bool raw) {
    termios t{};
    cfmakeraw(&t);
    char name[128];
    if (::openpty(&master, &slave, name, raw ? &t : nullptr, nullptr) != 0) return false;
    path = name;
    return true;
}

tu_pty::~tu_pty() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
}

namespace {
sockaddr_in address(const char *addr, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, addr, &sa.sin_addr);
    return sa;
}
}  // namespace

int tu_listen(const char *addr, uint16_t port, int backlog, uint16_t *bound) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa = address(addr, port);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 ||
        ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len);
    if (bound) *bound = ntohs(sa.sin_port);
    return fd;
}

int tu_connect(const char *addr, uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in sa = address(addr, port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool tu_child::spawn(const std::vector<std::string> &argv, const std::string &out_file) {
    out = out_file;
    std::vector<char *> a;
    for (const std::string &s : argv) a.push_back(const_cast<char *>(s.c_str()));
    a.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int rc = posix_spawn(&pid, a[0], &fa, nullptr, a.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) pid = -1;
    return rc == 0;
}

bool tu_child::printed(const char *text) const {
    return tu_wait_until([&] { return tu_read_file(out).find(text) != std::string::npos; });
}

bool tu_child::stop() {
    if (pid <= 0) return false;
    kill(pid, SIGTERM);
    int status = -1;
    const bool waited = waitpid(pid, &status, 0) == pid;
    pid = -1;
    return waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

tu_child::~tu_child() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
