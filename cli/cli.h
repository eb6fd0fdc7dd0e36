// velquor-cli: the operator's commands from a script.
//
// The program runs the same start-up as the window program on the headless
// window layer, applies its options to the settings, presses the button of the
// command through check_cmd, runs the loop until the operation has ended and
// exits. Every box the operation shows is printed (errors on stderr), in the
// chosen language and converted to UTF-8; the status dialog's progress is drawn
// as one line on stderr.
//
// Exit status: 0 the operation showed no error, 1 it did or a file could not be
// written, 2 a usage error, 128 + the signal's number when Ctrl-C (SIGINT) or
// SIGTERM stopped it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum cli_cmd_t : int {
    cli_none = 0,
    cli_ping,
    cli_key,
    cli_info,
    cli_reset,
    cli_erase,
    cli_upload,
    cli_download,
    cli_check_dump,
    cli_firmware,
    cli_firm_check,
    cli_bootstrap,
    cli_ddc_read,
    cli_ddc_write,
    cli_ddc_convert,
    cli_edid,
    cli_macro,
    cli_scan,
};

struct cli_opts {
    std::string config = "./std.cfg";
    bool save = false;
    std::string port;    // --port DEV
    int com = -1;        // --com N, 1..99
    std::string ip;      // --ip ADDR
    int ip_list = -1;    // --ip-list N, 1..9
    bool group = false;  // --group
    int monitor = -1;    // --monitor N, 0..255
    int timeout = -1;    // --timeout S, 1..60
    bool no_parity = false;
    int lang = 0;        // --lang: 1 de, 2 en, 3 fr
    std::string log;     // --log FILE
    int answer = 0;      // --yes 1, --no 2, else ask (or No without a terminal)
    bool quiet = false;  // --quiet: only the value (ping's number, info's lines)
    bool json = false;   // --json: one JSON document on stdout instead of the text result
    cli_cmd_t cmd = cli_none;
    int key_id = 0;             // command id of the key: cmd_key_up .. cmd_key_ok
    std::string file;           // the dump file of upload, download and check-dump
    std::string backup;         // --backup DIR: erase and download save each monitor first
    int baud = 0;               // firmware --baud N
    bool high_timeout = false;  // firmware --high-timeout
    int variant = 0;            // bootstrap --variant: boot_zelb3 or boot_am29lv150
    int lpt = 0;                // --lpt N: the parallel port of the DDC adapter, 1..4
    std::string i2c;            // --i2c DEV: an i2c-dev bus instead of the parallel port
    int boards = 0;             // ddc-write --boards N: boards of the series (default 1)
    bool fix_checksum = false;  // ddc-write --fix-checksum: write a corrected last byte
    std::string button;         // macro FILE BUTTON: 1..5 or the button's name
    int step = 0;               // macro --step N: the step to run, 1..25 (default the first)
    int scan_from = 0;          // scan --from A: the first COM number (default the configuration's)
    int scan_to = 0;            // scan --to B: the last COM number
};

// Results of cli_parse.
enum : int { cli_parse_ok = 0, cli_parse_help = 1, cli_parse_usage = 2, cli_parse_version = 3 };

// Parses the command line. On cli_parse_usage, err holds the reason.
int cli_parse(int argc, char **argv, cli_opts *o, std::string *err);
// The usage text.
const char *cli_usage(void);

// Runs the program with parsed options; returns the exit status.
int cli_run(const cli_opts &o);
