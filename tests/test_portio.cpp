// The parallel-port back end with its system calls replaced: which device each
// address reaches, the claim made once, the data and status ioctls, and the
// single report of a device that cannot be used.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "portio/portio_sys.h"

namespace {

// A fake kernel: records every call, fails open as told.
struct FakeKernel {
    std::vector<std::string> calls;
    std::map<std::string, int> open_errno;  // path -> errno to fail with
    int claim_errno = 0;
    unsigned char status = 0x5A;
    unsigned char data = 0x33;
    int next_fd = 10;
};
FakeKernel *g_fake = nullptr;

int fake_open(const char *path, int flags) {
    g_fake->calls.push_back(std::string("open ") + path + ((flags & O_RDWR) ? " rw" : " ro"));
    auto it = g_fake->open_errno.find(path);
    if (it != g_fake->open_errno.end()) {
        errno = it->second;
        return -1;
    }
    return g_fake->next_fd++;
}

int fake_ioctl(int fd, unsigned long request, void *arg) {
    std::string fds = std::to_string(fd);
    auto *byte = static_cast<unsigned char *>(arg);
    if (request == PPCLAIM) {
        g_fake->calls.push_back("claim " + fds);
        if (g_fake->claim_errno != 0) {
            errno = g_fake->claim_errno;
            return -1;
        }
    } else if (request == PPRELEASE) {
        g_fake->calls.push_back("release " + fds);
    } else if (request == PPWDATA) {
        g_fake->calls.push_back("wdata " + fds + " " + std::to_string(*byte));
    } else if (request == PPRSTATUS) {
        g_fake->calls.push_back("rstatus " + fds);
        *byte = g_fake->status;
    } else if (request == PPRDATA) {
        g_fake->calls.push_back("rdata " + fds);
        *byte = g_fake->data;
    } else {
        g_fake->calls.push_back("ioctl? " + fds);
        errno = EINVAL;
        return -1;
    }
    return 0;
}

int fake_close(int fd) {
    g_fake->calls.push_back("close " + std::to_string(fd));
    return 0;
}

std::string fake_group(const char *) { return "lp"; }
std::string no_group(const char *) { return ""; }
std::string root_group(const char *) { return "root"; }

class PortioDev : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = &fake_;
        vqportio::close_all();
        vqportio::sys() = vqportio::Sys{fake_open, fake_ioctl, fake_close, fake_group};
    }
    void TearDown() override {
        vqportio::close_all();
        vqportio::sys() = vqportio::real_sys();
        g_fake = nullptr;
    }
    std::vector<std::string> &calls() { return fake_.calls; }

    FakeKernel fake_;
};

TEST_F(PortioDev, EachPortPairReachesItsDevice) {
    struct Case {
        short data_port;
        const char *path;
    };
    const Case cases[] = {
        {0x378, "/dev/parport0"}, {0x278, "/dev/parport1"}, {0x3BC, "/dev/parport2"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        calls().clear();
        vqportio::close_all();
        fake_.next_fd = 10;
        vqportio::out(c.data_port, 0x1A5);  // only the low 8 bits reach the register
        EXPECT_EQ(vqportio::inp(static_cast<short>(c.data_port + 1)), 0x5A);
        EXPECT_EQ(vqportio::inp(c.data_port), 0x33);
        vqportio::close_all();
        EXPECT_EQ(calls(), (std::vector<std::string>{std::string("open ") + c.path + " rw",
                                                     "claim 10", "wdata 10 165", "rstatus 10",
                                                     "rdata 10", "release 10", "close 10"}));
    }
}

TEST_F(PortioDev, DeviceIsOpenedAndClaimedOnceAndKeptUntilClosed) {
    for (int i = 0; i < 50; ++i) {
        vqportio::out(0x378, static_cast<short>(i));
        vqportio::inp(0x379);
    }
    int opens = 0, claims = 0, releases = 0, closes = 0;
    for (const std::string &c : calls()) {
        opens += c.rfind("open", 0) == 0;
        claims += c.rfind("claim", 0) == 0;
        releases += c.rfind("release", 0) == 0;
        closes += c.rfind("close", 0) == 0;
    }
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(claims, 1);
    EXPECT_EQ(releases + closes, 0);
    vqportio::close_all();
    EXPECT_EQ(calls().back(), "close 10");
    EXPECT_EQ(calls()[calls().size() - 2], "release 10");
}

TEST_F(PortioDev, AddressesOutsideThePairsFloatWithoutSystemCalls) {
    for (short port : {short{0x37A}, short{0x100}, short{0x27F}, short{-1}, short{0x3BE}}) {
        vqportio::out(port, 0);
        EXPECT_EQ(vqportio::inp(port), vqportio::kFloating) << port;
    }
    vqportio::out(0x379, 0x12);  // the status register is read-only
    EXPECT_TRUE(calls().empty());
    EXPECT_STREQ(vqportio::status(), "");
}

TEST_F(PortioDev, UnusableDeviceIsReportedOnceAndFloats) {
    struct Case {
        const char *name;
        int open_err;
        int claim_err;
        std::string (*group)(const char *);
        const char *message;
        std::vector<std::string> calls;
    };
    const std::vector<std::string> open = {"open /dev/parport0 rw"};
    const Case cases[] = {
        // clang-format off
        {"denied", EACCES, 0, fake_group, "vqportio: /dev/parport0: Permission denied (join group "
         "lp, then log in again)", open},
        {"denied, root's", EPERM, 0, root_group, "vqportio: /dev/parport0: Operation not permitted "
         "(the device is root's, not group lp's)", open},
        {"denied, group unknown", EACCES, 0, no_group, "vqportio: /dev/parport0: Permission denied "
         "(join the group that owns the device, then log in again)", open},
        {"missing", ENOENT, 0, fake_group, "vqportio: /dev/parport0: No such file or directory (no "
         "such parallel port, or the ppdev module is not loaded)", open},
        {"claimed elsewhere", 0, EBUSY, fake_group, "vqportio: /dev/parport0: cannot claim the port: "
         "Device or resource busy (another program may hold it)",
         {"open /dev/parport0 rw", "claim 10", "close 10"}},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        vqportio::close_all();
        calls().clear();
        fake_.open_errno.clear();
        if (c.open_err != 0) fake_.open_errno["/dev/parport0"] = c.open_err;
        fake_.claim_errno = c.claim_err;
        vqportio::sys().owner_group = c.group;

        testing::internal::CaptureStderr();
        for (int i = 0; i < 5; ++i) {
            vqportio::out(0x378, 0);
            EXPECT_EQ(vqportio::inp(0x379), vqportio::kFloating);
        }
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, std::string(c.message) + "\n");
        EXPECT_STREQ(vqportio::status(), c.message);
        EXPECT_EQ(calls(), c.calls);
    }
}

TEST_F(PortioDev, FailureOfOneDeviceLeavesTheOthersWorking) {
    fake_.open_errno["/dev/parport1"] = EACCES;
    testing::internal::CaptureStderr();
    EXPECT_EQ(vqportio::inp(0x279), vqportio::kFloating);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(vqportio::inp(0x379), 0x5A);
    EXPECT_NE(std::string(vqportio::status()).find("/dev/parport1"), std::string::npos);
    vqportio::close_all();
    EXPECT_STREQ(vqportio::status(), "");
}

TEST_F(PortioDev, FailedRegisterAccessGivesTheDeviceUp) {
    EXPECT_EQ(vqportio::inp(0x379), 0x5A);
    vqportio::sys().ioctl = [](int, unsigned long, void *) {
        errno = EIO;
        return -1;
    };
    testing::internal::CaptureStderr();
    EXPECT_EQ(vqportio::inp(0x379), vqportio::kFloating);
    EXPECT_EQ(vqportio::inp(0x379), vqportio::kFloating);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              "vqportio: /dev/parport0: reading the status register failed: Input/output error\n");
    EXPECT_EQ(calls().back(), "close 10");
}

// The built library exports its three functions and nothing of its core.
TEST(PortioLib, ExportsOnlyTheCFunctions) {
    void *lib = dlopen(VQ_PORTIO_LIB, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto inp = reinterpret_cast<short (*)(short)>(dlsym(lib, "Inp32"));
    auto out = reinterpret_cast<void (*)(short, short)>(dlsym(lib, "Out32"));
    auto status = reinterpret_cast<const char *(*)()>(dlsym(lib, "vqportio_status"));
    // cppcheck-suppress resourceLeak ; only a failed test leaves it open, until the program ends
    ASSERT_NE(inp, nullptr);
    // cppcheck-suppress resourceLeak ; only a failed test leaves it open, until the program ends
    ASSERT_NE(out, nullptr);
    // cppcheck-suppress resourceLeak ; only a failed test leaves it open, until the program ends
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(dlsym(lib, "_ZN8vqportio3inpEs"), nullptr);
    // Addresses outside the table open no device.
    out(0x100, 1);
    EXPECT_EQ(inp(0x100), 0xFF);
    EXPECT_STREQ(status(), "");
    dlclose(lib);
}

}  // namespace
