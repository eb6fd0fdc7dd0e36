// Inside of the simulator, shared by its files but not by its users.
//
// zs_frame.cpp: the 10-byte command frame, a decoder that finds frames in a hostile byte
// stream, and the converter protocol's pair decoder. zs_line.cpp: the line and its ring of
// monitors, transport-independent: bytes go in with their arrival time, answers come out as
// scheduled chunks; its mode table sends the bytes to the input handler of the line's
// protocol mode, frame mode's being the frame decoder and the monitors' command table there.
// zs_loader.cpp: the input handlers of the loader modes (firmware records, boot loader
// stages) with their tables. zs_image.cpp: the firmware image a load writes, and its files.
// zs_fs.cpp: the monitors' file system, its commands, its random content and its dump files.
// zs_sim.cpp: the transports and the thread. Times are
// microseconds on the simulation's own monotonic clock, passed in, so that the line logic
// needs no clock.
#pragma once

#include "zelbsim.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

// ---- frames -------------------------------------------------------------------------------

enum : size_t { ZS_FRAME_LEN = 10 };
enum : uint16_t {
    ZS_START = 0x55AA,       // start code, on the line AA 55
    ZS_END_PC = 0x00FF,      // end code of a command, FF 00
    ZS_END_ACK = 0x00FE,     // end code of an answer, FE 00
    ZS_END_REFUSE = 0x00FD,  // end code of a refusal: anything but FE 00 reads as "no ACK"
};

struct zs_frame {
    uint8_t addr = 0;
    uint16_t cmd = 0, val = 0;
};

uint8_t zs_cks(const uint8_t *f);  // sum of bytes 2..6 modulo 256
void zs_frame_build(uint8_t out[ZS_FRAME_LEN], uint8_t addr, uint16_t cmd, uint16_t val,
                    uint16_t end_code);

// Finds frames in a byte stream. A candidate starts at AA 55; ten bytes with a correct
// checksum and end code FF 00 are a frame; anything else is dropped byte by byte until the
// next AA 55, so that a partial or corrupt frame cannot swallow the good one behind it.
struct zs_scanner {
    uint8_t buf[ZS_FRAME_LEN] = {};
    uint8_t n = 0;
};
enum zs_scan_result : uint8_t { ZS_SCAN_MORE = 0, ZS_SCAN_FRAME, ZS_SCAN_BAD_CKS, ZS_SCAN_BAD_END };
// Feeds one byte. On ZS_SCAN_FRAME `f` holds the frame and `raw` its bytes. Bytes given up
// are appended to `junk`; on ZS_SCAN_BAD_* the dropped candidate was a whole frame shape.
zs_scan_result zs_scan_byte(zs_scanner *s, uint8_t b, zs_frame *f, uint8_t raw[ZS_FRAME_LEN],
                            std::vector<uint8_t> *junk);

// Converter protocol: a stream of (code, value) pairs. Code 0 carries a data byte, 1 the baud
// code, 2 the mode (bit 0 = even parity, bit 7 always set), 3 the flow control letter, 4 and 5
// values of unknown meaning that are kept. Pairs may be split over TCP reads.
struct zs_conv {
    bool half = false;  // a code byte is waiting for its value
    uint8_t code = 0;
};
uint32_t zs_baud_of_code(uint8_t code);  // 1..5 -> rate; 0 for an unknown code

// ---- file system --------------------------------------------------------------------------

// What a selection or the item being written is.
enum zs_fs_item : uint8_t { ZS_FS_NONE = 0, ZS_FS_ENTRY, ZS_FS_GAMMA };

// One monitor's file system with its session state (see zelbsim.h).
struct zs_fs_mon {
    zs_fs fs;
    uint32_t capacity = ZS_FS_CAPACITY;
    size_t next = 0;  // the cursor: index of the entry "select next" answers
    zs_fs_item sel = ZS_FS_NONE;
    size_t sel_ix = 0;  // entry index, or gamma table index 0..3
    size_t rd = 0;      // next word of the selection to read
    zs_fs_item wr = ZS_FS_NONE;
    size_t wr_ix = 0;  // entry index, or gamma table index 0..3
    size_t wr_n = 0;   // entry: next word to write
};

// The file-system commands: true with the answer, false for a refusal.
bool zs_fs_select(zs_fs_mon *m, uint16_t val, uint16_t *answer);   // 0x6000
bool zs_fs_read(zs_fs_mon *m, uint16_t val, uint16_t *answer);     // 0x6001
bool zs_fs_write(zs_fs_mon *m, uint16_t val, uint16_t *answer);    // 0x6002
bool zs_fs_delete(zs_fs_mon *m, uint16_t val, uint16_t *answer);   // 0x6003
bool zs_fs_create(zs_fs_mon *m, uint16_t val, uint16_t *answer);   // 0x6004
bool zs_fs_session(zs_fs_mon *m, uint16_t val, uint16_t *answer);  // 0x6005
// Ends the session (a restart, new content): cursor at the start, nothing selected or written.
void zs_fs_reset(zs_fs_mon *m);
// Table number of gamma table index 0..3 (0xC1, 0x41, 0xC9, 0x49); index of a number, -1 = none.
uint8_t zs_gamma_nr(size_t ix);
int zs_gamma_index(uint32_t nr);
// "" when `fs` fits a monitor of that capacity, else why not.
std::string zs_fs_check(const zs_fs &fs, uint32_t capacity);
// Appends `n` random entries of the classes a monitor holds, from `rng`.
void zs_fs_random_entries(zs_fs *fs, uint32_t n, std::mt19937 *rng);
// Replaces the first `k` gamma tables (in index order) with random plausible curves.
void zs_fs_random_gamma(zs_fs *fs, uint32_t k, std::mt19937 *rng);

// ---- the line -----------------------------------------------------------------------------

// State of the loader modes; starts afresh whenever the line enters a mode.
enum : size_t { ZS_REC_MAX = 5 + 255, ZS_PRIMARY_LEN = 32 };
struct zs_loader {
    uint8_t buf[ZS_REC_MAX] = {};  // the record, or the primary loader, being assembled
    size_t n = 0;
    zs_boot_stage stage = ZS_BOOT_IDENT;
    uint32_t left = 0;    // boot loader: bytes of the secondary loader still to come
    uint64_t rec_no = 0;  // records received in this mode, for the rules' n-th condition
};

// The firmware image of a line's load (see zelbsim.h): the bytes by address in runs of
// contiguous addresses, keyed by their first address, merged as records fill the gaps.
struct zs_image_store {
    bool started = false;  // a load has begun on this line
    bool complete = false;
    uint64_t records = 0, refused = 0, data_bytes = 0;
    uint32_t base = 0;  // the extended address in force: segment * 16 or linear << 16
    std::map<uint32_t, std::vector<uint8_t>> runs;
};
// Keeps n bytes from address `addr` on (modulo 2^32), over what was there; counts them.
void zs_image_put(zs_image_store *im, uint32_t addr, const uint8_t *p, size_t n);
// The image as users see it, with its digest.
zs_image zs_image_of(const zs_image_store &im);
// Its line in the .txt file, without the line end.
std::string zs_image_status(const zs_image &img);

struct zs_mon_state {
    zs_monitor cfg;
    std::vector<uint16_t> keys;
    uint64_t keys_total = 0;
    uint32_t restarts = 0;
    int64_t silent_until = 0;  // restarting until then (us)
    zs_fs_mon fs;
};

struct zs_chunk {
    int64_t due = 0;  // not before (us)
    size_t off = 0;   // bytes of it already sent
    std::vector<uint8_t> bytes;
    int64_t bt = 0;  // paced: byte time of the mode it was given in (us)
};

// Recorded events and the traffic log; owned by the simulation, used by every line.
struct zs_log {
    std::deque<zs_event> events;
    uint64_t seq = 0;
    size_t max_events = 50000;
    FILE *out = nullptr;
    int64_t now = 0;  // time of the events being recorded (us)
};
void zs_log_add(zs_log *log, zs_event e);

struct zs_line {
    uint8_t index = 0;
    zs_line_cfg cfg;  // mons and fs are not used after start: see `mons`
    std::vector<zs_mon_state> mons;
    zs_log *log = nullptr;
    zs_line_settings set;
    zs_line_stats stats;
    zs_scanner scan;
    zs_conv conv;
    std::vector<uint8_t> junk;  // dropped bytes not yet reported
    std::mt19937 rng;
    uint64_t frame_no = 0;     // valid frames received, for the n-th frame faults
    int64_t rx_free = 0;       // paced: when the line is free for the next byte in (us)
    int64_t tx_free = 0;       // paced: when the next byte out may go (us)
    std::deque<zs_chunk> out;  // answers waiting for their time
    // The protocol mode, with the rate and parity the monitors listen at in it.
    zs_line_mode mode = ZS_MODE_FRAME;
    uint32_t mode_baud = 9600;
    char mode_parity = 0;
    zs_loader ld;
    zs_image_store img;  // the current or last load's firmware image
    // A command that changes the mode asks for it here; the line changes once the answer
    // to the command is queued, so the answer still leaves under the old mode.
    bool mode_req = false;
    zs_line_mode req_mode = ZS_MODE_FRAME;
    uint32_t req_baud = 0;
};

void zs_line_init(zs_line *l, uint8_t index, const zs_line_cfg &cfg, uint32_t seed, zs_log *log);
// Microseconds one byte takes on the line with its current settings.
int64_t zs_line_byte_us(const zs_line *l);
// Bytes the serial side of the line received at time `now` (pty data, converter data bytes).
void zs_line_serial_in(zs_line *l, const uint8_t *p, size_t n, int64_t now);
// Bytes from a TCP client: converter pairs.
void zs_line_tcp_in(zs_line *l, const uint8_t *p, size_t n, int64_t now);
// Moves the bytes that may go out at `now` to `dst`; returns the time of the next byte that
// waits (INT64_MAX when none).
int64_t zs_line_take_due(zs_line *l, int64_t now, std::vector<uint8_t> *dst);
// Records a settings change of the line (pty settings read back, converter parameters).
void zs_line_settings_changed(zs_line *l, const zs_line_settings &s, const char *why);
// Records an event of this line.
void zs_line_event(zs_line *l, zs_event_kind k, uint8_t mon, uint16_t cmd, uint16_t val,
                   const uint8_t *bytes, size_t n, std::string note);

// True when no command of the monitors' command table has two rows.
bool zs_cmd_table_ok();

// ---- protocol modes -----------------------------------------------------------------------

// The input handler of a mode: bytes p[0..n) reached the monitors, byte i complete at
// base + (i + 1) * bt. Returns how many it took: all of them, or those up to and including
// the byte that changed the line's mode (the rest is then judged under the new mode).
typedef size_t (*zs_mode_in_fn)(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt);
size_t zs_fwload_in(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt);
size_t zs_boot_in(zs_line *l, const uint8_t *p, size_t n, int64_t base, int64_t bt);
// What entering a mode does besides resetting the mode state; the firmware loader's starts a
// load.
typedef void (*zs_mode_enter_fn)(zs_line *l);
void zs_fwload_enter(zs_line *l);

// Puts the line into mode `m` with fresh mode state. `baud` is the rate for modes whose table
// row has none (frame mode: the configured rate; firmware loader: the rate the start command
// named). Records a ZS_EV_MODE event with `why`.
void zs_line_set_mode(zs_line *l, zs_line_mode m, uint32_t baud, const std::string &why);
// Rate of the firmware loader's rate code (value of command 0x7000); 0 for an unknown code.
uint32_t zs_fwload_rate(uint16_t code);
// Monitor `nr` restarts at `at` and is silent for its restart time; recorded as a
// ZS_EV_RESTART event with the command and value that caused it and `why` ("" = the command).
void zs_mon_restart(zs_line *l, uint8_t nr, int64_t at, uint16_t cmd, uint16_t val,
                    const std::string &why);
// Bytes the monitors could not use: counted and recorded as ZS_EV_RX_BAD with `why`.
void zs_line_bad(zs_line *l, const uint8_t *p, size_t n, const std::string &why);
// Queues answer bytes to leave at `due`.
void zs_line_send(zs_line *l, std::vector<uint8_t> bytes, int64_t due);

// What the fault rules see of a request and its answer.
struct zs_reply {
    const uint8_t *req = nullptr;  // the request: an echo fault sends it back
    size_t req_n = 0;
    int32_t cmd = -1, addr = -1;  // a frame's command and address; -1 for records
    uint64_t nth = 0;             // number of the request for the rules' n-th condition
    int cks_at = -1;              // index of the answer's checksum byte; -1 = none
    int end_at = -1;              // index of its end code; -1 = none (end faults do not apply)
    // A checksum or refuse fault turns the answer into this one (a refused record's), when
    // given; refuse faults apply only then.
    const std::vector<uint8_t> *refused = nullptr;
    bool *refuse = nullptr;  // set when a refuse fault fired: the request is to be refused
};
// Passes an answer through the fault rules: may empty it (silence), change it, put garbage
// in front of it or add delay.
void zs_line_faults(zs_line *l, const zs_reply &rp, std::vector<uint8_t> *ans, int64_t *delay_us);

// ---- helpers ------------------------------------------------------------------------------

// Reads the slave's line settings through the pty master (termios2, any baud rate).
int zs_pty_read_settings(int master, uint32_t *baud, uint8_t *data_bits, uint8_t *stop_bits);
// True for the firmware generations a monitor can have (ZS_GEN1, ZS_GEN2, ZS_GEN51).
inline bool zs_gen_ok(uint32_t gen) { return gen == ZS_GEN1 || gen == ZS_GEN2 || gen == ZS_GEN51; }
// Strict number: decimal or 0x-hexadecimal, the whole text, at most `max`.
bool zs_parse_u32(const std::string &s, uint32_t max, uint32_t *out);
std::string zs_hex(const uint8_t *p, size_t n);
// Writes n bytes as the whole content of `path`: beside it first, then renamed into place, so
// that no half-written file is ever seen there. ZS_SYS with "path: why" in `err`.
int zs_write_file_atomic(const std::string &path, const void *p, size_t n, std::string *err);
