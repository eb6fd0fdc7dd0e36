// The I2C bus on the parallel port against the simulated adapter and its
// EEPROM: a 128-byte read and a 128-byte write with each byte read back,
// register accesses per byte and time per byte, with the accesses held 2.5 us
// apart (standard-mode timing, as on a real port) and unheld (the program's
// own cost), and the clock rate the primitives give. Then velquor-cli's
// ddc-read and ddc-write against the same EEPROM, each against its floor: the
// pauses of the operation's steps, the bus time at 2.5 us per access and the
// EEPROM's 5 ms write cycle per byte written.
//
//   build/bench/bench_i2c
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_i2c.h"
#include "velquor/util/vqsystem.h"

namespace {

using Clock = std::chrono::steady_clock;

double us_since(Clock::time_point t0) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

// Waits out the EEPROM's write cycle: its address is acknowledged again.
bool wait_write_cycle(void) {
    const auto t0 = Clock::now();
    while (us_since(t0) < 20000) {
        I2C_send_start();
        const char nak = I2C_wdat(0xA0);
        I2C_send_stop();
        if (!nak) return true;
    }
    return false;
}

void run(uint32_t access_ns) {
    i2c_access_ns = access_ns;
    I2C_pw_off();
    I2C_pw_on();
    I2C_send_start_stop_loop();
    uint64_t a0 = i2c_accesses;
    auto t0 = Clock::now();
    int bad = 0;
    for (int i = 0; i < 128; ++i) {
        uint8_t b = 0;
        bad += I2C_R3(0xA0, static_cast<uint8_t>(i), &b);
    }
    const double read_us = us_since(t0);
    const double read_acc = double(i2c_accesses - a0) / 128;
    a0 = i2c_accesses;
    t0 = Clock::now();
    for (int i = 0; i < 128; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * 7 + 3);
        uint8_t b = 0;
        bad += I2C_WR3(0xA0, static_cast<uint8_t>(i), v);
        bad += !wait_write_cycle();
        bad += I2C_R3(0xA0, static_cast<uint8_t>(i), &b) || b != v;
    }
    const double write_us = us_since(t0);
    const double write_acc = double(i2c_accesses - a0) / 128;
    printf("accesses %s:\n", access_ns ? "held 2.5 us apart" : "unheld");
    printf("  read   %6.1f accesses/byte  %8.1f us/byte  (128 bytes in %.1f ms)\n", read_acc,
           read_us / 128, read_us / 1000);
    printf(
        "  write  %6.1f accesses/byte  %8.1f us/byte  (128 bytes in %.1f ms, each read back; "
        "the EEPROM's 5 ms write cycle included)\n",
        write_acc, write_us / 128, write_us / 1000);
    // A bit is four accesses: the clock's period.
    printf("  clock  %.1f kHz (a bit is 4 accesses of %.2f us)\n",
           1000.0 / (4 * read_us / 128 / read_acc), read_us / 128 / read_acc);
    if (bad) printf("  %d transfers failed\n", bad);
}

}  // namespace

int main() {
    char dir[] = "/tmp/vq_bench_i2c_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    for (const char *f : {"plugged", "board"}) {
        FILE *t = fopen((std::string(dir) + "/" + f).c_str(), "w");
        if (t) fclose(t);
    }
    setenv("VELQUOR_PORTIO_SIM", dir, 1);
    setenv("VELQUOR_PORTIO", VQ_BINARY_DIR "/bin/libvqportio_sim.so", 1);
    if (sys_load_port_io() != 0) {
        printf("the simulated adapter could not be loaded\n");
        return 1;
    }
    mc_open_ddc(1, 0, 0);
    if (!I2C_get_cable()) {
        printf("no adapter found\n");
        return 1;
    }
    printf("random read: 178 accesses per byte expected\n");
    run(2500);
    run(0);
    sys_free_port_io();

    // The commands as an operator runs them (each its own process).
    const std::string d = dir;
    FILE *src = fopen((d + "/src.bin").c_str(), "wb");
    for (int i = 0; src && i < 128; ++i) fputc(i * 5 + 1, src);
    if (src) fclose(src);
    const std::vector<std::string> cfg = {"--config", d + "/none.cfg"};
    std::vector<std::string> rd = cfg, wr = cfg;
    rd.insert(rd.end(), {"ddc-read", d + "/read.bin"});
    wr.insert(wr.end(), {"ddc-write", d + "/src.bin"});
    // Read: the pauses of the steps (10 ms, supply off 250 ms and on 250 ms,
    // the start-stop loop 10 ms) and 178 accesses per byte.
    const double read_floor = 520 + 128 * 178 * 2.5e-3;
    // Write: the pauses (1250 ms up to the first board, 20 ms for the test of
    // the write protection), then per byte the write (122 accesses), the rest
    // of the 5 ms write cycle, the read back (178 accesses) and the 1 ms pause
    // after it.
    const double write_floor = 1250 + 20 + 128 * (5 + 1 + (122 + 178) * 2.5e-3);
    printf("velquor-cli, each its own process:\n");
    for (int k = 0; k < 2; ++k) {
        const bench_cli_run r = bench_run_cli(k == 0 ? rd : wr);
        const double floor = k == 0 ? read_floor : write_floor;
        if (r.ms < 0) {
            printf("  %s failed\n", k == 0 ? "ddc-read" : "ddc-write");
            continue;
        }
        printf("  %-9s %7.1f ms  floor %7.1f ms  (+%.1f%%)  cpu %.1f ms\n",
               k == 0 ? "ddc-read" : "ddc-write", r.ms, floor, 100.0 * (r.ms - floor) / floor,
               r.cpu_ms);
    }
    for (const char *f : {"plugged", "board", "eeprom.bin", "src.bin", "read.bin"})
        remove((d + "/" + f).c_str());
    rmdir(dir);
    return 0;
}
