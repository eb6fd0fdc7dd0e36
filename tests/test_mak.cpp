// Macros: the loader's rules on one table of files, the captions as the
// buttons cycle, and the frames a step puts on a simulated line over RS232 and
// on every address of an IP list.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/win.h"
#include "support/ops_support.h"
#include "support/test_util.h"
#include "support/ui_support.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_mak.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/velquor_ids.h"

namespace {

using Macros = Ops;

// The buttons in use as "name:caption(commands),caption(commands)|...".
std::string loaded(void) {
    std::string s;
    for (int b = 0; b < mak_buttons; ++b) {
        const makroT &m = makros[b];
        if (!m.cnt) continue;
        if (!s.empty()) s += "|";
        s += std::string(m.ent[0].text_id) + ":";
        for (int i = 0; i < m.cnt; ++i)
            s += (i ? "," : "") + std::string(m.ent[i].text) + "(" + std::to_string(m.ent[i].cnt) +
                 ")";
    }
    return s;
}

std::string boxes(void) {
    std::string s;
    for (const plat::WinBoxRecord &r : plat::win_boxes_shown()) s += r.body + ";";
    plat::win_boxes_clear();
    return s;
}

std::string lines(const std::string &head, int n, const std::string &body) {
    std::string s = head;
    for (int i = 1; i <= n; ++i) {
        std::string l = body;
        for (size_t p; (p = l.find('#')) != std::string::npos;) l.replace(p, 1, std::to_string(i));
        s += l;
    }
    return s;
}

// "s1(0),s2(0),...": n steps of that caption without commands.
std::string captions(int n) {
    std::string s;
    for (int i = 1; i <= n; ++i) s += (i > 1 ? ",s" : "s") + std::to_string(i) + "(0)";
    return s;
}

}  // namespace

// Each file as the loader takes it: the buttons it leaves and the box it shows.
TEST_F(Macros, LoaderRules) {
    const std::string bad = "error in marco file:  ";
    struct Row {
        int no;
        std::string text;
        std::string buttons;
        std::string box;
    } rows[] = {
        {1, "Light <On>\n:255 0x1234 1\nLIGHT <Off>\n:255 0x1234 0\n", "Light:On(1),Off(1)", ""},
        {2, lines("", 5, "N# <s>\n") + "Six <s>\n", "N1:s(0)|N2:s(0)|N3:s(0)|N4:s(0)|N5:s(0)",
         bad + "\"Six <s>\";"},
        {3, lines("", 26, "A <s#>\n"), "A:" + captions(25), bad + "\"A <s26>\";"},
        {4, lines("A <s>\n", 11, ":1 0x1234 #\n"), "A:s(10)", bad + "\":1 0x1234 11\";"},
        {5, ":1 2 3\nA <s>\n", "", bad + "\":1 2 3\";"},
        {6, "A <s>\n:1 0x1234 0x1\n", "A:s(0)", bad + "\":1 0x1234 0x1\";"},
        {7, "A <s>\n:1 0x1234 0x0001\n:1 4660 1\n", "A:s(2)", ""},
        {8, "// macros\n\nA <On> // on\t<x>\n:1 0x1234 1 // one\n  \t\n", "A:On(1)", ""},
        {9, "A <On>trailing text\nB <>\n", "A:On(0)|B:(0)", ""},
        {10, "A <s>\n:1 2\n", "A:s(0)", bad + "\":1 2\";"},
        {11, "A <s>\n:1 2 3 4\n", "A:s(0)", bad + "\":1 2 3 4\";"},
        {12, std::string(25, 'n') + "<s>\n", std::string(25, 'n') + ":s(0)", ""},
        {13, std::string(26, 'n') + "<s>\n", "", bad + "\"" + std::string(26, 'n') + "<s>\";"},
        {14, "A <s\n", "", bad + "\"A <s\";"},
        {15, "A <a caption longer than 25 characters>\n:0x0f 1 2", "A:a caption longer than 25 (1)",
         ""},
        {16, "A <s>\n:1\t0x1234\t1\r\n", "A:s(1)", ""},
        {17, "A <s>\n:x 1 2\n", "A:s(0)", bad + "\":x 1 2\";"},
        // A long comment is no fault, nor is its tail a line of its own; a
        // line with more than 254 characters of content is refused.
        {18, "A <s> //" + std::string(1500, '=') + ":1 2 3\n:1 2 3\n", "A:s(1)", ""},
        {19, "A <" + std::string(300, 'c') + ">\n", "",
         bad + "\"A <" + std::string(46, 'c') + "\";"},
    };
    const std::string dir = tu_make_temp_dir("vq_mak_");
    for (const Row &r : rows) {
        SCOPED_TRACE(r.no);
        std::snprintf(makpath, sizeof makpath, "%s", tu_write_file(dir + "/m.vqm", r.text).c_str());
        load_mak();
        EXPECT_EQ(loaded(), r.buttons);
        EXPECT_EQ(boxes(), r.box);
        EXPECT_EQ(MPoi, nullptr);
    }
    // The fields of a command line: the address byte, command and value.
    std::snprintf(
        makpath, sizeof makpath, "%s",
        tu_write_file(dir + "/m.vqm", "A <s>\n:07 0x1234 0xfffe\n:300 7 65535\n").c_str());
    load_mak();
    const mak_ent_T &e = makros[0].ent[0];
    EXPECT_EQ(e.zelb_nr[0], 7);
    EXPECT_EQ(e.cmd[0], 0x1234u);
    EXPECT_EQ(e.val[0], 0xFFFEu);
    EXPECT_EQ(e.zelb_nr[1], 300 & 0xFF);

    std::snprintf(makpath, sizeof makpath, "%s/none.vqm", dir.c_str());
    load_mak();
    EXPECT_EQ(boxes(), "Can not open macro file!;");
    EXPECT_EQ(makpath[0], '\0');
    EXPECT_EQ(loaded(), "");
    std::filesystem::remove_all(dir);
}

// A button cycles through its steps: the caption names the step the next
// press runs; an unused button has no caption and is off; a step without a
// caption shows the button's name, and without both its number.
TEST_F(Macros, CaptionsCycleWithEachPress) {
    start_pty_sim(1);
    const std::string dir = tu_make_temp_dir("vq_mak_");
    std::snprintf(makpath, sizeof makpath, "%s",
                  tu_write_file(dir + "/m.vqm",
                                "Light <On>\n:1 0x1234 1\nLight <Off>\n:1 0x1234 0\n"
                                "Light <Dim>\n:1 0x1234 2\nNamed <>\n <>\n")
                      .c_str());
    load_mak();
    EXPECT_STREQ(mak_get_vals(0, 0), "\x01");
    EXPECT_STREQ(mak_get_vals(0, 3), "");
    EXPECT_EQ(mak_get_vals(1, 3), nullptr);
    EXPECT_EQ(mak_get_vals(1, 5), nullptr);
    EXPECT_STREQ(mak_get_vals(1, 1), "Named");
    EXPECT_STREQ(mak_get_vals(1, 2), "3");
    std::vector<std::string> captions;
    std::vector<uint16_t> values;
    for (int press = 0; press < 4; ++press) {
        captions.push_back(mak_get_vals(1, 0));
        dome = 1;
        sys_act = 0;
        ASSERT_EQ(mak_action(0), 0);
        ASSERT_TRUE(ui_wait_idle(30000));
    }
    for (const zs_event &e : frames_with(0x1234)) values.push_back(e.val);
    EXPECT_EQ(captions, (std::vector<std::string>{"On", "Off", "Dim", "On"}));
    EXPECT_EQ(values, (std::vector<uint16_t>{1, 0, 2, 1}));
    EXPECT_EQ(mak_action(3), 1);  // unused: nothing starts
    EXPECT_EQ(boxes(), "");
    std::filesystem::remove_all(dir);
}

// A step's frames: address 0 is the window's monitor number, 255 every
// monitor (address 0), any other that monitor; only the low 16 bits of the
// command and value travel. Over RS232 once; with Group on an IP list once
// per address. A step without commands sends nothing; the link is closed
// after each step.
TEST_F(Macros, StepFramesOverRs232AndAnIpList) {
    const std::string dir = tu_make_temp_dir("vq_mak_");
    std::snprintf(makpath, sizeof makpath, "%s",
                  tu_write_file(dir + "/m.vqm",
                                "A <s>\n:0 0x1234 0x0005\n:255 0x1235 6\n:3 0x11236 0x10007\n"
                                "B <empty>\n")
                      .c_str());
    struct Want {
        uint8_t mon;
        uint16_t cmd, val;
    };
    const std::vector<Want> want = {{2, 0x1234, 5}, {0, 0x1235, 6}, {3, 0x1236, 7}};
    for (bool ipl : {false, true}) {
        SCOPED_TRACE(ipl ? "IP list" : "RS232");
        if (ipl) {
            sim = ops_start({ops_tcp_line("127.0.9.40", 3), ops_tcp_line("127.0.9.41", 3)});
            ASSERT_NE(sim, nullptr);
            load_ip_list("ik_ipl_4", "127.0.9.40");
            load_ip_list("ik_ipl_4_2", "127.0.9.41");
            com_mode = com_mode_ipl;
            sys_ipx = 3;
            broad = 1;
        } else {
            start_pty_sim(3);
        }
        load_mak();
        sys_zelb_nr = ipl ? 0 : 2;
        for (int b : {0, 1}) {
            dome = 1;
            sys_act = 0;
            ASSERT_EQ(mak_action(b), 0);
            ASSERT_TRUE(ui_wait_idle(30000));
            EXPECT_EQ(syscom, -1);
        }
        std::vector<zs_event> rx;
        for (const zs_event &e : zs_events(sim))
            if (e.kind == ZS_EV_RX && (e.cmd & 0xFFF0) == 0x1230) rx.push_back(e);
        const int lines = ipl ? 2 : 1;
        ASSERT_EQ(rx.size(), want.size() * lines);
        for (size_t i = 0; i < rx.size(); ++i) {
            const Want &w = want[i % want.size()];
            EXPECT_EQ(rx[i].line, i / want.size());
            EXPECT_EQ(rx[i].mon, ipl && w.mon == 2 ? 0 : w.mon) << i;
            EXPECT_EQ(rx[i].cmd, w.cmd) << i;
            EXPECT_EQ(rx[i].val, w.val) << i;
        }
        EXPECT_EQ(boxes(), "");
        if (ipl) reset_ip_list();
        zs_stop(&sim);
    }
    std::filesystem::remove_all(dir);
}

// A step whose link cannot be opened ends with the link's error.
TEST_F(Macros, LinkThatCannotBeOpenedEndsTheStep) {
    const std::string dir = tu_make_temp_dir("vq_mak_");
    std::snprintf(makpath, sizeof makpath, "%s",
                  tu_write_file(dir + "/m.vqm", "A <s>\n:1 0x1234 1\n").c_str());
    load_mak();
    com_mode = com_mode_ip;
    std::snprintf(sys_ip, sizeof sys_ip, "127.0.9.44");  // nothing listens there
    dome = 1;
    sys_act = 0;
    ASSERT_EQ(mak_action(0), 0);
    ASSERT_TRUE(ui_wait_idle(30000));
    EXPECT_EQ(boxes(), "can not open port;");
    std::filesystem::remove_all(dir);
}
