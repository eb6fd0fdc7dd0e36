// Test support for the simulator's own tests (see zs_client.h).
#include "zs_client.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "test_util.h"

zc_bytes zc_frame(uint8_t addr, uint16_t cmd, uint16_t val, uint8_t end) {
    zc_bytes f = {
        0xAA, 0x55, addr, uint8_t(cmd), uint8_t(cmd >> 8), uint8_t(val), uint8_t(val >> 8)};
    f.push_back(uint8_t(f[2] + f[3] + f[4] + f[5] + f[6]));
    f.push_back(end);
    f.push_back(0x00);
    return f;
}

const zc_bytes zc_ping = zc_frame(0, 0x5000, 0x5500);

int zc_open_port(const std::string &path, speed_t speed, bool two_stop) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    if (fd < 0 || tcgetattr(fd, &t) != 0) return fd;
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~tcflag_t(CSTOPB);  // the pty keeps what the opener before set
    t.c_cflag |= CLOCAL | CREAD | PARENB | (two_stop ? CSTOPB : 0);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

bool zc_set_rate(int fd, speed_t speed) {
    termios t{};
    return tcgetattr(fd, &t) == 0 && cfsetispeed(&t, speed) == 0 && cfsetospeed(&t, speed) == 0 &&
           tcsetattr(fd, TCSANOW, &t) == 0;
}

int zc_parse(std::vector<const char *> args, zs_config *c, std::string *err) {
    args.insert(args.begin(), "zelbsim");
    return zs_parse_args(int(args.size()), args.data(), c, err);
}

zs_line_cfg zc_line(int monitors, zs_transport kind) {
    zs_line_cfg l;
    l.kind = kind;
    l.port = 0;
    zs_line_set_count(&l, monitors);
    for (zs_monitor &m : l.mons) m.restart_ms = 50;
    return l;
}

int zc_connect(zs_sim *sim, int line) { return tu_connect("127.0.0.1", zs_tcp_port(sim, line)); }

zc_sim::zc_sim(std::vector<zs_line_cfg> lines, speed_t speed) {
    zs_config c;
    c.lines = std::move(lines);
    monitors = c.lines.empty() ? 0 : int(c.lines[0].mons.size());
    std::string err;
    EXPECT_EQ(zs_start(c, &sim, &err), ZS_OK) << err;
    if (!sim) return;
    const zs_line_cfg &l = c.lines[0];
    fd = l.kind == ZS_TCP ? zc_connect(sim, 0)
                          : zc_open_port(l.link.empty() ? zs_slave_path(sim, 0) : l.link, speed);
    EXPECT_GE(fd, 0);
}

namespace {
std::vector<zs_line_cfg> lines_of(const std::vector<const char *> &args) {
    zs_config c;
    std::string err;
    EXPECT_EQ(zc_parse(args, &c, &err), ZS_OK) << err;
    return c.lines;
}
}  // namespace

zc_sim::zc_sim(const std::vector<const char *> &args, speed_t speed)
    : zc_sim(lines_of(args), speed) {}

zc_sim::~zc_sim() {
    if (fd >= 0) close(fd);
    zs_stop(&sim);
}

void zc_sim::send(const zc_bytes &b) { EXPECT_TRUE(tu_write_all(fd, b.data(), b.size())); }

zc_bytes zc_sim::read(size_t n) { return tu_read_n(fd, n); }

zc_bytes zc_sim::ask(const zc_bytes &req, size_t n) {
    send(req);
    return read(n);
}

// Any frame for the ping command will do: the frames left unanswered are never pings.
bool zc_sim::unanswered(const zc_bytes &req) {
    send(req);
    const zc_bytes got = ask(zc_ping);
    return got.size() == 10 && got[2] == monitors && got[3] == 0x00 && got[4] == 0x50;
}

bool zc_sim::dropped(const zc_bytes &req) {
    const uint64_t seq = zs_last_seq(sim);
    send(req);
    return zs_wait_event(sim, ZS_EV_RX_BAD, -1, seq, tu_wait_ms) == ZS_OK;
}

int zc_sim::value(uint8_t addr, uint16_t cmd, uint16_t val) {
    const uint8_t from = uint8_t(addr ? addr : monitors);
    const zc_bytes got = ask(zc_frame(addr, cmd, val));
    if (got == zc_refusal(from, cmd, val)) return zc_refused;
    if (got.size() != 10) return zc_no_answer;
    const uint16_t v = uint16_t(got[5] | got[6] << 8);
    return got == zc_ack(from, cmd, v) ? v : zc_no_answer;
}

void zc_sim::run(const std::vector<zc_step> &steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const zc_step &t = steps[i];
        EXPECT_EQ(value(t.addr, t.cmd, t.val), t.want) << "step " << i << ": " << t.what;
    }
}

zs_image zc_sim::image() {
    zs_image img;
    EXPECT_EQ(zs_get_image(sim, 0, &img), ZS_OK);
    return img;
}
