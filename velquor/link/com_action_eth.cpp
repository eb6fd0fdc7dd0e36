// Ethernet side of the device link: one TCP connection to a serial-to-IP
// converter on port 11111, sends and receives under per-call time-outs, and the
// ICMP echo that tests an address before every connection.
//
// The socket calls themselves live in platform/net; this module maps their
// outcomes to communication error ids. Linux needs no start or end of a socket
// layer, so eth_start only tells whether a TCP socket can be created. The connect
// is bounded by the answer time-out and can be cancelled from the main thread.
#include "velquor/link/com_link.h"

#include <cstdio>
#include <cstring>

#include "platform/net.h"
#include "velquor/util/velq_str.h"

uint8_t is_inet = 0;
char eth_echo_denied[160] = "";
uint8_t show_eth_init_err = 1;  // configuration module: report missing networking at start
const char eth_init_err_text[] = "Can't find a useable \"WinSock  DLL\"!";

namespace {

// The five bytes of the echo payload: "Ping" and its terminating zero.
constexpr char eth_ping_payload[] = "Ping";
constexpr uint32_t eth_ping_wait_ms = 1000;

// An address the link may connect to: a dotted quad that is neither 0.0.0.0
// nor the limited broadcast address.
bool eth_ip_ok(const char *ip, uint32_t *addr_be) { return ms_ipv4_addr(ip, addr_be) == 0; }

}  // namespace

bool eth_start(void) { return plat::net_tcp_available(); }

void eth_end(void) {}

uint8_t eth_probe(void) {
    is_inet = eth_start() ? 1 : 0;
    eth_end();
    return is_inet;
}

char eth_sock_tcp(int *s) {
    if (!s) return mc_e_n_comp;
    return plat::net_tcp_socket(s) == plat::NET_OK ? mc_e_ok : mc_e_nosock;
}

char eth_sock_block(int s, uint8_t block) {
    if (s == -1) return mc_e_n_comp;
    return plat::net_set_blocking(s, block != 0) == plat::NET_OK ? mc_e_ok : mc_e_n_w_compe;
}

char eth_set_timeout(int s, uint32_t ms) {
    if (s == -1) return mc_e_n_comp;
    return plat::net_set_timeouts(s, ms ? ms : 1) == plat::NET_OK ? mc_e_ok : mc_e_conf_to;
}

char eth_connect(int s, const char *ip, uint32_t /*port*/, uint32_t bound_ms) {
    if (s == -1) return mc_e_n_comp;
    uint32_t addr = 0;
    if (!eth_ip_ok(ip, &addr)) return mc_e_ip;
    const int rc =
        plat::net_connect(s, addr, uint16_t(eth_conv_port), bound_ms ? bound_ms : eth_ping_wait_ms);
    if (rc == plat::NET_OK) return mc_e_ok;
    if (rc == plat::NET_TIMEOUT || rc == plat::NET_CANCELLED) return mc_e_to;
    return mc_e_n_op_comp;
}

char eth_opensoc_tcp(int *s, const char *ip, uint32_t port, uint8_t to, uint32_t multi) {
    if (!s) return mc_e_n_comp;
    if (!eth_ip_ok(ip, nullptr)) return mc_e_ip;
    if (!eth_start()) return mc_e_n_op_comp;
    char rv = eth_sock_tcp(s);
    if (rv == mc_e_ok && eth_sock_block(*s, 1) != mc_e_ok) rv = mc_e_n_op_comp;
    if (rv == mc_e_ok) rv = eth_connect(*s, ip, port, uint32_t(to) * multi);
    if (rv == mc_e_ok && eth_sock_block(*s, 1) != mc_e_ok) rv = mc_e_n_op_comp;
    // A failed opening leaves no socket behind: the caller's variable is -1 again.
    if (rv != 0) plat::net_close(s);
    return rv;
}

void eth_closesoc(int *s) {
    if (!s) return;
    plat::net_close(s);
    eth_end();
}

char eth_send(int s, const uint8_t *buf, uint32_t n) {
    if (s == -1) return mc_e_w_dat;
    if (!buf || n == 0 || n > eth_buffer_size) return mc_e_no_buff;
    size_t sent = 0;
    if (plat::net_send(s, buf, n, &sent) != plat::NET_OK) return mc_e_w_dat;
    return sent == n ? mc_e_ok : mc_e_w_dat;
}

char eth_recv(int s, uint8_t *buf, uint32_t n, int32_t *got) {
    if (!buf || n == 0) return mc_e_no_buff;
    if (s == -1) return mc_e_n_comp;
    ssize_t r = -1;
    const int rc = plat::net_recv(s, buf, n, &r);
    if (rc == plat::NET_CLOSED) return mc_e_to;
    if (got) *got = int32_t(r);
    if (rc != plat::NET_OK) return mc_e_r_dat;
    return r == ssize_t(n) ? mc_e_ok : mc_e_r_dat;
}

char eth_ping_ip(const char *ip) {
    uint32_t addr = 0;
    // Any dotted quad is pinged; the connect after it refuses 0.0.0.0 and the broadcast.
    if (ms_ipv4_addr(ip, &addr) == 1) return mc_e_miss_path;
    const int rc =
        plat::net_icmp_echo(addr, eth_ping_payload, sizeof eth_ping_payload, eth_ping_wait_ms);
    if (rc == plat::NET_OK) return mc_e_ok;
    if (rc == plat::NET_DENIED) {
        // An ordinary user without ICMP sockets (no CAP_NET_RAW, a ping group
        // range that leaves them out): go on without the echo, say why once.
        static bool logged = false;
        if (!eth_echo_denied[0])
            std::snprintf(eth_echo_denied, sizeof eth_echo_denied,
                          "ICMP echo not permitted for this user (%s): connecting without it",
                          std::strerror(plat::net_last_errno()));
        if (!logged && fpc) {
            mc_log_note(eth_echo_denied);
            logged = true;
        }
        return mc_e_ok;
    }
    if (rc == plat::NET_SYS) return mc_e_no_buff;
    return mc_e_n_op_comp;  // no reply, or the request could not even be sent (no route)
}

void eth_cancel_blocking_call(void) { plat::net_cancel_connect(); }

char eth_resolve_ipv4(const char *name, char *out, uint32_t n) {
    return plat::net_resolve_ipv4(name, out, n) == plat::NET_OK ? mc_e_ok : mc_e_ip;
}
