// Tests of the helper library as a program uses it: loaded with dlopen and
// called through dlsym. Its export table (exactly the 20 C functions), the
// serial exports over a pseudo-terminal pair, the window exports on the
// headless window layer, and the IPv4, range and swap helpers.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/win.h"
#include "support/test_util.h"
#include "velq/com_std.h"

namespace {

const char *const kExports[] = {
    // clang-format off
    "mc_opencom_rs232", "mc_CloseCom_rs232", "set_comm_timeouts_zelb", "mc_writecom_buff_rs232",
    "mc_read_com_buff_rs232", "dll_get_main_ver", "dll_get_sub_ver", "mw_butt_is_checked",
    "mw_enab_butt", "mw_alert", "mw_quest", "mw_select_menu", "mw_check_menu", "ms_is_not_uchar_li",
    "ms_is_not_uint_li", "ms_get_ipv4_4b", "ms_get_ipv4_str", "ms_swap_buffer", "ms_swap_buffer_uc",
    "ms_swap_buffer_li",
    // clang-format on
};

// The library, opened once, and its exports by name.
void *lib = nullptr;

template <typename Fn>
Fn bind(const char *name) {
    void *sym = lib ? dlsym(lib, name) : nullptr;
    return reinterpret_cast<Fn>(sym);
}
#define VELQ(name) bind<decltype(&::name)>(#name)

class VelqLib : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib = dlopen(VQ_VELQ_PATH, RTLD_NOW | RTLD_LOCAL); }
    static void TearDownTestSuite() {
        if (lib) dlclose(lib);
        lib = nullptr;
    }
    void SetUp() override { ASSERT_NE(lib, nullptr) << dlerror(); }
};

// ---------------------------------------------------------------- export table

TEST_F(VelqLib, ExportsExactlyTheTwentyFunctions) {
    FILE *p = popen("nm -D --defined-only " VQ_VELQ_PATH, "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> found;
    char line[512];
    while (fgets(line, sizeof line, p)) {
        char addr[64], type[8], name[256];
        if (sscanf(line, "%63s %7s %255s", addr, type, name) == 3) found.insert(name);
    }
    ASSERT_EQ(pclose(p), 0);
    // The linker's own markers are no symbols of ours.
    for (const char *marker : {"_init", "_fini", "__bss_start", "_edata", "_end"})
        found.erase(marker);
    std::set<std::string> want(std::begin(kExports), std::end(kExports));
    EXPECT_EQ(found, want);
    for (const char *name : kExports) EXPECT_NE(dlsym(lib, name), nullptr) << name;
}

// ---------------------------------------------------------------- serial port

// Waits until at least n bytes wait on the slave side.
bool wait_pending(int fd, int n) {
    return tu_wait_until([fd, n] {
        int k = 0;
        return ioctl(fd, FIONREAD, &k) == 0 && k >= n;
    });
}

// A pty pair whose slave the library has opened as h (by its path).
class VelqPort : public VelqLib {
protected:
    tu_pty pty;
    int h = -1;
    void SetUp() override {
        VelqLib::SetUp();
        ASSERT_TRUE(pty.open());
        ASSERT_EQ(VELQ(mc_opencom_rs232)(&h, pty.path.c_str()), 0);
    }
    void TearDown() override { VELQ(mc_CloseCom_rs232)(&h); }
};

TEST_F(VelqLib, OpenAndCloseSetAndResetTheHandle) {
    auto open = VELQ(mc_opencom_rs232);
    auto close = VELQ(mc_CloseCom_rs232);
    tu_pty pty;
    ASSERT_TRUE(pty.open());

    struct Row {
        int n;
        bool has_handle;
        int start;  // handle before the call
        const char *intf;
        char rc;
        int after;  // -2: any open handle
    };
    const Row rows[] = {
        {1, false, -1, "/dev/null", 10, -1},
        {2, true, -1, nullptr, 2, -1},
        {3, true, -1, "", 2, -1},
        {4, true, 5, pty.path.c_str(), 1, 5},  // already open: untouched
        {5, true, -1, "/dev/no-such-velq-port", 3, -1},
        {6, true, -1, "/dev/null", 3, -1},  // not a serial device
        {7, true, -1, "Com0", 3, -1},       // no such COM name
        {8, true, -1, pty.path.c_str(), 0, -2},
    };
    for (const Row &r : rows) {
        int h = r.start;
        EXPECT_EQ(open(r.has_handle ? &h : nullptr, r.intf), r.rc) << "row " << r.n;
        if (r.after == -2)
            EXPECT_GE(h, 0) << "row " << r.n;
        else
            EXPECT_EQ(h, r.after) << "row " << r.n;
        if (r.rc == 0) {
            // In use by this open: a second opener is refused.
            int h2 = -1;
            EXPECT_EQ(open(&h2, pty.path.c_str()), 3) << "row " << r.n;
            EXPECT_EQ(h2, -1);
            close(&h);
            EXPECT_EQ(h, -1) << "row " << r.n;
        }
    }
    int none = -1;
    close(&none);  // nothing to do
    EXPECT_EQ(none, -1);
    close(nullptr);

    // A COM name goes through the platform's port table.
    ASSERT_TRUE(plat::ser_set_com_path(7, pty.path.c_str()));
    int h = -1;
    EXPECT_EQ(open(&h, "com7"), 0);
    EXPECT_GE(h, 0);
    close(&h);
    plat::ser_set_com_path(7, nullptr);
}

TEST_F(VelqLib, TimeoutsNeedAnOpenPort) {
    auto timeouts = VELQ(set_comm_timeouts_zelb);
    EXPECT_EQ(timeouts(-1, 100), 6);
    const int dir = ::open("/", O_RDONLY | O_DIRECTORY);
    // cppcheck-suppress resourceLeak ; when this fails, nothing was opened
    ASSERT_GE(dir, 0);
    EXPECT_EQ(timeouts(dir, 100), 4);  // no port: its time-outs cannot be read
    ::close(dir);
}

TEST_F(VelqPort, WriteSendsAllBytes) {
    auto write = VELQ(mc_writecom_buff_rs232);
    const unsigned char frame[] = {0xAA, 0x55, 0x01, 0xB6, 0x20, 0x00, 0x00, 0xD7, 0xFF, 0x00};
    EXPECT_EQ(write(h, nullptr, 10), 10);
    EXPECT_EQ(write(h, frame, 0), 10);
    EXPECT_EQ(write(-1, frame, 10), 6);
    EXPECT_EQ(write(h, frame, sizeof frame), 0);
    EXPECT_EQ(tu_read_n(pty.master, sizeof frame),
              std::vector<uint8_t>(frame, frame + sizeof frame));
    const int dir = ::open("/", O_RDONLY | O_DIRECTORY);
    // cppcheck-suppress resourceLeak ; when this fails, nothing was opened
    ASSERT_GE(dir, 0);
    EXPECT_EQ(write(dir, frame, sizeof frame), 7);  // the write fails
    ::close(dir);
}

TEST_F(VelqPort, ReadCountsTheBytesBeforeTheTimeout) {
    auto timeouts = VELQ(set_comm_timeouts_zelb);
    auto read = VELQ(mc_read_com_buff_rs232);
    ASSERT_EQ(timeouts(h, 100), 0);

    unsigned char buf[256];
    uint32_t got = 99;
    EXPECT_EQ(read(h, nullptr, 10, &got), 10);
    EXPECT_EQ(read(h, buf, 0, &got), 10);
    EXPECT_EQ(read(-1, buf, 10, &got), 6);

    // Four bytes of ten arrive: 12 with the four counted.
    const uint8_t four[] = {1, 2, 3, 4};
    ASSERT_EQ(::write(pty.master, four, sizeof four), 4);
    ASSERT_TRUE(wait_pending(pty.slave, 4));
    got = 99;
    EXPECT_EQ(read(h, buf, 10, &got), 12);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::memcmp(buf, four, 4), 0);

    // A silent line: 12 and nothing; without a count pointer as well.
    EXPECT_EQ(read(h, buf, 1, &got), 12);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(read(h, buf, 1, nullptr), 12);

    // Exactly what was asked: 0.
    ASSERT_EQ(::write(pty.master, four, 3), 3);
    ASSERT_TRUE(wait_pending(pty.slave, 3));
    EXPECT_EQ(read(h, buf, 3, &got), 0);
    EXPECT_EQ(got, 3u);

    // One call stores at most 127 bytes; the rest comes with the next call.
    ASSERT_EQ(timeouts(h, tu_wait_ms), 0);
    std::vector<uint8_t> many(200);
    for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(::write(pty.master, many.data(), many.size()), 200);
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(read(h, buf, 200, &got), 12);
    EXPECT_EQ(got, 127u);
    EXPECT_EQ(std::memcmp(buf, many.data(), 127), 0);
    EXPECT_EQ(buf[127], 0xEE);  // nothing stored past the limit
    EXPECT_EQ(read(h, buf, 73, &got), 0);
    EXPECT_EQ(got, 73u);
    EXPECT_EQ(std::memcmp(buf, many.data() + 127, 73), 0);

    // A failing read call: 11.
    const int dir = ::open("/", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    EXPECT_EQ(read(dir, buf, 4, &got), 11);
    EXPECT_EQ(got, 0u);
    ::close(dir);
}

// ---------------------------------------------------------------- windows

class VelqWin : public VelqLib {
protected:
    int main_wnd = -1, check = -1;
    void SetUp() override {
        VelqLib::SetUp();
        plat::win_use_headless();
        plat::win_boxes_clear();
        plat::WinMainArgs a;
        a.title = "velq test";
        a.visible = false;
        main_wnd = plat::win_create_main(a);
        ASSERT_NE(main_wnd, -1);
        check = plat::win_create_control(main_wnd, plat::WIN_CHECK, 300, "Box", 0, 0, 50, 20);
        ASSERT_NE(check, -1);
    }
    void TearDown() override { plat::win_shutdown(); }
};

TEST_F(VelqWin, ButtonStateAndEnable) {
    auto checked = VELQ(mw_butt_is_checked);
    auto enab = VELQ(mw_enab_butt);
    EXPECT_EQ(checked(-1), 10);
    EXPECT_EQ(checked(check), 0);
    plat::win_set_check(check, true);
    EXPECT_EQ(checked(check), 1);
    enab(check, 0);
    EXPECT_FALSE(plat::win_is_enabled(check));
    enab(check, 7);
    EXPECT_TRUE(plat::win_is_enabled(check));
    enab(-1, 0);  // nothing
}

// The boxes refuse a missing owner, caption or text; the icon comes from the
// lowest of the style bits 1, 2 and 4.
TEST_F(VelqWin, BoxesPickTheIconByTheLowestStyleBit) {
    auto alert = VELQ(mw_alert);
    auto quest = VELQ(mw_quest);
    alert(-1, "T", "x", 1);
    alert(main_wnd, nullptr, "x", 1);
    alert(main_wnd, "T", nullptr, 1);
    EXPECT_EQ(quest(-1, "T", "x", 2), 2);
    EXPECT_EQ(quest(main_wnd, "T", nullptr, 2), 2);
    EXPECT_TRUE(plat::win_boxes_shown().empty());

    for (char style : {0, 4, 6, 7}) alert(main_wnd, "Title", "Text \xE4", style);
    plat::win_script_box(plat::WIN_ANSWER_YES);
    EXPECT_EQ(quest(main_wnd, "Q", "Sure?", 2), 0);
    plat::win_script_box(plat::WIN_ANSWER_NO);
    EXPECT_EQ(quest(main_wnd, "Q", "Sure?", 2), 1);
    const auto boxes = plat::win_boxes_shown();
    ASSERT_EQ(boxes.size(), 6u);
    const plat::WinIcon icons[] = {plat::WIN_ICON_NONE,     plat::WIN_ICON_EXCLAMATION,
                                   plat::WIN_ICON_QUESTION, plat::WIN_ICON_STOP,
                                   plat::WIN_ICON_QUESTION, plat::WIN_ICON_QUESTION};
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].owner, main_wnd) << i;
        EXPECT_EQ(boxes[i].icon, icons[i]) << i;
        EXPECT_EQ(boxes[i].buttons, i < 4 ? plat::WIN_BOX_OK : plat::WIN_BOX_YESNO) << i;
    }
    EXPECT_EQ(boxes[0].caption, "Title");
    EXPECT_EQ(boxes[0].body, "Text \xE4");
}

TEST_F(VelqWin, MenusAndTheirMarks) {
    auto select = VELQ(mw_select_menu);
    auto mark = VELQ(mw_check_menu);
    const plat::WinMenuRow rows[] = {
        {plat::WIN_MENU_POPUP, "&File", 0},
        {plat::WIN_MENU_ITEM, "&Open", 101},
        {plat::WIN_MENU_END, nullptr, 0},
    };
    ASSERT_TRUE(plat::win_register_menu(700, rows, std::size(rows)));

    EXPECT_EQ(mark(main_wnd, 101, 1), 2);  // no menu yet
    EXPECT_EQ(select(nullptr, -1, 700), 1);
    EXPECT_EQ(select(nullptr, main_wnd, 799), 1);  // no such menu
    EXPECT_EQ(select(nullptr, check, 700), 2);     // a control takes no menu
    EXPECT_EQ(select(nullptr, main_wnd, 700), 0);
    EXPECT_EQ(plat::win_menu_of(main_wnd), 700);

    EXPECT_EQ(mark(-1, 101, 1), 1);
    EXPECT_EQ(mark(main_wnd, 555, 1), 3);
    EXPECT_EQ(mark(main_wnd, 101, 1), 0);
    bool on = false, enabled = false;
    ASSERT_EQ(plat::win_menu_item_state(main_wnd, 101, &on, &enabled), 0);
    EXPECT_TRUE(on);
    EXPECT_EQ(mark(main_wnd, 101, 0), 0);
    ASSERT_EQ(plat::win_menu_item_state(main_wnd, 101, &on, &enabled), 0);
    EXPECT_FALSE(on);
}

// ---------------------------------------------------------------- strings

TEST_F(VelqLib, DottedQuadsOnlyInCanonicalForm) {
    auto parse = VELQ(ms_get_ipv4_str);
    struct Row {
        int n;
        const char *s;
        int32_t rc;
        uint8_t b4, b3, b2, b1;
    };
    const Row rows[] = {
        {1, "192.168.1.10", 0, 192, 168, 1, 10},
        {2, "255.255.255.255", 0, 255, 255, 255, 255},
        {3, "", 2, 7, 7, 7, 7},  // refused before the bytes are touched
        {4, "192.168.1", 3, 0, 0, 0, 0},
        {5, "a.b.c.d", 3, 0, 0, 0, 0},
        {6, "1..2.3", 3, 0, 0, 0, 0},
        {7, "1 .2.3.4", 3, 0, 0, 0, 0},
        {8, "192.168.1.256", 4, 0, 0, 0, 0},
        {9, "-1.2.3.4", 4, 0, 0, 0, 0},
        {10, "1.2.3.99999999999999999999", 4, 0, 0, 0, 0},  // no overflow trouble
        {11, "192.168.001.10", 5, 0, 0, 0, 0},
        {12, "1. 2.3.4", 5, 0, 0, 0, 0},
        {13, "-0.0.0.0", 5, 0, 0, 0, 0},
    };
    for (const Row &r : rows) {
        uint8_t b[4] = {7, 7, 7, 7};
        EXPECT_EQ(parse(r.s, &b[0], &b[1], &b[2], &b[3]), r.rc) << "row " << r.n;
        EXPECT_EQ(b[0], r.b4) << "row " << r.n;
        EXPECT_EQ(b[1], r.b3) << "row " << r.n;
        EXPECT_EQ(b[2], r.b2) << "row " << r.n;
        EXPECT_EQ(b[3], r.b1) << "row " << r.n;
    }
    uint8_t b[4];
    EXPECT_EQ(parse(nullptr, &b[0], &b[1], &b[2], &b[3]), 1);
    EXPECT_EQ(parse("1.2.3.4", &b[0], nullptr, &b[2], &b[3]), 1);

    auto print = VELQ(ms_get_ipv4_4b);
    char s[16];
    EXPECT_EQ(print(nullptr, 1, 2, 3, 4), 1);
    EXPECT_EQ(print(s, 255, 0, 10, 1), 0);
    EXPECT_STREQ(s, "255.0.10.1");
    EXPECT_EQ(print(s, 255, 255, 255, 255), 0);
    EXPECT_STREQ(s, "255.255.255.255");
    EXPECT_EQ(parse(s, &b[0], &b[1], &b[2], &b[3]), 0);
}

TEST_F(VelqLib, RangeTests) {
    auto uchar = VELQ(ms_is_not_uchar_li);
    auto uint = VELQ(ms_is_not_uint_li);
    struct Row {
        int n;
        int32_t li;
        char not_uchar, not_uint;
    };
    const Row rows[] = {
        {1, 0, 0, 0},   {2, 255, 0, 0},       {3, 256, 1, 0},       {4, -1, 1, 1},
        {5, 128, 0, 0}, {6, INT32_MIN, 1, 1}, {7, INT32_MAX, 1, 0},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(uchar(r.li), r.not_uchar) << "row " << r.n;
        EXPECT_EQ(uint(r.li), r.not_uint) << "row " << r.n;
    }
}

TEST_F(VelqLib, SwapExchangesOnlyTheCountedBytes) {
    auto swap = VELQ(ms_swap_buffer);
    auto swap_uc = VELQ(ms_swap_buffer_uc);
    auto swap_li = VELQ(ms_swap_buffer_li);
    unsigned char a[6] = {1, 2, 3, 4, 5, 6}, b[6] = {11, 12, 13, 14, 15, 16};
    EXPECT_EQ(swap(a, b, 0), 1);
    EXPECT_EQ(swap(nullptr, b, 3), 1);
    EXPECT_EQ(swap(a, nullptr, 3), 1);
    EXPECT_EQ(swap(a, b, 3), 0);
    EXPECT_EQ(std::vector<int>(a, a + 6), (std::vector<int>{11, 12, 13, 4, 5, 6}));
    EXPECT_EQ(std::vector<int>(b, b + 6), (std::vector<int>{1, 2, 3, 14, 15, 16}));
    EXPECT_EQ(swap_uc(a, b), 0);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[1], 12);
    int32_t x = 0x12345678, y = -5;
    EXPECT_EQ(swap_li(&x, &y), 0);
    EXPECT_EQ(x, -5);
    EXPECT_EQ(y, 0x12345678);
    EXPECT_EQ(swap_li(&x, nullptr), 1);
    EXPECT_EQ(swap_uc(nullptr, &y), 1);
}

}  // namespace
