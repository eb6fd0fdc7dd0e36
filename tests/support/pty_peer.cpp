// Test support: the scripted pty peer and the frame transport over the slave
// side (see pty_peer.h).
#include "pty_peer.h"

#include "test_util.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "velquor/link/com_action.h"

namespace {

constexpr int slice_ms = 10;  // poll slice, so that stop requests are seen

// The good answer to a 10-byte request with the given command (-1 = the
// request's) and value.
std::vector<uint8_t> pp_answer_frame(const uint8_t *req, int32_t cmd, uint16_t val) {
    std::vector<uint8_t> a(zelb_frame_len, 0);
    if (!req) return a;
    const uint32_t c = cmd >= 0 ? uint32_t(cmd) : uint32_t(req[3] + 256u * req[4]);
    create_zelb_buffer(a.data(), req[2], startc, stopc_ack, val, c);
    return a;
}

// Reads one 10-byte request from the master; false when stopped or the slave
// side went away.
bool read_request(pty_peer *p, uint8_t *req) {
    size_t got = 0;
    while (got < zelb_frame_len) {
        if (p->stop.load()) return false;
        pollfd q{p->master, POLLIN, 0};
        const int r = ::poll(&q, 1, slice_ms);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) continue;
        const ssize_t n = ::read(p->master, req + got, zelb_frame_len - got);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

std::vector<uint8_t> reply_bytes(const pp_step &s, const uint8_t *req) {
    std::vector<uint8_t> a = pp_answer_frame(req, s.cmd, s.val);
    switch (s.reply) {
    case PP_ANSWER: return a;
    case PP_ECHO: return std::vector<uint8_t>(req, req + zelb_frame_len);
    case PP_SILENT: return {};
    case PP_SHORT: a.resize(s.k < a.size() ? s.k : a.size()); return a;
    case PP_BAD_CKS: a[7] = uint8_t(a[7] + 1); return a;
    case PP_BAD_END: a[8] = 0xFF; return a;
    case PP_BAD_CKS_END:
        a[7] = uint8_t(a[7] + 1);
        a[8] = 0xFF;
        return a;
    case PP_RAW: return s.raw;
    }
    return {};
}

void peer_main(pty_peer *p) {
    uint64_t rx = 0;
    for (const pp_step &s : p->script) {
        uint8_t req[zelb_frame_len];
        if (!read_request(p, req)) return;
        rx += zelb_frame_len;
        {
            std::lock_guard<std::mutex> lk(p->mu);
            p->requests.emplace_back(req, req + zelb_frame_len);
        }
        const std::vector<uint8_t> out = reply_bytes(s, req);
        if (!out.empty() && !tu_write_all(p->master, out.data(), out.size())) return;
        p->tx_total.fetch_add(out.size());
        p->rx_handled.store(rx);
        p->steps_done.fetch_add(1);
    }
}

// ---- the seam over one descriptor

int seam_fd = -1;
uint32_t seam_timeout_ms = 0;
pty_peer *seam_peer = nullptr;
uint64_t seam_tx = 0;         // bytes written through the seam since binding
uint64_t seam_rx = 0;         // bytes read or discarded through the seam since binding
uint64_t seam_discarded = 0;  // bytes discarded through the seam since binding

char seam_write(const uint8_t *buff, uint32_t nbuff) {
    if (!buff || nbuff == 0) return 10;
    if (seam_fd < 0) return 6;
    if (!tu_write_all(seam_fd, buff, nbuff)) return 7;
    seam_tx += nbuff;
    return 0;
}

// True when the peer has answered every request and all its bytes were read.
bool peer_is_quiet(void) {
    return seam_peer && seam_peer->rx_handled.load() >= seam_tx &&
           seam_rx >= seam_peer->tx_total.load();
}

char seam_read(uint8_t *buff, uint32_t nbuff, uint32_t *nread) {
    if (nread) *nread = 0;
    if (!buff || nbuff == 0) return 10;
    if (seam_fd < 0) return 6;
    uint32_t got = 0;
    auto last = std::chrono::steady_clock::now();
    while (got < nbuff) {
        if (peer_is_quiet()) break;
        pollfd q{seam_fd, POLLIN, 0};
        const int r = ::poll(&q, 1, slice_ms);
        if (r < 0 && errno != EINTR) break;
        if (r > 0) {
            const ssize_t n = ::read(seam_fd, buff + got, nbuff - got);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) break;
            got += uint32_t(n);
            seam_rx += uint64_t(n);
            last = std::chrono::steady_clock::now();
            continue;
        }
        const auto idle = std::chrono::steady_clock::now() - last;
        if (idle >= std::chrono::milliseconds(seam_timeout_ms)) break;
    }
    if (nread) *nread = got;
    return got == nbuff ? 0 : 12;
}

char seam_discard(void) {
    if (seam_fd < 0) return 6;
    for (;;) {
        pollfd q{seam_fd, POLLIN, 0};
        const int r = ::poll(&q, 1, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0 || !(q.revents & POLLIN)) return 0;
        uint8_t b[64];
        const ssize_t n = ::read(seam_fd, b, sizeof b);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        seam_rx += uint64_t(n);
        seam_discarded += uint64_t(n);
    }
}

// ---- the peer

bool pp_open(pty_peer *p) {
    if (!p) return false;
    termios t{};
    cfmakeraw(&t);
    if (::openpty(&p->master, &p->slave, nullptr, &t, nullptr) != 0) return false;
    return true;
}

void pp_run(pty_peer *p, std::vector<pp_step> script) {
    if (!p || p->master < 0 || p->th.joinable()) return;
    p->script = std::move(script);
    p->stop = false;
    p->th = std::thread(peer_main, p);
}

void pp_close(pty_peer *p) {
    if (!p) return;
    p->stop = true;
    if (p->th.joinable()) p->th.join();
    if (p->slave >= 0) ::close(p->slave);
    if (p->master >= 0) ::close(p->master);
    p->slave = p->master = -1;
}

void pp_seam_bind(int fd, uint32_t timeout_ms, pty_peer *peer) {
    seam_fd = fd;
    seam_timeout_ms = timeout_ms;
    seam_peer = peer;
    seam_tx = seam_rx = seam_discarded = 0;
    mc_frame_discard = seam_discard;
    mc_frame_write = seam_write;
    mc_frame_read = seam_read;
}

void pp_seam_unbind(void) {
    mc_frame_transport_reset();
    seam_fd = -1;
    seam_peer = nullptr;
}

}  // namespace

bool pp_wait_done(pty_peer *p, uint32_t timeout_ms) {
    return p &&
           tu_wait_until([p] { return p->steps_done.load() >= p->script.size(); }, int(timeout_ms));
}

std::vector<std::vector<uint8_t>> pp_requests(pty_peer *p) {
    if (!p) return {};
    std::lock_guard<std::mutex> lk(p->mu);
    return p->requests;
}

bool pp_put(pty_peer *p, const std::vector<uint8_t> &b, uint32_t timeout_ms) {
    if (!p || p->master < 0 || !tu_write_all(p->master, b.data(), b.size())) return false;
    p->tx_total.fetch_add(b.size());
    return pp_wait_input(p, b.size(), timeout_ms);
}

// The pty hands bytes to the slave side on its own time.
bool pp_wait_input(pty_peer *p, size_t n, uint32_t timeout_ms) {
    return p && tu_wait_until(
                    [p, n] {
                        int waiting = 0;
                        return ::ioctl(p->slave, FIONREAD, &waiting) == 0 && size_t(waiting) >= n;
                    },
                    int(timeout_ms));
}

uint64_t pp_discarded(void) { return seam_discarded; }

pp_scripted::pp_scripted(std::vector<pp_step> steps, uint32_t timeout_ms) {
    EXPECT_TRUE(pp_open(&p));
    pp_run(&p, std::move(steps));
    pp_seam_bind(p.slave, timeout_ms, &p);
}

pp_scripted::~pp_scripted() {
    pp_seam_unbind();
    pp_close(&p);
}

std::vector<uint16_t> pp_scripted::cmds() {
    std::vector<uint16_t> out;
    for (const std::vector<uint8_t> &r : pp_requests(&p))
        if (r.size() >= 5) out.push_back(static_cast<uint16_t>(r[3] | r[4] << 8));
    return out;
}
