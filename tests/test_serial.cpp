// Serial layer on pseudo-terminals: open and lock, settings round trip with
// odd baud rates, read time-outs, writes through a failing system-call table,
// restore on close, and the COM-name table.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/dev_explain.h"
#include "platform/i2c.h"
#include "platform/serial.h"
#include "support/test_util.h"

namespace {

using plat::Parity;
using plat::SerialSettings;

// A pty pair with the system's settings; the slave stays open, so that the
// master never sees a hang-up between opens.
struct Pty : tu_pty {
    Pty() { open(false); }
};

TEST(Serial, OpenRefusesMissingAndBusyDevices) {
    int fd = 123;
    EXPECT_EQ(plat::ser_open("/dev/does-not-exist-vq", &fd), plat::SER_NO_DEVICE);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(plat::ser_open("/dev/null", &fd), plat::SER_NO_DEVICE);  // not a terminal
    EXPECT_EQ(plat::ser_open(nullptr, &fd), plat::SER_BAD_ARG);

    Pty p;
    ASSERT_FALSE(p.path.empty());
    int a = -1, b = -1;
    ASSERT_EQ(plat::ser_open(p.path.c_str(), &a), plat::SER_OK);
    EXPECT_EQ(plat::ser_open(p.path.c_str(), &b), plat::SER_BUSY);
    plat::ser_close(&a);
    EXPECT_EQ(a, -1);
    ASSERT_EQ(plat::ser_open(p.path.c_str(), &b), plat::SER_OK);  // free again
    plat::ser_close(&b);
    plat::ser_close(&b);  // closing twice is harmless
    plat::ser_close(nullptr);
}

// A pseudo-terminal forces 8N into its settings, so parity is only checked
// through the layer's own read-back; stop bits and baud are seen on the master.
TEST(Serial, SettingsRoundTripAndAreSeenOnTheMaster) {
    struct Row {
        SerialSettings s;
        speed_t master_std;  // 0: not a standard rate
    } rows[] = {
        {{9600, 8, Parity::Even, 1}, B9600},
        {{57600, 8, Parity::None, 1}, B57600},
        {{576000, 8, Parity::Even, 2}, B576000},
        {{250000, 7, Parity::Odd, 2}, 0},
    };
    Pty p;
    int fd = -1;
    ASSERT_EQ(plat::ser_open(p.path.c_str(), &fd), plat::SER_OK);
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        ASSERT_EQ(plat::ser_set_settings(fd, rows[i].s), plat::SER_OK);
        SerialSettings got;
        ASSERT_EQ(plat::ser_get_settings(fd, &got), plat::SER_OK);
        EXPECT_EQ(got.baud, rows[i].s.baud);
        EXPECT_EQ(got.data_bits, rows[i].s.data_bits);
        EXPECT_EQ(got.parity, rows[i].s.parity);
        EXPECT_EQ(got.stop_bits, rows[i].s.stop_bits);
        struct termios m;
        ASSERT_EQ(tcgetattr(p.master, &m), 0);
        EXPECT_EQ((m.c_cflag & CSTOPB) != 0, rows[i].s.stop_bits == 2);
        EXPECT_EQ(m.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(m.c_iflag & (IXON | IXOFF), 0u);
        if (rows[i].master_std) {
            EXPECT_EQ(cfgetospeed(&m), rows[i].master_std);
        }
    }
    EXPECT_EQ(plat::ser_set_settings(fd, {9600, 9, Parity::None, 1}), plat::SER_BAD_ARG);
    EXPECT_EQ(plat::ser_set_settings(fd, {9600, 8, Parity::None, 3}), plat::SER_BAD_ARG);
    EXPECT_EQ(plat::ser_set_settings(fd, {0, 8, Parity::None, 1}), plat::SER_BAD_ARG);
    plat::ser_close(&fd);
}

TEST(Serial, CloseRestoresTheSettingsFoundAtOpen) {
    Pty p;
    struct termios before;
    ASSERT_EQ(tcgetattr(p.slave, &before), 0);
    int fd = -1;
    ASSERT_EQ(plat::ser_open(p.path.c_str(), &fd), plat::SER_OK);
    ASSERT_EQ(plat::ser_set_settings(fd, {576000, 8, Parity::Even, 2}), plat::SER_OK);
    plat::ser_close(&fd);
    struct termios after;
    ASSERT_EQ(tcgetattr(p.slave, &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

TEST(Serial, ReadWaitsForTheTimeoutOrReturnsWhatIsThere) {
    Pty p;
    int fd = -1;
    ASSERT_EQ(plat::ser_open(p.path.c_str(), &fd), plat::SER_OK);
    ASSERT_EQ(plat::ser_set_read_timeout(fd, 50), plat::SER_OK);
    uint32_t tmo = 0;
    EXPECT_EQ(plat::ser_get_read_timeout(fd, &tmo), plat::SER_OK);
    EXPECT_EQ(tmo, 50u);

    uint8_t buf[16];
    size_t got = 99;
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(plat::ser_read(fd, buf, 1, &got), plat::SER_OK);
    auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(got, 0u);
    EXPECT_GE(waited, std::chrono::milliseconds(45));  // it did wait

    // A byte that waits is returned at once, even with a long time-out.
    ASSERT_EQ(plat::ser_set_read_timeout(fd, 60000), plat::SER_OK);
    ASSERT_EQ(write(p.master, "\xAA\x55", 2), 2);
    ASSERT_EQ(plat::ser_read(fd, buf, 1, &got), plat::SER_OK);
    ASSERT_EQ(got, 1u);
    EXPECT_EQ(buf[0], 0xAA);
    ASSERT_EQ(plat::ser_read(fd, buf, 1, &got), plat::SER_OK);
    ASSERT_EQ(got, 1u);
    EXPECT_EQ(buf[0], 0x55);

    // A byte that arrives during the wait ends it.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        (void)!write(p.master, "\x01", 1);
    });
    ASSERT_EQ(plat::ser_read(fd, buf, 1, &got), plat::SER_OK);
    late.join();
    EXPECT_EQ(got, 1u);
    plat::ser_close(&fd);
}

TEST(Serial, WriteAllBytesAndReportFailures) {
    Pty p;
    int fd = -1;
    ASSERT_EQ(plat::ser_open(p.path.c_str(), &fd), plat::SER_OK);
    const uint8_t frame[10] = {0xAA, 0x55, 0x01, 0x8C, 0x20, 0x00, 0x00, 0xAD, 0xFF, 0x00};
    size_t put = 0;
    ASSERT_EQ(plat::ser_write(fd, frame, sizeof frame, &put), plat::SER_OK);
    EXPECT_EQ(put, sizeof frame);
    EXPECT_EQ(tu_read_n(p.master, sizeof frame), std::vector<uint8_t>(frame, frame + sizeof frame));

    // Short writes are continued; a failing write reports what got out.
    static int calls;
    calls = 0;
    plat::ser_sys().write = [](int f, const void *b, size_t len) -> ssize_t {
        if (++calls == 1) return ::write(f, b, len < 3 ? len : 3);
        errno = EIO;
        return -1;
    };
    EXPECT_EQ(plat::ser_write(fd, frame, sizeof frame, &put), plat::SER_IO);
    EXPECT_EQ(put, 3u);
    EXPECT_EQ(plat::ser_last_errno(), EIO);
    plat::ser_sys().write = [](int f, const void *b, size_t len) -> ssize_t {
        return ::write(f, b, len > 4 ? 4 : len);
    };
    EXPECT_EQ(plat::ser_write(fd, frame, sizeof frame, &put), plat::SER_OK);
    EXPECT_EQ(put, sizeof frame);
    plat::ser_sys_reset();
    plat::ser_close(&fd);
    EXPECT_EQ(plat::ser_write(-1, frame, 1, &put), plat::SER_BAD_ARG);
}

TEST(Serial, ComNamesResolveThroughThePortTable) {
    char out[64];
    struct Row {
        const char *name;
        bool ok;
        const char *path;
    } rows[] = {
        {"Com1", true, "/dev/ttyS0"},
        {"COM12", true, "/dev/ttyS11"},
        {"com99", true, "/dev/ttyS98"},
        {"Com0", false, ""},
        {"Com100", false, ""},
        {"Com", false, ""},
        {"Com1x", false, ""},
        {"ttyS0", false, ""},
        {"/dev/pts/7", true, "/dev/pts/7"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(plat::ser_resolve_name(r.name, out, sizeof out), r.ok);
        if (r.ok) {
            EXPECT_STREQ(out, r.path);
        }
    }
    ASSERT_TRUE(plat::ser_set_com_path(3, "/tmp/zelb-line"));
    EXPECT_TRUE(plat::ser_com_path_is_set(3));
    ASSERT_TRUE(plat::ser_resolve_name("cOm3", out, sizeof out));
    EXPECT_STREQ(out, "/tmp/zelb-line");
    EXPECT_FALSE(plat::ser_resolve_name("Com3", out, 5));  // does not fit: refused, not cut
    EXPECT_TRUE(plat::ser_set_com_path(3, nullptr));
    EXPECT_FALSE(plat::ser_com_path_is_set(3));
    EXPECT_STREQ(plat::ser_com_path(3), "/dev/ttyS2");
    EXPECT_FALSE(plat::ser_set_com_path(0, "/x"));
    EXPECT_EQ(plat::ser_com_path(100), nullptr);
}

}  // namespace

// Why a port could not be opened, in the operator's words, from the errno of
// a real failed open where one can be had here, and by errno for the rest; a
// refused device names the group that may use it.
TEST(Serial, ReasonsOfAFailedOpen) {
    const std::string dir = tu_make_temp_dir("vq_ser_");
    const std::string file = dir + "/plain";
    {
        FILE *f = fopen(file.c_str(), "w");
        fclose(f);
    }
    struct Row {
        int n;
        std::string path;
        int err;  // 0: the errno of a real ser_open of the path
        const char *why;
    } rows[] = {
        {1, dir + "/none", 0, "no such device"},
        {2, dir, 0, "a folder, not a serial port"},
        {3, file, 0, "not a serial port"},
        {4, "/dev/ttyS0", EBUSY, "in use by another program"},
        {5, "/dev/ttyS0", EWOULDBLOCK, "in use by another program"},
        {6, dir + "/none", EACCES, "permission denied"},
    };
    for (const Row &r : rows) {
        int err = r.err;
        if (err == 0) {
            int fd = -1;
            ASSERT_NE(plat::ser_open(r.path.c_str(), &fd), plat::SER_OK) << r.n;
            err = plat::ser_last_errno();
        }
        char why[128];
        plat::ser_explain_open(r.path.c_str(), err, why, sizeof why);
        EXPECT_STREQ(why, r.why) << "row " << r.n;
    }
    // A refused device names its group; one of root's names the group such
    // devices usually have, for a serial port and for an I2C bus alike.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(file.c_str(), 0, 0), 0);
        char why[128];
        plat::ser_explain_open(file.c_str(), EACCES, why, sizeof why);
        EXPECT_STREQ(why, "permission denied (the device is root's, not group dialout's)");
        plat::i2c_explain_open(file.c_str(), EPERM, why, sizeof why);
        EXPECT_STREQ(why, "permission denied (the device is root's, not group i2c's)");
    }
    char small[12];
    plat::explain_permission("dialout", false, false, "dialout", small, sizeof small);
    EXPECT_STREQ(small, "permission ");  // cut, never overrun
}

// The words for a refused device follow the groups of the user who meets it:
// a child process becomes the user nobody with chosen groups and explains a
// refusal by a device of group dialout (or of nobody's own primary group).
// Changing groups needs root; the CI runs the tests as root.
TEST(Serial, PermissionWordsFollowTheUsersGroups) {
    if (geteuid() != 0) return;
    char buf[4096];
    struct passwd pw, *nobody = nullptr;
    struct group gr, *found = nullptr;
    ASSERT_EQ(getpwnam_r("nobody", &pw, buf, sizeof buf, &nobody), 0);
    ASSERT_NE(nobody, nullptr);
    const uid_t uid = nobody->pw_uid;
    const gid_t own = nobody->pw_gid;
    ASSERT_EQ(getgrnam_r("dialout", &gr, buf, sizeof buf, &found), 0);
    ASSERT_NE(found, nullptr);
    const gid_t dial = found->gr_gid;
    ASSERT_EQ(getgrgid_r(own, &gr, buf, sizeof buf, &found), 0);
    ASSERT_NE(found, nullptr);
    const std::string own_name = found->gr_name;
    ASSERT_NE(own, dial);

    const std::string dir = tu_make_temp_dir("vq_perm_");
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);  // nobody may look at the device
    const std::string dev = dir + "/dev";
    tu_write_file(dev, "");
    ASSERT_EQ(chmod(dev.c_str(), 0600), 0);

    // What the child, with `groups` and the primary group `gid`, is told.
    auto told = [&](gid_t owner, std::vector<gid_t> groups, gid_t gid) {
        if (chown(dev.c_str(), 0, owner) != 0) return std::string("chown failed");
        int fds[2];
        if (pipe(fds) != 0) return std::string("pipe failed");
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            if (setgroups(groups.size(), groups.data()) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                _exit(3);
            char why[160];
            plat::ser_explain_open(dev.c_str(), EACCES, why, sizeof why);
            const ssize_t w = write(fds[1], why, strlen(why));
            _exit(w > 0 ? 0 : 4);
        }
        close(fds[1]);
        std::string text;
        char buf[160];
        for (ssize_t k; (k = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, size_t(k));
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed: " + text;
        return text;
    };
    std::vector<gid_t> many;  // more groups than a small fixed table holds
    for (gid_t g = 40000; g < 40300; g++) many.push_back(g);
    many.push_back(dial);

    EXPECT_EQ(told(dial, {}, own), "permission denied (join group dialout)");
    EXPECT_EQ(told(dial, {dial}, own), "permission denied (not even for group dialout)");
    EXPECT_EQ(told(dial, many, own), "permission denied (not even for group dialout)");
    // nobody's primary group in the user database, not held by the process:
    // a membership that the next login brings.
    EXPECT_EQ(told(own, {}, dial), "permission denied (log in again to use group " + own_name + ")");
    EXPECT_EQ(told(0, {}, own), "permission denied (the device is root's, not group dialout's)");
}
