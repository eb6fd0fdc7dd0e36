// IPv4 sockets and ICMP echo.
//
// The device link reaches serial-to-IP converters over TCP and tests an address
// with one ICMP echo before it connects. This layer is the only place that knows
// the Linux socket calls; the program above it sees small result codes and plain
// descriptors (-1 = no socket).
//
// Connecting is bounded: the socket is switched to non-blocking mode for the
// attempt and the layer waits for the outcome with poll, at most the bound, and
// also on a cancel event that another thread may raise (net_cancel_connect).
// A receive waits in poll for the socket's receive time-out (SO_RCVTIMEO); a
// send is one system call under the send time-out; the discard of what is
// waiting in the input never waits. An interrupted call is retried. The I/O
// stop (io_stop.h) ends a connect, a receive and an echo wait at once.
//
// ICMP echo uses the unprivileged ICMP datagram socket where the system allows
// it (net.ipv4.ping_group_range), otherwise a raw ICMP socket (CAP_NET_RAW). Any
// echo reply that carries our identifier and sequence number counts.
//
// Every system call goes through net_sys(), a table that tests may replace to
// make a connect hang, a socket call fail or a send come up short.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdint>

struct pollfd;
struct sockaddr;
struct addrinfo;

namespace plat {

// Result of the net functions: 0 ok, else one of these.
enum NetResult : int {
    NET_OK = 0,
    NET_BAD_ARG = 1,    // missing pointer, -1 socket, malformed address
    NET_SYS = 2,        // a socket call failed (see net_last_errno)
    NET_TIMEOUT = 3,    // the bound or the socket's time-out ran out
    NET_REFUSED = 4,    // connect: the peer refused or is unreachable
    NET_CANCELLED = 5,  // net_cancel_connect was called, or the I/O stop is raised
    NET_CLOSED = 6,     // recv: the peer closed the connection
    NET_NOT_FOUND = 7,  // resolve: the name has no IPv4 address
    NET_DENIED = 8,     // ICMP: this process may open no ICMP socket (see net_last_errno)
};

// True when this process can create an IPv4 TCP socket (the socket layer is usable).
bool net_tcp_available();

// Creates an IPv4 stream socket with protocol TCP (close-on-exec). *fd = -1 on failure.
int net_tcp_socket(int *fd);
// Blocking (true) or non-blocking (false) mode.
int net_set_blocking(int fd, bool block);
// Sets both the receive and the send time-out to `ms` (0 = wait without limit,
// as the socket option itself means it).
int net_set_timeouts(int fd, uint32_t ms);
// Connects to `addr_be` (network byte order) on `port`, waiting at most `bound_ms`
// (0 = no bound). The socket's blocking mode is the same afterwards as before.
// NET_TIMEOUT when the bound ran out, NET_CANCELLED after net_cancel_connect,
// NET_REFUSED / NET_SYS on other failures.
int net_connect(int fd, uint32_t addr_be, uint16_t port, uint32_t bound_ms);
// Ends a connect that is waiting in another thread (it reports NET_CANCELLED).
// A cancel raised while no connect waits is dropped by the next connect.
void net_cancel_connect();
// One send call of all `n` bytes (no SIGPIPE); *sent = bytes accepted, 0 on failure.
int net_send(int fd, const void *buf, size_t n, size_t *sent);
// One receive of up to `n` bytes, waiting at most the receive time-out. *got =
// bytes received; 0 with NET_CLOSED when the peer closed; -1 with NET_TIMEOUT,
// NET_CANCELLED (the I/O stop) or NET_SYS when nothing came.
int net_recv(int fd, void *buf, size_t n, ssize_t *got);
// Takes what is waiting in the input without waiting for more: non-blocking
// receives until nothing is left or `n` bytes were taken; *got = bytes stored in
// buf, so the caller can log what it drops. A caller that wants the input empty
// calls again while *got == n. NET_CLOSED when the peer has closed, NET_SYS when
// a receive failed (each with *got bytes taken before).
int net_discard_input(int fd, void *buf, size_t n, size_t *got);
// Closes *fd when it is not -1 and sets it to -1. Nothing for nullptr.
void net_close(int *fd);

// Parses a dotted IPv4 address in canonical form (four numbers 0..255, no leading
// zeros, no blanks). On success *addr_be (when given) is the address in network
// byte order.
bool net_parse_ipv4(const char *text, uint32_t *addr_be);
// Prints `addr_be` as "a.b.c.d" into out (outsz >= 16); false when it does not fit.
bool net_format_ipv4(uint32_t addr_be, char *out, size_t outsz);
// Resolves a host name with the system resolver to its first IPv4 address,
// written dotted into out (at most outsz-1 characters and a NUL).
int net_resolve_ipv4(const char *name, char *out, size_t outsz);

// Sends one ICMP echo request with `payload` (at most 64 bytes) to `addr_be` and
// waits at most `timeout_ms` for the reply. NET_OK on a reply, NET_TIMEOUT when
// none came, NET_REFUSED when the request could not be sent (no route),
// NET_DENIED when this process may open no ICMP socket (neither kind is
// permitted), NET_SYS when none could be opened for another reason.
int net_icmp_echo(uint32_t addr_be, const void *payload, size_t n, uint32_t timeout_ms);
// Which socket the last net_icmp_echo used: 0 none, 1 datagram, 2 raw.
int net_icmp_last_kind();

// errno of the last failing system call in this thread (for logs), 0 if none.
int net_last_errno();

// System calls used by this layer, swappable by tests (net_sys_reset restores).
struct NetSys {
    int (*socket)(int domain, int type, int protocol);
    int (*connect)(int fd, const ::sockaddr *addr, unsigned len);
    int (*close)(int fd);
    int (*fcntl)(int fd, int cmd, int arg);
    int (*setsockopt)(int fd, int level, int name, const void *val, unsigned len);
    int (*getsockopt)(int fd, int level, int name, void *val, unsigned *len);
    ssize_t (*send)(int fd, const void *buf, size_t n, int flags);
    ssize_t (*recv)(int fd, void *buf, size_t n, int flags);
    ssize_t (*sendto)(int fd, const void *buf, size_t n, int flags, const ::sockaddr *to,
                      unsigned tolen);
    int (*poll)(::pollfd *fds, unsigned long nfds, int timeout_ms);
    int (*getaddrinfo)(const char *node, const char *service, const ::addrinfo *hints,
                       ::addrinfo **res);
};
NetSys &net_sys();
void net_sys_reset();

}  // namespace plat
