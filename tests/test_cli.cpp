// Tests of velquor-cli: its options, and the program end to end against the
// simulator, over a pseudo-terminal and over the converter on 127.0.0.7.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/hex_files.h"
#include "support/ops_support.h"
#include "support/test_util.h"

namespace {

// ---------------------------------------------------------------- options

int parse(const std::vector<const char *> &args, cli_opts *o, std::string *err) {
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>("velquor-cli"));
    for (const char *a : args) argv.push_back(const_cast<char *>(a));
    return cli_parse(static_cast<int>(argv.size()), argv.data(), o, err);
}

}  // namespace

TEST(CliOptions, ParsesCommandsAndRefusesBadUsage) {
    struct Row {
        int n;
        std::vector<const char *> args;
        int rc;
    } rows[] = {
        {1, {"ping"}, cli_parse_ok},
        {2, {"key", "left", "--monitor", "0"}, cli_parse_ok},
        {3, {"--ip", "10.0.0.5", "info"}, cli_parse_ok},
        {4, {"--ip-list", "3", "--group", "reset"}, cli_parse_ok},
        {5, {"--help"}, cli_parse_help},
        {6, {"--version"}, cli_parse_version},
        {7, {}, cli_parse_usage},                // no command
        {8, {"ping", "info"}, cli_parse_usage},  // two commands
        {9, {"key", "sideways"}, cli_parse_usage},
        {10, {"key"}, cli_parse_usage},
        {11, {"--com", "0", "ping"}, cli_parse_usage},   // 1..99
        {12, {"--com", "07", "ping"}, cli_parse_usage},  // strict numbers only
        {13, {"--monitor", "256", "ping"}, cli_parse_usage},
        {14, {"--timeout", "5s", "ping"}, cli_parse_usage},
        {15, {"--ip", "1.2.3", "ping"}, cli_parse_usage},
        {16, {"--ip", "1.2.3.4", "--ip-list", "2", "ping"}, cli_parse_usage},
        {21, {"--com", "2", "--ip", "1.2.3.4", "ping"}, cli_parse_usage},  // one link
        {22, {"--monitor", "0", "info"}, cli_parse_usage},  // the window's Update is off at 0
        {23, {"--port", "/dev/pts/3", "--com", "3", "-q", "ping"}, cli_parse_ok},
        {17, {"--group", "ping"}, cli_parse_usage},  // group needs a list
        {18, {"--lang", "it", "ping"}, cli_parse_usage},
        {19, {"--frobnicate", "ping"}, cli_parse_usage},
        {20, {"ping", "--port"}, cli_parse_usage},  // option without its value
        {24, {"upload", "x.vqf"}, cli_parse_ok},
        {25, {"upload"}, cli_parse_usage},                             // no file
        {26, {"--monitor", "0", "upload", "x.vqf"}, cli_parse_usage},  // one monitor
        {27, {"--backup", "bk", "--monitor", "0", "erase"}, cli_parse_ok},
        {28, {"--backup", "bk", "download", "x.vqf"}, cli_parse_ok},
        {29, {"--backup", "bk", "upload", "x.vqf"}, cli_parse_usage},  // nothing to protect
        {30, {"check-dump", "x.vqf"}, cli_parse_ok},
        {31, {"firmware", "--baud", "576000", "f.h86", "--high-timeout"}, cli_parse_ok},
        {32, {"firmware", "--check", "f.h86"}, cli_parse_ok},
        {33, {"firmware", "f.h86", "--baud", "57600"}, cli_parse_usage},  // not a rate of theirs
        {34, {"--ip-list", "2", "firmware", "f.h86", "--baud", "115200"}, cli_parse_usage},
        {35, {"bootstrap", "f.h86", "--variant", "am29lv150"}, cli_parse_ok},
        {36, {"bootstrap", "f.h86", "--variant", "zelb4"}, cli_parse_usage},
        {37, {"bootstrap", "f.h86", "--baud", "9600"}, cli_parse_usage},
        {38, {"upload", "x.vqf", "--check"}, cli_parse_usage},
        {39, {"ddc-write", "x.bin", "--boards", "3", "--lpt", "2"}, cli_parse_ok},
        {40, {"ddc-read", "x.bin", "--boards", "2"}, cli_parse_usage},
        {41, {"--lpt", "5", "ddc-read", "x.bin"}, cli_parse_usage},
        {42, {"edid", "--lpt", "1", "x.bin"}, cli_parse_usage},
        {43, {"edid"}, cli_parse_usage},
        {44, {"ddc-read", "x.bin", "--fix-checksum"}, cli_parse_usage},
        {45, {"ddc-write", "x.bin", "--i2c", "/dev/i2c-3"}, cli_parse_ok},
        {46, {"ddc-read", "x.bin", "--i2c", "/dev/i2c-3", "--lpt", "1"}, cli_parse_usage},
        {47, {"--i2c", "/dev/i2c-3", "ping"}, cli_parse_usage},
        {48, {"macro", "m.vqm", "Light", "--step", "2"}, cli_parse_ok},
        {49, {"macro", "m.vqm", "--step", "2"}, cli_parse_usage},  // a step of which button?
        {50, {"macro", "m.vqm", "1", "2"}, cli_parse_usage},
        {51, {"macro", "m.vqm", "1", "--step", "26"}, cli_parse_usage},
        {52, {"scan", "--from", "5", "--to", "3", "--json"}, cli_parse_ok},
        {53, {"--ip", "1.2.3.4", "scan"}, cli_parse_usage},  // COM ports only
        {54, {"ping", "--from", "2"}, cli_parse_usage},
    };
    for (const Row &r : rows) {
        cli_opts o;
        std::string err;
        EXPECT_EQ(parse(r.args, &o, &err), r.rc) << "row " << r.n;
        if (r.rc == cli_parse_usage) {
            EXPECT_FALSE(err.empty()) << "row " << r.n;
        }
    }
    cli_opts o;
    std::string err;
    ASSERT_EQ(parse({"--port", "/dev/pts/9", "--com", "4", "--lang", "de", "--yes", "key", "ok",
                     "--save"},
                    &o, &err),
              cli_parse_ok);
    EXPECT_EQ(o.port, "/dev/pts/9");
    EXPECT_EQ(o.com, 4);
    EXPECT_EQ(o.lang, 1);
    EXPECT_EQ(o.answer, 1);
    EXPECT_EQ(o.key_id, 125);
    EXPECT_TRUE(o.save);
}

// ---------------------------------------------------------------- end to end

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs velquor-cli in `dir` with `args` (none holds a quote) for at most two
// minutes, collecting both outputs; `as` goes in front of the program (another
// user, say).
CliRun run_cli(const std::string &dir, const std::vector<std::string> &args,
               const std::string &as = "") {
    std::string cmd = "cd '" + dir + "' && exec " + as +
                      " timeout -s KILL 120 '" VQ_BINARY_DIR "/bin/velquor-cli'";
    for (const std::string &a : args) cmd += " '" + a + "'";
    cmd += " </dev/null 2>'" + dir + "/stderr.txt'";
    CliRun r;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = tu_read_file(dir + "/stderr.txt");
    return r;
}

struct CliSim : ::testing::Test {
    zs_sim *sim = nullptr;
    std::string dir, pty;
    const std::string ip = "127.0.0.7";  // the converter's address
    void SetUp() override {
        dir = tu_make_temp_dir("vq_cli_");
        ASSERT_FALSE(dir.empty());
        pty = dir + "/ttyZELB";
        zs_line_cfg a;
        a.link = pty;
        zs_line_set_count(&a, 3);
        sim = ops_start({a, ops_tcp_line(ip.c_str(), 3)});
        ASSERT_NE(sim, nullptr);
    }
    void TearDown() override {
        zs_stop(&sim);
        std::filesystem::remove_all(dir);
    }
    // The link options of line 0 (pty) or line 1 (TCP), and where it is.
    std::vector<std::string> link(int line) {
        if (line == 0) return {"--port", pty};
        return {"--ip", ip};
    }
    std::string where(int line) { return line == 0 ? pty : ip; }
};

std::vector<std::string> cat(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Ping, a key and info on line 0 (pty) or line 1 (TCP) of the simulator, and
// reset on line 0: one line of result each that says what was done where,
// and with --quiet only the value.
void tour(CliSim &t, int line) {
    const std::string where = t.where(line);
    CliRun r = run_cli(t.dir, cat(t.link(line), {"ping"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3 monitors answer on " + where + "\n");
    r = run_cli(t.dir, cat(t.link(line), {"--quiet", "ping"}));
    EXPECT_EQ(r.out, "3\n");

    uint64_t seq = zs_last_seq(t.sim);
    r = run_cli(t.dir, cat(t.link(line), {"--monitor", "2", "key", "left"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "key Left acknowledged by monitor 2 on " + where + "\n");
    EXPECT_EQ(zs_wait_event(t.sim, ZS_EV_KEY, 2, seq, 5000), ZS_OK);
    std::vector<uint16_t> keys = zs_keys(t.sim, line, 2);
    EXPECT_EQ(keys, std::vector<uint16_t>{0x20B6});

    r = run_cli(t.dir, cat(t.link(line), {"--monitor", "1", "info"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("monitor 1 on " + where + ":\nTyp: ZELB3\n"), 0u) << r.out;
    EXPECT_NE(r.out.find("\nDisplay: 0x101\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nVersion: 5.068"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nDate: 12.03. 2024\n"), std::string::npos) << r.out;

    if (line != 0) return;  // the restart and its 7 s wait once, over RS232
    seq = zs_last_seq(t.sim);
    r = run_cli(t.dir, cat(t.link(line), {"--monitor", "3", "reset"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "restart sent to monitor 3 on " + where + "\n");
    EXPECT_EQ(zs_wait_event(t.sim, ZS_EV_RESTART, 3, seq, 5000), ZS_OK);
    EXPECT_NE(r.err.find("please wait"), std::string::npos) << r.err;  // the progress lines
}

}  // namespace

TEST_F(CliSim, CommandsOverRs232) { tour(*this, 0); }

// --json: ping and info as one document each; a link that cannot be opened as
// a document with the error's id, text, device and reason.
TEST_F(CliSim, JsonDocuments) {
    CliRun r = run_cli(dir, {"--port", pty, "--json", "ping"});
    EXPECT_EQ(r.status, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j,
              nlohmann::json({{"command", "ping"}, {"ok", true}, {"link", pty}, {"monitors", 3}}));
    r = run_cli(dir, {"--ip", ip, "--monitor", "1", "--json", "info"});
    EXPECT_EQ(r.status, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["identification"]["board_type"], "ZELB3");
    EXPECT_EQ(j["identification"]["display"], 0x101);
    EXPECT_EQ(j["identification"]["date_iso"], "2024-03-12");
    r = run_cli(dir, {"--port", dir + "/none", "--json", "ping"});
    EXPECT_EQ(r.status, 1);
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["ok"], false);
    EXPECT_EQ(j["error"], nlohmann::json({{"kind", "link"},
                                          {"id", 3},
                                          {"text", "can not open port"},
                                          {"where", dir + "/none"},
                                          {"why", "no such device"}}));
}
TEST_F(CliSim, CommandsOverIp) { tour(*this, 1); }

TEST_F(CliSim, ErrorsGoToStderrWithStatusOne) {
    // A port that does not exist: the error box's text, in the chosen language,
    // with the device and the system's reason.
    CliRun r = run_cli(dir, {"--port", dir + "/nothing", "ping"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can not open port: " + dir + "/nothing: no such device"),
              std::string::npos)
        << r.err;
    // A folder, and no converter behind an address.
    r = run_cli(dir, {"--port", dir, "ping"});
    EXPECT_NE(r.err.find("can not open port: " + dir + ": a folder, not a serial port"),
              std::string::npos)
        << r.err;
    r = run_cli(dir, {"--ip", "127.0.0.8", "ping"});
    EXPECT_NE(r.err.find("can not open port: 127.0.0.8:11111: connection refused"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    r = run_cli(dir, {"--lang", "de", "--port", dir + "/nothing", "ping"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kann Schnittstelle nicht \xc3\xb6"
                         "ffnen"),
              std::string::npos)
        << r.err;
    // A monitor that does not answer: a time-out.
    r = run_cli(dir, {"--ip", ip, "--monitor", "9", "--timeout", "1", "key", "ok"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Timeout"), std::string::npos) << r.err;
    // Usage errors, also what the window would not allow: info of monitor 0
    // (here from the configuration), two links at once.
    r = run_cli(dir, {"--monitor", "300", "ping"});
    EXPECT_EQ(r.status, 2);
    r = run_cli(dir, {"--com", "3", "--ip", ip, "ping"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("choose one link"), std::string::npos) << r.err;
    {
        FILE *c = fopen((dir + "/zero.cfg").c_str(), "w");
        fputs("ik_sys_zelb 0\n", c);
        fclose(c);
    }
    r = run_cli(dir, {"--config", dir + "/zero.cfg", "--port", pty, "info"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("info reads one monitor"), std::string::npos) << r.err;
}

// --save writes the configuration with the options applied; without it the
// file stays as it was.
TEST_F(CliSim, SavesOnlyWhenAsked) {
    std::string cfg = dir + "/my.cfg";
    CliRun r = run_cli(dir, {"--config", cfg, "--ip", ip, "ping"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(access(cfg.c_str(), F_OK), 0);
    r = run_cli(dir, {"--config", cfg, "--ip", ip, "--save", "ping"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string text = tu_read_file(cfg);
    EXPECT_NE(text.find("ik_sys_ip " + ip), std::string::npos) << text;
    EXPECT_NE(text.find("ik_commode 237"), std::string::npos) << text;
    EXPECT_NE(text.find("ik_sys_zelb 3"), std::string::npos) << text;  // the ping's answer
    // A failed operation saves all the same, with the COM number and its device.
    r = run_cli(dir, {"--config", cfg, "--com", "5", "--port", dir + "/nothing", "--save", "ping"});
    EXPECT_EQ(r.status, 1);
    text = tu_read_file(cfg);
    EXPECT_NE(text.find("ik_sys_intf 5"), std::string::npos) << text;
    EXPECT_NE(text.find("ik_comdev_5 " + dir + "/nothing"), std::string::npos) << text;
    EXPECT_NE(text.find("ik_commode 238"), std::string::npos) << text;
}

// What a script must be told: an identification nobody answered, a file that
// could not be written, a stop by Ctrl-C. Each with its reason on stderr and
// an exit status that is not 0.
TEST_F(CliSim, FailuresAreNotReportedAsSuccess) {
    // A silent line of its own.
    zs_line_cfg quiet;
    quiet.link = dir + "/ttyQUIET";
    zs_line_set_count(&quiet, 1);
    zs_fault f;
    f.kind = ZS_F_SILENT;
    quiet.faults.push_back(f);
    zs_sim *qs = ops_start({quiet});
    ASSERT_NE(qs, nullptr);

    // info of a monitor that does not answer: the error, no values.
    CliRun r = run_cli(dir, {"--port", quiet.link, "--timeout", "1", "info"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Velquor II: Timeout"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    // --save into a folder that does not exist; --log into one.
    r = run_cli(dir, {"--config", dir + "/no/such/dir/my.cfg", "--save", "--port", pty, "ping"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("cannot save the configuration to " + dir + "/no/such/dir/my.cfg: No such"),
        std::string::npos)
        << r.err;
    r = run_cli(dir, {"--log", dir + "/no/such/dir/log.txt", "--port", pty, "ping"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir + "/no/such/dir/log.txt"), std::string::npos) << r.err;

    // A file that is no configuration is never overwritten by --save.
    const std::string notes = dir + "/notes.txt";
    {
        FILE *n = fopen(notes.c_str(), "w");
        fputs("a shopping list\nbread\n", n);
        fclose(n);
    }
    r = run_cli(dir, {"--config", notes, "--save", "--port", pty, "ping"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(tu_read_file(notes), "a shopping list\nbread\n");

    // Ctrl-C while a ping waits 20 s for the silent monitor: stopped at once.
    const std::string cmd = "cd '" + dir +
                            "' && exec '" VQ_BINARY_DIR "/bin/velquor-cli' --port '" + quiet.link +
                            "' --timeout 20 ping 2>'" + dir + "/int.txt' </dev/null";
    const uint64_t seq = zs_last_seq(qs);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_EQ(zs_wait_event(qs, ZS_EV_RX, -1, seq, tu_wait_ms), ZS_OK);
    const auto t0 = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
    int st = 0;
    ASSERT_EQ(waitpid(pid, &st, 0), pid);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 130);
    EXPECT_NE(tu_read_file(dir + "/int.txt").find("interrupted"), std::string::npos);
    zs_stop(&qs);
}

#ifdef VQ_HAVE_WINDOW_PROGRAM
// The window program takes an argument that begins with "-" as an option,
// never as the configuration file it would write at the end.
TEST_F(CliSim, WindowProgramOptionsAreNoFiles) {
    for (const char *opt : {"--help", "--version"}) {
        const std::string cmd =
            "cd '" + dir + "' && '" VQ_BINARY_DIR "/bin/velquor' " + opt + " >/dev/null 2>&1";
        EXPECT_EQ(system(cmd.c_str()), 0) << opt;
        EXPECT_NE(access((dir + "/" + opt).c_str(), F_OK), 0) << opt;
    }
}
#endif

// An ordinary user, who may open no ICMP socket where the system keeps ICMP to
// privileged users: the IP link works all the same, without the echo, and the
// CLI says once why. (Run as another user where the tests run as root.)
TEST_F(CliSim, IpLinkWorksForAnOrdinaryUser) {
    std::string as;
    if (geteuid() == 0) {
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups";
        ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    }
    const CliRun r = run_cli(dir, {"--ip", ip, "--quiet", "ping"}, as);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3\n");
    if (r.err.find("ICMP echo not permitted") != std::string::npos) {
        EXPECT_NE(r.err.find("connecting without it"), std::string::npos) << r.err;
    }
}

namespace {

using entry = std::array<uint16_t, ZS_FS_WORDS>;

entry make_entry(uint16_t id, uint16_t w1) {
    entry e;
    e.fill(0xFFFF);
    e[0] = id;
    e[1] = w1;
    return e;
}

// The entries of a dump file as the simulator reads it.
std::vector<entry> dump_entries(const std::string &path) {
    zs_fs f;
    std::string err;
    EXPECT_EQ(zs_fs_read_file(path, &f, &err), ZS_OK) << err;
    return f.entries;
}

}  // namespace

// upload, download, erase and check-dump: one line each; --backup saves each
// monitor's own file system before anything is changed; a refused question
// changes nothing and is no success.
// macro FILE lists the buttons; macro FILE BUTTON sends the first step or
// --step N, by number or name (any letter case); no such button or step is a
// usage error, a file that breaks a rule fails with the line.
TEST_F(CliSim, MacroListsAndSendsSteps) {
    tu_write_file(dir + "/m.vqm",
                  "Light <On>\n:255 0x1234 1\nLight <Off> // back\n:255 0x1234 0\n"
                  "Two <Both>\n:1 0x1235 0x0007\n:0 0x1236 8\n");
    CliRun r = run_cli(dir, {"macro", "m.vqm"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "1 Light\n  1 On: 255 0x1234 0x0001\n  2 Off: 255 0x1234 0x0000\n2 Two\n"
              "  1 Both: 1 0x1235 0x0007; 0 0x1236 0x0008\n");
    r = run_cli(dir, {"--port", pty, "macro", "m.vqm", "LIGHT", "--step", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Light: step 2 Off sent to " + pty + ": 1 frame\n");
    r = run_cli(dir, {"--port", pty, "--monitor", "3", "macro", "m.vqm", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Two: step 1 Both sent to " + pty + ": 2 frames\n");
    std::vector<std::pair<int, uint16_t>> got;  // monitor and value of each macro frame
    for (const zs_event &e : zs_events(sim))
        if (e.kind == ZS_EV_RX && e.line == 0 && (e.cmd & 0xFFF0) == 0x1230)
            got.push_back({e.mon, e.val});
    EXPECT_EQ(got, (std::vector<std::pair<int, uint16_t>>{{0, 0}, {1, 7}, {3, 8}}));

    // A name beyond ASCII, as the listing shows it in UTF-8, names the
    // button the Windows-1252 file holds.
    tu_write_file(dir + "/de.vqm", "Gr\xF6\xDF" "e <Auf>\n:255 0x1234 1\n");
    const std::string name = "Gr\u00F6\u00DFe";  // UTF-8
    r = run_cli(dir, {"--port", pty, "macro", "de.vqm", name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, name + ": step 1 Auf sent to " + pty + ": 1 frame\n");

    r = run_cli(dir, {"--port", pty, "macro", "m.vqm", "Dark"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("m.vqm has no button Dark"), std::string::npos) << r.err;
    r = run_cli(dir, {"--port", pty, "macro", "m.vqm", "1", "--step", "3"});
    EXPECT_EQ(r.status, 2);
    tu_write_file(dir + "/bad.vqm", "A <s>\n:1 0x1234 0x1\n");
    r = run_cli(dir, {"macro", "bad.vqm"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error in marco file:  \":1 0x1234 0x1\""), std::string::npos) << r.err;
}

// scan: the tree as indented lines (Begin and End in either order), and as a
// document; the COM numbers of the range all name a pty or nothing.
TEST_F(CliSim, ScanPrintsTheTree) {
    zs_line_cfg loop;
    loop.link = dir + "/ttyLOOP";
    loop.loop = true;
    zs_line_set_count(&loop, 1);
    zs_sim *ls = ops_start({loop});
    ASSERT_NE(ls, nullptr);
    tu_write_file(dir + "/scan.cfg", "ik_comdev_2 " + dir + "/none\r\nik_comdev_3 " + pty +
                                         "\r\nik_comdev_4 " + loop.link + "\r\n");
    CliRun r = run_cli(dir, {"--config", "scan.cfg", "scan", "--from", "4", "--to", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "COM3:  3 Monitor(s)\n"
              "  1: ZELB3 -> Display: 0x101\n    Firmware 5.068   from 12.03. 2024\n"
              "  2: ZELB3 -> Display: 0x102\n    Firmware 5.068   from 12.03. 2024\n"
              "  3: ZELB3 -> Display: 0x103\n    Firmware 5.068   from 12.03. 2024\n"
              "COM4: Loop\n");
    r = run_cli(dir, {"--config", "scan.cfg", "--json", "scan", "--from", "2", "--to", "4"});
    EXPECT_EQ(r.status, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["ports"].size(), 2u);
    EXPECT_EQ(j["ports"][0]["device"], pty);
    EXPECT_EQ(j["ports"][0]["monitors"][2]["display"], 0x103);
    EXPECT_EQ(j["ports"][1]["result"], "loop");
    r = run_cli(dir, {"--config", "scan.cfg", "scan", "--from", "2", "--to", "2"});
    EXPECT_EQ(r.out, "Interface(s): 0 \n");
    zs_stop(&ls);
}

TEST_F(CliSim, FileSystemCommands) {
    zs_fs one, two;
    one.entries = {make_entry(0x00AD, 1), make_entry(0x01A9, 2), make_entry(0x02A9, 3)};
    one.gamma[0] = {0xFFC1, 640, 330, 300, 600, 150, 60, 313, 329, 0x01FF, 0x0302};
    two.entries = {make_entry(0x00AD, 20), make_entry(0x05AC, 21)};
    ASSERT_EQ(zs_set_fs(sim, 0, 1, one), ZS_OK);
    ASSERT_EQ(zs_set_fs(sim, 0, 2, two), ZS_OK);

    CliRun r = run_cli(dir, {"--port", pty, "--monitor", "1", "upload", "m1.vqf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "monitor 1 on " + pty + " saved to m1.vqf: 3 entries, 1 gamma table\n");
    EXPECT_EQ(dump_entries(dir + "/m1.vqf"), one.entries);

    r = run_cli(dir, {"check-dump", "m1.vqf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "m1.vqf: 3 entries, 1 gamma table\n  entries: 1 global settings, 2 user\n"
              "  gamma tables: C1 (1 point)\n");
    {
        FILE *b = fopen((dir + "/bad.vqf").c_str(), "w");
        fputs("// a dump\n\n:ABC  0000\n", b);
        fclose(b);
    }
    r = run_cli(dir, {"check-dump", "bad.vqf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.vqf:3: Value: ABC "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("bad.vqf:3: invalid format of file"), std::string::npos) << r.err;
    // The same facts for a script: one document, numbers as numbers.
    r = run_cli(dir, {"--json", "check-dump", "m1.vqf"});
    EXPECT_EQ(r.status, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["entries"], 3);
    EXPECT_EQ(j["entry_classes"][1]["count"], 2);
    EXPECT_EQ(j["gamma_tables"][0]["table"], 0xC1);
    r = run_cli(dir, {"--json", "check-dump", "bad.vqf"});
    EXPECT_EQ(r.status, 1);
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["ok"], false);
    EXPECT_EQ(j["error"]["kind"], "file");
    EXPECT_EQ(j["error"]["where"], "bad.vqf:3");

    // Download into monitor 2 with a backup: the backup holds monitor 2's own
    // entries, the monitor then the file's (0x00AD replaced, 0x05AC kept).
    r = run_cli(dir, {"--port", pty, "--monitor", "2", "--backup", "bk", "download", "m1.vqf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("m1.vqf written to monitor 2 on " + pty + ": 3 entries, 1 gamma table\n"),
              std::string::npos)
        << r.out;
    std::vector<std::string> saved;
    for (const auto &e : std::filesystem::directory_iterator(dir + "/bk"))
        saved.push_back(e.path().string());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_NE(saved[0].find("/bk/ttyZELB-mon2-"), std::string::npos) << saved[0];
    EXPECT_EQ(dump_entries(saved[0]), two.entries);
    zs_fs now;
    ASSERT_EQ(zs_get_fs(sim, 0, 2, &now), ZS_OK);
    EXPECT_EQ(now.entries.size(), 4u);
    EXPECT_EQ(now.gamma[0], one.gamma[0]);

    // Erase without an answer: nothing erased, and said so.
    r = run_cli(dir, {"--port", pty, "--monitor", "1", "erase"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing erased"), std::string::npos) << r.err;

    // Erase every monitor with backups: each backup from its own monitor.
    r = run_cli(dir, {"--port", pty, "--monitor", "0", "--yes", "--backup", "bk2", "erase"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("monitor 3 on " + pty + ": the file system is empty, nothing to save\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("monitors 1..3 on " + pty + " erased: 7 entries deleted\n"),
              std::string::npos)
        << r.out;
    std::vector<std::string> bk2;
    for (const auto &e : std::filesystem::directory_iterator(dir + "/bk2"))
        bk2.push_back(e.path().filename().string());
    std::sort(bk2.begin(), bk2.end());
    ASSERT_EQ(bk2.size(), 2u);
    EXPECT_EQ(dump_entries(dir + "/bk2/" + bk2[0]), one.entries);
    EXPECT_EQ(dump_entries(dir + "/bk2/" + bk2[1]), now.entries);
    for (int m = 1; m <= 3; ++m) {
        ASSERT_EQ(zs_get_fs(sim, 0, m, &now), ZS_OK);
        EXPECT_TRUE(now.entries.empty()) << m;
    }

    // A backup that cannot be written: nothing is erased.
    ASSERT_EQ(zs_set_fs(sim, 0, 1, one), ZS_OK);
    r = run_cli(dir, {"--port", pty, "--monitor", "1", "--yes", "--backup", "m1.vqf", "erase"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
    ASSERT_EQ(zs_get_fs(sim, 0, 1, &now), ZS_OK);
    EXPECT_EQ(now.entries, one.entries);
}

// firmware --check reads a file as the update would; firmware writes it into
// the chain, at 115 200 at most over the converter; a type question not
// answered Yes sends nothing; bootstrap loads a board in its boot loader.
TEST_F(CliSim, FirmwareCommands) {
    std::map<uint32_t, uint8_t> want;
    {
        FILE *f = fopen((dir + "/fw_v5.h86").c_str(), "wb");
        fputs(make_hex(300, 7, &want).c_str(), f);
        fclose(f);
        f = fopen((dir + "/bad.h86").c_str(), "wb");
        fprintf(f, "%s\n\n:0200000012G456\n", hex_record(0, 0, {1, 2}).c_str());
        fclose(f);
    }
    CliRun r = run_cli(dir, {"firmware", "--check", "fw_v5.h86"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("fw_v5.h86: 302 records, 4800 data bytes\n  addresses: 0x00000-0x012BF\n"
                          "  an update sends 52 lines (5062 bytes) when every monitor merges "
                          "them, else 302 (6312 bytes)\n",
                          0),
              0u)
        << r.out;
    r = run_cli(dir, {"firmware", "--check", "bad.h86"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.h86:3: invalid format of file"), std::string::npos) << r.err;
    r = run_cli(dir, {"firmware", "--check", "--json", "fw_v5.h86"});
    EXPECT_EQ(r.status, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["records"], 302);
    EXPECT_EQ(j["lines_merged"], 52);
    EXPECT_EQ(j["ranges"][0]["last"], 0x12BF);

    // The chain of three on the pty takes it at 576 000.
    r = run_cli(dir,
                {"--port", pty, "--monitor", "0", "firmware", "fw_v5.h86", "--baud", "576000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("fw_v5.h86 written to the chain of 3 monitors on " + pty +
                              ": 52 lines (5062 bytes) at 576000 baud in ",
                          0),
              0u)
        << r.out;
    zs_image img;
    ASSERT_EQ(zs_get_image(sim, 0, &img), ZS_OK);
    EXPECT_TRUE(img.complete);
    EXPECT_EQ(image_bytes(img), want);

    // One address: the converter carries at most 115 200.
    r = run_cli(dir, {"--ip", ip, "firmware", "fw_v5.h86", "--baud", "576000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" on " + ip + ": 52 lines (5062 bytes) at 115200 baud in "),
              std::string::npos)
        << r.out;

    // A file of another type than the boards: the question, unanswered.
    std::filesystem::copy_file(dir + "/fw_v5.h86", dir + "/plain.h86");
    const uint64_t from = zs_last_seq(sim);
    r = run_cli(dir, {"--port", pty, "firmware", "plain.h86"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing updated: the question was not answered Yes (give --yes)"),
              std::string::npos)
        << r.err;
    for (const zs_event &e : zs_events(sim, from)) EXPECT_NE(e.cmd, 0x7000);

    // A board in its boot loader.
    zs_stop(&sim);
    zs_line_cfg boot;
    boot.link = pty;
    zs_line_set_count(&boot, 1);
    boot.bootstrap = true;
    sim = ops_start({boot});
    ASSERT_NE(sim, nullptr);
    // This build's boot loaders are stand-ins: refused unless test images are allowed.
    const std::vector<std::string> args = {"--port",    pty,         "bootstrap",
                                           "fw_v5.h86", "--variant", "am29lv150"};
    r = run_cli(dir, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("stand-ins for tests"), std::string::npos) << r.err;
    zs_mode_info mode;
    ASSERT_EQ(zs_get_mode(sim, 0, &mode), ZS_OK);
    EXPECT_EQ(int(mode.stage), int(ZS_BOOT_IDENT));  // not even asked
    r = run_cli(dir, args, "env VELQUOR_TEST_IMAGES=1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "fw_v5.h86 loaded into the AM29LV150 board on " + pty +
                         ": 302 records (6312 bytes)\n");
    ASSERT_EQ(zs_get_image(sim, 0, &img), ZS_OK);
    EXPECT_EQ(image_bytes(img), want);
}

// ddc-read, ddc-convert, edid and ddc-write against the simulated adapter: one
// line each; a write-protected board is no success, and says why.
TEST(CliDdc, ReadConvertDecodeAndWrite) {
    const std::string dir = tu_make_temp_dir("vq_cli_ddc_");
    const std::string st = dir + "/adapter";
    std::filesystem::create_directory(st);
    for (const char *f : {"plugged", "board"}) tu_write_file(st + "/" + f, "");
    const std::string as = "env VELQUOR_PORTIO=" VQ_PORTIO_SIM " VELQUOR_PORTIO_SIM=" + st;
    const std::vector<std::string> cfg = {"--config", dir + "/none.cfg"};
    CliRun r = run_cli(dir, cat(cfg, {"ddc-read", "m.bin", "--lpt", "1"}), as);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "EEPROM on LPT1 read into m.bin: 128 bytes\n");
    EXPECT_EQ(tu_read_file(dir + "/m.bin"), std::string(128, '\xFF'));
    r = run_cli(dir, cat(cfg, {"ddc-convert", "m.bin"}), as);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "m.bin converted into m.dat\n");
    r = run_cli(dir, {"edid", "m.dat"});
    EXPECT_EQ(r.status, 1);  // an erased EEPROM is no EDID
    EXPECT_NE(r.err.find("m.dat: checksum is 0xFF, should be 0x7F"), std::string::npos) << r.err;

    tu_write_file(st + "/wp", "");
    r = run_cli(dir, cat(cfg, {"ddc-write", "m.dat"}), as);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ddc writeprotection"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("m.dat written into 0 boards, 1 board failed"), std::string::npos)
        << r.err;
    std::filesystem::remove(st + "/wp");
    r = run_cli(dir, cat(cfg, {"ddc-write", "m.dat", "--boards", "1"}), as);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "m.dat written into 1 board on LPT1\n");
    r = run_cli(dir, cat(cfg, {"ddc-write", "m.dat", "--fix-checksum"}), as);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "m.dat written into 1 board on LPT1, its checksum byte 0xFF corrected to 0x7F\n");
    EXPECT_EQ(tu_read_file(st + "/eeprom.bin"), std::string(127, '\xFF') + "\x7F");
    EXPECT_EQ(tu_read_file(dir + "/m.dat").find("7F"), std::string::npos);  // the file stays
    r = run_cli(dir, cat(cfg, {"ddc-read", "n.bin", "--i2c", dir + "/no-bus"}), as);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("can not open port: " + dir + "/no-bus: no such device"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/n.bin"));
    std::filesystem::remove_all(dir);
}
