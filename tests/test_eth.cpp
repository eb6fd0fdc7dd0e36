// Ethernet transport: ICMP echo (datagram socket, raw fall-back, no reply), the
// bounded and cancellable connect, the fixed converter port, send and receive
// limits, and host-name resolution. Listeners live on 127.0.7.x, distinct from
// every other test program; waits are bounded by seconds, never asserted on.
#include "platform/net.h"
#include "support/test_util.h"
#include "velquor/link/com_link.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <atomic>
#include <thread>
#include <vector>

namespace {

uint32_t addr_of(const char *a) {
    uint32_t v = 0;
    EXPECT_TRUE(plat::net_parse_ipv4(a, &v)) << a;
    return v;
}

// Fills the accept queue of a listener that never accepts, so that the next
// connect gets no answer to its SYN. Returns the client sockets.
std::vector<int> fill_backlog(uint32_t addr, uint16_t port) {
    std::vector<int> cl;
    for (int i = 0; i < 16; ++i) {
        int fd = -1;
        plat::net_tcp_socket(&fd);
        const int rc = plat::net_connect(fd, addr, port, 300);
        cl.push_back(fd);
        if (rc != plat::NET_OK) break;  // this one is already left hanging
    }
    return cl;
}

// Whether an ICMP socket of this type (SOCK_DGRAM, SOCK_RAW) may be had here.
bool icmp_allowed(int type) {
    const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

int refuse_dgram(int d, int t, int p) {
    if ((t & 0xFF) == SOCK_DGRAM) {
        errno = EACCES;
        return -1;
    }
    return ::socket(d, t, p);
}
int refuse_all(int, int, int) {
    errno = EACCES;
    return -1;
}
int no_descriptors(int, int, int) {
    errno = EMFILE;
    return -1;
}
int poll_never(pollfd *, unsigned long, int) { return 0; }
int connect_pending(int, const sockaddr *, unsigned) {
    errno = EINPROGRESS;
    return -1;
}

struct EthTest : ::testing::Test {
    void TearDown() override { plat::net_sys_reset(); }
};

TEST_F(EthTest, PingAddressText) {
    struct Row {
        int no;
        const char *ip;
        char rv;
    };
    const Row rows[] = {
        {1, nullptr, 2},      {2, "", 2},          {3, "192.168.1.300", 2},
        {4, "127.0.0.01", 2}, {5, "localhost", 2}, {6, "127.0.0.1 ", 2},
    };
    // Nothing may be sent for a bad text: an ICMP socket would fail the row.
    plat::net_sys().socket = refuse_all;
    for (const Row &r : rows) EXPECT_EQ(eth_ping_ip(r.ip), r.rv) << "row " << r.no;
}

// A loopback ping answers through a datagram ICMP socket, or through a raw
// one where datagram ICMP is refused; with no reply it fails with 3. Where
// this user may have neither socket, the echo is left out (0) and the reason
// kept; a socket that cannot be had for another reason (no descriptors left)
// fails with 10. What this machine allows decides which socket a row gets.
TEST_F(EthTest, PingThroughWhicheverSocketIsAllowed) {
    const int dgram = icmp_allowed(SOCK_DGRAM) ? 1 : 0, raw = icmp_allowed(SOCK_RAW) ? 2 : 0;
    const int any = dgram ? dgram : raw;
    struct Row {
        int no;
        int (*socket)(int, int, int);
        int (*poll)(pollfd *, unsigned long, int);
        int kind;  // the socket used, 0 none
        char rv;
        bool denied;  // the echo is left out
    } rows[] = {
        {1, nullptr, nullptr, any, 0, !any},
        {2, refuse_dgram, nullptr, raw, 0, !raw},
        {3, refuse_all, nullptr, 0, 0, true},
        {4, no_descriptors, nullptr, 0, 10, false},
        {5, nullptr, poll_never, any, char(any ? 3 : 0), !any},  // the deadline passes
    };
    for (const Row &r : rows) {
        plat::net_sys_reset();
        eth_echo_denied[0] = '\0';
        if (r.socket) plat::net_sys().socket = r.socket;
        if (r.poll) plat::net_sys().poll = r.poll;
        EXPECT_EQ(eth_ping_ip("127.0.0.1"), r.rv) << "row " << r.no;
        EXPECT_EQ(plat::net_icmp_last_kind(), r.kind) << "row " << r.no;
        EXPECT_EQ(eth_echo_denied[0] != '\0', r.denied) << "row " << r.no;
        if (r.denied) {
            EXPECT_NE(std::strstr(eth_echo_denied, "not permitted"), nullptr) << eth_echo_denied;
        }
    }
    eth_echo_denied[0] = '\0';
}

// A listener on 127.0.7.1 whose accept queue is full, and a fresh socket fd.
struct FullBacklog : EthTest {
    uint16_t port = 0;
    int lfd = -1, fd = -1;
    uint32_t a = 0;
    std::vector<int> cl;
    void SetUp() override {
        lfd = tu_listen("127.0.7.1", 0, 0, &port);
        ASSERT_GE(lfd, 0);
        a = addr_of("127.0.7.1");
        cl = fill_backlog(a, port);
        ASSERT_EQ(plat::net_tcp_socket(&fd), plat::NET_OK);
    }
    void TearDown() override {
        plat::net_close(&fd);
        for (int &c : cl) plat::net_close(&c);
        if (lfd >= 0) ::close(lfd);
        EthTest::TearDown();
    }
};

TEST_F(FullBacklog, ConnectIsBounded) {
    EXPECT_EQ(plat::net_connect(fd, a, port, 300), plat::NET_TIMEOUT);
}

TEST_F(FullBacklog, ConnectCancelledFromAnotherThread) {
    std::atomic<bool> done{false};
    // A cancel raised before the connect starts is dropped, so keep raising it.
    std::thread t([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            eth_cancel_blocking_call();
        }
    });
    const int rc = plat::net_connect(fd, a, port, 30000);
    done = true;
    t.join();
    EXPECT_EQ(rc, plat::NET_CANCELLED);
}

TEST_F(EthTest, OpenTimesOutAsEightAndLeavesNoSocket) {
    plat::net_sys().connect = connect_pending;
    plat::net_sys().poll = poll_never;
    int s = -1;
    EXPECT_EQ(eth_opensoc_tcp(&s, "127.0.7.1", 11111, 1, 100), 8);
    EXPECT_EQ(s, -1);
}

TEST_F(EthTest, OpenArguments) {
    int s = -1;
    EXPECT_EQ(eth_opensoc_tcp(nullptr, "127.0.7.1", 11111, 1, 1000), 6);
    EXPECT_EQ(eth_opensoc_tcp(&s, "", 11111, 1, 1000), 23);
    EXPECT_EQ(eth_opensoc_tcp(&s, "0.0.0.0", 11111, 1, 1000), 23);
    EXPECT_EQ(eth_opensoc_tcp(&s, "255.255.255.255", 11111, 1, 1000), 23);
    plat::net_sys().socket = refuse_all;
    EXPECT_EQ(eth_opensoc_tcp(&s, "127.0.7.1", 11111, 1, 1000), 3);  // no socket layer
    EXPECT_EQ(s, -1);
    // Nothing listens on 127.0.7.3:11111: refused at once.
    plat::net_sys_reset();
    EXPECT_EQ(eth_opensoc_tcp(&s, "127.0.7.3", 11111, 5, 1000), 3);
    EXPECT_EQ(s, -1);
}

TEST_F(EthTest, ConnectAlwaysUsesConverterPort) {
    const int lfd = tu_listen("127.0.7.2", 11111, 4);
    ASSERT_GE(lfd, 0) << "127.0.7.2:11111 in use";
    int s = -1;
    ASSERT_EQ(eth_sock_tcp(&s), 0);
    EXPECT_EQ(eth_connect(s, "127.0.7.2", 80, 5000), 0);
    const int acc = ::accept(lfd, nullptr, nullptr);
    EXPECT_GE(acc, 0);

    // Send limits and the receive outcomes on this connection.
    std::vector<uint8_t> big(1025, 0x5A);
    EXPECT_EQ(eth_send(s, big.data(), 1025), 10);
    EXPECT_EQ(eth_send(s, big.data(), 1024), 0);
    EXPECT_EQ(eth_send(s, big.data(), 0), 10);
    EXPECT_EQ(eth_send(-1, big.data(), 4), 7);
    EXPECT_EQ(tu_read_n(acc, 1024).size(), 1024u);

    uint8_t b[4];
    int32_t cnt = 77;
    ASSERT_EQ(eth_set_timeout(s, 100), 0);
    EXPECT_EQ(eth_recv(s, b, 1, &cnt), 11);  // time-out
    EXPECT_EQ(cnt, -1);
    ASSERT_EQ(::write(acc, "\x01\x02", 2), 2);
    EXPECT_EQ(eth_recv(s, b, 4, &cnt), 11);  // short
    EXPECT_EQ(cnt, 2);
    ::close(acc);
    cnt = 77;
    EXPECT_EQ(eth_recv(s, b, 1, &cnt), 8);  // peer closed
    EXPECT_EQ(cnt, 77);
    EXPECT_EQ(eth_recv(s, nullptr, 1, &cnt), 10);
    EXPECT_EQ(eth_recv(-1, b, 1, &cnt), 6);

    eth_closesoc(&s);
    EXPECT_EQ(s, -1);
    eth_closesoc(&s);  // -1: only the layer is ended
    EXPECT_EQ(s, -1);
    ::close(lfd);
}

TEST_F(EthTest, HandleChecks) {
    EXPECT_EQ(eth_sock_tcp(nullptr), 6);
    EXPECT_EQ(eth_sock_block(-1, 1), 6);
    EXPECT_EQ(eth_set_timeout(-1, 100), 6);
    EXPECT_EQ(eth_connect(-1, "127.0.7.1", 11111, 100), 6);
    plat::net_sys().socket = refuse_all;
    int s = 5;
    EXPECT_EQ(eth_sock_tcp(&s), 25);
    EXPECT_EQ(s, -1);
    EXPECT_EQ(eth_probe(), 0);
    plat::net_sys_reset();
    EXPECT_EQ(eth_probe(), 1);
}

TEST_F(EthTest, ResolvesLocalHostName) {
    char ip[25] = "x";
    ASSERT_EQ(eth_resolve_ipv4("localhost", ip, sizeof ip), 0);
    EXPECT_STREQ(ip, "127.0.0.1");
    char small[4];
    EXPECT_EQ(eth_resolve_ipv4("localhost", small, sizeof small), 0);
    EXPECT_STREQ(small, "127");  // cut to the buffer
    EXPECT_EQ(eth_resolve_ipv4("no-such-host.invalid", ip, sizeof ip), 23);
}

}  // namespace
