// The running simulation: its transports, its thread and the functions users call.
//
// A pty line keeps the master of a pseudo-terminal pair; the program opens the slave (through
// a symlink when one was named). Before each read the slave's line settings are read back
// through the master, so the bytes are judged under the settings they were sent with; while a
// client has the slave open and the line is quiet they are looked at every 100 ms.
// While no one has the slave open the master reports a hang-up, and keeps reporting it, so it
// is not polled then; what would go out is thrown away, as a serial port does with nobody
// listening. An inotify watch on the slave wakes the thread when someone opens or closes it;
// the master's hang-up state, looked at after that, says whether a client is there (the
// events only say when to look: they can merge and carry no count). The slave is opened and
// closed once at the start, so that the master reports the hang-up before the first client
// too (a slave never opened shows none). Where no watch can be had, the thread looks every
// 20 ms instead.
// A TCP line listens for converter clients; a new client replaces the one before it.
//
// One thread polls every descriptor, the inotify descriptor and a wake-up eventfd. It holds
// the simulation's mutex except while it sleeps in ppoll, so user calls from other threads
// see consistent state. With nothing due it sleeps until a descriptor wakes it.
//
// Sections: ports; thread; start and stop; queries and settings; texts.
#include "zs_internal.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>

enum : size_t { ZS_WPEND_MAX = 1 << 20, ZS_READ_CHUNK = 4096 };
enum : int64_t { ZS_HUP_RETRY_US = 20000, ZS_SETTINGS_POLL_US = 100000 };

struct zs_port {
    int master = -1;        // pty master
    std::string slave;      // its slave's path
    std::string link;       // the symlink made to it ("" = none)
    bool hup = false;       // nobody has the slave open
    int wd = -1;            // pty: inotify watch on the slave; -1 = none, look every 20 ms
    bool look = false;      // pty: the slave was opened or closed since the last look
    int64_t check_due = 0;  // pty: when settings and hang-up are next looked at (us)
    int listen_fd = -1;     // TCP listener
    int conn = -1;          // TCP client
    uint16_t port = 0;
    uint64_t conn_rx = 0;          // bytes received from the current client
    std::vector<bool> drop_armed;  // per fault rule: a drop rule won its chance for this client
    std::vector<uint8_t> wpend;    // bytes due but not yet written
};

struct zs_sim {
    std::mutex mu;
    std::condition_variable cv;
    pthread_t th{};
    bool running = false;
    int wake = -1;
    int notify = -1;  // inotify: opens and closes of the pty slaves
    bool stop = false;
    std::vector<zs_line> lines;
    std::vector<zs_port> ports;
    zs_log log;
    std::chrono::steady_clock::time_point t0;
    bool own_logf = false;
};

static int64_t sim_now(const zs_sim *s) {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 s->t0)
        .count();
}

static std::string errno_text(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// ---- ports --------------------------------------------------------------------------------

// mkdir -p of the directory part of `path`.
static void make_parents(const std::string &path) {
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
}

static int make_link(const std::string &target, const std::string &link, std::string *err) {
    make_parents(link);
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *err = link + ": exists and is not a symlink";
            return ZS_EXISTS;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) < 0) {
        *err = errno_text(("symlink " + link).c_str());
        return ZS_SYS;
    }
    return ZS_OK;
}

// Removes the symlink when it still points at our slave.
static void remove_link(const zs_port &p) {
    if (p.link.empty()) return;
    char buf[512];
    const ssize_t n = readlink(p.link.c_str(), buf, sizeof buf - 1);
    if (n < 0) return;
    buf[n] = 0;
    if (p.slave == buf) unlink(p.link.c_str());
}

static int open_pty(zs_port *p, const std::string &link, std::string *err) {
    const int m = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m < 0) {
        *err = errno_text("posix_openpt");
        return ZS_SYS;
    }
    char name[128];
    if (grantpt(m) < 0 || unlockpt(m) < 0 || ptsname_r(m, name, sizeof name) != 0) {
        *err = errno_text("pty");
        close(m);
        return ZS_SYS;
    }
    // Raw 9600 baud until the program sets its own: a fresh pty echoes and edits lines.
    struct termios t;
    if (tcgetattr(m, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        t.c_cflag |= CLOCAL | CREAD;
        tcsetattr(m, TCSANOW, &t);
    }
    p->master = m;
    p->slave = name;
    // Opened and closed once, so that the master reports the hang-up until a client opens it.
    const int sl = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (sl < 0) {
        *err = errno_text(name);
        return ZS_SYS;
    }
    close(sl);
    p->hup = true;
    if (!link.empty()) {
        const int rc = make_link(p->slave, link, err);
        if (rc) return rc;
        p->link = link;
    }
    return ZS_OK;
}

static int open_listener(zs_port *p, const zs_line_cfg &c, std::string *err) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(c.port);
    if (inet_pton(AF_INET, c.addr.c_str(), &a.sin_addr) != 1) {
        *err = "not an IPv4 address: " + c.addr;
        return ZS_BAD_ARG;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *err = errno_text("socket");
        return ZS_SYS;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t len = sizeof a;
    // A long listen queue: a client that opens and closes sessions faster than
    // the simulation thread takes them must not see its SYN dropped (the kernel
    // then retries only after a second).
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0 || listen(fd, SOMAXCONN) < 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) < 0) {
        *err = errno_text(("listen on " + c.addr + ":" + std::to_string(c.port)).c_str());
        close(fd);
        return ZS_SYS;
    }
    p->listen_fd = fd;
    p->port = ntohs(a.sin_port);
    return ZS_OK;
}

static void close_conn(zs_sim *s, size_t i, const char *why) {
    zs_port &p = s->ports[i];
    zs_line &l = s->lines[i];
    if (p.conn < 0) return;
    close(p.conn);
    p.conn = -1;
    p.wpend.clear();
    l.out.clear();
    l.set.client = false;
    zs_line_event(&l, ZS_EV_DISCONNECT, 0, 0, 0, nullptr, 0, why);
}

static void pty_refresh_settings(zs_sim *s, size_t i) {
    zs_port &p = s->ports[i];
    zs_line &l = s->lines[i];
    zs_line_settings n = l.set;
    if (zs_pty_read_settings(p.master, &n.baud, &n.data_bits, &n.stop_bits) != ZS_OK) return;
    n.client = !p.hup;
    zs_line_settings_changed(&l, n, "pty");
}

// Writes what is pending; drops it when nobody listens.
static void port_write(zs_sim *s, size_t i) {
    zs_port &p = s->ports[i];
    while (!p.wpend.empty()) {
        ssize_t n;
        if (p.master >= 0) {
            if (p.hup) {
                p.wpend.clear();
                return;
            }
            n = write(p.master, p.wpend.data(), p.wpend.size());
        } else if (p.conn >= 0) {
            n = send(p.conn, p.wpend.data(), p.wpend.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        } else {
            p.wpend.clear();
            return;
        }
        if (n > 0) {
            p.wpend.erase(p.wpend.begin(), p.wpend.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (p.master >= 0) {
            p.hup = true;
            p.wpend.clear();
        } else {
            close_conn(s, i, "write failed");
        }
        return;
    }
}

// Moves due answers to the port; returns when the line next has something due.
// Answers that would overfill the pending bytes are dropped.
static int64_t line_flush(zs_sim *s, size_t i, int64_t now) {
    zs_port &p = s->ports[i];
    const size_t old = p.wpend.size();
    const int64_t next = zs_line_take_due(&s->lines[i], now, &p.wpend);
    if (p.wpend.size() != old) {
        if (p.wpend.size() > ZS_WPEND_MAX) p.wpend.resize(old);
        port_write(s, i);
    }
    return next;
}

// Reads what the slave sent, each piece under the settings it was sent with. A short read
// has emptied the master; ppoll reports what comes after it.
static void pty_read(zs_sim *s, size_t i, int64_t now) {
    zs_port &p = s->ports[i];
    uint8_t buf[ZS_READ_CHUNK];
    for (int k = 0; k < 16; ++k) {
        pty_refresh_settings(s, i);
        const ssize_t n = read(p.master, buf, sizeof buf);
        if (n > 0) {
            zs_line_serial_in(&s->lines[i], buf, static_cast<size_t>(n), now);
            if (static_cast<size_t>(n) < sizeof buf) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EIO) p.hup = true;  // the slave was closed
        return;
    }
}

// Looks at a pty whose slave nobody had open: reads what a client left on the line before it
// closed again (answers to it are thrown away), and sees whether one has it open now.
static void pty_look(zs_sim *s, size_t i, int64_t now) {
    zs_port &p = s->ports[i];
    pollfd q{p.master, POLLIN, 0};
    if (poll(&q, 1, 0) < 0) return;
    if (!(q.revents & POLLHUP)) p.hup = false;
    if (q.revents & POLLIN) pty_read(s, i, now);
}

// Takes the inotify events and marks the ports whose slave was opened or closed. A port
// whose watch the kernel removed falls back to looking every 20 ms.
static void notify_read(zs_sim *s) {
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = read(s->notify, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t k = 0; k + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const inotify_event *e = reinterpret_cast<const inotify_event *>(buf + k);
            for (zs_port &p : s->ports) {
                if (p.master < 0 || (p.wd != e->wd && !(e->mask & IN_Q_OVERFLOW))) continue;
                p.look = true;
                if (e->mask & IN_IGNORED) p.wd = -1;
            }
            k += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
}

// Drop-after-n-bytes faults: how many bytes the client may still send, SIZE_MAX = no limit.
static size_t drop_budget(zs_sim *s, size_t i, size_t *rule) {
    size_t best = SIZE_MAX;
    const zs_line &l = s->lines[i];
    for (size_t r = 0; r < l.cfg.faults.size(); ++r) {
        const zs_fault &f = l.cfg.faults[r];
        if (f.kind != ZS_F_DROP || (f.times && f.fired >= f.times)) continue;
        if (r < s->ports[i].drop_armed.size() && !s->ports[i].drop_armed[r]) continue;
        const size_t left = f.arg > s->ports[i].conn_rx ? f.arg - s->ports[i].conn_rx : 0;
        if (left < best) {
            best = left;
            *rule = r;
        }
    }
    return best;
}

static void tcp_read(zs_sim *s, size_t i, int64_t now) {
    zs_port &p = s->ports[i];
    uint8_t buf[ZS_READ_CHUNK];
    for (int k = 0; k < 16 && p.conn >= 0; ++k) {
        const ssize_t n = recv(p.conn, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 0) {
            close_conn(s, i, "client closed");
            return;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) close_conn(s, i, "receive failed");
            return;
        }
        size_t rule = 0;
        const size_t budget = drop_budget(s, i, &rule);
        const size_t take = std::min(static_cast<size_t>(n), budget);
        p.conn_rx += take;
        zs_line_tcp_in(&s->lines[i], buf, take, now);
        if (budget != SIZE_MAX && static_cast<size_t>(n) >= budget) {
            zs_fault &f = s->lines[i].cfg.faults[rule];
            f.fired++;
            zs_line_event(&s->lines[i], ZS_EV_FAULT, 0, static_cast<uint16_t>(rule), f.arg, nullptr,
                          0, zs_fault_name(f.kind));
            close_conn(s, i, "fault: dropped");
            return;
        }
    }
}

static void tcp_take_client(zs_sim *s, size_t i, int fd, const sockaddr_in &a, int64_t now);

// Takes every client waiting in the listen queue. A converter serves one
// client: each new one replaces the previous, whose bytes already received are
// still passed to the line first. Taking only one per wake-up let a client
// that reconnects quickly fill the queue, and the kernel then drops its SYN
// for a one-second retransmission.
static void tcp_accept(zs_sim *s, size_t i, int64_t now) {
    zs_port &p = s->ports[i];
    for (;;) {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        const int fd = accept4(p.listen_fd, reinterpret_cast<sockaddr *>(&a), &len,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;
        }
        tcp_take_client(s, i, fd, a, now);
    }
}

static void tcp_take_client(zs_sim *s, size_t i, int fd, const sockaddr_in &a, int64_t now) {
    zs_port &p = s->ports[i];
    if (p.conn >= 0) tcp_read(s, i, now);
    close_conn(s, i, "replaced by a new client");
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    p.conn = fd;
    p.conn_rx = 0;
    zs_line &l = s->lines[i];
    // A drop rule's chance is taken once per client; rules added later are armed.
    p.drop_armed.assign(l.cfg.faults.size(), true);
    for (size_t r = 0; r < l.cfg.faults.size(); ++r)
        if (l.cfg.faults[r].kind == ZS_F_DROP && l.cfg.faults[r].ppm < 1000000)
            p.drop_armed[r] = l.rng() % 1000000 < l.cfg.faults[r].ppm;
    l.conv = zs_conv{};
    l.set.client = true;
    char ip[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
    zs_line_event(&l, ZS_EV_CONNECT, 0, 0, 0, nullptr, 0,
                  std::string("from ") + ip + ":" + std::to_string(ntohs(a.sin_port)));
}

// ---- thread -------------------------------------------------------------------------------

static void *sim_thread(void *arg) {
    zs_sim *s = static_cast<zs_sim *>(arg);
    // A paced line wakes at each byte's time: the default slack of 50 us would add to
    // every answer.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    std::unique_lock<std::mutex> lk(s->mu);
    std::vector<pollfd> fds;
    std::vector<int> owner;  // per pollfd: port index, -1 = wake-up, -2 = inotify
    while (!s->stop) {
        int64_t now = sim_now(s);
        s->log.now = now;
        int64_t next = INT64_MAX;
        fds.clear();
        owner.clear();
        fds.push_back(pollfd{s->wake, POLLIN, 0});
        owner.push_back(-1);
        for (size_t i = 0; i < s->ports.size(); ++i) {
            zs_port &p = s->ports[i];
            // A pty is looked at when due, when its slave was opened or closed, and when its
            // hang-up state has changed since the line last recorded whether a client is there.
            if (p.master >= 0 &&
                (p.look || now >= p.check_due || s->lines[i].set.client == p.hup)) {
                p.look = false;
                if (p.hup) pty_look(s, i, now);
                pty_refresh_settings(s, i);
                p.check_due = !p.hup     ? now + ZS_SETTINGS_POLL_US
                              : p.wd < 0 ? now + ZS_HUP_RETRY_US
                                         : INT64_MAX;
            }
            if (p.master >= 0) next = std::min(next, p.check_due);
            next = std::min(next, line_flush(s, i, now));
            if (p.master >= 0 && !p.hup) {
                fds.push_back(pollfd{
                    p.master, static_cast<short>(POLLIN | (p.wpend.empty() ? 0 : POLLOUT)), 0});
                owner.push_back(static_cast<int>(i));
            }
            if (p.listen_fd >= 0) {
                fds.push_back(pollfd{p.listen_fd, POLLIN, 0});
                owner.push_back(static_cast<int>(i));
            }
            if (p.conn >= 0) {
                fds.push_back(pollfd{
                    p.conn, static_cast<short>(POLLIN | (p.wpend.empty() ? 0 : POLLOUT)), 0});
                owner.push_back(static_cast<int>(i));
            }
        }
        // The inotify descriptor comes last: its events are taken after the hang-ups the
        // masters reported in the same wake-up, so that an open after such a hang-up still
        // has its look.
        if (s->notify >= 0) {
            fds.push_back(pollfd{s->notify, POLLIN, 0});
            owner.push_back(-2);
        }
        s->cv.notify_all();
        const int64_t wait = std::max<int64_t>(next - now, 0);
        timespec ts{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000) * 1000};
        lk.unlock();
        const int rc = ppoll(fds.data(), fds.size(), next == INT64_MAX ? nullptr : &ts, nullptr);
        lk.lock();
        if (rc <= 0) continue;
        now = sim_now(s);
        s->log.now = now;
        for (size_t k = 0; k < fds.size(); ++k) {
            const short ev = fds[k].revents;
            if (!ev) continue;
            if (owner[k] == -2) {
                notify_read(s);
                continue;
            }
            if (owner[k] < 0) {
                uint64_t v;
                if (read(s->wake, &v, sizeof v) < 0) {}
                continue;
            }
            const size_t i = static_cast<size_t>(owner[k]);
            zs_port &p = s->ports[i];
            if (fds[k].fd == p.master) {
                if (ev & POLLIN) pty_read(s, i, now);
                if (ev & POLLHUP) p.hup = true;
                if (ev & POLLOUT) port_write(s, i);
            } else if (fds[k].fd == p.listen_fd) {
                tcp_accept(s, i, now);
            } else if (fds[k].fd == p.conn) {
                if (ev & (POLLIN | POLLHUP | POLLERR)) tcp_read(s, i, now);
                if ((ev & POLLOUT) && p.conn >= 0) port_write(s, i);
            }
        }
    }
    return nullptr;
}

// ---- start and stop -----------------------------------------------------------------------

static void sim_close(zs_sim *s) {
    for (zs_port &p : s->ports) {
        remove_link(p);
        if (p.master >= 0) close(p.master);
        if (p.conn >= 0) close(p.conn);
        if (p.listen_fd >= 0) close(p.listen_fd);
    }
    if (s->wake >= 0) close(s->wake);
    if (s->notify >= 0) close(s->notify);
    if (s->own_logf && s->log.out) std::fclose(s->log.out);
    s->log.out = nullptr;
}

static int check_config(const zs_config &cfg, std::string *err) {
    if (cfg.lines.empty() || cfg.lines.size() > 255) {
        *err = "a simulation needs 1 to 255 lines";
        return ZS_BAD_ARG;
    }
    for (size_t i = 0; i < cfg.lines.size(); ++i) {
        const zs_line_cfg &l = cfg.lines[i];
        const std::string where = "line " + std::to_string(i + 1) + ": ";
        if (l.mons.empty() || l.mons.size() > 255) {
            *err = where + "needs 1 to 255 monitors";
            return ZS_BAD_ARG;
        }
        if (l.baud == 0 || (l.parity && l.parity != 'E' && l.parity != 'N')) {
            *err = where + "bad baud rate or parity";
            return ZS_BAD_ARG;
        }
        for (const zs_monitor &m : l.mons)
            if (!zs_gen_ok(m.gen)) {
                *err = where + "firmware generation must be 1, 2 or 51";
                return ZS_BAD_ARG;
            }
        for (const zs_fault &f : l.faults)
            if (f.kind >= ZS_F_COUNT) {
                *err = where + "unknown fault";
                return ZS_BAD_ARG;
            }
        if (l.fs_capacity > 0xFFFF || l.fs.size() > l.mons.size()) {
            *err = where + "file-system capacity above 65535 or more file systems than monitors";
            return ZS_BAD_ARG;
        }
        for (size_t m = 0; m < l.fs.size(); ++m) {
            const std::string why = zs_fs_check(l.fs[m], l.fs_capacity);
            if (!why.empty()) {
                *err = where + "monitor " + std::to_string(m + 1) + ": " + why;
                return ZS_BAD_ARG;
            }
        }
    }
    return ZS_OK;
}

int zs_start(const zs_config &cfg, zs_sim **out, std::string *err) {
    std::string dummy;
    if (!err) err = &dummy;
    if (!out) return ZS_BAD_ARG;
    *out = nullptr;
    int rc = check_config(cfg, err);
    if (rc) return rc;

    zs_sim *s = new zs_sim;
    s->t0 = std::chrono::steady_clock::now();
    s->log.max_events = std::max<size_t>(cfg.max_events, 16);
    if (cfg.log_path == "-") {
        s->log.out = stdout;
    } else if (!cfg.log_path.empty()) {
        s->log.out = std::fopen(cfg.log_path.c_str(), "w");
        if (!s->log.out) {
            *err = errno_text(cfg.log_path.c_str());
            delete s;
            return ZS_SYS;
        }
        s->own_logf = true;
    }
    s->lines.resize(cfg.lines.size());
    s->ports.resize(cfg.lines.size());
    for (size_t i = 0; i < cfg.lines.size() && !rc; ++i) {
        zs_line_init(&s->lines[i], static_cast<uint8_t>(i), cfg.lines[i], cfg.seed, &s->log);
        rc = cfg.lines[i].kind == ZS_TCP ? open_listener(&s->ports[i], cfg.lines[i], err)
                                         : open_pty(&s->ports[i], cfg.lines[i].link, err);
    }
    // Without inotify (no instance or watch left) the pty lines fall back to looking every 20 ms.
    if (!rc) {
        for (zs_port &p : s->ports) {
            if (p.master < 0) continue;
            if (s->notify < 0) s->notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (s->notify >= 0)
                p.wd = inotify_add_watch(s->notify, p.slave.c_str(),
                                         IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
        }
        s->wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (s->wake < 0) {
            *err = errno_text("eventfd");
            rc = ZS_SYS;
        }
    }
    if (!rc) {
        const int e = pthread_create(&s->th, nullptr, sim_thread, s);
        if (e) {
            *err = std::string("thread: ") + std::strerror(e);
            rc = ZS_SYS;
        }
    }
    if (rc) {
        sim_close(s);
        delete s;
        return rc;
    }
    s->running = true;
    *out = s;
    return ZS_OK;
}

void zs_stop(zs_sim **sim) {
    if (!sim || !*sim) return;
    zs_sim *s = *sim;
    {
        std::lock_guard<std::mutex> lk(s->mu);
        s->stop = true;
    }
    const uint64_t one = 1;
    if (write(s->wake, &one, sizeof one) < 0) {}
    if (s->running) pthread_join(s->th, nullptr);
    sim_close(s);
    delete s;
    *sim = nullptr;
}

// ---- queries and settings -----------------------------------------------------------------

static bool line_ok(zs_sim *s, int line) {
    return s && line >= 0 && static_cast<size_t>(line) < s->lines.size();
}

static bool mon_ok(zs_sim *s, int line, int mon) {
    return line_ok(s, line) && mon >= 1 && static_cast<size_t>(mon) <= s->lines[line].mons.size();
}

std::string zs_slave_path(zs_sim *s, int line) {
    if (!line_ok(s, line)) return "";
    std::lock_guard<std::mutex> lk(s->mu);
    return s->ports[line].slave;
}

uint16_t zs_tcp_port(zs_sim *s, int line) {
    if (!line_ok(s, line)) return 0;
    std::lock_guard<std::mutex> lk(s->mu);
    return s->ports[line].port;
}

int zs_get_settings(zs_sim *s, int line, zs_line_settings *out) {
    if (!line_ok(s, line) || !out) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    s->log.now = sim_now(s);  // the thread may have slept long: a settings event's time
    if (s->ports[line].master >= 0) pty_refresh_settings(s, static_cast<size_t>(line));
    *out = s->lines[line].set;
    s->cv.notify_all();  // for a waiter on the settings event this may have recorded
    return ZS_OK;
}

int zs_get_stats(zs_sim *s, int line, zs_line_stats *out) {
    if (!line_ok(s, line) || !out) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    *out = s->lines[line].stats;
    return ZS_OK;
}

int zs_get_mode(zs_sim *s, int line, zs_mode_info *out) {
    if (!line_ok(s, line) || !out) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    const zs_line &l = s->lines[line];
    out->mode = l.mode;
    out->baud = l.mode_baud;
    out->parity = l.mode_parity;
    out->stage = l.mode == ZS_MODE_BOOT ? l.ld.stage : ZS_BOOT_IDENT;
    return ZS_OK;
}

// Index in the event deque of the first event with seq > after.
static size_t first_after(const zs_log &log, uint64_t after) {
    if (log.events.empty()) return 0;
    const uint64_t first = log.events.front().seq;
    if (after < first) return 0;
    return static_cast<size_t>(std::min<uint64_t>(after - first + 1, log.events.size()));
}

std::vector<zs_event> zs_events(zs_sim *s, uint64_t after_seq) {
    std::vector<zs_event> v;
    if (!s) return v;
    std::lock_guard<std::mutex> lk(s->mu);
    for (size_t i = first_after(s->log, after_seq); i < s->log.events.size(); ++i)
        v.push_back(s->log.events[i]);
    return v;
}

uint64_t zs_last_seq(zs_sim *s) {
    if (!s) return 0;
    std::lock_guard<std::mutex> lk(s->mu);
    return s->log.seq;
}

int zs_wait_event(zs_sim *s, zs_event_kind kind, int mon, uint64_t after_seq, uint32_t timeout_ms,
                  zs_event *out) {
    if (!s) return ZS_BAD_ARG;
    std::unique_lock<std::mutex> lk(s->mu);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    uint64_t seen = after_seq;
    bool timed_out = false;
    for (;;) {
        // after the time-out one last look: the event may have come with the wake-up
        for (size_t i = first_after(s->log, seen); i < s->log.events.size(); ++i) {
            const zs_event &e = s->log.events[i];
            seen = e.seq;
            if (e.kind == kind && (mon < 0 || e.mon == mon)) {
                if (out) *out = e;
                return ZS_OK;
            }
        }
        if (timed_out) return ZS_TIMEOUT;
        timed_out = s->cv.wait_until(lk, until) == std::cv_status::timeout;
    }
}

std::vector<uint16_t> zs_keys(zs_sim *s, int line, int mon) {
    if (!mon_ok(s, line, mon)) return {};
    std::lock_guard<std::mutex> lk(s->mu);
    return s->lines[line].mons[mon - 1].keys;
}

int zs_get_monitor(zs_sim *s, int line, int mon, zs_mon_status *out) {
    if (!mon_ok(s, line, mon) || !out) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    const zs_mon_state &m = s->lines[line].mons[mon - 1];
    out->cfg = m.cfg;
    out->keys = m.keys_total;
    out->restarts = m.restarts;
    out->silent = sim_now(s) < m.silent_until;
    return ZS_OK;
}

int zs_set_monitor(zs_sim *s, int line, int mon, const zs_monitor &m) {
    if (!mon_ok(s, line, mon)) return ZS_BAD_ARG;
    if (!zs_gen_ok(m.gen)) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    s->lines[line].mons[mon - 1].cfg = m;
    return ZS_OK;
}

int zs_get_fs(zs_sim *s, int line, int mon, zs_fs *out) {
    if (!mon_ok(s, line, mon) || !out) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    *out = s->lines[line].mons[mon - 1].fs.fs;
    return ZS_OK;
}

int zs_set_fs(zs_sim *s, int line, int mon, const zs_fs &fs) {
    if (!mon_ok(s, line, mon)) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    zs_fs_mon &m = s->lines[line].mons[mon - 1].fs;
    if (!zs_fs_check(fs, m.capacity).empty()) return ZS_BAD_ARG;
    m.fs = fs;
    zs_fs_reset(&m);
    return ZS_OK;
}

// The file systems are copied under the mutex and written without it, so that the line goes
// on answering while the files are written.
int zs_fs_save(zs_sim *s, const std::string &dir, std::string *err) {
    std::string dummy;
    if (!err) err = &dummy;
    if (!s || dir.empty()) return ZS_BAD_ARG;
    std::vector<std::vector<zs_fs>> all;
    {
        std::lock_guard<std::mutex> lk(s->mu);
        for (const zs_line &l : s->lines) {
            all.emplace_back();
            for (const zs_mon_state &m : l.mons) all.back().push_back(m.fs.fs);
        }
    }
    make_parents(dir + "/");
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t m = 0; m < all[i].size(); ++m) {
            const std::string l = std::to_string(i + 1), n = std::to_string(m + 1);
            const int rc =
                zs_fs_write_file(dir + "/line" + l + "-mon" + n + ".vqf", all[i][m],
                                 "zelbsim: file system of line " + l + ", monitor " + n, err);
            if (rc) return rc;
        }
    return ZS_OK;
}

int zs_get_image(zs_sim *s, int line, zs_image *out) {
    if (!line_ok(s, line) || !out) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    *out = zs_image_of(s->lines[line].img);
    return ZS_OK;
}

// As zs_fs_save: copied under the mutex, written without it.
int zs_image_save(zs_sim *s, const std::string &dir, std::string *err) {
    std::string dummy;
    if (!err) err = &dummy;
    if (!s || dir.empty()) return ZS_BAD_ARG;
    std::vector<zs_image> all;
    {
        std::lock_guard<std::mutex> lk(s->mu);
        for (const zs_line &l : s->lines) all.push_back(zs_image_of(l.img));
    }
    make_parents(dir + "/");
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string base = dir + "/line" + std::to_string(i + 1);
        const std::string txt = zs_image_status(all[i]) + "\n";
        int rc = zs_image_write_bin(all[i], base + ".bin", err);
        if (!rc) rc = zs_write_file_atomic(base + ".txt", txt.data(), txt.size(), err);
        if (rc) return rc;
    }
    return ZS_OK;
}

int zs_add_fault(zs_sim *s, int line, const zs_fault &f) {
    if (!line_ok(s, line) || f.kind >= ZS_F_COUNT) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    s->lines[line].cfg.faults.push_back(f);
    return ZS_OK;
}

int zs_clear_faults(zs_sim *s, int line) {
    if (!line_ok(s, line)) return ZS_BAD_ARG;
    std::lock_guard<std::mutex> lk(s->mu);
    s->lines[line].cfg.faults.clear();
    return ZS_OK;
}

std::vector<zs_fault> zs_faults(zs_sim *s, int line) {
    if (!line_ok(s, line)) return {};
    std::lock_guard<std::mutex> lk(s->mu);
    return s->lines[line].cfg.faults;
}

// ---- texts --------------------------------------------------------------------------------

static std::string port_text(const zs_sim *s, size_t i) {
    const zs_port &p = s->ports[i];
    const zs_line &l = s->lines[i];
    std::string t = "line " + std::to_string(i + 1) + ": ";
    if (p.master >= 0)
        t += (p.link.empty() ? "" : p.link + " -> ") + p.slave;
    else
        t += "tcp " + l.cfg.addr + ":" + std::to_string(p.port);
    t += l.cfg.loop ? ", loop-back"
                    : ", " + std::to_string(l.mons.size()) +
                          (l.mons.size() == 1 ? " monitor" : " monitors");
    if (l.cfg.bootstrap && !l.cfg.loop) t += ", boot loader";
    return t;
}

// The summary's line on a line's firmware image.
static std::string image_text(const zs_image &img) {
    char b[256];
    int k = std::snprintf(b, sizeof b,
                          "  firmware image: records %llu, refused %llu, data bytes %llu, ",
                          (unsigned long long)img.records, (unsigned long long)img.refused,
                          (unsigned long long)img.data_bytes);
    if (img.spans.empty())
        k += std::snprintf(b + k, sizeof b - static_cast<size_t>(k), "no addresses");
    else
        k += std::snprintf(b + k, sizeof b - static_cast<size_t>(k), "addresses 0x%08X..0x%08X",
                           img.low, img.high);
    std::snprintf(b + k, sizeof b - static_cast<size_t>(k), ", digest 0x%016llX, %s\n",
                  (unsigned long long)img.digest, img.complete ? "complete" : "incomplete");
    return b;
}

std::string zs_ready_text(zs_sim *s) {
    if (!s) return "";
    std::lock_guard<std::mutex> lk(s->mu);
    std::string t = "zelbsim ready: ";
    for (size_t i = 0; i < s->ports.size(); ++i) t += (i ? "; " : "") + port_text(s, i);
    return t;
}

std::string zs_summary(zs_sim *s) {
    if (!s) return "";
    std::lock_guard<std::mutex> lk(s->mu);
    std::string t;
    char b[256];
    for (size_t i = 0; i < s->lines.size(); ++i) {
        const zs_line &l = s->lines[i];
        const zs_line_stats &st = l.stats;
        t += port_text(s, i) + "\n";
        std::snprintf(
            b, sizeof b,
            "  frames %llu, answers %llu, refusals %llu, unanswered %llu, bad bytes %llu, "
            "echoed %llu, bytes in %llu out %llu\n",
            (unsigned long long)st.frames, (unsigned long long)st.answers,
            (unsigned long long)st.refusals, (unsigned long long)st.unanswered,
            (unsigned long long)st.bad_bytes, (unsigned long long)st.echoed,
            (unsigned long long)st.bytes_in, (unsigned long long)st.bytes_out);
        t += b;
        if (l.mode != ZS_MODE_FRAME || l.cfg.bootstrap || st.records || st.bad_records) {
            std::snprintf(b, sizeof b,
                          "  mode %s at %u baud; firmware records %llu, refused %llu, "
                          "data bytes %llu\n",
                          zs_mode_name(l.mode), l.mode_baud, (unsigned long long)st.records,
                          (unsigned long long)st.bad_records, (unsigned long long)st.data_bytes);
            t += b;
        }
        if (l.img.started) t += image_text(zs_image_of(l.img));
        for (size_t m = 0; m < l.mons.size(); ++m) {
            const zs_mon_state &ms = l.mons[m];
            size_t tables = 0;
            for (const std::vector<uint16_t> &g : ms.fs.fs.gamma) tables += g.empty() ? 0 : 1;
            const bool fs = !ms.fs.fs.entries.empty() || tables;
            if (!ms.keys_total && !ms.restarts && !fs) continue;
            int k = std::snprintf(b, sizeof b, "  monitor %zu:", m + 1);
            if (ms.keys_total || ms.restarts)
                k += std::snprintf(b + k, sizeof b - static_cast<size_t>(k),
                                   " keys %llu, restarts %u%s", (unsigned long long)ms.keys_total,
                                   ms.restarts, fs ? ";" : "");
            if (fs)
                std::snprintf(b + k, sizeof b - static_cast<size_t>(k),
                              " file system %zu entries, %zu gamma tables", ms.fs.fs.entries.size(),
                              tables);
            t += std::string(b) + "\n";
        }
        for (size_t f = 0; f < l.cfg.faults.size(); ++f) {
            std::snprintf(b, sizeof b, "  fault %zu (%s): fired %u\n", f + 1,
                          zs_fault_name(l.cfg.faults[f].kind), l.cfg.faults[f].fired);
            t += b;
        }
    }
    return t;
}
