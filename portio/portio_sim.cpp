// The simulated adapter and EEPROM (see portio_sim.h). The EEPROM decodes the
// bus bit by bit from the level changes of SCL and SDA, as the chip does: it
// never sees bytes, only edges, so a master with wrong timing or order fails
// here as it would on the hardware. Each register access costs a few branches;
// files are touched only at START conditions, supply changes, STOP conditions
// (the log) and the end of write cycles.
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "portio/portio_sim.h"

namespace vqportio::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kDataPort = 0x378;
constexpr unsigned kStatusPort = 0x379;
constexpr unsigned kFloating = 0xFF;

// Data register bits.
constexpr unsigned kScl = 0x01;
constexpr unsigned kSda = 0x02;
constexpr unsigned kSupply = 0x04;
constexpr unsigned kLoopOut = 0x80;
// Status register bits.
constexpr unsigned kStatusSda = 0x40;
constexpr unsigned kStatusLoop = 0x80;

constexpr unsigned kDeviceWrite = 0xA0;  // 7-bit address 0x50, R/W bit 0
constexpr unsigned kPageSize = 8;
constexpr auto kWriteCycle = std::chrono::milliseconds(5);
constexpr std::size_t kSmallSize = 128;
constexpr std::size_t kLargeSize = 256;

std::string hex(unsigned byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(byte >> 4) & 0xF], kDigits[byte & 0xF]};
}

bool exists(const std::string &path) { return !path.empty() && ::access(path.c_str(), F_OK) == 0; }

class Sim {
public:
    ~Sim() { shutdown(); }

    short read(unsigned port) {
        if (!loaded_) load_dir();
        if (port == kDataPort) return static_cast<short>(data_);
        if (port != kStatusPort) return static_cast<short>(kFloating);
        if (!plugged_) return static_cast<short>(kStatusSda | kStatusLoop);
        unsigned status = (data_ & kLoopOut) ? 0 : kStatusLoop;
        // Without supply the EEPROM cannot pull SDA: the bus shows the master's line.
        bool sda = (data_ & kSupply) ? sda_ : (data_ & kSda) != 0;
        if (sda) status |= kStatusSda;
        return static_cast<short>(status);
    }

    void write(unsigned port, unsigned value) {
        if (port != kDataPort) return;
        if (!loaded_) load_dir();
        unsigned before = data_;
        data_ = value & 0xFF;
        // The loop-back output toggles only in the adapter test: the moment to
        // see whether the adapter is still plugged.
        if ((before ^ data_) & kLoopOut) plugged_ = exists(plugged_path_);
        bool on = (data_ & kSupply) != 0;
        if (on != ((before & kSupply) != 0)) {
            if (on)
                power_on();
            else
                power_off();
            return;  // the lines at power-on are the idle levels, not edges
        }
        if (!on) return;
        bool scl = (data_ & kScl) != 0;
        bool sda = (data_ & kSda) != 0;
        // Both lines changed in one write: SCL falling goes first (data changes
        // while the clock is low) and SCL rising goes last (data is set up before
        // the clock), so a bit never looks like a START or STOP.
        if (scl_ && !scl) {
            scl_fall();
            set_master_sda(sda);
        } else {
            set_master_sda(sda);
            if (!scl_ && scl) scl_rise();
        }
    }

    void shutdown() {
        settle_cycle(true);
        data_ = 0;
        loaded_ = false;
        dir_.clear();
        plugged_ = board_ = wp_ = log_ = false;
        reset_device();
    }

    std::mutex mutex;

private:
    enum class Phase {
        idle,        // waiting for a START (after a STOP, a NAK or power-on)
        receive,     // clocking in the bits of a byte from the master
        ack_next,    // byte accepted: pull SDA at the next SCL low
        ack,         // holding SDA low for the 9th clock
        send,        // shifting a byte out on SCL low periods
        master_ack,  // 9th clock of a byte sent: the master's ACK or NAK
    };

    // The state directory's paths, files and EEPROM contents.
    void load_dir() {
        loaded_ = true;
        const char *dir = std::getenv(kDirVariable);
        dir_ = dir != nullptr ? dir : "";
        if (dir_.empty()) {
            eeprom_path_ = plugged_path_ = board_path_ = wp_path_ = log_path_ = "";
        } else {
            eeprom_path_ = dir_ + "/eeprom.bin";
            plugged_path_ = dir_ + "/plugged";
            board_path_ = dir_ + "/board";
            wp_path_ = dir_ + "/wp";
            log_path_ = dir_ + "/log";
        }
        check_files();
        load_eeprom();
    }

    void check_files() {
        plugged_ = exists(plugged_path_);
        board_ = exists(board_path_);
        wp_ = exists(wp_path_);
        log_ = exists(log_path_);
    }

    void load_eeprom() {
        std::array<unsigned char, kLargeSize> buf{};
        std::size_t n = 0;
        bool found = false;
        if (!eeprom_path_.empty()) {
            if (std::FILE *f = std::fopen(eeprom_path_.c_str(), "rb")) {
                found = true;
                n = std::fread(buf.data(), 1, buf.size(), f);
                std::fclose(f);
            }
        }
        mem_.assign(n >= kLargeSize ? kLargeSize : kSmallSize, 0xFF);
        for (std::size_t i = 0; i < n && i < mem_.size(); ++i) mem_[i] = buf[i];
        if (!found) save_eeprom();
    }

    void save_eeprom() {
        if (eeprom_path_.empty()) return;
        std::string tmp = eeprom_path_ + ".new";
        std::FILE *f = std::fopen(tmp.c_str(), "wb");
        if (f == nullptr) return;
        bool ok = std::fwrite(mem_.data(), 1, mem_.size(), f) == mem_.size();
        ok = std::fclose(f) == 0 && ok;
        if (!ok || std::rename(tmp.c_str(), eeprom_path_.c_str()) != 0) std::remove(tmp.c_str());
    }

    void append_log(const std::string &line) {
        if (!log_) return;
        if (std::FILE *f = std::fopen(log_path_.c_str(), "a")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }

    // Ends a write cycle whose time is up (or any, when forced) and stores it.
    void settle_cycle(bool force) {
        if (!cycle_) return;
        if (!force && Clock::now() < cycle_end_) return;
        cycle_ = false;
        save_eeprom();
    }

    void power_on() {
        settle_cycle(true);  // a cycle of the previous directory goes to its file
        load_dir();
        reset_device();
        scl_ = (data_ & kScl) != 0;
        master_sda_ = (data_ & kSda) != 0;
        sda_ = master_sda_;
    }

    // The EEPROM loses its transfer state; a started write cycle still completes.
    void power_off() {
        settle_cycle(true);
        reset_device();
    }

    void reset_device() {
        phase_ = Phase::idle;
        slave_low_ = false;
        sda_ = master_sda_ = scl_ = true;
        addr_ = 0;
        page_mask_ = 0;
        tx_.clear();
        tx_address_only_ = false;
    }

    // The EEPROM pulls SDA low or releases it; it only does so while SCL is low.
    void drive_low(bool low) {
        slave_low_ = low;
        sda_ = master_sda_ && !slave_low_;
    }

    void set_master_sda(bool high) {
        master_sda_ = high;
        bool bus = high && !slave_low_;
        if (bus == sda_) return;
        sda_ = bus;
        if (!scl_) return;
        if (bus)
            stop();
        else
            start();
    }

    void start() {
        check_files();
        settle_cycle(false);
        if (!tx_.empty() && tx_[0] == 'R') flush_tx();  // a read ended by a repeated START
        page_mask_ = 0;                                 // a START before the STOP abandons a write
        if (!plugged_ || !board_) {
            phase_ = Phase::idle;
            return;
        }
        busy_ = cycle_;
        phase_ = Phase::receive;
        bits_ = 0;
        shift_ = 0;
        byte_ix_ = 0;
    }

    void stop() {
        if (page_mask_ != 0 && !wp_) {
            for (unsigned i = 0; i < kPageSize; ++i)
                if (page_mask_ & (1u << i)) mem_[page_base_ + i] = page_[i];
            cycle_ = true;
            cycle_end_ = Clock::now() + kWriteCycle;
        }
        page_mask_ = 0;
        phase_ = Phase::idle;
        flush_tx();
    }

    void scl_rise() {
        scl_ = true;
        if (phase_ == Phase::receive) {
            shift_ = ((shift_ << 1) | (sda_ ? 1u : 0u)) & 0xFF;
            if (++bits_ == 8) byte_received();
        } else if (phase_ == Phase::master_ack) {
            master_acked_ = !sda_;
        }
    }

    void scl_fall() {
        scl_ = false;
        switch (phase_) {
        case Phase::ack_next:
            drive_low(true);
            phase_ = Phase::ack;
            break;
        case Phase::ack:
            drive_low(false);
            if (reading_) {
                begin_send();
            } else {
                phase_ = Phase::receive;
                bits_ = 0;
                shift_ = 0;
            }
            break;
        case Phase::send:
            if (++bits_ == 8) {
                drive_low(false);  // the 9th clock is the master's
                phase_ = Phase::master_ack;
                master_acked_ = false;
                if (log_) tx_ += " " + hex(out_);
            } else {
                drive_bit();
            }
            break;
        case Phase::master_ack:
            if (master_acked_)
                begin_send();
            else
                phase_ = Phase::idle;  // NAK: the master ends the read
            break;
        case Phase::idle:
        case Phase::receive: break;
        }
    }

    void byte_received() {
        unsigned byte = shift_;
        if (byte_ix_ == 0) {
            if ((byte & 0xFE) != kDeviceWrite || busy_) {
                // Not this device, or busy storing a write: no acknowledge.
                if (log_) {
                    flush_tx();
                    append_log("NAK " + hex(byte));
                }
                phase_ = Phase::idle;
                return;
            }
            reading_ = (byte & 1) != 0;
            if (log_) begin_tx(byte);
        } else if (byte_ix_ == 1) {
            addr_ = byte & (mem_.size() - 1);
            page_base_ = addr_ & ~(kPageSize - 1);
            page_off_ = addr_ & (kPageSize - 1);
            if (log_) {
                tx_ += ' ';
                tx_ += hex(byte);
                tx_address_only_ = true;
            }
        } else {
            // Data bytes fill the page latch; past its end they wrap and
            // overwrite, and the address counter wraps within the page.
            page_[page_off_] = static_cast<unsigned char>(byte);
            page_mask_ |= 1u << page_off_;
            page_off_ = (page_off_ + 1) & (kPageSize - 1);
            addr_ = page_base_ + page_off_;
            if (log_) {
                tx_ += ' ';
                tx_ += hex(byte);
                tx_address_only_ = false;
            }
        }
        ++byte_ix_;
        phase_ = Phase::ack_next;
    }

    void begin_send() {
        out_ = mem_[addr_];
        addr_ = (addr_ + 1) & (mem_.size() - 1);
        bits_ = 0;
        phase_ = Phase::send;
        drive_bit();
    }

    void drive_bit() { drive_low(((out_ >> (7 - bits_)) & 1u) == 0); }

    // The log line of a transaction: a read after a write of only the word
    // address (a random read) is one line with that address.
    void begin_tx(unsigned byte) {
        std::string dev = hex(byte & 0xFE);
        if (byte & 1) {
            if (!tx_.empty() && tx_[0] == 'W' && tx_address_only_) {
                tx_[0] = 'R';
                tx_ += " ->";
                tx_address_only_ = false;
                return;
            }
            flush_tx();
            tx_ = "R " + dev + " ->";
        } else {
            flush_tx();
            tx_ = "W " + dev;
        }
        tx_address_only_ = false;
    }

    void flush_tx() {
        if (!tx_.empty()) append_log(tx_);
        tx_.clear();
        tx_address_only_ = false;
    }

    // The port.
    unsigned data_ = 0;
    bool loaded_ = false;

    // The state directory.
    std::string dir_, eeprom_path_, plugged_path_, board_path_, wp_path_, log_path_;
    bool plugged_ = false, board_ = false, wp_ = false, log_ = false;

    // The EEPROM's memory and write cycle.
    std::vector<unsigned char> mem_ = std::vector<unsigned char>(kSmallSize, 0xFF);
    bool cycle_ = false;
    Clock::time_point cycle_end_{};

    // The bus as the EEPROM sees it.
    bool scl_ = true, sda_ = true, master_sda_ = true, slave_low_ = false;

    // The EEPROM's transfer state.
    Phase phase_ = Phase::idle;
    unsigned shift_ = 0;
    unsigned bits_ = 0;
    unsigned byte_ix_ = 0;
    bool reading_ = false;
    bool busy_ = false;
    bool master_acked_ = false;
    unsigned out_ = 0;
    std::size_t addr_ = 0;
    std::array<unsigned char, kPageSize> page_{};
    unsigned page_mask_ = 0;
    std::size_t page_base_ = 0;
    std::size_t page_off_ = 0;

    // The transaction being logged.
    std::string tx_;
    bool tx_address_only_ = false;
};

Sim g_sim;

}  // namespace

short inp(short port) {
    std::lock_guard<std::mutex> lock(g_sim.mutex);
    return g_sim.read(static_cast<unsigned short>(port));
}

void out(short port, short value) {
    std::lock_guard<std::mutex> lock(g_sim.mutex);
    g_sim.write(static_cast<unsigned short>(port), static_cast<unsigned short>(value));
}

void shutdown() {
    std::lock_guard<std::mutex> lock(g_sim.mutex);
    g_sim.shutdown();
}

}  // namespace vqportio::sim
