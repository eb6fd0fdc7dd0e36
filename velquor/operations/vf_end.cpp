// Ending an operation: the end steps that every chain of the action table
// reaches. They report the error a step recorded once, drop the rest of the
// action list after an error or hand the next entry to the sequencer, close
// the link and make the window usable again. They are safe to run twice: the
// sequencer runs the end step once more from its end timer. What they ask of
// the main window (its contents, its enable states, hiding the status
// dialog) goes through the window seam.
#include "velquor/operations/vf_end.h"

#include "platform/file_replace.h"
#include "velquor/link/com_action.h"
#include "velquor/link/com_i2c.h"
#include "velquor/link/com_link.h"
#include "velquor/operations/fs_ops.h"
#include "velquor/operations/vf_ddc.h"
#include "velquor/operations/vf_ring.h"
#include "velquor/sequencer/sm_act.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_ids.h"
#include "velquor/ui/velquor_stat.h"
#include "velquor/ui/velquor_win.h"
#include "velquor/ui/win_seam.h"
#include "velquor/util/files.h"

namespace {

// The new file of out_file_open while it is open.
plat::FileReplace out_file = {nullptr, -1, {0}, {0}};

}  // namespace

char out_file_open(const char *path) {
    out_file_abandon();
    mf_fclose(&fpupl);
    switch (plat::file_replace_open(path, &out_file)) {
    case plat::FILE_OK: fpupl = out_file.f; return 0;
    case plat::FILE_BAD_ARG: sys_f_rv = mfe_nopath; return mfe_nopath;
    default: sys_f_rv = mfe_open; return mfe_open;
    }
}

char out_file_commit(void) {
    if (fpupl == out_file.f) fpupl = nullptr;
    if (out_file.f == nullptr || plat::file_replace_commit(&out_file) != plat::FILE_OK) {
        mw_showerror(hwndMain, scr_get_text_ix(tx_no_cf_fl));
        return 0;
    }
    return 1;
}

void out_file_abandon(void) {
    if (out_file.f == nullptr) return;
    if (fpupl == out_file.f) fpupl = nullptr;
    plat::file_replace_abort(&out_file);
}

uint8_t end_last_rv = 0;
uint8_t end_last_f_rv = 0;

void end_last_reset(void) {
    end_last_rv = 0;
    end_last_f_rv = 0;
}

void show_file_error(void) {
    if (sys_f_rv == 0) return;
    mw_showerror(hwndMain, mf_get_err_msg(sys_f_rv));
    sys_f_rv = 0;
}

void end_it(void) {
    const uint8_t rv = sys_rv;
    const uint8_t frv = sys_f_rv;
    reset_err();  // both ids and the status dialog's error display
    sys_msg[0] = 0;
    ac_reset_func = nullptr;

    if (rv != 0 || frv != 0) {
        end_last_rv = rv;  // the second run from the end timer finds nothing to keep
        end_last_f_rv = frv;
        sm_reset();  // the rest of the action list is dropped
    } else {
        ix_next.store(sm_list_get_next());
    }

    dlghide_stat();
    ddc_stop = ddc_stop_all;
    sysmode2 = 0;
    if (rv != 0) mw_showerror(hwndMain, mc_get_err_msg(rv));
    sys_f_rv = frv;
    show_file_error();
    out_file_abandon();  // an operation that did not reach its end leaves no file
    mf_fclose(&fpupl);
    if (sysmode == view_ddc)
        mc_close_ddc();
    else
        mc_close_syscom();
    set_titeltx2("");
    set_titeltx("");
    mw_settext(hwndMain, VER_APP_NAME);
    ring_ipl_clear();
}

void enab_sys_action(uint8_t v) {
    sys_act = v;
    if (!(v & 8)) win_paint_enab();
}

char end_com1(void) {
    end_it();
    if (ix_next.load() != 0) return 1;
    dome.store(0);
    endcom_cwcall = cw_rebuild;
    enab_sys_action(1);
    return 1;
}

char end_com(void) {
    end_it();
    if (ix_next.load() != 0) return 1;
    dome.store(0);
    enab_sys_action(9);
    win_contents(endcom_cwcall);
    endcom_cwcall = cw_rebuild;
    return 1;
}

char zelb_pause(void) { return 1; }

char step_verdict(char rv) {
    if (rv == 0) return 1;
    sys_rv = static_cast<uint8_t>(rv);
    return 0;
}
