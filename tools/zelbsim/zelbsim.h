// zelbsim: a simulated chain of monitors with ZELB boards, for tests, demos and benchmarks.
//
// A simulation holds one or more lines. Each line has one transport, a pseudo-terminal whose
// slave the program opens like a serial port, or a TCP listener that speaks the converter
// protocol (code/value pairs in, plain answer bytes out), and a ring of 1..255 monitors
// numbered 1..N. The monitors decode the 10-byte command frames that reach the line, answer
// the ones addressed to them (address 0 reaches all of them; the last monitor of the ring
// answers for the line) and refuse commands their firmware does not know. Faults can be
// injected per frame, per command, per monitor or at random from a seed.
//
// Protocol modes. A line is always in one of the modes of zs_line_mode, and the mode decides
// the rate and parity the monitors listen at and how they read the bytes:
//   frame            the 10-byte command frames above, at the line's configured rate and parity.
//                    The start state of a line.
//   firmware loader  entered by command 0x7000, whose value names the loader's rate (0 9600,
//                    4 19200, 8 38400, 12 115200, 16 288000, 20 384000, 24 576000); parity as
//                    configured. The line reads binary firmware records: byte count n, address
//                    high, address low, type, n data bytes, checksum (the sum of all bytes of
//                    the record is 0 modulo 256). Types 00 data, 01 end of file, 02 and 04
//                    extended addresses, 03 and 05 start addresses (accepted, no effect). One
//                    monitor answers 0xFF to a good record and 0x00 to a refused one; a ring of
//                    two or more echoes the record, a refused one with its last byte changed.
//                    The end-of-file record, once answered, restarts every monitor into its
//                    firmware: the line is back in frame mode and the monitors are silent for
//                    their restart time.
//   boot loader      a board whose processor starts in its bootstrap mode (zs_line_cfg.bootstrap:
//                    the line starts here). 57600 baud, 8N1, one board per line, four stages:
//                    a byte 00 is answered with the identification byte (0xD5); 32 bytes of a
//                    primary loader follow, unanswered, whose words at offsets 6 and 24 (little
//                    endian) are the first and last address of the secondary loader (1..2048
//                    bytes, else the board waits for 00 again); each byte of the secondary
//                    loader is echoed, and 0xCC follows the last one; then firmware records as
//                    above, answered with the acknowledgement byte (zs_line_cfg.boot_ack,
//                    0xFC) when good and 0xFB when refused. The end-of-file record ends the
//                    load as in the firmware loader.
// Bytes at another rate, data bits or parity than the mode's arrive garbled and are dropped.
// A mode change is an event (ZS_EV_MODE) and can be read with zs_get_mode. With pacing, the
// answers leave at the rate of the mode they were given in: the acknowledgement of 0x7000 at
// the old rate, a ring's echo of a record as one piece of its length at the loader's.
//
// Firmware image. Each line keeps the image its last load wrote (the monitors of a ring take
// the same records): the bytes of the data records by absolute address, which is the extended
// segment address (type 02) times 16 or the extended linear address (type 04) times 65536,
// plus the record's address, plus the byte's place in the record, modulo 2^32. A byte written
// again is overwritten, and counts as a data byte again. A refused record is not kept.
// Entering the firmware loader, or the boot loader's record stage, starts a new image; the
// end-of-file record completes it. zs_get_image reads it with its digest: FNV-1a 64 (offset
// basis 0xCBF29CE484222325, prime 0x100000001B3) over five octets per byte kept, in ascending
// address order: the address in four octets, least significant first, then the byte.
//
// File system. Every monitor keeps an ordered list of entries, 32 words each, word 0 the
// identifier (low byte the class, bit 0x10 a factory copy; high byte the instance), and up to
// four gamma tables, numbers 0xC1, 0x41, 0xC9 and 0x49: word 0 is 0xFF00 + number, words 1..8
// the colour points (red x, y, green x, y, blue x, y, white x, y), then two words per curve
// point, r * 256 + x and b * 256 + g; at most 32 points, 73 words. The program reaches it
// through a session with a cursor, a selection with its read index, and an item being
// written, all per monitor:
//   0x6005        starts or ends a session: cursor before the first entry, nothing selected,
//                 nothing being written; answers 0
//   0x6000 0      selects the entry after the cursor (the cursor moves to it) and answers its
//                 identifier; 0xFFFF after the last, with nothing selected
//   0x6000 id     selects the first entry with that identifier (the cursor moves to it), or,
//                 for 0xFF00 + number, that gamma table; answers id, or 0xFFFF when there is
//                 none (then nothing is selected)
//   0x6001        answers the selection's next word from word 0 on; 0xFFFF past its end (a
//                 gamma table's end is its last stored word) or with nothing selected
//   0x6003        deletes the selection; the cursor stays before the entry that followed it
//                 (the next 0x6000 0 answers that one); answers 0; refused with nothing selected
//   0x6004 id     appends an entry with that identifier, its other words 0xFFFF, or for
//                 0xFF00 + number creates that gamma table afresh with word 0 alone; it becomes
//                 the item being written; answers id. Refused for 0 and 0xFFFF and when the
//                 monitor already holds its capacity of entries (gamma tables do not count);
//                 after a refused one nothing is being written
//   0x6002 word   writes the next word of the item being written, from word 1 on (a gamma
//                 table grows by it); answers the word; refused with nothing being written or
//                 past word 31 of an entry or word 72 of a gamma table
// Values of 0x6001, 0x6003 and 0x6005 are not looked at. The session state is lost when the
// monitor restarts; the content is kept. Dump files (zs_fs_read_file, zs_fs_write_file) hold
// one monitor's file system as text: "//" comment lines; one line per entry, ":" and 32
// groups of four hex digits each followed by a blank; per gamma table a tag line ";C1", a
// colour line ";" with the eight colour words in decimal, and one line ";x r g b" per point.
//
// The simulation runs on its own thread; every function below may be called from any other
// thread while it runs. Lines are numbered from 0 in this interface (the order in which they
// were configured) and from 1 in texts; monitors are numbered 1..N everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Result codes of the zs_ functions: 0 = success.
enum zs_result : int {
    ZS_OK = 0,
    ZS_BAD_ARG = 1,  // missing pointer, unknown line or monitor, malformed option
    ZS_SYS = 2,      // a system call failed (pty, socket, thread); see errno text in the message
    ZS_EXISTS = 3,   // the symlink path exists and is not a symlink
    ZS_TIMEOUT = 4,  // a wait ran out
    ZS_HELP = 5,     // option parsing: --help was given
    ZS_VERSION = 6,  // option parsing: --version was given (and --help was not)
    ZS_RESULT_COUNT
};
const char *zs_strerror(int rc);

// Firmware generations: decide which identification queries a monitor answers.
enum : uint8_t { ZS_GEN1 = 1, ZS_GEN2 = 2, ZS_GEN51 = 51 };

// Identity and behaviour of one monitor. zs_monitor_default gives the defaults of number n.
struct zs_monitor {
    uint8_t board_type = 5;  // board type code (5 = ZELB3)
    uint16_t disp = 0x101;   // display number (12 bits used)
    uint16_t rev = 0x0544;   // software revision, major.minor in high.low byte (5.068)
    uint16_t date = 0x306C;  // packed date: day bits 0-4, month 5-8, year-2000 9-15 (12.03.2024)
    uint16_t pclk = 1080;    // pixel clock
    uint16_t hfreq = 640;    // horizontal frequency
    uint16_t vfreq = 600;    // vertical frequency
    uint8_t gen = ZS_GEN51;  // firmware generation: 1, 2 or 51
    uint8_t variant = 1;     // firmware variant code the boot loader reports (0xB002)
    bool ext = true;         // the running firmware answers the extended information 0xB000
    bool boot = false;       // the boot loader runs: only 0xB000..0xB003 are answered
    int32_t b000 = -1;       // value answered to 0xB000; -1 = board type << 8 | low byte of rev
    uint32_t restart_ms = 3000;  // silence after a restart command (0x6009)
};
zs_monitor zs_monitor_default(int nr);

// Faults. Each rule fires on the answers it matches and counts how often it fired.
enum zs_fault_kind : uint8_t {
    ZS_F_SILENT = 0,  // no answer at all
    ZS_F_SHORT,       // only the first `arg` bytes of the answer (0..9)
    ZS_F_CKS,         // the answer's checksum is wrong
    ZS_F_END,         // the answer's end code is wrong
    ZS_F_ECHO,        // the request comes back instead of the answer
    ZS_F_DELAY,       // the answer comes `arg` ms late
    ZS_F_GARBAGE,     // `arg` random bytes go on the line in front of the answer
    ZS_F_DROP,        // TCP: the connection is dropped once it has received `arg` bytes
                      // (per client; only `times` and `ppm` apply, the chance taken on connect)
    ZS_F_REFUSE,      // firmware records: the record is refused as if damaged, and not kept
    ZS_F_COUNT
};
// In the loader modes the rules apply to the answers to firmware records (not to the boot
// loader's identification byte, echoes and 0xCC): silent, short, delay and garbage as for
// frames; cks turns the answer into the one of a refused record, the record being kept all
// the same (the answer was damaged on its way back); refuse refuses the record as if it had
// arrived damaged: refused answer, not kept in the image; echo sends the record back; end does
// not apply. refuse applies to records only. A rule with a `cmd` or `mon` condition matches
// frames only, and `nth` counts the records since the line entered its loader mode.
const char *zs_fault_name(zs_fault_kind k);

struct zs_fault {
    zs_fault_kind kind = ZS_F_SILENT;
    uint32_t arg = 0;        // see the kinds above
    uint32_t nth = 0;        // only the n-th valid frame received on the line (1-based); 0 = any
    int32_t cmd = -1;        // only answers to this command word; -1 = any
    int32_t mon = -1;        // only frames to this monitor number (0 = broadcasts); -1 = any
    uint32_t times = 0;      // fires at most this often; 0 = no limit
    uint32_t ppm = 1000000;  // chance per matching answer in parts per million (seeded)
    uint32_t fired = 0;      // how often it fired (read back through zs_faults)
};

enum zs_transport : uint8_t { ZS_PTY = 0, ZS_TCP = 1 };

// A monitor's file system (see the top of this file).
enum : size_t {
    ZS_FS_WORDS = 32,      // words of an entry
    ZS_GAMMA_TABLES = 4,   // gamma tables 0xC1, 0x41, 0xC9, 0x49, in this order
    ZS_GAMMA_WORDS = 73,   // most words of a gamma table: identifier, 8 colour, 32 points
    ZS_FS_CAPACITY = 255,  // default capacity: entries a monitor holds at most
};
// The reserved-identifier check sees clang's own loop index (__i0) of the
// implicit copy of the array member gamma.
struct zs_fs {  // NOLINT(bugprone-reserved-identifier)
    std::vector<std::array<uint16_t, ZS_FS_WORDS>> entries;
    // Index 0..3 = tables 0xC1, 0x41, 0xC9, 0x49; empty = absent, else word 0 is 0xFF00 + number.
    std::vector<uint16_t> gamma[ZS_GAMMA_TABLES];
};

struct zs_line_cfg {
    zs_transport kind = ZS_PTY;
    std::string link;                // pty: path of a symlink to the slave ("" = none)
    std::string addr = "127.0.0.1";  // tcp: address to listen on
    uint16_t port = 11111;           // tcp: port (0 = any free port, see zs_tcp_port)
    bool loop = false;               // the line echoes every byte (a loop-back plug)
    bool pace = false;               // bytes travel no faster than baud rate and byte frame allow
    uint32_t baud = 9600;            // rate the monitors listen at; other rates garble the bytes
    char parity = 0;                 // parity the monitors expect: 'E', 'N', 0 = either
    bool bootstrap = false;          // the line starts in the boot loader (see the modes above)
    uint8_t boot_id = 0xD5;          // identification byte the boot loader answers to 00
    uint8_t boot_ack = 0xFC;         // the boot loader's answer to a good firmware record
    std::vector<zs_monitor> mons;    // monitor n is mons[n-1]; 1..255 entries
    std::vector<zs_fault> faults;
    // File system of monitor n at the start: fs[n-1]; monitors beyond its end start empty.
    std::vector<zs_fs> fs;
    uint32_t fs_capacity = ZS_FS_CAPACITY;  // entries each monitor holds at most (0..65535)
};
// Sets the number of monitors of a line (1..255), new ones with their defaults.
void zs_line_set_count(zs_line_cfg *lc, int n);

struct zs_config {
    std::vector<zs_line_cfg> lines;
    uint32_t seed = 1;          // seed of random faults and garbage bytes
    std::string log_path;       // traffic log: "" = none, "-" = stdout, else a file
    size_t max_events = 50000;  // events kept in memory (oldest dropped first)
    // The zelbsim program writes the file systems to this directory on exit and on SIGUSR1
    // (see zs_fs_save); "" = never. The simulation itself does not look at it.
    std::string fs_save;
    // The same for the firmware images (see zs_image_save).
    std::string image_save;
};

// What the simulation records. Every frame received and sent, with the monitor it reached.
enum zs_event_kind : uint8_t {
    ZS_EV_RX = 0,      // a valid frame arrived (mon = its address)
    ZS_EV_RX_BAD,      // bytes that did not form a valid frame, or arrived garbled
    ZS_EV_TX,          // an answer went out (mon = the answering monitor)
    ZS_EV_REFUSE,      // a refusal went out (unknown command)
    ZS_EV_NO_ANSWER,   // a valid frame got no answer (no such monitor, silent, restart)
    ZS_EV_KEY,         // a monitor recorded a key (cmd = key command)
    ZS_EV_RESTART,     // a monitor restarts and falls silent
    ZS_EV_SETTINGS,    // the line's settings changed (see zs_get_settings)
    ZS_EV_CONVERTER,   // a converter parameter changed or was malformed
    ZS_EV_CONNECT,     // a TCP client connected
    ZS_EV_DISCONNECT,  // a TCP client left or was dropped
    ZS_EV_FAULT,       // a fault rule fired (cmd = the rule's index)
    ZS_EV_ECHO,        // loop mode echoed bytes
    ZS_EV_MODE,        // the line changed its protocol mode (cmd = the new zs_line_mode)
    ZS_EV_STAGE,       // the boot loader moved to another stage (cmd = the new zs_boot_stage)
    ZS_EV_RECORD,      // a firmware record was taken and answered (cmd = type, val = address);
                       // a refused one is a ZS_EV_REFUSE with the same fields
    ZS_EV_COUNT
};
const char *zs_event_name(zs_event_kind k);

struct zs_event {
    uint64_t seq = 0;  // 1, 2, ... in order of recording
    uint32_t ms = 0;   // milliseconds since start
    uint8_t line = 0;  // 0-based line
    uint8_t mon = 0;   // monitor number, 0 = none or broadcast
    zs_event_kind kind = ZS_EV_RX;
    uint16_t cmd = 0, val = 0;
    std::vector<uint8_t> bytes;  // the frame or bytes concerned (at most 64)
    std::string note;
};
// One log line: time, line, monitor, kind, command and value, bytes in hexadecimal, note.
std::string zs_event_text(const zs_event &e);

struct zs_line_settings {
    uint32_t baud = 9600;
    uint8_t data_bits = 8;
    char parity = 'E';  // 'N', 'E', 'O', or '?' on a pty (the kernel does not keep parity there)
    uint8_t stop_bits = 1;
    char flow = 'N';               // converter only
    uint8_t code4 = 0, code5 = 0;  // converter only: last values of codes 4 and 5
    bool client = false;           // pty slave open / TCP client connected
};

struct zs_line_stats {
    uint64_t frames = 0;      // valid frames received
    uint64_t bad_bytes = 0;   // bytes dropped by the frame decoder or garbled
    uint64_t answers = 0;     // answer frames sent
    uint64_t refusals = 0;    // refusal frames sent
    uint64_t unanswered = 0;  // valid frames without answer
    uint64_t echoed = 0;      // bytes echoed in loop mode
    uint64_t bytes_in = 0, bytes_out = 0;
    uint64_t records = 0;      // firmware records taken (loader modes)
    uint64_t bad_records = 0;  // firmware records refused (bad checksum, type or length)
    uint64_t data_bytes = 0;   // data bytes of the data records taken
};

// Protocol modes of a line; see the top of this file.
enum zs_line_mode : uint8_t { ZS_MODE_FRAME = 0, ZS_MODE_FWLOAD, ZS_MODE_BOOT, ZS_MODE_COUNT };
const char *zs_mode_name(zs_line_mode m);
// Stages of the boot loader, in the order of the exchange.
enum zs_boot_stage : uint8_t {
    ZS_BOOT_IDENT = 0,  // waits for 00, answers the identification byte
    ZS_BOOT_PRIMARY,    // takes the 32 bytes of the primary loader
    ZS_BOOT_SECONDARY,  // echoes each byte of the secondary loader, then 0xCC
    ZS_BOOT_RECORDS,    // takes firmware records
    ZS_BOOT_STAGE_COUNT
};
const char *zs_boot_stage_name(zs_boot_stage s);

struct zs_mode_info {
    zs_line_mode mode = ZS_MODE_FRAME;
    uint32_t baud = 9600;                 // rate the monitors listen at in this mode
    char parity = 0;                      // parity they expect: 'E', 'N', 0 = either
    zs_boot_stage stage = ZS_BOOT_IDENT;  // boot loader only
};

struct zs_mon_status {
    zs_monitor cfg;
    uint64_t keys = 0;  // keys recorded
    uint32_t restarts = 0;
    bool silent = false;  // restarting right now
};

struct zs_sim;

// Starts a simulation on its own thread. On failure *out stays null and `err` (when given)
// holds a message with the system's error text.
int zs_start(const zs_config &cfg, zs_sim **out, std::string *err = nullptr);
// Ends the thread, closes every port and removes the symlinks; *sim = null.
void zs_stop(zs_sim **sim);

std::string zs_slave_path(zs_sim *sim, int line);  // "/dev/pts/N", "" for TCP lines
uint16_t zs_tcp_port(zs_sim *sim, int line);       // the bound port, 0 for pty lines
int zs_get_settings(zs_sim *sim, int line, zs_line_settings *out);
int zs_get_stats(zs_sim *sim, int line, zs_line_stats *out);
int zs_get_mode(zs_sim *sim, int line, zs_mode_info *out);

// Events with seq > after_seq (all that are still kept).
std::vector<zs_event> zs_events(zs_sim *sim, uint64_t after_seq = 0);
uint64_t zs_last_seq(zs_sim *sim);
// Waits until an event of `kind` (and monitor `mon`, -1 = any) with seq > after_seq exists.
int zs_wait_event(zs_sim *sim, zs_event_kind kind, int mon, uint64_t after_seq, uint32_t timeout_ms,
                  zs_event *out = nullptr);

std::vector<uint16_t> zs_keys(zs_sim *sim, int line, int mon);
int zs_get_monitor(zs_sim *sim, int line, int mon, zs_mon_status *out);
int zs_set_monitor(zs_sim *sim, int line, int mon, const zs_monitor &m);

// A monitor's file system as it is now. Setting one replaces it and ends the monitor's
// session; ZS_BAD_ARG when it holds more entries than the line's capacity or a malformed gamma
// table (one without its identifier, or longer than ZS_GAMMA_WORDS).
int zs_get_fs(zs_sim *sim, int line, int mon, zs_fs *out);
int zs_set_fs(zs_sim *sim, int line, int mon, const zs_fs &fs);
// Writes every monitor's file system to DIR/line<L>-mon<M>.vqf (L and M from 1), making DIR
// when it is missing. ZS_SYS with a message when a file could not be written.
int zs_fs_save(zs_sim *sim, const std::string &dir, std::string *err = nullptr);
// Dump files. Reading takes lines ending in LF or CR LF and ignores empty lines, lines that
// start with neither ":" nor ";", and everything from "//" on; a malformed line is ZS_BAD_ARG
// with "PATH:LINE: why" in `err`, a file that cannot be read ZS_SYS. Writing puts `comment`
// in a "//" line first, ends lines in CR LF, and writes beside `path` first and renames the
// file into place, so that no half-written file is ever seen there.
int zs_fs_read_file(const std::string &path, zs_fs *out, std::string *err = nullptr);
int zs_fs_write_file(const std::string &path, const zs_fs &fs, const std::string &comment,
                     std::string *err = nullptr);

// The firmware image a line's current or last load wrote (see the top of this file).
struct zs_image {
    bool complete = false;       // the end-of-file record was taken
    uint64_t records = 0;        // records taken, of every type, the end-of-file record included
    uint64_t refused = 0;        // records refused (not kept)
    uint64_t data_bytes = 0;     // data bytes taken, those written over included
    uint32_t low = 0, high = 0;  // first and last address holding a byte; 0, 0 when none does
    // The bytes kept, as runs of contiguous addresses: (first address, bytes), by address;
    // two runs neither overlap nor touch.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> spans;
    uint64_t digest = 0;  // FNV-1a 64 of the bytes kept with their addresses
};
// A line that has not loaded anything has an empty image (no records, not complete).
int zs_get_image(zs_sim *sim, int line, zs_image *out);
// Writes the bytes from `low` to `high` as a flat file, gaps filled with 0xFF (an empty image
// makes an empty file), beside `path` first and then renamed into place. ZS_BAD_ARG when a span
// lies outside low..high or the range is larger than 256 MiB, ZS_SYS when the file could not
// be written; a message in `err`.
int zs_image_write_bin(const zs_image &img, const std::string &path, std::string *err = nullptr);
// Writes every line's image to DIR/line<L>.bin (zs_image_write_bin) and DIR/line<L>.txt, one
// line "records=N data_bytes=N low=0xHHHHHHHH high=0xHHHHHHHH digest=0xHHHHHHHHHHHHHHHH
// complete=0|1" (decimal counts, hexadecimal in capitals), making DIR when it is missing. A
// line without a load gets an empty .bin and zeros. ZS_SYS with a message when a file could
// not be written.
int zs_image_save(zs_sim *sim, const std::string &dir, std::string *err = nullptr);

int zs_add_fault(zs_sim *sim, int line, const zs_fault &f);
int zs_clear_faults(zs_sim *sim, int line);
std::vector<zs_fault> zs_faults(zs_sim *sim, int line);

// The summary printed on exit: per line the counters, the firmware image of a line that has
// loaded one, per monitor keys, restarts and the file system's entries and gamma tables,
// faults.
std::string zs_summary(zs_sim *sim);
// One line naming every line's port, for the "ready" message.
std::string zs_ready_text(zs_sim *sim);

// Command line. Fills `cfg` from the options (argv[0] is skipped). ZS_HELP for --help,
// ZS_VERSION for --version; ZS_BAD_ARG with a message in `err` for a bad option.
int zs_parse_args(int argc, const char *const *argv, zs_config *cfg, std::string *err);
const char *zs_help_text();
// "zelbsim VERSION" and a newline, what --version prints.
const char *zs_version_text();
