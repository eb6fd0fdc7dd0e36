// The end of an operation, end to end on a headless main window against
// simulated monitors behind a converter on 127.0.9.x: the error a step
// recorded reaches the operator once, in the chosen language, and it drops
// the rest of the list of actions.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "platform/win.h"
#include "support/ops_support.h"
#include "velquor/link/com_action.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"

namespace {

using End = Ops;

// A silent monitor (a time-out) and a line that echoes (a loop): one stop box
// with the program's caption and the error in the chosen language.
TEST_F(End, ErrorsReachTheOperatorOnceInTheChosenLanguage) {
    struct Row {
        uint32_t lang;
        bool loop;
        const char *body;
    } rows[] = {
        {lang_eng, false, "Timeout"},
        {lang_deu, false,
         "Zeit\xFC"
         "berschreitung"},
        {lang_eng, true, "Loop"},
    };
    int i = 0;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.body);
        char addr[32];
        std::snprintf(addr, sizeof addr, "127.0.9.%d", 10 + i++);
        start_sim(1, addr, r.loop);
        if (!r.loop) {
            zs_fault f;
            f.kind = ZS_F_SILENT;
            ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
        }
        sys_lang = r.lang;
        plat::win_boxes_clear();
        run(ix_keyb_ok);
        const std::vector<plat::WinBoxRecord> boxes = plat::win_boxes_shown();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].body, r.body);
        EXPECT_EQ(boxes[0].caption, "Velquor II");
        EXPECT_EQ(boxes[0].icon, plat::WIN_ICON_STOP);
        zs_stop(&sim);
    }
}

// Left, Up, Right with Up unanswered: Left goes out, the error is shown once
// and reset, and Right is never sent.
TEST_F(End, AnErrorDropsTheRestOfTheList) {
    start_sim(1, "127.0.9.4");
    zs_fault f;
    f.kind = ZS_F_SILENT;
    f.cmd = zelb_key_up;
    ASSERT_EQ(zs_add_fault(sim, 0, f), 0);
    run(ix_keyb_left, ix_keyb_up, ix_keyb_right);
    EXPECT_EQ(plat::win_boxes_shown().size(), 1u);
    EXPECT_EQ(frames_with(zelb_key_left).size(), 1u);
    EXPECT_TRUE(frames_with(zelb_key_right).empty());
    EXPECT_EQ(sm_list_get_next(), 0);
    EXPECT_EQ(sys_rv, 0);
}

}  // namespace
