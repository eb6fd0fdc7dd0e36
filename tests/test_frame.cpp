// Command frames: the bytes of a frame, the judging of answers by the
// transaction and by the wait step (their different test orders), late answers
// to earlier commands (passed over, or discarded before a command), the steps
// around them, and the error texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/pty_peer.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/vf_ipl.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"

using bytes = std::vector<uint8_t>;

namespace {

struct Alert {
    int calls = 0;
    std::string title, text;
};
Alert alerts;

constexpr uint32_t kGenerousMs = 5000;  // per-byte time-out while a peer answers
using Peer = pp_scripted;

bytes frame_of(uint8_t nr, uint32_t cmd, uint32_t val) {
    bytes b(zelb_frame_len);
    create_zelb_buffer(b.data(), nr, startc, stopc_pc, val, cmd);
    return b;
}

bytes answer_of(uint8_t nr, uint32_t cmd, uint32_t val) {
    bytes b(zelb_frame_len);
    create_zelb_buffer(b.data(), nr, startc, stopc_ack, val, cmd);
    return b;
}

// Stands in for the helper library's alert box, which mw_alert calls once bound.
void record_alert(int /*hwnd*/, const char *title, const char *text, char /*style*/) {
    ++alerts.calls;
    alerts.title = title ? title : "";
    alerts.text = text ? text : "";
}

}  // namespace

TEST(Frame, Layout) {
    struct Row {
        int n;
        uint8_t nr;
        uint32_t cmd, val;
        bytes want;
    };
    const Row rows[] = {
        {1, 1, 0x208C, 0, {0xAA, 0x55, 0x01, 0x8C, 0x20, 0x00, 0x00, 0xAD, 0xFF, 0x00}},
        {2, 1, 0x20B6, 0, {0xAA, 0x55, 0x01, 0xB6, 0x20, 0x00, 0x00, 0xD7, 0xFF, 0x00}},
        // the sum passes 255 and wraps: FF + 02 = 01
        {3, 0xFF, 0x0002, 0, {0xAA, 0x55, 0xFF, 0x02, 0x00, 0x00, 0x00, 0x01, 0xFF, 0x00}},
        {4, 0xFF, 0xFFFF, 0xFFFF, {0xAA, 0x55, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFB, 0xFF, 0x00}},
        // only the low 16 bits of command and value are sent
        {5,
         1,
         0x1234208C,
         0xABCD0001,
         {0xAA, 0x55, 0x01, 0x8C, 0x20, 0x01, 0x00, 0xAE, 0xFF, 0x00}},
        {6,
         0,
         0x12340000,
         0xFFFF0000,
         {0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00}},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(frame_of(r.nr, r.cmd, r.val), r.want) << "row " << r.n;
    }
    // The checksum covers bytes 2 to 6 only.
    uint8_t b[10] = {0xFF, 0xFF, 1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(get_cks_ZELB_10(b), 15);
    EXPECT_EQ(get_cks_ZELB_10(nullptr), 0);
    create_zelb_buffer(nullptr, 1, startc, stopc_pc, 0, 0);  // does nothing
}

// The same answers judged by the transaction (count, loop, end code, checksum)
// and by the wait step after a plain send (count, checksum, end code).
TEST(Frame, JudgingOfAnswers) {
    struct Row {
        int n;
        pp_step step;
        int trans;  // id of send_single_send_zelb
        int wait;   // sys_rv of zelb_wait_ack
    };
    const bytes garbage_head = {0x13, 0x37, 0x99, 0x8C, 0x20, 0x34, 0x12, 0x00, 0xFE, 0x00};
    bytes odd_head = garbage_head;
    odd_head[7] = get_cks_ZELB_10(odd_head.data());
    const Row rows[] = {
        {1, {PP_ANSWER, -1, 0x1234, 0, {}}, 0, 0},
        {2, {PP_SILENT, -1, 0, 0, {}}, 8, 8},
        {3, {PP_SHORT, -1, 0, 1, {}}, 11, 11},
        {4, {PP_SHORT, -1, 0, 5, {}}, 11, 11},
        {5, {PP_SHORT, -1, 0, 9, {}}, 11, 11},
        {6, {PP_ECHO, -1, 0, 0, {}}, 22, 14},
        {7, {PP_BAD_END, -1, 0x1234, 0, {}}, 14, 14},
        {8, {PP_BAD_CKS, -1, 0x1234, 0, {}}, 17, 17},
        {9, {PP_BAD_CKS_END, -1, 0x1234, 0, {}}, 14, 17},
        {10, {PP_RAW, -1, 0, 0, odd_head}, 0, 0},  // answer bytes 0-2 may hold anything
    };
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.n));
        {
            Peer peer({r.step});
            uint32_t cmd = 0x208C, val = 0;
            EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), r.trans);
            if (r.trans == 0) {
                EXPECT_EQ(cmd, 0x208Cu);
                EXPECT_EQ(val, 0x1234u);
            } else {
                EXPECT_EQ(cmd, 0x208Cu) << "a failed answer leaves the words alone";
                EXPECT_EQ(val, 0u);
            }
        }
        {
            Peer peer({r.step});
            sys_val = 0x5555;
            ASSERT_EQ(send_zelb(1, 0, 0x208C), 1);
            EXPECT_EQ(zelb_wait_ack(), r.wait == 0 ? 1 : 0);
            EXPECT_EQ(sys_rv, r.wait);
            if (r.wait == 0) {
                EXPECT_EQ(sys_val, 0x1234u);
            }
        }
    }
}

TEST(Frame, AnswerWordsAndWhatGoesOnTheLine) {
    Peer peer({{PP_ANSWER, -1, 0xBEEF, 0, {}}, {PP_SILENT, -1, 0, 0, {}}});
    uint32_t cmd = 0x1234208C, val = 0xABCD0001;
    EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), 0);
    EXPECT_EQ(cmd, 0x208Cu);  // the answer's word: the low 16 bits of the command
    EXPECT_EQ(val, 0xBEEFu);
    // Without waiting nothing is read: the silent peer costs no time-out.
    cmd = 0x6009;
    val = 0;
    EXPECT_EQ(send_single_send_zelb(0, &cmd, &val, 0), 0);
    ASSERT_TRUE(pp_wait_done(&peer.p, kGenerousMs));
    const auto req = pp_requests(&peer.p);
    ASSERT_EQ(req.size(), 2u);
    EXPECT_EQ(req[0], (bytes{0xAA, 0x55, 0x01, 0x8C, 0x20, 0x01, 0x00, 0xAE, 0xFF, 0x00}));
    EXPECT_EQ(req[1], frame_of(0, 0x6009, 0));
}

// Answers to earlier commands (late answers) in front of the answer to 208C:
// passed over, at most 8 of them, by the transaction and by the wait step; an
// answer that breaks another rule fails as it always did.
TEST(Frame, AnswersToOtherCommandsArePassedOver) {
    const bytes late = answer_of(1, 0x20B6, 7);
    const bytes right = answer_of(1, 0x208C, 0x1234);
    bytes late_bad_cks = late, late_bad_end = late;
    late_bad_cks[7] ^= 1;
    late_bad_end[8] = 0xFF;
    struct Row {
        int n;
        std::vector<bytes> line;  // what the peer sends after the request
        int trans, wait;
    };
    const Row rows[] = {
        {1, {late, right}, 0, 0},
        {2, {late}, 13, 13},  // then nothing: no answer to this command came
        {3, {answer_of(1, 0x218C, 7), right}, 0, 0},  // the high byte differs
        {4, {answer_of(1, 0x208D, 7)}, 13, 13},       // the low byte differs
        {5, {late, late, late, late, late, late, late, late, right}, 0, 0},
        {6, {late, late, late, late, late, late, late, late, late, right}, 13, 13},
        {7, {late_bad_cks, right}, 17, 17},
        {8, {late_bad_end, right}, 14, 14},
        {9, {late, bytes(right.begin(), right.begin() + 4)}, 11, 11},
        {10, {late, frame_of(1, 0x208C, 0)}, 22, 14},  // then the echo of the request
    };
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.n));
        bytes line;
        for (const bytes &b : r.line) line.insert(line.end(), b.begin(), b.end());
        {
            Peer peer({{PP_RAW, -1, 0, 0, line}});
            uint32_t cmd = 0x208C, val = 0;
            EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), r.trans);
            EXPECT_EQ(val, r.trans == 0 ? 0x1234u : 0u);
        }
        {
            Peer peer({{PP_RAW, -1, 0, 0, line}});
            ASSERT_EQ(send_zelb(1, 0, 0x208C), 1);
            EXPECT_EQ(zelb_wait_ack(), r.wait == 0 ? 1 : 0);
            EXPECT_EQ(sys_rv, r.wait);
            if (r.wait == 0) {
                EXPECT_EQ(sys_val, 0x1234u);
            }
        }
    }
}

// Bytes that wait in the input before a command (a late answer, or the rest of
// one) are dropped before the command goes out; the wait step drops nothing,
// since the answer it reads may already be waiting.
TEST(Frame, WhatWaitsBeforeACommandIsDiscarded) {
    const bytes late = answer_of(1, 0x20B6, 7);
    struct Row {
        int n;
        bytes waiting;
    };
    const Row rows[] = {
        {1, late},
        {2, answer_of(1, 0x208C, 0x0666)},  // an earlier 208C: only the discard tells
        {3, bytes(late.begin() + 4, late.end())},
        {4, bytes(300, 0x5A)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.n));
        {
            Peer peer({{PP_ANSWER, -1, 0x1234, 0, {}}});
            ASSERT_TRUE(pp_put(&peer.p, r.waiting));
            uint32_t cmd = 0x208C, val = 0;
            EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), 0);
            EXPECT_EQ(val, 0x1234u);
            EXPECT_EQ(pp_discarded(), r.waiting.size());
        }
        {
            Peer peer({{PP_ANSWER, -1, 0x1234, 0, {}}});
            ASSERT_TRUE(pp_put(&peer.p, r.waiting));
            ASSERT_EQ(send_zelb(1, 0, 0x208C), 1);
            EXPECT_EQ(pp_discarded(), r.waiting.size());
            // The answer is there before the step looks for it.
            ASSERT_TRUE(pp_wait_done(&peer.p, kGenerousMs));
            ASSERT_TRUE(pp_wait_input(&peer.p, zelb_frame_len));
            EXPECT_EQ(zelb_wait_ack(), 1);
            EXPECT_EQ(sys_val, 0x1234u);
        }
    }
}

namespace {
int reads_called = 0;
std::string calls;  // 'd' discard, 'w' write, 'r' read, in order
char discard_noted() {
    calls += 'd';
    return 11;  // a failed discard does not decide the result
}
char write_fails(const uint8_t *, uint32_t) {
    calls += 'w';
    return 7;
}
char write_ok(const uint8_t *, uint32_t) {
    calls += 'w';
    return 0;
}
char read_counted(uint8_t *, uint32_t, uint32_t *nread) {
    calls += 'r';
    ++reads_called;
    if (nread) *nread = 0;
    return 12;
}
// Claims more bytes than it was asked for.
char read_too_many(uint8_t *, uint32_t, uint32_t *nread) {
    if (nread) *nread = 11;
    return 0;
}
}  // namespace

TEST(Frame, TransportFailures) {
    uint32_t cmd = 0x208C, val = 0;
    EXPECT_EQ(send_single_send_zelb(1, nullptr, &val, 1), 10);
    EXPECT_EQ(send_single_send_zelb(1, &cmd, nullptr, 1), 10);

    // A failed write skips the read and leaves the answer buffer cleared.
    std::memset(mybuffer2, 0x55, sizeof mybuffer2);
    reads_called = 0;
    mc_frame_discard = discard_noted;
    mc_frame_write = write_fails;
    mc_frame_read = read_counted;
    calls.clear();
    EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), 7);
    EXPECT_EQ(reads_called, 0);
    for (uint8_t b : mybuffer2) EXPECT_EQ(b, 0);
    EXPECT_EQ(send_zelb(1, 0, 0x208C), 0);
    EXPECT_EQ(sys_rv, 7);

    // The discard goes before each write, never before the wait step's read.
    mc_frame_write = write_ok;
    calls.clear();
    EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), 8);
    EXPECT_EQ(send_zelb(1, 0, 0x208C), 1);
    EXPECT_EQ(zelb_wait_ack(), 0);
    EXPECT_EQ(calls, "dwrdwr");

    mc_frame_read = read_too_many;
    EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), 11);
    EXPECT_EQ(zelb_wait_ack(), 0);
    EXPECT_EQ(sys_rv, 11);

    // No transport at all: a failed write, a silent line.
    mc_frame_discard = nullptr;
    mc_frame_write = nullptr;
    mc_frame_read = nullptr;
    EXPECT_EQ(send_single_send_zelb(1, &cmd, &val, 1), 7);
    EXPECT_EQ(zelb_wait_ack(), 0);
    EXPECT_EQ(sys_rv, 8);
    mc_frame_transport_reset();
    EXPECT_EQ(mc_frame_discard, mc_discard_syscom);
}

TEST(Frame, StepsAroundTheTransaction) {
    {
        Peer peer({{PP_ANSWER, -1, 0, 0, {}}});
        sys_zelb_nr = 3;
        sys_cmd = sys_val = 77;
        EXPECT_EQ(zelb_send_key(), 1);
        EXPECT_EQ(sys_rv, 0);
        EXPECT_EQ(sys_cmd, 0x208Cu);
        EXPECT_EQ(sys_val, 0u);
        EXPECT_EQ(zelb_wait_ack(), 1);
        const auto req = pp_requests(&peer.p);
        ASSERT_EQ(req.size(), 1u);
        EXPECT_EQ(req[0], (bytes{0xAA, 0x55, 0x03, 0x8C, 0x20, 0x00, 0x00, 0xAF, 0xFF, 0x00}));
        sys_zelb_nr = 0;
    }
    mw_alert2 = record_alert;
    hwndMain = 1;  // an owner: a box without one is not shown
    {
        // The message is shown once after an acknowledged answer, then emptied.
        Peer peer({{PP_ANSWER, -1, 0, 0, {}}, {PP_SILENT, -1, 0, 0, {}}});
        alerts = {};
        std::snprintf(sys_msg, sizeof sys_msg, "%s", "Done");
        ASSERT_EQ(send_zelb(1, 0, 0x208C), 1);
        EXPECT_EQ(zelb_wait_ack_dlg(), 1);
        EXPECT_EQ(alerts.calls, 1);
        EXPECT_EQ(alerts.title, "Velquor II");  // the application name
        EXPECT_EQ(alerts.text, "Done");
        EXPECT_EQ(sys_msg[0], '\0');
        // After a failure it stays for later and nothing is shown.
        std::snprintf(sys_msg, sizeof sys_msg, "%s", "Later");
        ASSERT_EQ(send_zelb(1, 0, 0x208C), 1);
        EXPECT_EQ(zelb_wait_ack_dlg(), 0);
        EXPECT_EQ(sys_rv, 8);
        EXPECT_EQ(alerts.calls, 1);
        EXPECT_STREQ(sys_msg, "Later");
        sys_msg[0] = '\0';
    }
    {
        // A message that fills the whole buffer is cut to 100 characters.
        Peer peer({{PP_ANSWER, -1, 0, 0, {}}});
        alerts = {};
        std::memset(sys_msg, 'x', sizeof sys_msg);
        ASSERT_EQ(send_zelb(1, 0, 0x208C), 1);
        EXPECT_EQ(zelb_wait_ack_dlg(), 1);
        EXPECT_EQ(alerts.text, std::string(100, 'x'));
    }
    mw_alert2 = nullptr;
    hwndMain = -1;
    sys_rv = 5;
    sys_f_rv = 3;
    s_dlg_err = 1;
    dlg_err = 0;
    reset_err();
    EXPECT_EQ(sys_rv, 0);
    EXPECT_EQ(sys_f_rv, 0);
    EXPECT_EQ(s_dlg_err, 0);
    EXPECT_EQ(dlg_err, 2);
}

TEST(Frame, ErrorTexts) {
    const uint32_t saved = sys_lang;
    struct Row {
        int n;
        int id;
        uint32_t lang;
        const char *want;
    };
    // clang-format off
    const Row rows[] = {
        {1, 0, lang_eng, "OK"},
        {2, 8, lang_eng, "Timeout"},
        {3, 8, lang_deu, "Zeit\xFC" "berschreitung"},
        {4, 28, lang_eng, "unknown error"},  // the first id after the table
        {5, 255, lang_deu, "unbekannter Fehler"},
        {6, 256, lang_eng, "unknown error"},
        {7, 17, lang_fr, "somme de contr\xF4le erron\xE9" "e "},
        {8, 9, lang_fr, ""},  // not translated: no English stand-in
    };
    // clang-format on
    for (const Row &r : rows) {
        sys_lang = r.lang;
        EXPECT_STREQ(mc_get_err_msg(r.id), r.want) << "row " << r.n;
    }
    // Every id has its text in German and English.
    for (int id = 0; id < mc_e_count; ++id) {
        for (uint32_t lang : {lang_deu, lang_eng}) {
            sys_lang = lang;
            EXPECT_STRNE(mc_get_err_msg(id), "") << "id " << id << " lang " << lang;
        }
    }
    sys_lang = saved;
}
