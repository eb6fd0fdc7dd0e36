// Tests of the start-up binding of the helper library: where it is looked
// for (never through the working directory), the version test with its
// refusal message, a copy lacking an export, the bound pointers at work, and
// the release at the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/dynlib.h"
#include "platform/win.h"
#include "velquor/link/com_i2c.h"
#include "velquor/ui/text_ar.h"
#include "velquor/util/vqsystem.h"

namespace {

// Number of the 14 pointers that are bound.
int bound_count() {
    const void *p[] = {
        reinterpret_cast<const void *>(mc_CloseCom),
        reinterpret_cast<const void *>(mc_opencom),
        reinterpret_cast<const void *>(set_comm_timeouts_zelb),
        reinterpret_cast<const void *>(mc_read_com_buff),
        reinterpret_cast<const void *>(mc_writecom_buff),
        reinterpret_cast<const void *>(mw_enab_butt),
        reinterpret_cast<const void *>(mw_alert2),
        reinterpret_cast<const void *>(mw_quest2),
        reinterpret_cast<const void *>(mw_select_menu2),
        reinterpret_cast<const void *>(ms_is_not_uchar_li),
        reinterpret_cast<const void *>(ms_get_ipv4_str),
        reinterpret_cast<const void *>(ms_get_ipv4_4b),
        reinterpret_cast<const void *>(ms_swap_buffer_uc),
        reinterpret_cast<const void *>(ms_swap_buffer_li),
    };
    int n = 0;
    for (const void *q : p) n += q != nullptr;
    return n;
}

class VelqBind : public ::testing::Test {
protected:
    void SetUp() override {
        plat::win_use_headless();
        plat::win_boxes_clear();
        sys_lang = lang_eng;
        unsetenv(velq_env_name);
        unsetenv(portio_env_name);
    }
    void TearDown() override {
        sys_end();
        unsetenv(velq_env_name);
        unsetenv(portio_env_name);
        plat::win_shutdown();
    }
};

TEST_F(VelqBind, VersionsAndExports) {
    struct Row {
        int n;
        const char *path;
        char rc;
        const char *message;  // the refusal box, nullptr for none
        const char *ver;      // dll_ver afterwards
    };
    const Row rows[] = {
        {1, VQ_VELQ_PATH, 0, nullptr, "1.003"},
        {2, VQ_VELQ_V1_7, 0, nullptr, "1.007"},
        {3, VQ_VELQ_V1_2, 11, "Invalid version of \"velq.dll\": found 1.002   require 1.003",
         "1.000"},
        {4, VQ_VELQ_V2_3, 11, "Invalid version of \"velq.dll\": found 2.003   require 1.003",
         "1.000"},
        {5, VQ_VELQ_NO_SUB, 11, "Invalid version of \"velq.dll\": found (none)   require 1.003",
         "1.000"},
        {6, VQ_VELQ_NO_SWAP_LI, 11, nullptr, "1.000"},
        {7, "/no/such/dir/libvelq.so", 10, nullptr, "1.000"},
        {8, "libvelq.so", 10, nullptr, "1.000"},    // would be the working directory
        {9, "./libvelq.so", 10, nullptr, "1.000"},  // so would this
    };
    for (const Row &r : rows) {
        plat::win_boxes_clear();
        setenv(velq_env_name, r.path, 1);
        EXPECT_EQ(sys_start(), r.rc) << "row " << r.n;
        EXPECT_STREQ(dll_ver, r.ver) << "row " << r.n;
        const auto boxes = plat::win_boxes_shown();
        if (r.message) {
            ASSERT_EQ(boxes.size(), 1u) << "row " << r.n;
            EXPECT_EQ(boxes[0].owner, -1);
            EXPECT_EQ(boxes[0].caption, "Error");
            EXPECT_EQ(boxes[0].body, r.message) << "row " << r.n;
        } else {
            EXPECT_TRUE(boxes.empty()) << "row " << r.n;
        }
        if (r.rc == 0) {
            EXPECT_NE(hLib_com, nullptr) << "row " << r.n;
            EXPECT_EQ(bound_count(), 14) << "row " << r.n;
        } else {
            // Nothing stays loaded or half bound.
            EXPECT_EQ(hLib_com, nullptr) << "row " << r.n;
            EXPECT_EQ(bound_count(), 0) << "row " << r.n;
        }
        sys_end();
        EXPECT_EQ(hLib_com, nullptr);
        EXPECT_EQ(bound_count(), 0);
        EXPECT_STREQ(dll_ver, "1.000");
    }
    // The refusal's caption follows the language.
    sys_lang = lang_deu;
    plat::win_boxes_clear();
    setenv(velq_env_name, VQ_VELQ_V1_2, 1);
    EXPECT_EQ(sys_start(), 11);
    ASSERT_EQ(plat::win_boxes_shown().size(), 1u);
    EXPECT_EQ(plat::win_boxes_shown()[0].caption, "Fehler");
}

TEST_F(VelqBind, FoundBesideTheProgramWithoutSetting) {
    char dir[4096], path[4096];
    ASSERT_TRUE(plat::dyn_exe_dir(dir, sizeof dir));
    ASSERT_EQ(sys_velq_path(path, sizeof path), 0);
    EXPECT_EQ(std::string(path), std::string(dir) + "/libvelq.so");
    char tiny[8];
    EXPECT_EQ(sys_velq_path(tiny, sizeof tiny), 10);  // does not fit: nothing
    EXPECT_STREQ(tiny, "");
    // The build places a copy of the library beside the test programs.
    EXPECT_EQ(sys_start(), 0);
    EXPECT_STREQ(dll_ver, "1.003");
}

// A second start replaces the binding; the bound pointers call into the library.
TEST_F(VelqBind, SecondStartReplacesTheBindingThatWorks) {
    setenv(velq_env_name, VQ_VELQ_V1_7, 1);
    ASSERT_EQ(sys_start(), 0);
    setenv(velq_env_name, VQ_VELQ_PATH, 1);
    ASSERT_EQ(sys_start(), 0);
    EXPECT_STREQ(dll_ver, "1.003");
    EXPECT_EQ(bound_count(), 14);
    int h = -1;
    EXPECT_EQ(mc_opencom(&h, "/dev/no-such-velq-port"), 3);
    EXPECT_EQ(h, -1);
    char s[16];
    EXPECT_EQ(ms_get_ipv4_4b(s, 10, 0, 0, 1), 0);
    EXPECT_STREQ(s, "10.0.0.1");
}

TEST_F(VelqBind, SymbolsOnlyFromTheLibraryItself) {
    void *h = nullptr;
    EXPECT_EQ(plat::dyn_open("libvelq.so", &h), plat::DYN_BAD_ARG);
    EXPECT_EQ(plat::dyn_open(nullptr, &h), plat::DYN_BAD_ARG);
    EXPECT_EQ(plat::dyn_open("/no/such/lib.so", &h), plat::DYN_NOT_LOADED);
    EXPECT_STRNE(plat::dyn_last_error(), "");
    ASSERT_EQ(plat::dyn_open(VQ_VELQ_PATH, &h), plat::DYN_OK);
    EXPECT_NE(plat::dyn_symbol(h, "mw_alert"), nullptr);
    // A name that only a dependency (the C library) defines is not the library's.
    EXPECT_EQ(plat::dyn_symbol(h, "malloc"), nullptr);
    EXPECT_EQ(plat::dyn_symbol(h, "no_such_export"), nullptr);
    plat::dyn_close(&h);
    EXPECT_EQ(h, nullptr);
}

}  // namespace

// The port-I/O library comes first: one that cannot be loaded is result 1,
// one without Inp32 or Out32 2 or 3, each with nothing left loaded and the
// helper library not even tried. The start-up texts name them.
TEST_F(VelqBind, PortIoLibraryFirst) {
    struct Row {
        const char *path;
        char rc;
        const char *text;
    } rows[] = {
        {"/no/such/dir/libvqportio.so", 1, "can't load\t\"inpout32.dll\""},
        {"libvqportio.so", 1, "can't load\t\"inpout32.dll\""},  // the working directory: never
        {VQ_PORTIO_NO_INP, 2, "error in \"inpout32.dll\""},
        {VQ_PORTIO_NO_OUT, 3, "error in \"inpout32.dll\""},
        {VQ_PORTIO_SIM, 0, "OK"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        setenv(portio_env_name, r.path, 1);
        EXPECT_EQ(sys_start(), r.rc);
        EXPECT_STREQ(sys_get_msg(r.rc), r.text);
        EXPECT_EQ(hLib_io != nullptr, r.rc == 0);
        EXPECT_EQ(Inp32 != nullptr && Out32 != nullptr, r.rc == 0);
        EXPECT_EQ(hLib_com != nullptr, r.rc == 0);
        EXPECT_STREQ(sys_port_io_status(), "");
        sys_end();
        EXPECT_EQ(hLib_io, nullptr);
        EXPECT_EQ(Inp32, nullptr);
    }
}
