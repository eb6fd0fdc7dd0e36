// IPv4 sockets and ICMP echo over the Linux socket calls: TCP sockets with
// time-outs, a connect bounded by poll and cancellable through an eventfd, one
// echo request on an ICMP datagram socket or, where that is refused, a raw one,
// and name resolution through getaddrinfo.
//
// Sections: system-call table; TCP; addresses and names; ICMP echo.
#include "net.h"

#include "io_stop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace plat {
namespace {

// ---------------------------------------------------------------- system-call table

int sys_socket(int d, int t, int p) { return ::socket(d, t, p); }
int sys_connect(int fd, const sockaddr *a, unsigned l) { return ::connect(fd, a, l); }
int sys_close(int fd) { return ::close(fd); }
int sys_fcntl(int fd, int cmd, int arg) { return ::fcntl(fd, cmd, arg); }
int sys_setsockopt(int fd, int lv, int nm, const void *v, unsigned l) {
    return ::setsockopt(fd, lv, nm, v, l);
}
int sys_getsockopt(int fd, int lv, int nm, void *v, unsigned *l) {
    socklen_t sl = *l;
    const int r = ::getsockopt(fd, lv, nm, v, &sl);
    *l = sl;
    return r;
}
ssize_t sys_send(int fd, const void *b, size_t n, int f) { return ::send(fd, b, n, f); }
ssize_t sys_recv(int fd, void *b, size_t n, int f) { return ::recv(fd, b, n, f); }
ssize_t sys_sendto(int fd, const void *b, size_t n, int f, const sockaddr *to, unsigned tl) {
    return ::sendto(fd, b, n, f, to, tl);
}
int sys_poll(pollfd *fds, unsigned long n, int ms) { return ::poll(fds, nfds_t(n), ms); }
int sys_getaddrinfo(const char *node, const char *svc, const addrinfo *h, addrinfo **res) {
    return ::getaddrinfo(node, svc, h, res);
}

const NetSys kDefaultSys = {sys_socket,     sys_connect,    sys_close,      sys_fcntl,
                            sys_setsockopt, sys_getsockopt, sys_send,       sys_recv,
                            sys_sendto,     sys_poll,       sys_getaddrinfo};
NetSys g_sys = kDefaultSys;

thread_local int t_errno = 0;
std::atomic<int> g_icmp_kind{0};
std::atomic<uint16_t> g_icmp_seq{0};

int fail(int code) {
    t_errno = errno;
    return code;
}

using Clock = std::chrono::steady_clock;

// Milliseconds left until `until`, at least 0.
int ms_left(Clock::time_point until) {
    const auto d = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    return d.count() > 0 ? int(d.count()) : 0;
}

// The cancel event of net_connect, created once for the process.
int cancel_fd() {
    static std::once_flag once;
    static int fd = -1;
    std::call_once(once, [] { fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); });
    return fd;
}

void drain_cancel() {
    const int fd = cancel_fd();
    uint64_t v;
    if (fd >= 0) {
        while (::read(fd, &v, sizeof v) == ssize_t(sizeof v)) {}
    }
}

// Result of a connect that failed with `err`: refused or unreachable peers
// apart from other failures.
int connect_failed(int err) {
    errno = err;
    return fail(err == ECONNREFUSED || err == ENETUNREACH || err == EHOSTUNREACH ? NET_REFUSED
                                                                                 : NET_SYS);
}

// Waits for a non-blocking connect in progress on `fd`; the cancel event and
// the I/O stop end the wait.
int wait_connect(int fd, uint32_t bound_ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(bound_ms);
    for (;;) {
        pollfd p[3] = {{fd, POLLOUT, 0}, {cancel_fd(), POLLIN, 0}, {io_stop_fd(), POLLIN, 0}};
        const int wait = bound_ms ? ms_left(until) : -1;
        if (io_stop_raised()) return NET_CANCELLED;
        const int r = g_sys.poll(p, 3, wait);
        if (r < 0) {
            if (errno == EINTR) continue;
            return fail(NET_SYS);
        }
        if (r == 0) return NET_TIMEOUT;
        if (p[1].fd >= 0 && (p[1].revents & POLLIN)) {
            drain_cancel();
            return NET_CANCELLED;
        }
        if (p[2].fd >= 0 && (p[2].revents & POLLIN)) return NET_CANCELLED;
        if (p[0].revents & (POLLOUT | POLLERR | POLLHUP)) break;
    }
    int err = 0;
    unsigned len = sizeof err;
    if (g_sys.getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) return fail(NET_SYS);
    return err == 0 ? NET_OK : connect_failed(err);
}

// Internet checksum over `n` bytes.
uint16_t inet_cks(const uint8_t *p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < n; i += 2) sum += uint32_t(p[i]) << 8 | p[i + 1];
    if (n & 1) sum += uint32_t(p[n - 1]) << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

// Opens the ICMP socket: datagram first, raw as the fall-back. *kind = 1 or 2;
// 0 and *denied when neither is permitted to this process.
int open_icmp(int *kind, bool *denied) {
    *denied = false;
    int fd = g_sys.socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        *kind = 1;
        return fd;
    }
    const int dgram_err = errno;
    fd = g_sys.socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        *kind = 2;
        return fd;
    }
    t_errno = errno;
    *kind = 0;
    const auto refused = [](int e) { return e == EPERM || e == EACCES; };
    *denied = refused(dgram_err) && refused(t_errno);
    return -1;
}

// True when `pkt` (as received on a socket of `kind`) is the echo reply to id/seq.
// A datagram socket delivers the ICMP message alone and rewrites the identifier
// to its own, so only the sequence number is compared there.
bool is_our_reply(const uint8_t *pkt, size_t n, int kind, uint16_t id, uint16_t seq) {
    if (kind == 2) {
        if (n < 20) return false;
        const size_t ihl = size_t(pkt[0] & 0x0F) * 4;
        if (ihl < 20 || n < ihl) return false;
        pkt += ihl;
        n -= ihl;
    }
    if (n < 8 || pkt[0] != ICMP_ECHOREPLY) return false;
    const uint16_t rid = uint16_t(pkt[4] << 8 | pkt[5]);
    const uint16_t rseq = uint16_t(pkt[6] << 8 | pkt[7]);
    return rseq == seq && (kind == 1 || rid == id);
}

}  // namespace

NetSys &net_sys() { return g_sys; }
void net_sys_reset() { g_sys = kDefaultSys; }
int net_last_errno() { return t_errno; }

// ---------------------------------------------------------------- TCP

bool net_tcp_available() {
    int fd = -1;
    if (net_tcp_socket(&fd) != NET_OK) return false;
    net_close(&fd);
    return true;
}

int net_tcp_socket(int *fd) {
    if (!fd) return NET_BAD_ARG;
    *fd = g_sys.socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (*fd < 0) {
        *fd = -1;
        return fail(NET_SYS);
    }
    return NET_OK;
}

int net_set_blocking(int fd, bool block) {
    if (fd < 0) return NET_BAD_ARG;
    const int fl = g_sys.fcntl(fd, F_GETFL, 0);
    if (fl < 0) return fail(NET_SYS);
    const int nfl = block ? (fl & ~O_NONBLOCK) : (fl | O_NONBLOCK);
    if (nfl != fl && g_sys.fcntl(fd, F_SETFL, nfl) < 0) return fail(NET_SYS);
    return NET_OK;
}

int net_set_timeouts(int fd, uint32_t ms) {
    if (fd < 0) return NET_BAD_ARG;
    timeval tv{};
    tv.tv_sec = time_t(ms / 1000);
    tv.tv_usec = suseconds_t((ms % 1000) * 1000);
    if (g_sys.setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) < 0) return fail(NET_SYS);
    if (g_sys.setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) < 0) return fail(NET_SYS);
    return NET_OK;
}

int net_connect(int fd, uint32_t addr_be, uint16_t port, uint32_t bound_ms) {
    if (fd < 0) return NET_BAD_ARG;
    const int fl = g_sys.fcntl(fd, F_GETFL, 0);
    if (fl < 0) return fail(NET_SYS);
    if (!(fl & O_NONBLOCK) && g_sys.fcntl(fd, F_SETFL, fl | O_NONBLOCK) < 0) return fail(NET_SYS);
    drain_cancel();

    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = addr_be;
    int rc = NET_OK;
    if (g_sys.connect(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) < 0) {
        if (errno == EINPROGRESS || errno == EINTR || errno == EAGAIN)
            rc = wait_connect(fd, bound_ms);
        else
            rc = connect_failed(errno);
    }
    if (!(fl & O_NONBLOCK) && g_sys.fcntl(fd, F_SETFL, fl) < 0 && rc == NET_OK) rc = fail(NET_SYS);
    return rc;
}

void net_cancel_connect() {
    const int fd = cancel_fd();
    const uint64_t one = 1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t r = ::write(fd, &one, sizeof one);
    }
}

int net_send(int fd, const void *buf, size_t n, size_t *sent) {
    if (sent) *sent = 0;
    if (fd < 0 || !buf) return NET_BAD_ARG;
    ssize_t r;
    do {
        r = g_sys.send(fd, buf, n, MSG_NOSIGNAL);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return fail(errno == EAGAIN || errno == EWOULDBLOCK ? NET_TIMEOUT : NET_SYS);
    if (sent) *sent = size_t(r);
    return NET_OK;
}

int net_recv(int fd, void *buf, size_t n, ssize_t *got) {
    if (got) *got = -1;
    if (fd < 0 || !buf) return NET_BAD_ARG;
    // Waits for data up to the socket's receive time-out, or until the I/O
    // stop is raised, then takes what is there without blocking.
    timeval tv{};
    unsigned len = sizeof tv;
    int wait = -1;
    if (g_sys.getsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, &len) == 0 &&
        (tv.tv_sec > 0 || tv.tv_usec > 0)) {
        const long long ms = static_cast<long long>(tv.tv_sec) * 1000 + (tv.tv_usec + 999) / 1000;
        wait = ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
    }
    const auto until = Clock::now() + std::chrono::milliseconds(wait < 0 ? 0 : wait);
    for (;;) {
        if (io_stop_raised()) return NET_CANCELLED;
        pollfd p[2] = {{fd, POLLIN, 0}, {io_stop_fd(), POLLIN, 0}};
        const int r = g_sys.poll(p, 2, wait < 0 ? -1 : ms_left(until));
        if (r < 0) {
            if (errno == EINTR) continue;
            return fail(NET_SYS);
        }
        if (r == 0) {
            errno = EAGAIN;
            return fail(NET_TIMEOUT);
        }
        if (p[1].fd >= 0 && (p[1].revents & POLLIN)) return NET_CANCELLED;
        break;
    }
    ssize_t r;
    do {
        r = g_sys.recv(fd, buf, n, MSG_DONTWAIT);
    } while (r < 0 && errno == EINTR);
    if (got) *got = r;
    if (r < 0) return fail(errno == EAGAIN || errno == EWOULDBLOCK ? NET_TIMEOUT : NET_SYS);
    if (r == 0 && n > 0) return NET_CLOSED;
    return NET_OK;
}

int net_discard_input(int fd, void *buf, size_t n, size_t *got) {
    if (got) *got = 0;
    if (fd < 0 || !buf || !got) return NET_BAD_ARG;
    uint8_t *const b = static_cast<uint8_t *>(buf);
    size_t taken = 0;
    int rc = NET_OK;
    while (taken < n) {
        const ssize_t r = g_sys.recv(fd, b + taken, n - taken, MSG_DONTWAIT);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) rc = fail(NET_SYS);
            break;  // EAGAIN: nothing left
        }
        if (r == 0) {
            rc = NET_CLOSED;
            break;
        }
        taken += size_t(r);
    }
    *got = taken;
    return rc;
}

void net_close(int *fd) {
    if (!fd || *fd < 0) return;
    g_sys.close(*fd);  // Linux releases the descriptor even when close reports EINTR
    *fd = -1;
}

// ---------------------------------------------------------------- addresses and names

bool net_parse_ipv4(const char *text, uint32_t *addr_be) {
    if (!text) return false;
    uint32_t parts[4];
    const char *p = text;
    for (int i = 0; i < 4; ++i) {
        if (*p < '0' || *p > '9') return false;
        if (*p == '0' && p[1] >= '0' && p[1] <= '9') return false;  // leading zero
        uint32_t v = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + uint32_t(*p - '0');
            if (++digits > 3) return false;
            ++p;
        }
        if (v > 255) return false;
        parts[i] = v;
        if (i < 3) {
            if (*p != '.') return false;
            ++p;
        }
    }
    if (*p != '\0') return false;
    if (addr_be) {
        const uint32_t host = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
        *addr_be = htonl(host);
    }
    return true;
}

bool net_format_ipv4(uint32_t addr_be, char *out, size_t outsz) {
    if (!out || outsz == 0) return false;
    const uint32_t h = ntohl(addr_be);
    const int n = std::snprintf(out, outsz, "%u.%u.%u.%u", h >> 24, (h >> 16) & 0xFF,
                                (h >> 8) & 0xFF, h & 0xFF);
    return n > 0 && size_t(n) < outsz;
}

int net_resolve_ipv4(const char *name, char *out, size_t outsz) {
    if (!name || !*name || !out || outsz == 0) return NET_BAD_ARG;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *res = nullptr;
    if (g_sys.getaddrinfo(name, nullptr, &hints, &res) != 0 || !res) return NET_NOT_FOUND;
    int rc = NET_NOT_FOUND;
    for (const addrinfo *ai = res; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || !ai->ai_addr || ai->ai_addrlen < sizeof(sockaddr_in))
            continue;
        const auto *sin = reinterpret_cast<const sockaddr_in *>(ai->ai_addr);
        char buf[16];
        if (net_format_ipv4(sin->sin_addr.s_addr, buf, sizeof buf)) {
            std::snprintf(out, outsz, "%s", buf);  // cut to the caller's size
            rc = NET_OK;
        }
        break;
    }
    ::freeaddrinfo(res);
    return rc;
}

// ---------------------------------------------------------------- ICMP echo

int net_icmp_last_kind() { return g_icmp_kind.load(); }

int net_icmp_echo(uint32_t addr_be, const void *payload, size_t n, uint32_t timeout_ms) {
    if (n > 64 || (n && !payload)) return NET_BAD_ARG;
    int kind = 0;
    bool denied = false;
    int fd = open_icmp(&kind, &denied);
    g_icmp_kind = kind;
    if (fd < 0) return denied ? NET_DENIED : NET_SYS;

    const uint16_t id = uint16_t(::getpid() & 0xFFFF);
    const uint16_t seq = uint16_t(g_icmp_seq.fetch_add(1) + 1);
    uint8_t req[8 + 64] = {ICMP_ECHO,         0,           0, 0, uint8_t(id >> 8), uint8_t(id),
                           uint8_t(seq >> 8), uint8_t(seq)};
    if (n) std::memcpy(req + 8, payload, n);
    const uint16_t cks = inet_cks(req, 8 + n);
    req[2] = uint8_t(cks >> 8);
    req[3] = uint8_t(cks);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = addr_be;
    ssize_t s;
    do {
        s = g_sys.sendto(fd, req, 8 + n, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    } while (s < 0 && errno == EINTR);
    if (s != ssize_t(8 + n)) {
        t_errno = errno;
        net_close(&fd);
        return NET_REFUSED;
    }

    // Wait for our reply until the deadline; other ICMP traffic (on a raw socket
    // also our own request on loopback) is read and skipped.
    const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
    int rc = NET_TIMEOUT;
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {io_stop_fd(), POLLIN, 0}};
        const int r = g_sys.poll(p, 2, ms_left(until));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        if (p[1].fd >= 0 && (p[1].revents & POLLIN)) {
            rc = NET_CANCELLED;
            break;
        }
        uint8_t pkt[1500];
        const ssize_t got = g_sys.recv(fd, pkt, sizeof pkt, MSG_DONTWAIT);
        if (got > 0 && is_our_reply(pkt, size_t(got), kind, id, seq)) {
            rc = NET_OK;
            break;
        }
        if (ms_left(until) == 0) break;
    }
    net_close(&fd);
    return rc;
}

}  // namespace plat
