// The window program on the Qt backend, offscreen: start-up with a
// configuration, every view built in English and German, a picture of each,
// and a clean quit through the File menu with the configuration saved.
// With VQ_SHOTS_DIR set, the pictures go there (the screenshots of docs/).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/loop.h"
#include "platform/win.h"
#include "tests/support/test_util.h"
#include "velquor/operations/vf_end.h"
#include "velquor/operations/vf_info.h"
#include "velquor/operations/vf_keys.h"
#include "velquor/operations/vf_wait.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/conf.h"
#include "velquor/ui/scan.h"
#include "velquor/ui/screen.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_cfg.h"
#include "velquor/ui/velquor_dialogs.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_main.h"
#include "zelbsim.h"

// Under the leak checker: fontconfig keeps a few blocks for the whole process.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the leak checker calls.
extern "C" const char *__lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

constexpr int kWait = 10000;

}  // namespace

TEST(VelquorQt, ViewsPicturesAndCleanQuit) {
    static char arg0[] = "test_velquor_qt";
    static int argc = 1;
    static char *argv[] = {arg0, nullptr};
    ASSERT_TRUE(plat::win_use_qt(argc, argv));
    // Any box is recorded and answered at once, so that a failure cannot hang the test.
    plat::win_set_box_hook([](const plat::WinBoxRecord &b) {
        ADD_FAILURE() << "box: " << b.caption << ": " << b.body;
        return b.buttons == plat::WIN_BOX_YESNO ? plat::WIN_ANSWER_NO : plat::WIN_ANSWER_OK;
    });

    char dir[] = "/tmp/vq_qt_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string cfg = std::string(dir) + "/my std.cfg";  // a path with a blank is used whole
    // Monitors for the Scan view's picture: three on COM1, a loop-back plug on
    // COM2; and two macro buttons.
    zs_config sc;
    sc.lines.resize(2);
    sc.lines[0].link = std::string(dir) + "/ttyA";
    zs_line_set_count(&sc.lines[0], 3);
    sc.lines[1].link = std::string(dir) + "/ttyB";
    sc.lines[1].loop = true;
    zs_line_set_count(&sc.lines[1], 1);
    zs_sim *sim = nullptr;
    std::string err;
    ASSERT_EQ(zs_start(sc, &sim, &err), ZS_OK) << err;
    tu_write_file(std::string(dir) + "/shots.vqm",
                  "Light <On>\n:255 0x1234 1\nLight <Off>\n:255 0x1234 0\nPower <Standby>\n");
    {
        std::ofstream f(cfg);
        f << "ik_sysmode 127\r\nik_syslang 2\r\nik_sys_zelb 3\r\nik_sc_intf_s 1\r\n"
          << "ik_sc_intf_e 2\r\nik_comdev_1 " << sc.lines[0].link << "\r\nik_comdev_2 "
          << sc.lines[1].link << "\r\nik_makpath " << dir << "/shots.vqm\r\n";
    }
    ASSERT_EQ(vq_startup(cfg.c_str()), vq_start_ok);
    EXPECT_STREQ(fcpath, cfg.c_str());
    ASSERT_NE(vq_create_window(true), -1);
    ASSERT_TRUE(plat::win_pump_until([] { return is_start == 1; }, kWait));
    EXPECT_NE(scr_getwnd_ix(ix_fill), -1);

    const char *shots = getenv("VQ_SHOTS_DIR");
    struct View {
        int id;
        const char *name;
        int32_t group;
    } views[] = {{129, "filesystem", ix_grp_fs}, {127, "firmware", ix_grp_firm},
                 {130, "ddc", ix_grp_ddc},       {128, "bootstrap", ix_grp_boot},
                 {221, "scan", ix_sc_tv_grp},    {261, "debug", ix_grp_debug}};
    for (int lang : {120, 119}) {
        ASSERT_TRUE(plat::win_click_menu(hwndMain, lang));
        for (const View &v : views) {
            SCOPED_TRACE(v.name);
            if (v.id == 221)
                check_cmd(hwndMain, 221, 0);  // the Scan view comes from its button
            else
                ASSERT_TRUE(plat::win_click_menu(hwndMain, v.id));
            if (v.id == 221 && lang == 120) {
                // A scan of COM1 and COM2: its tree stays for the German picture.
                check_cmd(hwndMain, cmd_scan, 0);
                ASSERT_TRUE(plat::win_pump_until([] { return dome == 0 && (sys_act & 1); }, kWait));
                EXPECT_EQ(scan_count, 2);
            }
            plat::win_pump_until([] { return false; }, 50);  // let the widgets settle
            EXPECT_NE(scr_getwnd_ix(v.group), -1);
            std::string png = std::string(shots ? shots : dir) + "/view-" + v.name +
                              (lang == 119 ? "-de" : "-en") + ".png";
            EXPECT_TRUE(plat::win_save_png(hwndMain, png.c_str())) << png;
        }
    }
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 129));
    ASSERT_TRUE(plat::win_click_menu(hwndMain, 151));  // File > Quit
    EXPECT_TRUE(plat::win_pump_until([] { return hwndMain == -1; }, kWait));
    vq_shutdown(true);
    std::string saved = tu_read_file(cfg);
    EXPECT_NE(saved.find("ik_sysmode 129"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ik_syslang 1"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ik_sys_zelb 3"), std::string::npos) << saved;
    plat::win_set_box_hook(nullptr);
    plat::win_shutdown();
    zs_stop(&sim);
}
