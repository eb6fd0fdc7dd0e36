// velquor-cli: runs one operator command on the headless window layer.
//
// The start-up is the window program's (helper library, defaults, networking
// probe, configuration file); the main window exists but is never shown. The
// options then change the settings before the window's contents are first
// built, so that its fields show them, and the command's button is pressed
// through check_cmd, as the window presses it. The loop runs until the
// operation has ended: idle again, no worker left and no end timer pending.
// Boxes are answered by a hook that prints them; what the status dialog drew
// last is drawn as a progress line. Results come from the operations' state:
// the number a ping found (sys_zelb_nr), the identification record
// (zelb_info_dat) and the error ids the operation ended with.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "cli/cli.h"
#include "platform/cp1252.h"
#include "platform/file_replace.h"
#include "platform/loop.h"
#include "platform/serial.h"
#include "platform/win.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_main.h"

namespace {

constexpr int kOpLimitMs = 30 * 60 * 1000;  // an operation that runs longer is given up

bool had_error = false;
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
    std::string line = v.caption;
    if (v.pre[0]) line += std::string("  ") + v.pre;
    if (v.betw[0]) line += std::string(" ") + v.betw;
    return line + "  " + std::to_string(v.percent) + "%";
}

void progress_draw(void) {
    std::string t = progress_text();
    if (t.empty() || t == progress_last) return;
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

// Prints a box (errors on stderr) and answers it.
plat::WinAnswer on_box(const plat::WinBoxRecord &b, int answer) {
    progress_break();
    // Error boxes, and every box before the main window exists (start-up
    // failures), go to stderr; so do questions, which are not results.
    bool err = b.icon == plat::WIN_ICON_STOP;
    if (err) had_error = true;
    FILE *f = (err || b.owner == -1 || b.buttons == plat::WIN_BOX_YESNO) ? stderr : stdout;
    std::string body = utf8(b.body);
    // A link that could not be opened: where, and the system's reason.
    if (err && mc_fail_where[0])
        body += ": " + std::string(mc_fail_where) + ": " + std::string(mc_fail_why);
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
    if (o.cmd == cli_info && sys_zelb_nr == 0) {  // from the configuration: the window's rule
        fprintf(stderr,
                "velquor-cli: info reads one monitor, and the configuration's monitor "
                "number is 0: give --monitor 1..255\n");
        usage_error = true;
        return false;
    }
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

// One line that says what the command did; with --quiet only the value.
// `to_all`: the command went to monitor number 0, every monitor of the line.
void print_result(const cli_opts &o, bool to_all) {
    const std::string where = link_where();
    const unsigned nr = sys_zelb_nr;
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
    default: break;
    }
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
    int answer = o.answer;
    plat::win_set_box_hook([answer](const plat::WinBoxRecord &b) { return on_box(b, answer); });

    if (vq_startup(o.config.c_str()) != vq_start_ok) return 1;
    if (vq_create_window(false) == -1) {
        fprintf(stderr, "velquor-cli: the main window could not be created\n");
        vq_shutdown(false);
        return 1;
    }

    // The info fields exist only in views with the info group.
    int32_t kept_sysmode = sysmode;
    uint8_t kept_show_info = show_info;
    if (o.cmd == cli_info) {
        show_info = 0;
        if (scr_view_shown() == view_ddc || scr_view_shown() == view_boot) sysmode = view_fs;
    }
    // Applied before the first build of the contents, so that the fields show them.
    bool ok = apply_options(o);
    int rc = 1;
    if (ok) {
        plat::win_pump_until([] { return is_start == 1; }, 10000);
        had_error = false;
        end_last_reset();
        const bool to_all = sys_zelb_nr == 0;
        check_cmd(hwndMain, command_id(o), plat::WIN_NOTIFY_CLICK);
        if (!plat::win_pump_until(op_ended, kOpLimitMs)) {
            progress_break();
            fprintf(stderr, "velquor-cli: the operation did not end\n");
            had_error = true;
        }
        progress_break();
        if (end_last_rv != 0 || end_last_f_rv != 0) had_error = true;
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
        } else if (!had_error) {
            print_result(o, to_all);
        }
        fflush(stdout);
        rc = sig != 0 ? 128 + sig : had_error ? 1 : 0;
    }
    if (usage_error) rc = 2;
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

int main(int argc, char **argv) {
    cli_opts o;
    std::string err;
    switch (cli_parse(argc, argv, &o, &err)) {
    case cli_parse_help: fputs(cli_usage(), stdout); return 0;
    case cli_parse_version: printf("velquor-cli %s\n", VER_APP_NUM); return 0;
    case cli_parse_usage:
        fprintf(stderr, "velquor-cli: %s\n%s", err.c_str(), cli_usage());
        return 2;
    default: break;
    }
    return cli_run(o);
}
