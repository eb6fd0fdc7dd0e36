// Numbers the program reads from text it did not check itself: the group flag of
// the IP lists ("ik_sys_broad", whose reader takes only the 0 or 1 it writes,
// blanks and the line's end around it)
// and the `type` attribute of a legacy serial port in sysfs (any number other
// than 0 is a UART, also one beyond int).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/serial.h"
#include "support/test_util.h"
#include "velquor/operations/vf_ipl.h"

namespace {

// The group flag: each row starts from `before` and reads `text`.
TEST(TextNumbers, GroupFlagTakesOnlyZeroOrOne) {
    struct Row {
        int no;
        uint8_t before;
        const char *text;
        uint8_t after;
    };
    const Row rows[] = {
        {1, 1, "0", 0},      {2, 0, "1", 1},   {3, 1, "256", 1},  {4, 0, "257", 0},
        {5, 0, "-1", 0},     {6, 1, "abc", 1}, {7, 1, "", 1},     {8, 0, "1x", 0},
        {9, 1, " 0\r\n", 0}, {10, 0, "01", 0}, {11, 0, "1 1", 0},
    };
    const uint8_t kept = broad;
    for (const Row &r : rows) {
        broad = r.before;
        EXPECT_EQ(load_ip_list("ik_sys_broad", r.text), 1) << "row " << r.no;
        EXPECT_EQ(broad, r.after) << "row " << r.no;
    }
    broad = kept;
}

// A legacy port keeps its COM number while its type attribute is a number
// other than 0 or no number at all; 4294967296 is no 0 (as an int it would be).
TEST(TextNumbers, UartTypeBeyondIntIsAUart) {
    struct Row {
        int no;
        const char *type;
        bool uart;
    };
    const Row rows[] = {
        {1, "0\n", false},         {2, "4\n", true},
        {3, "4294967296\n", true}, {4, "99999999999999999999999\n", true},
        {5, "junk\n", true},       {6, "", true},
        {7, " 0\n", false},
    };
    for (const Row &r : rows) {
        const std::string root = tu_make_temp_dir("vq_tnum");
        ASSERT_FALSE(root.empty());
        const std::string dev = root + "/dev", sys = root + "/sys";
        const std::string tty = sys + "/class/tty/ttyS0";
        std::filesystem::create_directories(dev);
        std::filesystem::create_directories(tty + "/device");
        ASSERT_FALSE(tu_write_file(dev + "/ttyS0", "").empty());
        ASSERT_FALSE(tu_write_file(dev + "/ttyUSB0", "").empty());
        ASSERT_FALSE(tu_write_file(tty + "/type", r.type).empty());
        EXPECT_EQ(plat::ser_find_ports(dev.c_str(), sys.c_str()), 1) << "row " << r.no;
        // The adapter takes COM1 when ttyS0 holds no number, else COM2.
        EXPECT_EQ(plat::ser_com_path(r.uart ? 2 : 1), dev + "/ttyUSB0") << "row " << r.no;
        EXPECT_EQ(plat::ser_find_ports((root + "/none").c_str(), sys.c_str()), 0);
        std::filesystem::remove_all(root);
    }
}

}  // namespace
