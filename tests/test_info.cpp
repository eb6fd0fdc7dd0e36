// Ping and identification: the display formats, the generation probe, which
// command each query sends for each generation and the boot loader and which
// answer bits it keeps (against a scripted board on a pseudo-terminal), and
// both operations end to end against simulated monitors on 127.0.9.x.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win.h"
#include "support/ops_support.h"
#include "support/pty_peer.h"
#include "velquor/link/com_action.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"

namespace {

using Peer = pp_scripted;  // a scripted board bound to the frame layer for one test

pp_step answer(uint16_t val) { return {PP_ANSWER, -1, val, 0, {}}; }
pp_step silent() { return {PP_SILENT, -1, 0, 0, {}}; }
// Monitor 4 does not know `cmd`: its refusal ends in FD 00, read as "no ACK".
pp_step refused(uint16_t cmd) {
    const uint8_t lo = cmd & 0xFF, hi = cmd >> 8;
    return {PP_RAW, -1, 0, 0, {0xAA, 0x55, 4, lo, hi, 0, 0, uint8_t(4 + lo + hi), 0xFD, 0x00}};
}

// What the identification run does not reach: texts without a buffer or with
// a short one, the German "unknown", the revision line's label, the labels.
TEST(InfoFormat, FieldTexts) {
    sys_lang = lang_deu;
    EXPECT_STREQ(mc_get_zelb_typ_x(6), "unbekannt");
    sys_lang = lang_eng;
    EXPECT_STREQ(mc_get_zelb_typ_x(35), "ZELB3");
    char s[16], tiny[4];
    EXPECT_EQ(mc_get_zelb_dat_x(0xFFFF, s, sizeof s), 0);
    EXPECT_STREQ(s, "31.15. 2127");
    EXPECT_EQ(mc_get_zelb_rev_x(0x0105, tiny, sizeof tiny), 0);  // cut, never overrun
    EXPECT_STREQ(tiny, "1.0");
    EXPECT_EQ(mc_get_zelb_rev_x(1, nullptr, 8), 1);
    EXPECT_EQ(mc_get_zelb_dat_x(1, nullptr, 8), 1);

    zelb_dat_T d;
    reset_zelb_dat(&d);
    EXPECT_EQ(d.zelb_ver, 255);
    d.zelb_rev = 0x0207;
    d.firm_typ = 3;
    zelb_info_lines l;
    zelb_info_format(&d, &l);
    EXPECT_EQ(std::string(l.rev), std::string("2.007 ") + scr_get_zelb_firm_tp_x(3));
    EXPECT_STREQ(l.typ, "unknown");
    // Each boot loader variant has a label of its own; the generations have none.
    for (uint32_t a = 1; a <= 5; ++a) {
        EXPECT_STRNE(scr_get_zelb_firm_tp_x(a), "") << a;
        for (uint32_t b = a + 1; b <= 5; ++b)
            EXPECT_STRNE(scr_get_zelb_firm_tp_x(a), scr_get_zelb_firm_tp_x(b));
    }
    EXPECT_STREQ(scr_get_zelb_firm_tp_x(51), "");
    reset_zelb_dat(nullptr);
    zelb_info_format(nullptr, &l);
}

// 0x0D33 answered: generation 2; refused: 0x08E5 answered means 51; refused
// twice: 14 with no error left recorded; other errors end the probe.
TEST(InfoQuery, GenerationProbe) {
    struct Row {
        int no;
        std::vector<pp_step> script;
        char rc;
        uint8_t gen;
        std::vector<uint16_t> sent;
    };
    const Row rows[] = {
        {1, {answer(0)}, 0, 2, {0x0D33}},
        {2, {refused(0x0D33), answer(0)}, 0, 51, {0x0D33, 0x08E5}},
        {3, {refused(0x0D33), refused(0x08E5)}, 14, 0, {0x0D33, 0x08E5}},
        {4, {silent()}, 8, 0, {0x0D33}},
        {5, {refused(0x0D33), silent()}, 8, 0, {0x0D33, 0x08E5}},
    };
    for (const Row &r : rows) {
        Peer peer(r.script);
        uint8_t gen = 99;
        EXPECT_EQ(zelb_get_firm_typ_nr_no_b(4, &gen), r.rc) << "row " << r.no;
        EXPECT_EQ(gen, r.gen) << "row " << r.no;
        EXPECT_EQ(peer.cmds(), r.sent) << "row " << r.no;
        if (r.rc == 14) {
            EXPECT_EQ(sys_rv, 0) << "row " << r.no;
        }
        sys_rv = 0;
    }
    EXPECT_EQ(zelb_get_firm_typ_nr_no_b(4, nullptr), 10);
}

TEST(InfoQuery, CommandAndAnswerBitsPerGeneration) {
    det_zelb_cmd = 0x1234;  // a configured query for other generations
    det_sw_cmd = 0x08E6;
    det_vfreq_cmd = 0x08EA;
    sys_zelb_nr = 2;
    using query_fn = char (*)(uint32_t *);
    struct Row {
        int no;
        query_fn fn;
        uint16_t answer_val;
        uint16_t cmd;
        uint32_t want;
    };
    const Row rows[] = {
        {1, [](uint32_t *c) { return zelb_get_typ_nr(2, c, 2); }, 0x0312, 0x0D31, 3},
        {2, [](uint32_t *c) { return zelb_get_typ_nr(2, c, 1); }, 0x0312, 0x08E4, 0x12},
        {3, [](uint32_t *c) { return zelb_get_typ_nr(2, c, 7); }, 0x0312, 0x1234, 0x12},
        {4, [](uint32_t *c) { return zelb_get_typ(c, 1, 51); }, 0x0312, 0xB000, 3},
        {5, [](uint32_t *c) { return zelb_get_rev(c, 1, 51); }, 0x0544, 0xB000, 0x0544},
        {6, [](uint32_t *c) { return zelb_get_dat(c, 1, 2); }, 0x2A6F, 0xB001, 0x2A6F},
        {7, [](uint32_t *c) { return zelb_get_dsp_num_nr(2, c, 2); }, 0xF123, 0x0D33, 0x123},
        {8, [](uint32_t *c) { return zelb_get_dsp_num(c, 1, 51); }, 0xF123, 0xB003, 0x123},
        {9, [](uint32_t *c) { return zelb_get_firm_typ(c); }, 0x0203, 0xB002, 3},
        {10, [](uint32_t *c) { return zelb_get_vfreq_nr(2, c); }, 600, 0x08EA, 600},
    };
    for (const Row &r : rows) {
        Peer peer({answer(r.answer_val)});
        uint32_t v = 0xDEAD;
        EXPECT_EQ(r.fn(&v), 0) << "row " << r.no;
        EXPECT_EQ(v, r.want) << "row " << r.no;
        EXPECT_EQ(peer.cmds(), std::vector<uint16_t>{r.cmd}) << "row " << r.no;
        std::vector<std::vector<uint8_t>> req = pp_requests(&peer.p);
        ASSERT_EQ(req.size(), 1u);
        EXPECT_EQ(req[0][2], 2) << "row " << r.no;  // the monitor number asked
        // Without a result reference nothing is sent.
        EXPECT_EQ(r.fn(nullptr), 10) << "row " << r.no;
        EXPECT_EQ(pp_requests(&peer.p).size(), 1u) << "row " << r.no;
    }
    // A configured command of 0: success without a value, nothing sent.
    Peer peer({});
    det_hfreq_cmd = 0;
    uint32_t v = 77;
    EXPECT_EQ(zelb_get_hfreq_nr(2, &v), 0);
    EXPECT_EQ(v, 77u);
    EXPECT_TRUE(pp_requests(&peer.p).empty());
    reset_det_items();
}

// A failed ping sends the broadcast ping frame and leaves the number cleared.
TEST(InfoQuery, FailedPingClearsTheNumber) {
    Peer peer({silent()});
    uint8_t n = 9;
    EXPECT_EQ(ping_me2(&n), 8);
    EXPECT_EQ(n, 0);
    std::vector<std::vector<uint8_t>> req = pp_requests(&peer.p);
    ASSERT_EQ(req.size(), 1u);
    const std::vector<uint8_t> want = {0xAA, 0x55, 0x00, 0x00, 0x50, 0x00, 0x55, 0xA5, 0xFF, 0x00};
    EXPECT_EQ(req[0], want);
    sys_rv = 0;
}

// ---------------------------------------------------------------- end to end

using Info = Ops;

TEST_F(Info, PingSetsTheMonitorNumberOfTheLine) {
    start_sim(3, "127.0.9.2");
    run(ix_ping_me);
    EXPECT_EQ(sys_zelb_nr, 3);
    EXPECT_TRUE(plat::win_boxes_shown().empty());
}

TEST_F(Info, IdentificationOfBothGenerationsAndTheBootLoader) {
    start_sim(3, "127.0.9.3");
    zs_monitor m1 = zs_monitor_default(1);
    m1.gen = ZS_GEN2;
    m1.board_type = 3;
    m1.date = 0x2A6F;  // 15.03.2021
    m1.disp = 0x123;
    ASSERT_EQ(zs_set_monitor(sim, 0, 1, m1), 0);
    zs_monitor m2 = zs_monitor_default(2);
    m2.gen = ZS_GEN51;
    m2.board_type = 0x12;
    m2.rev = 0x0207;
    m2.date = 0x3A2F;
    ASSERT_EQ(zs_set_monitor(sim, 0, 2, m2), 0);
    zs_monitor m3 = zs_monitor_default(3);  // its boot loader runs
    m3.boot = true;
    m3.variant = 3;
    m3.board_type = 4;
    m3.date = 0x2A6F;
    ASSERT_EQ(zs_set_monitor(sim, 0, 3, m3), 0);

    // Generation 2 takes the board type from bits 8-11 of 0x0D31 and the
    // revision from the whole value; the boot loader's variant names the label.
    // A monitor that is not there leaves the record empty.
    const std::string rev1 = std::string("3.068 ") + scr_get_zelb_firm_tp_x(2);
    const std::string rev3 = std::string("4.068 ") + scr_get_zelb_firm_tp_x(3);
    struct Row {
        uint8_t nr;
        const char *typ, *dsp, *dat, *rev;
        uint8_t gen, ver;
    } rows[] = {
        {1, "ZELB2", "0x123", "15.03. 2021", rev1.c_str(), 2, 3},
        {2, "unknown", "0x102", "15.01. 2029", "2.007 ", 51, 0x12},
        {3, "QUARDA2A", "0x103", "15.03. 2021", rev3.c_str(), 3, 4},
        {9, nullptr, nullptr, nullptr, nullptr, 0, 255},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.nr);
        sys_zelb_nr = r.nr;
        run(ix_inf_init);
        EXPECT_TRUE(plat::win_boxes_shown().empty());  // info_init never shows an error
        EXPECT_EQ(zelb_info_dat.zelb_ver, r.ver);
        if (!r.typ) continue;
        zelb_info_lines l;
        zelb_info_format(&zelb_info_dat, &l);
        EXPECT_STREQ(l.typ, r.typ);
        EXPECT_STREQ(l.dsp, r.dsp);
        EXPECT_STREQ(l.dat, r.dat);
        EXPECT_STREQ(l.rev, r.rev);
        EXPECT_EQ(zelb_info_dat.firm_typ, r.gen);
    }
}

}  // namespace
