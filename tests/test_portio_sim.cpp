// The simulated adapter and EEPROM, driven register by register with the
// sequences of the program's bit-banged I2C master.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "portio/portio_sim.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

// The program's I2C master: data register 0x378, status register 0x379.
struct Master {
    short (*inp)(short) = vqportio::sim::inp;
    void (*out)(short, short) = vqportio::sim::out;

    void w(int v) { out(0x378, static_cast<short>(v)); }
    void ws(std::initializer_list<int> vs) {
        for (int v : vs) w(v);
    }
    int status() { return inp(0x379) & 0xFF; }
    bool sda() { return (status() & 0x40) != 0; }

    void power_on() { ws({4, 7}); }
    void power_off() { w(0); }
    void power_cycle() {
        power_off();
        power_on();
    }
    bool adapter() {
        w(0);
        bool low_reads_high = (status() & 0x80) != 0;
        w(128);
        bool high_reads_low = (status() & 0x80) == 0;
        return low_reads_high && high_reads_low;
    }
    void start() { ws({5, 5, 4, 4}); }
    void restart() { ws({6, 6, 7, 7, 5, 5, 4, 4}); }
    void stop() { ws({5, 5, 7, 7}); }
    void bit_out(bool bit) {
        int d = bit ? 6 : 4;
        ws({d, d + 1, d + 1, d});
    }
    bool put(unsigned byte) {
        for (int i = 7; i >= 0; --i) bit_out(((byte >> i) & 1) != 0);
        ws({6, 7});
        bool ack = !sda();
        ws({7, 4, 4});
        return ack;
    }
    unsigned get(bool ack) {
        unsigned v = 0;
        for (int i = 0; i < 8; ++i) {
            ws({6, 6, 7});
            v = (v << 1) | (sda() ? 1 : 0);
            w(7);
        }
        if (ack)
            ws({4, 4, 5, 5, 4, 4});
        else
            ws({6, 6, 7, 7, 6, 6, 4, 4});
        return v;
    }
    bool write(unsigned addr, const Bytes &data) {
        start();
        bool ok = put(0xA0) && put(addr);
        for (std::size_t i = 0; ok && i < data.size(); ++i) ok = put(data[i]);
        stop();
        return ok;
    }
    std::optional<Bytes> read(unsigned addr, std::size_t n) {
        start();
        if (!put(0xA0) || !put(addr)) {
            stop();
            return std::nullopt;
        }
        restart();
        if (!put(0xA1)) {
            stop();
            return std::nullopt;
        }
        Bytes got;
        for (std::size_t i = 0; i < n; ++i)
            got.push_back(static_cast<unsigned char>(get(i + 1 < n)));
        stop();
        return got;
    }
    // Polls for the address acknowledge as the program does after a write.
    bool wait_ready(std::chrono::milliseconds limit) {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            start();
            bool ack = put(0xA0);
            stop();
            if (ack) return true;
        }
        return false;
    }
};

class PortioSim : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = make_dir();
        use_dir(dir_);
        vqportio::sim::shutdown();
    }
    void TearDown() override {
        vqportio::sim::shutdown();
        for (const fs::path &d : dirs_) fs::remove_all(d);
        unsetenv(vqportio::sim::kDirVariable);
    }
    fs::path make_dir() {
        std::string templ = (fs::temp_directory_path() / "vqportio_sim.XXXXXX").string();
        EXPECT_NE(mkdtemp(templ.data()), nullptr);
        dirs_.push_back(templ);
        return templ;
    }
    static void use_dir(const fs::path &d) { setenv(vqportio::sim::kDirVariable, d.c_str(), 1); }
    void touch(const char *name) { std::ofstream(dir_ / name).close(); }
    void rm(const char *name) { fs::remove(dir_ / name); }
    static Bytes file(const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void put_file(const fs::path &p, const Bytes &b) {
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char *>(b.data()),
                   static_cast<std::streamsize>(b.size()));
    }
    // A monitor on a plugged adapter, powered and idle.
    void connected() {
        touch("plugged");
        touch("board");
        m_.power_on();
    }

    fs::path dir_;
    std::vector<fs::path> dirs_;
    Master m_;
};

// The adapter's loop-back answers only while "plugged" exists, and the EEPROM
// (device 0xA0, no other) only while "board" exists as well. Both files are
// looked at again at each START and adapter test, without a power cycle.
TEST_F(PortioSim, PlugAndBoardFilesDecideLoopBackAndAcknowledge) {
    struct Case {
        bool plugged, board;
    };
    for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        SCOPED_TRACE(testing::Message() << "plugged " << c.plugged << " board " << c.board);
        rm("plugged");
        rm("board");
        m_.power_cycle();
        if (c.plugged) touch("plugged");
        EXPECT_EQ(m_.adapter(), c.plugged);
        m_.power_on();
        if (c.board) touch("board");  // no power cycle: the next START sees it
        m_.start();
        EXPECT_EQ(m_.put(0xA0), c.plugged && c.board);
        m_.stop();
        m_.start();
        EXPECT_FALSE(m_.put(0xA6));  // another device address
        m_.stop();
    }
    // Plugged: status bit 7 reads the inverse of data bit 7, bit 6 data bit 1; unplugged
    // the inputs float high.
    rm("board");
    for (int data : {0, 2, 4, 6, 0x80, 0x86}) {
        m_.w(data);
        EXPECT_EQ(m_.status(), ((data & 0x80) ? 0 : 0x80) | ((data & 2) ? 0x40 : 0)) << data;
    }
    rm("plugged");
    EXPECT_FALSE(m_.adapter());
    m_.w(128);
    EXPECT_EQ(m_.status(), 0xC0);
}

// A byte written is stored once the 5 ms write cycle is over, during which the
// device ignores its address; it is then in the state directory, replaced
// whole. Every transaction is logged.
TEST_F(PortioSim, WrittenByteIsStoredAfterTheWriteCycleAndLogged) {
    touch("log");
    connected();
    auto begun = Clock::now();
    ASSERT_TRUE(m_.write(0x12, {0x34}));
    m_.start();
    EXPECT_FALSE(m_.put(0xA0));
    m_.stop();
    ASSERT_TRUE(m_.wait_ready(std::chrono::milliseconds(1000)));
    EXPECT_GE(Clock::now() - begun, std::chrono::milliseconds(5));
    EXPECT_EQ(m_.read(0x12, 2), (Bytes{0x34, 0xFF}));
    Bytes disk = file(dir_ / "eeprom.bin");
    ASSERT_EQ(disk.size(), 128u);
    EXPECT_EQ(disk[0x12], 0x34);
    EXPECT_FALSE(fs::exists(dir_ / "eeprom.bin.new"));
    std::ifstream in(dir_ / "log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "W A0 12 34");
    EXPECT_EQ(lines[1], "NAK A0");
    EXPECT_EQ(lines.back(), "R A0 12 -> 34 FF");
    EXPECT_EQ(lines[lines.size() - 2], "W A0");  // the poll that was acknowledged
}

TEST_F(PortioSim, SequentialAndCurrentAddressReads) {
    Bytes content(128);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<unsigned char>(i * 7 + 3);
    put_file(dir_ / "eeprom.bin", content);
    connected();
    auto begun = Clock::now();
    EXPECT_EQ(m_.read(0, 128), content);
    // The whole memory read costs ~23 000 accesses: far below a second even
    // with the sanitizers.
    EXPECT_LT(Clock::now() - begun, std::chrono::seconds(2));
    // The counter wrapped to 0: a current-address read continues there.
    m_.start();
    ASSERT_TRUE(m_.put(0xA1));
    EXPECT_EQ(m_.get(false), content[0]);
    m_.stop();
    // Word addresses beyond the memory wrap.
    EXPECT_EQ(m_.read(0x85, 1), Bytes{content[5]});
}

// A page write wraps within its eight bytes; a 256-byte EEPROM keeps its size.
TEST_F(PortioSim, PageWriteWrapsAndALargeEepromKeepsItsSize) {
    connected();
    ASSERT_TRUE(m_.write(0x06, {0xA1, 0xA2, 0xA3}));
    ASSERT_TRUE(m_.wait_ready(std::chrono::milliseconds(1000)));
    EXPECT_EQ(m_.read(0x00, 9), (Bytes{0xA3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 0xA2, 0xFF}));

    Bytes content(256);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<unsigned char>(255 - i);
    put_file(dir_ / "eeprom.bin", content);
    m_.power_cycle();
    EXPECT_EQ(m_.read(0xC8, 1), Bytes{content[0xC8]});
    ASSERT_TRUE(m_.write(0xF0, {0x01}));
    ASSERT_TRUE(m_.wait_ready(std::chrono::milliseconds(1000)));
    content[0xF0] = 0x01;
    EXPECT_EQ(file(dir_ / "eeprom.bin"), content);
}

// Writes that store nothing: to a write-protected EEPROM (acknowledged, no
// write cycle), and one abandoned by a repeated start.
TEST_F(PortioSim, ProtectedAndAbandonedWritesStoreNothing) {
    connected();
    m_.start();
    ASSERT_TRUE(m_.put(0xA0));
    ASSERT_TRUE(m_.put(0x30));
    ASSERT_TRUE(m_.put(0x77));
    m_.restart();
    ASSERT_TRUE(m_.put(0xA0));  // no write cycle was started
    m_.stop();
    EXPECT_EQ(m_.read(0x30, 1), Bytes{0xFF});

    touch("wp");
    EXPECT_TRUE(m_.write(0x20, {0x55, 0x66}));
    EXPECT_EQ(m_.read(0x20, 2), (Bytes{0xFF, 0xFF}));  // answered at once: no write cycle
    EXPECT_EQ(file(dir_ / "eeprom.bin"), Bytes(128, 0xFF));
}

// Switching the supply off resets a half-done write (nothing stored) and
// releases SDA in the middle of a read; the EEPROM then answers afresh.
TEST_F(PortioSim, SupplyOffResetsAHalfDoneTransfer) {
    connected();
    m_.start();
    ASSERT_TRUE(m_.put(0xA0));
    ASSERT_TRUE(m_.put(0x40));
    for (int i = 0; i < 8; ++i) m_.bit_out(false);  // a data byte of 0, acknowledged next
    m_.w(6);
    EXPECT_FALSE(m_.sda());  // the EEPROM holds SDA low
    m_.w(2);                 // supply off, master SDA released
    EXPECT_TRUE(m_.sda());   // an unpowered EEPROM pulls nothing
    m_.power_on();
    m_.stop();
    EXPECT_EQ(m_.read(0x40, 1), Bytes{0xFF});
    EXPECT_EQ(file(dir_ / "eeprom.bin"), Bytes(128, 0xFF));

    put_file(dir_ / "eeprom.bin", Bytes(128, 0x00));  // every bit would be driven low
    m_.power_cycle();
    m_.start();
    ASSERT_TRUE(m_.put(0xA1));
    m_.ws({6, 6, 7});
    EXPECT_FALSE(m_.sda());
    m_.power_cycle();
    EXPECT_TRUE(m_.sda());
    EXPECT_EQ(m_.read(0x10, 2), (Bytes{0, 0}));
}

TEST_F(PortioSim, SupplyOnSwitchesToTheDirectoryOfTheVariable) {
    put_file(dir_ / "eeprom.bin", Bytes(128, 0x11));
    connected();
    fs::path other = make_dir();
    put_file(other / "eeprom.bin", Bytes(128, 0x22));
    std::ofstream(other / "plugged").close();
    std::ofstream(other / "board").close();
    use_dir(other);
    EXPECT_EQ(m_.read(0, 1), Bytes{0x11});  // until the supply is switched on again
    m_.power_cycle();
    EXPECT_EQ(m_.read(0, 1), Bytes{0x22});
    // A write in progress when switching away lands in the first directory.
    use_dir(dir_);
    m_.power_cycle();
    ASSERT_TRUE(m_.write(0x05, {0x99}));
    use_dir(other);
    m_.power_cycle();
    EXPECT_EQ(file(dir_ / "eeprom.bin")[5], 0x99);
    EXPECT_EQ(file(other / "eeprom.bin"), Bytes(128, 0x22));
}

// Other ports float; the built library exports the simulation under the C
// names only.
TEST_F(PortioSim, OtherPortsFloatAndTheLibraryExportsTheSimulation) {
    connected();
    m_.w(0x86);
    for (short port : {short{0x37A}, short{0x279}, short{0x3BD}}) {
        vqportio::sim::out(port, 0);
        EXPECT_EQ(vqportio::sim::inp(port), 0xFF) << port;
    }
    EXPECT_EQ(vqportio::sim::inp(0x378), 0x86);

    void *lib = dlopen(VQ_PORTIO_SIM_LIB, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    Master lm;
    lm.inp = reinterpret_cast<short (*)(short)>(dlsym(lib, "Inp32"));
    lm.out = reinterpret_cast<void (*)(short, short)>(dlsym(lib, "Out32"));
    auto status = reinterpret_cast<const char *(*)()>(dlsym(lib, "vqportio_status"));
    ASSERT_TRUE(lm.inp && lm.out && status);
    EXPECT_EQ(dlsym(lib, "_ZN8vqportio3sim3inpEs"), nullptr);
    lm.power_on();
    EXPECT_TRUE(lm.adapter());
    EXPECT_STREQ(status(), "");
    lm.power_off();
    dlclose(lib);
}

}  // namespace
