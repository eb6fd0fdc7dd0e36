// Option parsing of velquor-cli: strict numbers, one command with its argument.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "cli/cli.h"
#include "platform/cp1252.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/util/velq_str.h"

namespace {

// A decimal number in lo..hi written without sign, leading zeros or trailing text.
bool parse_num(const char *s, int lo, int hi, int *out) {
    if (!s || !*s || strlen(s) > 10) return false;
    for (const char *p = s; *p; p++)
        if (*p < '0' || *p > '9') return false;
    if (s[0] == '0' && s[1]) return false;
    long v = strtol(s, nullptr, 10);
    if (v < lo || v > hi) return false;
    *out = static_cast<int>(v);
    return true;
}

struct key_name {
    const char *name;
    int id;
};
const key_name keys[] = {{"up", cmd_key_up},
                         {"left", cmd_key_left},
                         {"right", cmd_key_right},
                         {"down", cmd_key_down},
                         {"ok", cmd_key_ok}};

}  // namespace

const char *cli_usage(void) {
    return "usage: velquor-cli [options] COMMAND\n"
           "\n"
           "commands:\n"
           "  ping                  find how many monitors answer on the line\n"
           "  key up|down|left|right|ok\n"
           "                        press a front key of the monitor\n"
           "  info                  read the identification of one monitor (not 0)\n"
           "  reset                 restart the monitor (all monitors with --monitor 0)\n"
           "  erase                 erase the monitor's file system (all monitors with\n"
           "                        --monitor 0, every address with --group)\n"
           "  upload FILE           save one monitor's file system into the dump FILE\n"
           "  download FILE         write the dump FILE into the monitor (all monitors with\n"
           "                        --monitor 0, every address with --group)\n"
           "  check-dump FILE       read the dump FILE and tell what it holds; no monitor\n"
           "  firmware FILE         update the firmware of the monitors on the line with the\n"
           "                        Intel-HEX FILE (one monitor, or the whole chain at once)\n"
           "  firmware --check FILE read FILE as the update would and tell its records,\n"
           "                        lines and transfer times; no monitor\n"
           "  bootstrap FILE        load FILE into a board in its bootstrap mode (57600 8N1)\n"
           "  ddc-read FILE         read the display's EDID EEPROM into FILE (.bin: the 128\n"
           "                        bytes, else the EDID text table)\n"
           "  ddc-write FILE        write FILE into the EEPROM of each board put on the\n"
           "                        adapter, one after the other (--boards N, default 1)\n"
           "  ddc-convert FILE      convert FILE into the other form (.bin <-> .dat)\n"
           "  edid FILE             decode the EDID in FILE (either form, or any 128-byte\n"
           "                        file) and tell what is wrong with it; no monitor\n"
           "  scan                  look for monitors on COM --from A to --to B (RS232): the\n"
           "                        ports that answer, their monitors and firmware\n"
           "  macro FILE            list the buttons of the macro FILE and their steps\n"
           "  macro FILE BUTTON     send a step of BUTTON (1..5 or its name) to the\n"
           "                        monitors: its first, or --step N\n"
           "\n"
           "options:\n"
           "  --config FILE         configuration file (default ./std.cfg)\n"
           "  --save                write the configuration back at the end\n"
           "  --port DEV            serial device; maps the COM number to it, selects RS232\n"
           "  --com N               COM number 1..99\n"
           "  --ip ADDR             Monitor over IP at ADDR\n"
           "  --ip-list N           Monitor over IP-List, list N (1..9)\n"
           "  --group               with --ip-list: keys go to every address of the list\n"
           "                        (monitor 0); ping, info and reset use its first address\n"
           "  --monitor N           monitor number 0..255 (0 = all)\n"
           "  --timeout S           answer time-out in seconds 1..60\n"
           "  --no-parity           no parity bit\n"
           "  --lang de|en|fr       language of the messages\n"
           "  --log FILE            log the traffic into FILE\n"
           "  --yes, --no           answer to questions (default: ask on a terminal, else No)\n"
           "  --backup DIR          erase, download: save each monitor's file system into DIR\n"
           "                        first; nothing is changed when a save fails\n"
           "  --baud N              firmware: the transfer rate, 9600 19200 38400 115200\n"
           "                        288000 384000 576000 (IP: at most 115200; IP list: 9600)\n"
           "  --high-timeout        firmware: wait 10 s more before the first line\n"
           "  --variant V           bootstrap: the board, zelb3 (default) or am29lv150\n"
           "  --lpt N               ddc-read, ddc-write: the adapter's parallel port 1..4\n"
           "  --i2c DEV             ddc-read, ddc-write: the display's DDC bus at DEV\n"
           "                        (/dev/i2c-N of a graphics card) instead of the adapter\n"
           "  --boards N            ddc-write: end the series after N boards (default 1)\n"
           "  --fix-checksum        ddc-write: write a corrected checksum byte, saying so\n"
           "  --step N              macro: the step of the button to send, 1..25\n"
           "  --from A, --to B      scan: the range of COM numbers, 1..99 (default the\n"
           "                        configuration's, else 1 to 99)\n"
           "  --quiet               print only the value: ping's number, info's lines\n"
           "  --json                ping, info, scan, check-dump, firmware --check: print\n"
           "                        one JSON document with the result or the error\n"
           "  --help, --version     print this text, or the version and the built-in images\n"
           "\n"
           "exit status: 0 no error, 1 the operation reported an error or a file could not\n"
           "be written, 2 usage error, 130 (143) stopped by Ctrl-C (SIGTERM)\n";
}

int cli_parse(int argc, char **argv, cli_opts *o, std::string *err) {
    if (!o || !err) return cli_parse_usage;
    *o = cli_opts();
    const char *file_cmd = nullptr;  // the command whose file is still to come
    bool check = false;
    auto fail = [err](const std::string &why) {
        *err = why;
        return cli_parse_usage;
    };
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (!a) continue;
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        // The option's value, taken from the next argument; nullptr when there is none.
        auto need = [&]() -> const char * {
            if (!v) return nullptr;
            i++;
            return v;
        };
        if (!strcmp(a, "--help") || !strcmp(a, "-h")) return cli_parse_help;
        if (!strcmp(a, "--version")) return cli_parse_version;
        if (!strcmp(a, "--save")) {
            o->save = true;
            continue;
        }
        if (!strcmp(a, "--group")) {
            o->group = true;
            continue;
        }
        if (!strcmp(a, "--no-parity")) {
            o->no_parity = true;
            continue;
        }
        if (!strcmp(a, "--yes")) {
            o->answer = 1;
            continue;
        }
        if (!strcmp(a, "--no")) {
            o->answer = 2;
            continue;
        }
        if (!strcmp(a, "--high-timeout")) {
            o->high_timeout = true;
            continue;
        }
        if (!strcmp(a, "--fix-checksum")) {
            o->fix_checksum = true;
            continue;
        }
        if (!strcmp(a, "--check")) {
            check = true;
            continue;
        }
        if (!strcmp(a, "--variant")) {
            const char *s = need();
            if (!s) return fail("--variant needs zelb3 or am29lv150");
            if (!strcmp(s, "zelb3"))
                o->variant = boot_zelb3;
            else if (!strcmp(s, "am29lv150"))
                o->variant = boot_am29lv150;
            else
                return fail(std::string("--variant takes zelb3 or am29lv150, not ") + s);
            continue;
        }
        if (!strcmp(a, "--json")) {
            o->json = true;
            continue;
        }
        if (!strcmp(a, "--quiet") || !strcmp(a, "-q")) {
            o->quiet = true;
            continue;
        }
        if (!strcmp(a, "--config") || !strcmp(a, "--port") || !strcmp(a, "--log") ||
            !strcmp(a, "--ip") || !strcmp(a, "--backup") || !strcmp(a, "--i2c")) {
            const char *s = need();
            if (!s || !*s) return fail(std::string(a) + " needs a value");
            if (!strcmp(a, "--config")) o->config = s;
            if (!strcmp(a, "--backup")) o->backup = s;
            if (!strcmp(a, "--port")) o->port = s;
            if (!strcmp(a, "--i2c")) o->i2c = s;
            if (!strcmp(a, "--log")) o->log = s;
            if (!strcmp(a, "--ip")) {
                if (ms_is_not_ipv4_u_std(s)) return fail(std::string("not an IPv4 address: ") + s);
                o->ip = s;
            }
            if (strlen(s) > 1023) return fail(std::string(a) + ": value too long");
            continue;
        }
        struct num_opt {
            const char *name;
            int lo, hi;
            int *dst;
        } nums[] = {{"--com", 1, 99, &o->com},           {"--ip-list", 1, 9, &o->ip_list},
                    {"--monitor", 0, 255, &o->monitor},  {"--timeout", 1, 60, &o->timeout},
                    {"--baud", 9600, 576000, &o->baud},  {"--lpt", 1, 4, &o->lpt},
                    {"--boards", 1, 100000, &o->boards}, {"--step", 1, 25, &o->step},
                    {"--from", 1, 99, &o->scan_from},    {"--to", 1, 99, &o->scan_to}};
        bool done = false;
        for (const num_opt &n : nums) {
            if (strcmp(a, n.name) != 0) continue;
            const char *s = need();
            if (!s) return fail(std::string(a) + " needs a value");
            if (!parse_num(s, n.lo, n.hi, n.dst))
                return fail(std::string(a) + " takes a number " + std::to_string(n.lo) + ".." +
                            std::to_string(n.hi) + ", not " + s);
            done = true;
        }
        if (done) continue;
        if (!strcmp(a, "--lang")) {
            const char *s = need();
            if (!s) return fail("--lang needs a value");
            if (!strcmp(s, "de"))
                o->lang = 1;
            else if (!strcmp(s, "en"))
                o->lang = 2;
            else if (!strcmp(s, "fr"))
                o->lang = 3;
            else
                return fail(std::string("--lang takes de, en or fr, not ") + s);
            continue;
        }
        if (a[0] == '-') return fail(std::string("unknown option ") + a);
        if (file_cmd && o->file.empty()) {
            if (strlen(a) > 1023) return fail(std::string(file_cmd) + ": file name too long");
            o->file = a;
            continue;
        }
        if (o->cmd == cli_macro && o->button.empty()) {
            // The terminal's UTF-8 into the file's Windows-1252, as the
            // listing converts the other way: a listed name can be given back.
            std::string name = plat::utf8_to_cp1252(a);
            if (name.empty() || name.size() > 25) return fail(std::string("no button is named ") + a);
            o->button = std::move(name);
            continue;
        }
        if (o->cmd != cli_none) return fail(std::string("one command only: ") + a);
        if (!strcmp(a, "ping"))
            o->cmd = cli_ping;
        else if (!strcmp(a, "info"))
            o->cmd = cli_info;
        else if (!strcmp(a, "reset"))
            o->cmd = cli_reset;
        else if (!strcmp(a, "erase"))
            o->cmd = cli_erase;
        else if (!strcmp(a, "scan"))
            o->cmd = cli_scan;
        else if (!strcmp(a, "upload") || !strcmp(a, "download") || !strcmp(a, "check-dump") ||
                 !strcmp(a, "firmware") || !strcmp(a, "bootstrap") || !strcmp(a, "ddc-read") ||
                 !strcmp(a, "ddc-write") || !strcmp(a, "ddc-convert") || !strcmp(a, "edid") ||
                 !strcmp(a, "macro")) {
            // The file may follow later options: firmware --check FILE.
            file_cmd = a;
            o->cmd = !strcmp(a, "upload")        ? cli_upload
                     : !strcmp(a, "download")    ? cli_download
                     : !strcmp(a, "check-dump")  ? cli_check_dump
                     : !strcmp(a, "firmware")    ? cli_firmware
                     : !strcmp(a, "bootstrap")   ? cli_bootstrap
                     : !strcmp(a, "ddc-read")    ? cli_ddc_read
                     : !strcmp(a, "ddc-write")   ? cli_ddc_write
                     : !strcmp(a, "ddc-convert") ? cli_ddc_convert
                     : !strcmp(a, "macro")       ? cli_macro
                                                 : cli_edid;
        } else if (!strcmp(a, "key")) {
            const char *s = need();
            if (!s) return fail("key needs up, down, left, right or ok");
            for (const key_name &k : keys)
                if (!strcmp(s, k.name)) o->key_id = k.id;
            if (!o->key_id) return fail(std::string("unknown key ") + s);
            o->cmd = cli_key;
        } else {
            return fail(std::string("unknown command ") + a);
        }
    }
    if (o->cmd == cli_none) return fail("no command given");
    if (file_cmd && o->file.empty()) return fail(std::string(file_cmd) + " needs a file");
    if (check) {
        if (o->cmd != cli_firmware) return fail("--check goes with firmware");
        o->cmd = cli_firm_check;
    }
    if (o->baud) {
        const int rates[] = {9600, 19200, 38400, 115200, 288000, 384000, 576000};
        if (std::find(std::begin(rates), std::end(rates), o->baud) == std::end(rates))
            return fail("--baud takes 9600, 19200, 38400, 115200, 288000, 384000 or 576000");
        if (o->cmd != cli_firmware) return fail("--baud goes with firmware");
        if (o->ip_list > 0 && o->baud != 9600)
            return fail("--baud: an update over an IP list runs at 9600");
    }
    if (o->high_timeout && o->cmd != cli_firmware) return fail("--high-timeout goes with firmware");
    if (o->variant && o->cmd != cli_bootstrap) return fail("--variant goes with bootstrap");
    if (o->lpt && o->cmd != cli_ddc_read && o->cmd != cli_ddc_write)
        return fail("--lpt goes with ddc-read and ddc-write");
    if (!o->i2c.empty() && o->cmd != cli_ddc_read && o->cmd != cli_ddc_write)
        return fail("--i2c goes with ddc-read and ddc-write");
    if (!o->i2c.empty() && o->lpt) return fail("choose one bus: --lpt or --i2c");
    if (o->i2c.size() >= 96) return fail("--i2c: device path too long");
    if (o->boards && o->cmd != cli_ddc_write) return fail("--boards goes with ddc-write");
    if (o->fix_checksum && o->cmd != cli_ddc_write)
        return fail("--fix-checksum goes with ddc-write");
    if (o->json && o->cmd != cli_ping && o->cmd != cli_info && o->cmd != cli_check_dump &&
        o->cmd != cli_firm_check && o->cmd != cli_scan)
        return fail("--json goes with ping, info, scan, check-dump and firmware --check");
    if ((o->scan_from || o->scan_to) && o->cmd != cli_scan)
        return fail("--from and --to go with scan");
    if (o->cmd == cli_scan && (!o->ip.empty() || o->ip_list > 0))
        return fail("scan looks at COM ports (RS232): not with --ip or --ip-list");
    if (o->step && (o->cmd != cli_macro || o->button.empty()))
        return fail("--step goes with macro FILE BUTTON");
    if (o->group && o->ip_list < 0) return fail("--group needs --ip-list");
    // The window's rules: one link at a time; info reads one monitor, as the
    // window's Update is disabled at monitor number 0.
    const int links = (!o->port.empty() || o->com > 0 ? 1 : 0) + (!o->ip.empty() ? 1 : 0) +
                      (o->ip_list > 0 ? 1 : 0);
    if (links > 1) return fail("choose one link: --port or --com, --ip, or --ip-list");
    if (o->cmd == cli_info && o->monitor == 0)
        return fail("info reads one monitor: give --monitor 1..255 (0 means all of them)");
    if (o->cmd == cli_upload && o->monitor == 0)
        return fail("upload reads one monitor: give --monitor 1..255 (0 means all of them)");
    if (!o->backup.empty() && o->cmd != cli_erase && o->cmd != cli_download)
        return fail("--backup goes with erase and download");
    return cli_parse_ok;
}
