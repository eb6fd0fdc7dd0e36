// The I2C bus on the parallel port, on a recording port: the exact register
// values each primitive writes, the status reads it makes, and what it makes
// of them.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <vector>

#include "velquor/link/com_action.h"
#include "velquor/link/com_i2c.h"
#include "velquor/ui/err_texts.h"

namespace {

// One access: a write of `value` to `port`, or a read of `port` (value -1).
struct Access {
    int port, value;
    bool operator==(const Access &o) const { return port == o.port && value == o.value; }
};
std::vector<Access> trace;
// Status values the reads answer in turn; when empty, `idle_status`.
std::deque<uint8_t> status;
uint8_t idle_status = 0x40;

short rec_in(short port) {
    trace.push_back({port, -1});
    if (status.empty()) return idle_status;
    const uint8_t v = status.front();
    status.pop_front();
    return v;
}
void rec_out(short port, short value) { trace.push_back({port, value}); }

// The values written, a read shown as -1.
std::vector<int> values(void) {
    std::vector<int> v;
    for (const Access &a : trace) v.push_back(a.value);
    return v;
}

// The byte-out sequence of b with the acknowledge read.
std::vector<int> byte_out(uint8_t b) {
    std::vector<int> v;
    for (int bit = 7; bit >= 0; --bit) {
        const int d = (b >> bit) & 1 ? 6 : 4;
        v.insert(v.end(), {d, d + 1, d + 1, d});
    }
    v.insert(v.end(), {6, 7, -1, 7, 4, 4});
    return v;
}

std::vector<int> cat(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> v;
    for (const auto &p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

const std::vector<int> start = {5, 5, 4, 4}, rpstart = {6, 6, 7, 7, 5, 5, 4, 4},
                       stop = {5, 5, 7, 7};

struct I2c : ::testing::Test {
    void SetUp() override {
        Inp32 = rec_in;
        Out32 = rec_out;
        i2c_access_ns = 0;
        trace.clear();
        status.clear();
        idle_status = 0x40;
        sys_rv = 0;
        ASSERT_EQ(mc_open_ddc(1, 0, 0), 0);
    }
    void TearDown() override {
        Inp32 = nullptr;
        Out32 = nullptr;
        i2c_access_ns = 2500;
        reset_ddc_port();
    }
};

}  // namespace

TEST_F(I2c, PortSelection) {
    EXPECT_EQ(mc_open_ddc(0, 0, 0), mc_e_n_comp);
    EXPECT_EQ(mc_open_ddc(5, 0, 0), mc_e_n_comp);
    EXPECT_EQ(sys_lport, 0x378u);  // unchanged
    lptport[2] = 0x3BC;
    lptportstat[2] = 0x3BE;  // a status register of the configuration's choice
    ASSERT_EQ(mc_open_ddc(3, 0, 0), 0);
    I2C_pw_on();
    I2C_get_cable();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[0], (Access{0x3BC, 4}));
    EXPECT_EQ(trace[2].port, 0x3BE);  // the read
}

// The conditions and a byte out, value by value: 0xA5 as 6,4,6,4,4,6,4,6,
// each with its clock pulse, then the acknowledge.
TEST_F(I2c, ConditionsAndBytesAreTheirExactSequences) {
    I2C_send_start();
    I2C_send_rpstart();
    I2C_send_stop();
    EXPECT_EQ(values(), cat({start, rpstart, stop}));

    trace.clear();
    status = {0x00};  // acknowledged
    EXPECT_EQ(I2C_wdat(0xA5), 0);
    const std::vector<int> a5 = {6, 7, 7, 6, 4, 5, 5, 4, 6, 7, 7, 6, 4, 5, 5, 4,
                                 4, 5, 5, 4, 6, 7, 7, 6, 4, 5, 5, 4, 6, 7, 7, 6};
    EXPECT_EQ(values(), cat({a5, {6, 7, -1, 7, 4, 4}}));
    EXPECT_EQ(sys_rv, 0);

    trace.clear();
    EXPECT_EQ(I2C_wdat(0x00), 1);  // SDA stays high: not acknowledged
    EXPECT_EQ(sys_rv, mc_e_n_ack);

    trace.clear();
    status = {0x40, 0, 0x40, 0, 0x40, 0x40, 0, 0x40};  // 1010 1101
    EXPECT_EQ(I2C_rdat(), 0xAD);
    std::vector<int> in;
    for (int i = 0; i < 8; ++i) in.insert(in.end(), {6, 6, 7, -1, 7});
    EXPECT_EQ(values(), cat({in, {6, 6, 7, 7, 6, 6, 4, 4}}));

    trace.clear();
    EXPECT_EQ(I2C_send_start_stop_loop(), 1);
    EXPECT_EQ(trace.size(), 80u);
    EXPECT_EQ(I2C_pw_off(), 1);
    EXPECT_EQ(I2C_pw_on(), 1);
    EXPECT_EQ(values().back(), 4);
}

// The adapter: the loop-back input reads the inverse of data bit 7 only while
// it is plugged; the test leaves the supply off and makes no bus traffic.
TEST_F(I2c, AdapterTest) {
    status = {0x80, 0x00};
    EXPECT_EQ(I2C_get_cable(), 1);
    EXPECT_EQ(values(), (std::vector<int>{0, -1, 128, -1}));
    EXPECT_EQ(sys_rv, 0);
    for (const std::deque<uint8_t> &s : {std::deque<uint8_t>{0x00}, {0x80, 0x80}}) {
        trace.clear();
        status = s;
        EXPECT_EQ(I2C_get_cable(), 0);
        EXPECT_EQ(sys_rv, mc_e_flush);
    }
}

// A random read is 178 accesses; a missing EEPROM ends it at its address
// byte with a stop; a write refused at its word address sends no stop.
TEST_F(I2c, TransfersAndTheirFailures) {
    status = {0, 0, 0, 0x40, 0, 0, 0x40, 0, 0x40, 0x40, 0};  // three acks, then 1001 0110
    uint8_t b = 0;
    EXPECT_EQ(I2C_R3(0xA0, 0x12, &b), 0);
    EXPECT_EQ(b, 0x96);
    EXPECT_EQ(trace.size(), 178u);
    std::vector<int> in;
    for (int i = 0; i < 8; ++i) in.insert(in.end(), {6, 6, 7, -1, 7});
    EXPECT_EQ(values(), cat({start,
                             byte_out(0xA0),
                             byte_out(0x12),
                             rpstart,
                             byte_out(0xA1),
                             in,
                             {6, 6, 7, 7, 6, 6, 4, 4},
                             stop}));

    trace.clear();
    b = 0x55;
    EXPECT_EQ(I2C_R3(0xA0, 0x12, &b), 1);  // nobody pulls SDA low
    EXPECT_EQ(sys_rv, mc_e_n_ack);
    EXPECT_EQ(b, 0x55);
    EXPECT_EQ(values(), cat({start, byte_out(0xA0), stop}));

    trace.clear();
    status = {0, 0x40};
    EXPECT_EQ(I2C_WR3(0xA0, 0x12, 0x34), 1);
    EXPECT_EQ(values(), cat({start, byte_out(0xA0), byte_out(0x12)}));
    trace.clear();
    status = {0, 0, 0};
    EXPECT_EQ(I2C_WR3(0xA0, 0x12, 0x34), 0);
    EXPECT_EQ(values(), cat({start, byte_out(0xA0), byte_out(0x12), byte_out(0x34), stop}));
}

// Paced, no two accesses come closer than the set time (a lower bound: a slow
// machine only makes it longer).
TEST_F(I2c, AccessesKeepTheirShortestDistance) {
    i2c_access_ns = 2500;
    const auto t0 = std::chrono::steady_clock::now();
    I2C_send_start_stop_loop();
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_GE(us, 79 * 2.5);
}
