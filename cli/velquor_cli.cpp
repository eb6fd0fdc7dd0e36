// velquor-cli: runs one operator command on the headless window layer.
//
// The start-up is the window program's (helper library, defaults, networking
// probe, configuration file); the main window exists but is never shown. The
// options then change the settings before the window's contents are first
// built, so that its fields show them, and the command's button is pressed
// through check_cmd, as the window presses it. The loop runs until the
// operation has ended: idle again, no worker left and no end timer pending.
// Boxes are answered by a hook that prints them; what the status dialog drew
// last is drawn as a progress line with the rate and the time left. Results
// come from the operations' state: the number a ping found (sys_zelb_nr), the
// identification record (zelb_info_dat), what a file-system operation did
// (fs_report) and the error ids the operation ended with. With --backup, each
// monitor an erase or a download will touch is first saved by an upload of
// its own, and the command runs only when every save succeeded.
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_json.h"
#include "cli/edid.h"
#include "platform/cp1252.h"
#include "platform/file_replace.h"
#include "platform/loop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_i2c.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_boot.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_firm.h"
#include "velquor/operations/vf_fs_dnl.h"
#include "velquor/operations/vf_gamma.h"
#include "velquor/operations/vf_images.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_mak.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/scan.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_main.h"

namespace {

constexpr int kOpLimitMs = 30 * 60 * 1000;  // an operation that runs longer is given up

bool had_error = false;
bool boxes_to_stderr = false;
bool usage_error = false;      // an option turned out not to fit the configuration
std::atomic<int> g_signal{0};  // SIGINT or SIGTERM once one came, else 0

// Ctrl-C and SIGTERM are taken by a thread of their own (blocked everywhere
// else, before any other thread starts), which notes the signal and wakes the
// loop; the loop then stops the operation as the window's shut-down does.
void watch_signals(void) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) return;
        g_signal.store(sig);
        plat::loop_post([] {});
    }).detach();
}
bool progress_tty = false;
bool progress_open = false;  // a progress line is on the terminal without its line end
std::string progress_last;

// The counter counts lines of the firmware line table (bytes/s shown too).
bool progress_lines = false;

// The rate of the counter in hand: measured from the first value drawn under
// the same caption and maximum.
struct progress_rate {
    std::string phase;
    int32_t act0 = 0;
    std::chrono::steady_clock::time_point t0;
    int32_t summed_to = 0;  // firmware lines act0..summed_to - 1 are in `bytes`
    uint64_t bytes = 0;
} rate;

// "  12.5/s  0:07 left" once the counter has moved for a second, else "".
std::string rate_text(const stat_dlg_view &v) {
    const auto now = std::chrono::steady_clock::now();
    const std::string phase = std::string(v.caption) + "|" + std::to_string(v.max);
    if (phase != rate.phase || v.act < rate.act0) {
        rate.phase = phase;
        rate.act0 = v.act;
        rate.t0 = now;
        rate.summed_to = v.act;
        rate.bytes = 0;
        return std::string();
    }
    const double s = std::chrono::duration<double>(now - rate.t0).count();
    if (s < 1.0 || v.act <= rate.act0) return std::string();
    const double r = (v.act - rate.act0) / s;
    char buf[96];
    const long left = v.max > v.act ? std::lround((v.max - v.act) / r) : 0;
    int k = snprintf(buf, sizeof buf, "  %.1f/s", r);
    // Firmware lines differ in length: their bytes too, from the line table.
    if (progress_lines && firm_buff && v.act <= n_fsent + 1) {
        while (rate.summed_to < v.act) rate.bytes += firm_buff[rate.summed_to++].len;
        k += snprintf(buf + k, sizeof buf - static_cast<size_t>(k), " (%.0f bytes/s)",
                      static_cast<double>(rate.bytes) / s);
    }
    snprintf(buf + k, sizeof buf - static_cast<size_t>(k), "  %ld:%02ld left", left / 60,
             left % 60);
    return buf;
}

std::string utf8(const std::string &s) { return plat::cp1252_to_utf8(s); }

// Ends a progress line on the terminal before anything else is printed.
void progress_break(void) {
    if (progress_open) {
        fputs("\n", stderr);
        progress_open = false;
    }
}

// The status dialog shown, from what it drew last: caption, counters and
// percent, or the application name and the message of the error display.
std::string progress_text(void) {
    bool stat = HDLG_Stat != 0 && plat::win_is_visible(HDLG_Stat);
    bool err = !stat && HDLG_StatErr != 0 && plat::win_is_visible(HDLG_StatErr);
    if (!stat && !err) return std::string();
    stat_dlg_view v;
    stat_dlg_get_view(&v);
    if (err) return v.msg[0] ? std::string(VER_APP_NAME) + "  " + v.msg : VER_APP_NAME;
    // The counters as the bar has them: a redraw of the bar alone leaves the
    // dialog's counter texts behind.
    std::string line = v.caption;
    if (v.pre_label[0] || v.betw_label[0])
        line += "  " + std::string(v.pre_label) + " " + std::to_string(v.act) + " " + v.betw_label +
                " " + std::to_string(v.max);
    line += "  " + std::to_string(v.percent) + "%";
    // The rate changes every redraw: only a terminal line shows it.
    return progress_tty ? line + rate_text(v) : line;
}

// A plain line at most every second (and at each new caption), so that a
// log of a long operation stays readable.
std::string progress_caption;
std::chrono::steady_clock::time_point progress_when;

void progress_draw(void) {
    std::string t = progress_text();
    if (t.empty() || t == progress_last) return;
    if (!progress_tty) {
        stat_dlg_view v;
        stat_dlg_get_view(&v);
        const auto now = std::chrono::steady_clock::now();
        if (v.caption == progress_caption && now - progress_when < std::chrono::seconds(1) &&
            v.act != v.max)
            return;
        progress_caption = v.caption;
        progress_when = now;
    }
    progress_last = t;
    if (progress_tty) {
        fprintf(stderr, "\r%s\x1b[K", utf8(t).c_str());
        progress_open = true;
    } else {
        fprintf(stderr, "%s\n", utf8(t).c_str());
    }
    fflush(stderr);
}

// Asks a question on the terminal; No unless the operator types y or j.
plat::WinAnswer ask(void) {
    if (!isatty(STDIN_FILENO)) return plat::WIN_ANSWER_NO;
    fputs("[y/N] ", stderr);
    fflush(stderr);
    char line[32];
    if (!fgets(line, sizeof line, stdin)) return plat::WIN_ANSWER_NO;
    return (line[0] == 'y' || line[0] == 'Y' || line[0] == 'j' || line[0] == 'J')
               ? plat::WIN_ANSWER_YES
               : plat::WIN_ANSWER_NO;
}

// While set, error boxes are kept here instead of printed: check-dump
// prints them with the line they refer to, a backup decides about them.
bool capture_boxes = false;
std::vector<std::string> captured;

// Prints a box (errors on stderr) and answers it.
plat::WinAnswer on_box(const plat::WinBoxRecord &b, int answer) {
    if (capture_boxes && b.icon == plat::WIN_ICON_STOP) {
        had_error = true;
        captured.push_back(utf8(b.body));
        return plat::WIN_ANSWER_OK;
    }
    progress_break();
    // Error boxes, and every box before the main window exists (start-up
    // failures), go to stderr; so do questions, which are not results.
    bool err = b.icon == plat::WIN_ICON_STOP;
    if (err) had_error = true;
    // With --json and for the scan, whose results stdout carries, every box
    // goes to stderr.
    FILE *f = (err || b.owner == -1 || b.buttons == plat::WIN_BOX_YESNO || boxes_to_stderr)
                  ? stderr
                  : stdout;
    std::string body = utf8(b.body);
    // A link that could not be opened: where, and the system's reason.
    if (err && mc_fail_where[0])
        body += ": " + std::string(mc_fail_where) + ": " + std::string(mc_fail_why);
    if (err && json_on) json_message(body);
    if (b.caption.empty())
        fprintf(f, "%s\n", body.c_str());
    else
        fprintf(f, "%s: %s\n", utf8(b.caption).c_str(), body.c_str());
    fflush(f);
    if (b.buttons != plat::WIN_BOX_YESNO) return plat::WIN_ANSWER_OK;
    if (answer == 1) return plat::WIN_ANSWER_YES;
    if (answer == 2) return plat::WIN_ANSWER_NO;
    return ask();
}

// The operation has ended (idle, no worker, no hand-over pending), or a
// signal asks to stop it. The end step that the window runs 100 ms after the
// worker has left (timer 165) runs here at once: it is safe to run again, and
// a script need not wait for it.
bool op_ended(void) {
    if (g_signal.load() != 0) return true;
    progress_draw();
    if (sm_workers_running() != 0) return false;
    if (plat::loop_timer_armed(hwndMain, sm_timer_end)) sm_on_timer_165();
    if (!(sys_act & 1) || dome != 0) return false;
    if (sm_workers_running() != 0) return false;
    if (plat::loop_timer_armed(hwndMain, sm_timer_end) ||
        plat::loop_timer_armed(hwndMain, sm_timer_resume))
        return false;
    return true;
}

void copy_text(char *dst, size_t cap, const std::string &s) {
    size_t n = s.size() < cap - 1 ? s.size() : cap - 1;
    memcpy(dst, s.data(), n);
    dst[n] = 0;
}

// Applies the options to the settings; false (with a message) when one cannot be.
bool apply_options(const cli_opts &o) {
    if (o.lang) sys_lang = static_cast<uint32_t>(o.lang);
    if (o.com > 0) sys_intf = static_cast<uint8_t>(o.com);
    if (!o.port.empty()) {
        if (!plat::ser_set_com_path(sys_intf, o.port.c_str())) {
            fprintf(stderr, "velquor-cli: cannot map COM%u to %s\n", sys_intf, o.port.c_str());
            return false;
        }
    }
    if (!o.port.empty() || o.com > 0) set_com_mode(com_mode_rs232);
    if (!o.ip.empty()) {
        copy_text(sys_ip, sizeof sys_ip, o.ip);
        set_com_mode(com_mode_ip);
    }
    if (o.ip_list > 0) {
        sys_ipx = static_cast<int8_t>(o.ip_list - 1);
        broad = o.group ? 1 : 0;
        set_com_mode(com_mode_ipl);
    }
    if ((!o.ip.empty() || o.ip_list > 0) && com_mode == com_mode_rs232) {
        fprintf(stderr, "velquor-cli: networking is not available\n");
        return false;
    }
    if (o.monitor >= 0) sys_zelb_nr = static_cast<uint8_t>(o.monitor);
    if (o.cmd == cli_scan) {
        if (o.scan_from) sc_intf_s = static_cast<uint8_t>(o.scan_from);
        if (o.scan_to) sc_intf_e = static_cast<uint8_t>(o.scan_to);
        if (o.timeout > 0) sc_to = static_cast<uint8_t>(o.timeout);
        if (o.no_parity) sc_parno = 1;
    }
    if ((o.cmd == cli_info || o.cmd == cli_upload) && sys_zelb_nr == 0) {
        // From the configuration: the window's rule.
        fprintf(stderr,
                "velquor-cli: %s reads one monitor, and the configuration's monitor "
                "number is 0: give --monitor 1..255\n",
                o.cmd == cli_info ? "info" : "upload");
        usage_error = true;
        return false;
    }
    const bool firmware =
        o.cmd == cli_firmware || o.cmd == cli_firm_check || o.cmd == cli_bootstrap;
    const bool ddc = o.cmd == cli_ddc_read || o.cmd == cli_ddc_write || o.cmd == cli_ddc_convert ||
                     o.cmd == cli_edid;
    if (!o.file.empty()) {
        if (firmware)
            copy_text(firmpath, sizeof firmpath, o.file);
        else if (ddc)
            copy_text(ddcpath, sizeof ddcpath, o.file);
        else
            copy_text(fname1, sizeof fname1, o.file);
    }
    if (o.lpt) ddc_intf = static_cast<uint8_t>(o.lpt);
    copy_text(ddc_i2c_dev, sizeof ddc_i2c_dev, o.i2c);
    ddc_report.limit = o.cmd == cli_ddc_write ? (o.boards ? o.boards : 1) : 0;
    ddc_fix_checksum = o.fix_checksum ? 1 : 0;
    if (o.baud) sys_baud = o.baud;
    if (o.high_timeout) firm_hito = 1;
    if (o.variant) sys_boot = o.variant;
    if (o.timeout > 0) sys_to = static_cast<uint8_t>(o.timeout);
    if (o.no_parity) parno = 1;
    if (!o.log.empty()) {
        copy_text(fpath_log, sizeof fpath_log, o.log);
        logcom = 1;
        if (mc_log_create() != 0) {
            fprintf(stderr, "velquor-cli: cannot write the traffic log %s: %s\n", o.log.c_str(),
                    std::strerror(errno));
            return false;
        }
    }
    return true;
}

// The button each command presses.
int command_id(const cli_opts &o) {
    switch (o.cmd) {
    case cli_ping: return cmd_ping;
    case cli_key: return o.key_id;
    case cli_info: return cmd_info_upd;
    case cli_reset: return cmd_fs_reset;
    case cli_erase: return cmd_fs_erase;
    case cli_upload: return cmd_fs_upl;
    case cli_download: return cmd_fs_dnl;
    case cli_firmware: return cmd_firm_upd;
    case cli_bootstrap: return cmd_boot_dnl;
    case cli_ddc_read: return cmd_ddc_upl;
    case cli_ddc_write: return cmd_ddc_dnl;
    case cli_ddc_convert: return cmd_convert;
    case cli_scan: return cmd_scan;
    default: return 0;
    }
}

// Where the operation went: the device of the COM number, the address, or
// the first address of the IP list (all of it in group mode).
std::string link_where(void) {
    if (com_mode == com_mode_ip) return sys_ip;
    if (com_mode == com_mode_ipl) {
        if (broad) return "IP list " + std::to_string(sys_ipx + 1);
        return list_get_ip(sys_ipx);
    }
    const char *path = plat::ser_com_path(sys_intf);
    return path ? path : "COM" + std::to_string(sys_intf);
}

// "monitor 2", or "monitors 1..3" for a ring that reached number n.
std::string monitors_text(bool to_all, unsigned n) {
    if (!to_all) return "monitor " + std::to_string(n);
    if (n <= 1) return "monitor 1";
    return "monitors 1.." + std::to_string(n);
}

// What a file-system operation reached: the address of the walk in group mode.
std::string fs_where(void) {
    if (com_mode == com_mode_ipl && broad && fs_report.addr > 0)
        return list_get_ip_sub(sys_ipx, fs_report.addr - 1);
    return link_where();
}

// The bus of the DDC commands: "LPT1", or the i2c-dev device.
std::string ddc_bus_name(void) {
    if (ddc_i2c_dev[0]) return ddc_i2c_dev;
    return "LPT" + std::to_string(unsigned(ddc_intf));
}

std::string plural(int32_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The name of a key command id.
const char *key_name(int id) {
    switch (id) {
    case cmd_key_up: return "Up";
    case cmd_key_left: return "Left";
    case cmd_key_right: return "Right";
    case cmd_key_down: return "Down";
    default: return "OK";
    }
}

// The identification record, as the info group shows it.
void print_info(void) {
    zelb_info_lines l;
    zelb_info_format(&zelb_info_dat, &l);
    const struct {
        int label;
        const char *value;
    } rows[] = {{tx_typ, l.typ}, {tx_dsp, l.dsp}, {tx_vers, l.rev}, {tx_dat, l.dat}};
    for (const auto &r : rows)
        printf("%s %s\n", utf8(scr_get_text_ix(r.label)).c_str(), utf8(r.value).c_str());
}

std::string seconds(int64_t ms) {
    char t[32];
    snprintf(t, sizeof t, "%.1f s", static_cast<double>(ms) / 1000.0);
    return t;
}

// The update of an IP list: one line per address.
void print_firm_report(FILE *f) {
    const char *what[] = {"not reached", "failed", "updated", "skipped (question answered No)",
                          "refused"};
    for (int32_t k = 0; k < list_get_max_sub(sys_ipx) && k < firm_report_max; ++k) {
        const firm_addr_report_T &a = firm_report.addr[k];
        std::string line = std::string(list_get_ip_sub(sys_ipx, k)) + ": " + what[a.outcome];
        if (a.outcome == firm_running && end_last_rv)
            line += std::string(" (") + utf8(mc_get_err_msg(end_last_rv)) + ")";
        if (a.outcome == firm_running && !end_last_rv && end_last_f_rv)
            line += std::string(" (") + utf8(mf_get_err_msg(end_last_f_rv)) + ")";
        if (a.outcome == firm_updated)
            line += ", " + std::to_string(a.lines) + " lines to " + std::to_string(a.monitors) +
                    (a.monitors == 1 ? " monitor" : " monitors") + " in " + seconds(a.ms);
        else if (a.outcome == firm_running)
            line += " after " + seconds(a.ms) +
                    (a.lines > 0 ? ", " + std::to_string(a.lines) + " lines sent" : "");
        fprintf(f, "  %s\n", line.c_str());
    }
}

// One line that says what the command did; with --quiet only the value.
// `to_all`: the command went to monitor number 0, every monitor of the line.
// The scan's tree as indented lines: a port, its monitors, their firmware.
void print_scan(void) {
    char t[scan_line_size];
    if (scan_count == 0) {
        scan_none_line(t, sizeof t);
        printf("%s\n", utf8(t).c_str());
    }
    for (int32_t i = 0; i < scan_count; ++i) {
        const scan_T &r = scans[i];
        scan_port_line(&r, t, sizeof t);
        printf("%s\n", utf8(t).c_str());
        for (int j = 1; r.mode == scan_m_found && j <= r.mon_count; ++j) {
            scan_mon_line(&r, j, t, sizeof t);
            printf("  %s\n", utf8(t).c_str());
            scan_firm_line(&r, j, t, sizeof t);
            printf("    %s\n", utf8(t).c_str());
        }
    }
}

// The scan for a script: each port opened with its device and what it
// answered, and each monitor's identification.
void json_scan(nlohmann::json &d) {
    d["from"] = sc_intf_s < sc_intf_e ? sc_intf_s : sc_intf_e;
    d["to"] = sc_intf_s < sc_intf_e ? sc_intf_e : sc_intf_s;
    d["aborted"] = scan_cancelled != 0;
    d["ports"] = nlohmann::json::array();
    for (int32_t i = 0; i < scan_count; ++i) {
        const scan_T &r = scans[i];
        const char *path = plat::ser_com_path(r.ix);
        nlohmann::json p = {{"com", r.ix},
                            {"device", path ? path : ""},
                            {"result", r.mode == scan_m_found  ? "monitors"
                                       : r.mode == scan_m_loop ? "loop"
                                                               : "error"},
                            {"monitors", nlohmann::json::array()}};
        for (int j = 1; r.mode == scan_m_found && j <= r.mon_count; ++j) {
            nlohmann::json m = json_identification(r.zelb_data[j - 1]);
            m["number"] = j;
            p["monitors"].push_back(m);
        }
        d["ports"].push_back(p);
    }
    if (scan_denied_count > 0)
        d["denied"] = {
            {"count", scan_denied_count}, {"first", scan_denied_where}, {"why", scan_denied_why}};
}

void print_result(const cli_opts &o, bool to_all) {
    const std::string where = link_where();
    const unsigned nr = sys_zelb_nr;
    if (json_on) {
        nlohmann::json &d = json_doc();
        if (o.cmd != cli_scan) d["link"] = where;
        if (o.cmd == cli_ping) d["monitors"] = nr;
        if (o.cmd == cli_info) {
            d["monitor"] = nr;
            d["identification"] = json_identification(zelb_info_dat);
        }
        if (o.cmd == cli_scan) json_scan(d);
        return;
    }
    switch (o.cmd) {
    case cli_ping:
        if (o.quiet)
            printf("%u\n", nr);
        else
            printf("%u monitor%s on %s\n", nr, nr == 1 ? " answers" : "s answer", where.c_str());
        break;
    case cli_key:
        if (o.quiet) break;
        if (com_mode == com_mode_ipl && broad)
            printf("key %s acknowledged at %d addresses of %s\n", key_name(o.key_id),
                   list_get_max_sub(sys_ipx), where.c_str());
        else if (nr == 0)
            printf("key %s acknowledged on %s\n", key_name(o.key_id), where.c_str());
        else
            printf("key %s acknowledged by monitor %u on %s\n", key_name(o.key_id), nr,
                   where.c_str());
        break;
    case cli_reset: {
        if (o.quiet) break;
        // Monitor 0: the ping found the highest number, and all went down from there.
        std::string list = std::to_string(nr);
        for (unsigned k = nr; to_all && k > 1; --k) list += ", " + std::to_string(k - 1);
        printf("restart sent to monitor%s %s on %s\n", to_all && nr > 1 ? "s" : "", list.c_str(),
               where.c_str());
        break;
    }
    case cli_info:
        if (!o.quiet) printf("monitor %u on %s:\n", nr, where.c_str());
        print_info();
        break;
    case cli_erase:
        if (o.quiet) break;
        if (fs_report.empty)
            printf("monitor %u on %s: the file system is empty, nothing to erase\n", nr,
                   where.c_str());
        else if (com_mode == com_mode_ipl && broad)
            printf("file systems erased at %d addresses of %s: %s deleted\n",
                   list_get_max_sub(sys_ipx), where.c_str(),
                   plural(fs_report.deleted, "entry", "entries").c_str());
        else
            printf("%s on %s erased: %s deleted\n",
                   monitors_text(to_all, static_cast<unsigned>(fs_report.mon)).c_str(),
                   where.c_str(), plural(fs_report.deleted, "entry", "entries").c_str());
        break;
    case cli_upload:
        if (o.quiet) break;
        printf("monitor %u on %s saved to %s: %s, %s\n", nr, where.c_str(), o.file.c_str(),
               plural(fs_report.done, "entry", "entries").c_str(),
               plural(fs_report.tables, "gamma table", "gamma tables").c_str());
        break;
    case cli_firmware: {
        if (o.quiet) break;
        if (com_mode == com_mode_ipl && broad) {
            printf("%s written at %d addresses of %s:\n", o.file.c_str(), list_get_max_sub(sys_ipx),
                   where.c_str());
            print_firm_report(stdout);
            break;
        }
        const firm_addr_report_T &a = firm_report.addr[0];
        printf("%s written to %s on %s: %d lines (%llu bytes) at %d baud in %s\n", o.file.c_str(),
               a.monitors == 1
                   ? "monitor 1"
                   : ("the chain of " + std::to_string(a.monitors) + " monitors").c_str(),
               where.c_str(), static_cast<int>(firm_lines),
               static_cast<unsigned long long>(firm_table_bytes()), static_cast<int>(sys_baud2),
               seconds(a.ms).c_str());
        break;
    }
    case cli_bootstrap:
        if (o.quiet) break;
        printf("%s loaded into the %s board on %s: %d records (%llu bytes)\n", o.file.c_str(),
               sys_boot == boot_zelb3 ? "ZELB3" : "AM29LV150", where.c_str(),
               static_cast<int>(firm_lines), static_cast<unsigned long long>(firm_table_bytes()));
        break;
    case cli_ddc_read:
        if (o.quiet) break;
        printf("EEPROM on %s read into %s: 128 bytes\n", ddc_bus_name().c_str(), o.file.c_str());
        break;
    case cli_ddc_write:
        if (o.quiet) break;
        if (ddc_fixed_from >= 0)
            printf("%s written into %s on %s, its checksum byte 0x%02X corrected to 0x%02X\n",
                   o.file.c_str(), plural(ddc_report.written, "board", "boards").c_str(),
                   ddc_bus_name().c_str(), unsigned(ddc_fixed_from), unsigned(ddc_buffer[127]));
        else
            printf("%s written into %s on %s\n", o.file.c_str(),
                   plural(ddc_report.written, "board", "boards").c_str(), ddc_bus_name().c_str());
        break;
    case cli_scan: print_scan(); break;
    case cli_ddc_convert:
        if (o.quiet) break;
        printf("%s converted into %s\n", o.file.c_str(), ddcpath);
        break;
    case cli_download:
        if (o.quiet) break;
        if (com_mode == com_mode_ipl && broad)
            printf("%s written at %d addresses of %s: %s, %s each\n", o.file.c_str(),
                   list_get_max_sub(sys_ipx), where.c_str(),
                   plural(fsd.fs_ent_cnt, "entry", "entries").c_str(),
                   plural(fs_report.tables, "gamma table", "gamma tables").c_str());
        else
            printf("%s written to %s on %s: %s, %s\n", o.file.c_str(),
                   monitors_text(to_all, static_cast<unsigned>(fs_report.mon)).c_str(),
                   where.c_str(), plural(fsd.fs_ent_cnt, "entry", "entries").c_str(),
                   plural(fs_report.tables, "gamma table", "gamma tables").c_str());
        break;
    default: break;
    }
}

// A question of the operation was not answered Yes: nothing was done, and
// that is no success.
bool declined(const cli_opts &o) {
    if (fs_report.declined) return true;
    if (o.cmd == cli_ddc_write && ddc_report.failed > 0) return true;
    if (o.cmd != cli_firmware || firm_report.cur < 0) return false;
    const uint8_t out = firm_report.addr[firm_report.cur].outcome;
    return out == firm_skipped || out == firm_refused;
}

// The file a check reads, opened with no file error and no box kept yet;
// nullptr (and why, on stderr) when it cannot be read.
FILE *open_for_check(const cli_opts &o) {
    FILE *f = nullptr;
    if (mf_fopen(&f, o.file.c_str(), mf_read) != 0) {
        const std::string why = std::strerror(errno);
        fprintf(stderr, "velquor-cli: cannot read %s: %s\n", o.file.c_str(), why.c_str());
        if (json_on) json_error("file", mfe_open, utf8(mf_get_err_msg(mfe_open)), o.file, why);
        return nullptr;
    }
    sys_f_rv = 0;
    captured.clear();
    return f;
}

// A file that a check refuses: each complaint and the text of file error id
// on stderr (the latter only when id is not 0) and in the JSON document, with
// the file and line at fault in `at`. 1.
int file_refused(const std::string &at, uint8_t id) {
    for (const std::string &c : captured) {
        fprintf(stderr, "velquor-cli: %s: %s\n", at.c_str(), c.c_str());
        if (json_on) json_message(at + ": " + c);
    }
    const std::string text = utf8(mf_get_err_msg(id ? id : uint8_t(mfe_invdat)));
    if (id) fprintf(stderr, "velquor-cli: %s: %s\n", at.c_str(), text.c_str());
    if (json_on)
        json_error("file", id ? int(id) : int(mfe_invdat), text, at,
                   captured.empty() ? "" : captured[0]);
    sys_f_rv = 0;
    return 1;
}

// edid: the EDID of FILE decoded, one fact a line; what is wrong on stderr.
// The file is read in its form (.bin: exactly 128 bytes; else the text table)
// or, whatever its name, as 128 bytes of a binary file.
int edid_check(const cli_opts &o) {
    long long size = 0;
    const bool raw =
        plat::file_kind(o.file.c_str(), &size) == plat::FILE_KIND_REGULAR && size == ddc_size;
    mode2 = raw ? 0 : (mf_file_is_bin(ddcpath) ? 1 : 0);
    mf_fclose(&fpupl);
    fpupl = open_for_check(o);
    if (!fpupl) return 1;
    capture_boxes = true;
    const char ok = input_ddc_file();
    capture_boxes = false;
    mf_fclose(&fpupl);
    if (!ok) return file_refused(o.file, sys_f_rv ? sys_f_rv : uint8_t(mfe_invdat));
    edid_report r;
    edid_decode(ddc_buffer, &r);
    for (const std::string &l : r.lines) printf("%s\n", l.c_str());
    fflush(stdout);
    for (const std::string &w : r.warnings)
        fprintf(stderr, "velquor-cli: %s: %s\n", o.file.c_str(), w.c_str());
    return r.warnings.empty() ? 0 : 1;
}

// The firmware file as the update reads it: records, data bytes, address
// ranges, lines after merging and the wire time at each rate; or the first
// line it refuses. No monitor is touched.
int firm_check(const cli_opts &o) {
    FILE *f = open_for_check(o);
    if (!f) return 1;
    capture_boxes = true;
    const char rc = firm_to_buffer(f, 0, 0);
    capture_boxes = false;
    mf_fclose(&f);
    if (rc != 0 || firm_lines == 0) {
        const std::string at =
            firm_err_line ? o.file + ":" + std::to_string(firm_err_line) : o.file;
        const uint8_t e = firm_lines == 0 && rc == 0 ? uint8_t(mfe_nodat) : sys_f_rv;
        return file_refused(at, e ? e : uint8_t(mfe_invdat));
    }
    // Records as they stand: data bytes and the address ranges they cover.
    const int32_t records = firm_lines;
    uint64_t data = 0;
    uint32_t base = 0;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;  // [first, end)
    for (int32_t i = 0; i <= n_fsent; ++i) {
        const uint8_t *l = firm_buff[i].line;
        const uint32_t off = l[1] * 256u + l[2];
        if (l[3] == 2 && l[0] == 2) base = (l[4] * 256u + l[5]) << 4;
        if (l[3] == 4 && l[0] == 2) base = (l[4] * 256u + l[5]) << 16;
        if (l[3] != 0 || l[0] == 0) continue;
        data += l[0];
        const uint32_t a = base + off;
        if (!ranges.empty() && ranges.back().second == a)
            ranges.back().second = a + l[0];
        else
            ranges.emplace_back(a, a + l[0]);
    }
    const uint64_t raw_bytes = firm_table_bytes();
    firm_compress();
    const uint64_t merged_bytes = firm_table_bytes();
    if (json_on) {
        nlohmann::json &d = json_doc();
        d["file"] = o.file;
        d["records"] = records;
        d["data_bytes"] = data;
        d["ranges"] = nlohmann::json::array();
        for (const auto &r : ranges)
            d["ranges"].push_back({{"first", r.first}, {"last", r.second - 1}});
        d["lines_merged"] = firm_lines;
        d["bytes_merged"] = merged_bytes;
        d["bytes_unmerged"] = raw_bytes;
        d["wire_seconds"] = nlohmann::json::array();
        for (int rate : {9600, 19200, 38400, 115200, 288000, 384000, 576000})
            d["wire_seconds"].push_back(
                {{"baud", rate},
                 {"one_monitor", (merged_bytes + static_cast<uint64_t>(firm_lines)) * 11.0 / rate},
                 {"chain", 2.0 * merged_bytes * 11.0 / rate}});
        return 0;
    }
    printf("%s: %d records, %llu data bytes\n", o.file.c_str(), static_cast<int>(records),
           static_cast<unsigned long long>(data));
    if (o.quiet) return 0;
    std::string list;
    for (size_t k = 0; k < ranges.size() && k < 8; ++k) {
        char r[40];
        snprintf(r, sizeof r, "%s0x%05X-0x%05X", k ? ", " : "", ranges[k].first,
                 ranges[k].second - 1);
        list += r;
    }
    if (ranges.size() > 8) list += ", ... (" + std::to_string(ranges.size()) + " ranges)";
    printf("  addresses: %s\n", list.c_str());
    printf(
        "  an update sends %d lines (%llu bytes) when every monitor merges them, else %d "
        "(%llu bytes)\n",
        static_cast<int>(firm_lines), static_cast<unsigned long long>(merged_bytes),
        static_cast<int>(records), static_cast<unsigned long long>(raw_bytes));
    // A byte takes 11 bits (8 data, parity, start and stop); one monitor
    // answers a line with one byte, a chain echoes it.
    printf("  wire time      one monitor   a chain\n");
    for (int rate : {9600, 19200, 38400, 115200, 288000, 384000, 576000}) {
        const double one = (merged_bytes + static_cast<uint64_t>(firm_lines)) * 11.0 / rate;
        const double chain = 2.0 * merged_bytes * 11.0 / rate;
        printf("  %6d baud  %9.1f s  %9.1f s\n", rate, one, chain);
    }
    printf("  plus 2 s before the first line (12 s with --high-timeout) and 5 s at the end\n");
    return 0;
}

// After a failed erase or download: where it stopped, so that the operator
// knows which monitor may hold a part of the change.
void print_fs_stop(const cli_opts &o) {
    if (o.cmd == cli_ddc_write) {
        fprintf(stderr, "velquor-cli: %s written into %s, %s failed\n", o.file.c_str(),
                plural(ddc_report.written, "board", "boards").c_str(),
                plural(ddc_report.failed, "board", "boards").c_str());
        return;
    }
    if (o.cmd == cli_firmware || o.cmd == cli_bootstrap) {
        const firm_addr_report_T &a = firm_report.addr[firm_report.cur < 0 ? 0 : firm_report.cur];
        const bool declined = o.cmd == cli_firmware &&
                              (a.outcome == firm_skipped || a.outcome == firm_refused) &&
                              !end_last_rv && !end_last_f_rv;
        if (o.cmd == cli_firmware && com_mode == com_mode_ipl && broad) {
            fprintf(stderr, "velquor-cli: the update of %s stopped:\n", link_where().c_str());
            print_firm_report(stderr);
        } else if (declined) {
            fprintf(stderr, "velquor-cli: nothing updated: the question was not answered Yes%s\n",
                    o.answer == 2 ? "" : " (give --yes)");
        } else if (firm_lines > 0 && fs_cnt > 0) {
            fprintf(stderr,
                    "velquor-cli: the %s stopped after %d of %d lines on %s; the board waits "
                    "in its loader for a new %s\n",
                    o.cmd == cli_firmware ? "update" : "bootstrap", static_cast<int>(fs_cnt),
                    static_cast<int>(n_fsent + 1), link_where().c_str(),
                    o.cmd == cli_firmware ? "update" : "bootstrap");
        }
        if (firm_err_line > 0 && end_last_f_rv)
            fprintf(stderr, "velquor-cli: %s:%d: the line was refused\n", o.file.c_str(),
                    static_cast<int>(firm_err_line));
        return;
    }
    if (o.cmd != cli_erase && o.cmd != cli_download) return;
    if (fs_report.declined) {
        fprintf(stderr, "velquor-cli: nothing erased: the question was not answered Yes%s\n",
                o.answer == 2 ? "" : " (give --yes)");
        return;
    }
    if (fs_report.mon == 0) return;
    const char *what = o.cmd == cli_erase ? "erase" : "download";
    fprintf(stderr, "velquor-cli: the %s stopped at monitor %u on %s after %d of %d entries\n",
            what, fs_report.mon, fs_where().c_str(), static_cast<int>(fs_report.done),
            static_cast<int>(fs_report.total));
}

// Presses the button `id` and runs the loop until its operation has ended.
// True when it ended without an error box or error id and no signal came.
bool run_button(int id) {
    had_error = false;
    end_last_reset();
    check_cmd(hwndMain, id, plat::WIN_NOTIFY_CLICK);
    if (!plat::win_pump_until(op_ended, kOpLimitMs)) {
        progress_break();
        fprintf(stderr, "velquor-cli: the operation did not end\n");
        had_error = true;
    }
    progress_break();
    if (end_last_rv != 0 || end_last_f_rv != 0) had_error = true;
    return !had_error && g_signal.load() == 0;
}

// The system's reason why path cannot be read, or written as a new file
// beside it.
std::string file_reason(const std::string &path, bool write) {
    if (!write) {
        FILE *f = fopen(path.c_str(), "rb");
        if (f) {
            fclose(f);
            return "it can be read now";
        }
        return std::strerror(errno);
    }
    if (plat::file_kind(path.c_str(), nullptr) == plat::FILE_KIND_OTHER) return "not a file";
    const size_t cut = path.find_last_of('/');
    const std::string dir = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
    if (access(dir.c_str(), W_OK) != 0) return dir + ": " + std::strerror(errno);
    return "the disk refused the new file";
}

// A command of a macro step as the file writes it: address, command, value.
std::string macro_command_text(const mak_ent_T &e, int k) {
    char t[48];
    snprintf(t, sizeof t, "%u 0x%04X 0x%04X", unsigned(e.zelb_nr[k]), unsigned(e.cmd[k] & 0xFFFF),
             unsigned(e.val[k] & 0xFFFF));
    return t;
}

// macro FILE: the buttons and their steps, one line a button and one a step.
void print_macros(void) {
    for (int b = 0; b < mak_buttons; ++b) {
        const makroT &m = makros[b];
        if (mak_is_empty(&m)) continue;
        printf("%d %s\n", b + 1, utf8(m.ent[0].text_id).c_str());
        for (int i = 0; i < m.cnt; ++i) {
            const mak_ent_T &e = m.ent[i];
            std::string cmds;
            for (int k = 0; k < e.cnt; ++k) cmds += (k ? "; " : "") + macro_command_text(e, k);
            printf("  %d %s: %s\n", i + 1, utf8(e.text).c_str(),
                   cmds.empty() ? "no commands" : cmds.c_str());
        }
    }
}

// macro FILE [BUTTON]: loads FILE as the window's Macro File > Open does,
// lists it, or sends one step of the button. 0, 1 (the file or the step
// failed) or 2 (no such button or step).
int macro_command(const cli_opts &o) {
    had_error = false;
    copy_text(makpath, sizeof makpath, o.file);
    load_mak();
    if (had_error && !makpath[0])
        fprintf(stderr, "velquor-cli: %s: %s\n", o.file.c_str(),
                file_reason(o.file, false).c_str());
    if (had_error) return 1;
    int n = 0;
    for (const makroT &m : makros) n += mak_is_empty(&m) ? 0 : 1;
    if (o.button.empty()) {
        if (n == 0) {
            fprintf(stderr, "velquor-cli: %s: no macro buttons\n", o.file.c_str());
            return 1;
        }
        print_macros();
        return 0;
    }
    int b = -1;
    if (o.button.size() == 1 && o.button[0] >= '1' && o.button[0] <= '5')
        b = o.button[0] - '1';
    else
        b = mak_is_grp(o.button.c_str());
    if (b < 0 || mak_is_empty(&makros[b])) {
        fprintf(stderr, "velquor-cli: %s has no button %s\n", o.file.c_str(), utf8(o.button).c_str());
        return 2;
    }
    makroT &m = makros[b];
    if (o.step > m.cnt) {
        fprintf(stderr, "velquor-cli: button %s has %s\n", utf8(o.button).c_str(),
                plural(m.cnt, "step", "steps").c_str());
        return 2;
    }
    m.ix = static_cast<uint8_t>(o.step > 0 ? o.step - 1 : 0);
    const int ran = m.ix + 1;
    const mak_ent_T &e = m.ent[m.ix];
    run_button(cmd_mak_1 + b);
    const int sig = g_signal.load();
    if (sig != 0) {
        vq_stop_operation(vq_stop_wait_ms);
        fprintf(stderr, "velquor-cli: interrupted: the operation was stopped\n");
        return 128 + sig;
    }
    if (had_error) return 1;
    if (!o.quiet)
        printf("%s: step %d %s sent to %s: %s\n", utf8(e.text_id).c_str(), ran,
               utf8(e.text).c_str(), link_where().c_str(),
               plural(e.cnt, "frame", "frames").c_str());
    return 0;
}

// The line of `path` that ends before byte `pos` (the reader stopped behind
// it); 0 when pos names no line.
long dump_line_of(const std::string &path, long pos) {
    if (pos <= 0) return 0;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return 0;
    long line = 1, i = 0;
    int c = 0, last = 0;
    while (i < pos && (c = fgetc(f)) != EOF) {
        if (c == '\n' && i + 1 < pos) ++line;
        last = c;
        ++i;
    }
    (void)last;
    fclose(f);
    return line;
}

// A person's name of an entry class.
const char *class_name(uint32_t cls) {
    switch (cls) {
    case 0xA2: return "timing lists";
    case 0xA3: return "SBF/AUX";
    case 0xA7:
    case 0xA8: return "input settings";
    case 0xA9: return "user";
    case 0xAA: return "item lists";
    case 0xAC: return "display settings";
    case 0xAD: return "global settings";
    case 0xAE: return "mode data";
    case 0xAF: return "video mode data";
    case 0xC4: return "mview global";
    case 0xC5: return "mview user";
    case 0xC7: return "white points";
    default: return "internal data";
    }
}

// check-dump: reads the file with the download's reader and tells what it
// holds, or the first error with its line.
int check_dump(const cli_opts &o) {
    FILE *f = open_for_check(o);
    if (!f) return 1;
    capture_boxes = true;
    const char ok = buffer_fs_file(f);
    capture_boxes = false;
    mf_fclose(&f);
    if (ok != 1) {
        const long line = dump_line_of(o.file, fsd_err_pos);
        return file_refused(line ? o.file + ":" + std::to_string(line) : o.file, sys_f_rv);
    }
    // Entries by class, in the order the classes first appear.
    std::vector<std::pair<const char *, int>> classes;
    for (int32_t i = 0; i < fsd.fs_ent_cnt; ++i) {
        const char *name = class_name(fs_class(fsd.fs_ent[i][0]));
        bool found = false;
        for (auto &c : classes)
            if (c.first == name) {
                ++c.second;
                found = true;
            }
        if (!found) classes.emplace_back(name, 1);
    }
    std::string tables;
    int n_tables = 0;
    nlohmann::json jtables = nlohmann::json::array();
    for (const gamma_kind_T &k : gamma_kinds) {
        if (k.tab->count <= 0) continue;
        char t[16];
        snprintf(t, sizeof t, "%s%02X (", n_tables ? ", " : "", static_cast<unsigned>(k.nr));
        tables += t + plural(k.tab->count, "point", "points") + ")";
        jtables.push_back({{"table", k.nr}, {"points", k.tab->count}});
        ++n_tables;
    }
    if (json_on) {
        nlohmann::json &d = json_doc();
        d["file"] = o.file;
        d["entries"] = fsd.fs_ent_cnt;
        d["entry_classes"] = nlohmann::json::array();
        for (const auto &c : classes)
            d["entry_classes"].push_back({{"class", c.first}, {"count", c.second}});
        d["gamma_tables"] = jtables;
        return 0;
    }
    printf("%s: %s, %s\n", o.file.c_str(), plural(fsd.fs_ent_cnt, "entry", "entries").c_str(),
           plural(n_tables, "gamma table", "gamma tables").c_str());
    if (!o.quiet) {
        std::string list;
        for (const auto &c : classes)
            list += (list.empty() ? "" : ", ") + std::to_string(c.second) + " " + c.first;
        if (!list.empty()) printf("  entries: %s\n", list.c_str());
        if (n_tables) printf("  gamma tables: %s\n", tables.c_str());
    }
    return 0;
}

// A backup file's name in dir: the link, the monitor and the time, never one
// that exists.
std::string backup_path(const std::string &dir, const std::string &where, unsigned mon) {
    std::string name;
    const size_t cut = where.find_last_of('/');
    for (char c : cut == std::string::npos ? where : where.substr(cut + 1))
        name += (isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') ? c : '_';
    char stamp[32];
    const time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tmv);
    const std::string base = dir + "/" + name + "-mon" + std::to_string(mon) + "-" + stamp;
    std::string path = base + ".vqf";
    for (int k = 2; plat::file_kind(path.c_str(), nullptr) != plat::FILE_KIND_NONE; ++k)
        path = base + "-" + std::to_string(k) + ".vqf";
    return path;
}

// The main window's fields show the settings again. A button stores the
// fields into the settings before its operation starts, so a setting changed
// here must reach the fields first.
void settings_to_fields(void) { CreateWindowContents(cw_rebuild); }

// Saves one monitor into dir. True when saved or empty.
bool backup_one(const cli_opts &o, unsigned mon) {
    const std::string where = link_where();
    const std::string path = backup_path(o.backup, where, mon);
    sys_zelb_nr = static_cast<uint8_t>(mon);
    copy_text(fname1, sizeof fname1, path);
    settings_to_fields();
    captured.clear();
    capture_boxes = true;
    const bool ok = run_button(cmd_fs_upl);
    capture_boxes = false;
    if (ok) {
        printf("monitor %u on %s saved to %s\n", mon, where.c_str(), path.c_str());
        return true;
    }
    if (g_signal.load() != 0) return false;
    if (fs_report.empty && end_last_rv == 0 && end_last_f_rv == 0) {
        printf("monitor %u on %s: the file system is empty, nothing to save\n", mon, where.c_str());
        return true;
    }
    for (const std::string &c : captured) {
        std::string line = c;
        if (mc_fail_where[0]) line += ": " + std::string(mc_fail_where) + ": " + mc_fail_why;
        fprintf(stderr, "%s: %s\n", utf8(VER_APP_NAME).c_str(), line.c_str());
    }
    if (end_last_f_rv != 0)
        fprintf(stderr, "velquor-cli: %s: %s\n", path.c_str(), file_reason(path, true).c_str());
    fprintf(stderr, "velquor-cli: the backup of monitor %u on %s failed: nothing was changed\n",
            mon, where.c_str());
    return false;
}

// --backup: saves every monitor the command will touch, address by address
// of a group. True when all were saved; the settings are as before either way.
bool run_backups(const cli_opts &o) {
    if (mkdir(o.backup.c_str(), 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "velquor-cli: cannot make the backup folder %s: %s\n", o.backup.c_str(),
                std::strerror(errno));
        return false;
    }
    const uint8_t nr0 = sys_zelb_nr, broad0 = broad;
    const int32_t mode0 = com_mode;
    const uint32_t baud0 = sys_baud;
    const std::string ip0 = sys_ip, file0 = fname1;
    std::vector<std::string> addrs;
    if (com_mode == com_mode_ipl && broad)
        for (int32_t k = 0; k < list_get_max_sub(sys_ipx); ++k)
            addrs.push_back(list_get_ip_sub(sys_ipx, k));
    else
        addrs.push_back(std::string());
    bool ok = true;
    for (const std::string &addr : addrs) {
        if (!addr.empty()) {
            set_com_mode(com_mode_ip);
            copy_text(sys_ip, sizeof sys_ip, addr);
        }
        unsigned first = nr0, last = nr0;
        if (nr0 == 0) {
            sys_zelb_nr = 0;
            settings_to_fields();
            if (!run_button(cmd_ping)) {
                if (g_signal.load() == 0)
                    fprintf(stderr,
                            "velquor-cli: no backup: the monitors on %s did not answer: "
                            "nothing was changed\n",
                            link_where().c_str());
                ok = false;
                break;
            }
            first = 1;
            last = sys_zelb_nr;
        }
        for (unsigned m = first; ok && m <= last; ++m) ok = backup_one(o, m);
        if (!ok) break;
    }
    set_com_mode(mode0);
    broad = broad0;
    sys_baud = baud0;
    sys_zelb_nr = nr0;
    copy_text(sys_ip, sizeof sys_ip, ip0);
    copy_text(fname1, sizeof fname1, file0);
    settings_to_fields();
    fs_report_reset();
    return ok;
}

}  // namespace

// Saves the configuration as --save asks; false (with the reason) when it
// could not be written.
bool save_config(const cli_opts &o) {
    const char rc = save_conf();
    if (rc == 0) return true;
    if (conf_foreign)
        fprintf(stderr, "velquor-cli: %s is no configuration file: it was left as it is\n",
                o.config.c_str());
    else
        fprintf(stderr, "velquor-cli: cannot save the configuration to %s: %s\n", o.config.c_str(),
                std::strerror(plat::file_last_errno()));
    return false;
}

int cli_run(const cli_opts &o) {
    watch_signals();
    plat::win_use_headless();
    progress_tty = isatty(STDERR_FILENO) != 0;
    progress_lines = o.cmd == cli_firmware || o.cmd == cli_bootstrap;
    int answer = o.answer;
    plat::win_set_box_hook([answer](const plat::WinBoxRecord &b) { return on_box(b, answer); });

    json_on = o.json;
    if (json_on)
        json_start(o.cmd == cli_ping         ? "ping"
                   : o.cmd == cli_info       ? "info"
                   : o.cmd == cli_scan       ? "scan"
                   : o.cmd == cli_check_dump ? "check-dump"
                                             : "firmware --check");
    boxes_to_stderr = json_on || o.cmd == cli_scan;
    if (vq_startup(o.config.c_str()) != vq_start_ok) {
        if (json_on) json_print(false);  // the start-up's boxes are its messages
        return 1;
    }
    if (vq_create_window(false) == -1) {
        fprintf(stderr, "velquor-cli: the main window could not be created\n");
        vq_shutdown(false);
        return 1;
    }

    // The info fields exist only in views with the info group.
    int32_t kept_sysmode = sysmode;
    uint8_t kept_show_info = show_info;
    if (o.cmd == cli_info) show_info = 0;
    // Those commands work in a view with the monitor link (the DDC view ends
    // with the I2C link instead).
    if (o.cmd == cli_info || o.cmd == cli_erase || o.cmd == cli_upload || o.cmd == cli_download ||
        o.cmd == cli_firmware || o.cmd == cli_bootstrap) {
        if (scr_view_shown() == view_ddc || scr_view_shown() == view_boot) sysmode = view_fs;
    }
    // The scan runs in its view, on RS232.
    if (o.cmd == cli_scan) {
        sysmode = view_scan;
        set_com_mode(com_mode_rs232);
    }
    // The DDC commands work in the DDC view, which ends with the I2C link.
    if (o.cmd == cli_ddc_read || o.cmd == cli_ddc_write || o.cmd == cli_ddc_convert)
        sysmode = view_ddc;
    // Applied before the first build of the contents, so that the fields show them.
    bool ok = apply_options(o);
    int rc = 1;
    if (ok && o.cmd == cli_edid) {
        plat::win_pump_until([] { return is_start == 1; }, 10000);
        rc = edid_check(o);
    } else if (ok && o.cmd == cli_macro) {
        plat::win_pump_until([] { return is_start == 1; }, 10000);
        rc = macro_command(o);
    } else if (ok && (o.cmd == cli_check_dump || o.cmd == cli_firm_check)) {
        plat::win_pump_until([] { return is_start == 1; }, 10000);
        rc = o.cmd == cli_check_dump ? check_dump(o) : firm_check(o);
    } else if (ok) {
        plat::win_pump_until([] { return is_start == 1; }, 10000);
        const bool to_all = sys_zelb_nr == 0;
        if (!o.backup.empty() && !run_backups(o))
            had_error = true;
        else
            run_button(command_id(o));
        // The window shows a failed identification as an empty record and no
        // error; a script is told.
        if (!had_error && o.cmd == cli_info && zelb_info_rv != 0) {
            fprintf(stderr, "%s: %s\n", utf8(VER_APP_NAME).c_str(),
                    utf8(mc_get_err_msg(zelb_info_rv)).c_str());
            had_error = true;
        }
        if (eth_echo_denied[0]) fprintf(stderr, "velquor-cli: %s\n", eth_echo_denied);
        const int sig = g_signal.load();
        if (sig != 0) {
            vq_stop_operation(vq_stop_wait_ms);
            fprintf(stderr, "velquor-cli: interrupted: the operation was stopped\n");
        } else if (!had_error && !declined(o)) {
            print_result(o, to_all);
        } else {
            print_fs_stop(o);
            // A dump that could not be read or written: which file and why.
            if (end_last_f_rv != 0 && (o.cmd == cli_upload || o.cmd == cli_download)) {
                const long line = o.cmd == cli_download ? dump_line_of(o.file, fsd_err_pos) : 0;
                if (line)
                    fprintf(stderr,
                            "velquor-cli: %s:%ld: the dump file was not written to any "
                            "monitor\n",
                            o.file.c_str(), line);
                else if (end_last_f_rv == mfe_open || end_last_f_rv == mfe_nopath)
                    fprintf(stderr, "velquor-cli: %s: %s\n", o.file.c_str(),
                            file_reason(o.file, o.cmd == cli_upload).c_str());
            }
        }
        fflush(stdout);
        rc = sig != 0 ? 128 + sig : (had_error || declined(o)) ? 1 : 0;
    }
    if (usage_error) rc = 2;
    if (json_on) {
        if (rc != 0 && end_last_rv != 0)
            json_error("link", end_last_rv, utf8(mc_get_err_msg(end_last_rv)), mc_fail_where,
                       mc_fail_why);
        else if (rc != 0 && end_last_f_rv != 0)
            json_error("file", end_last_f_rv, utf8(mf_get_err_msg(end_last_f_rv)));
        json_print(rc == 0);
    }
    plat::win_close(hwndMain);
    sysmode = kept_sysmode;
    show_info = kept_show_info;
    vq_stop_operation(vq_stop_wait_ms);
    if (o.save && !save_config(o) && rc == 0) rc = 1;
    vq_shutdown(false);
    plat::win_set_box_hook(nullptr);
    plat::win_shutdown();
    return rc;
}

// An exception that reaches main (out of memory, say) ends the program in
// std::terminate on purpose: a worker may be inside a step, and returning from
// main would run the static destructors under it.
int main(int argc, char **argv) {  // NOLINT(bugprone-exception-escape): see above
    cli_opts o;
    std::string err;
    switch (cli_parse(argc, argv, &o, &err)) {
    case cli_parse_help: fputs(cli_usage(), stdout); return 0;
    case cli_parse_version: {
        char images[512];
        images_version_text(images, sizeof images);
        printf("velquor-cli %s\n%s\n", VER_APP_NUM, images);
        return 0;
    }
    case cli_parse_usage:
        fprintf(stderr, "velquor-cli: %s\n%s", err.c_str(), cli_usage());
        return 2;
    default: break;
    }
    return cli_run(o);
}
