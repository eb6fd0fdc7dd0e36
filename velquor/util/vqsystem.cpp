// Start-up binding of the helper library: find it (environment variable or
// the program's own directory), load it through the platform's library
// layer, test its version, bind the 14 functions the program uses by name
// into their pointers, and release it all again at the end.
//
// The binding table is the one list of bound exports: its rows stand in the
// order in which they are bound, and each row's setter both binds and (with
// nullptr) clears its pointer, so binding and release cannot drift apart.
#include "velquor/util/vqsystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/dynlib.h"
#include "platform/win.h"
#include "velquor/link/com_i2c.h"
#include "velquor/link/com_link.h"
#include "velquor/ui/text_ar.h"

void *hLib_com = nullptr;
uint8_t dll_ver_main = 0;
uint32_t dll_ver_sub = 0;
char dll_ver[dll_ver_size] = "1.000";

namespace {

// Sets one bound pointer from a symbol address (nullptr clears it).
template <typename Fn>
void set_fn(Fn *slot, void *sym) {
    *slot = reinterpret_cast<Fn>(sym);
}

struct bind_row {
    const char *name;        // export name in the library
    void (*set)(void *sym);  // stores the address into its pointer
};

// The bound exports, in binding order; any one missing refuses the library.
const bind_row bind_tab[] = {
    {"mc_CloseCom_rs232", [](void *s) { set_fn(&mc_CloseCom, s); }},
    {"mc_opencom_rs232", [](void *s) { set_fn(&mc_opencom, s); }},
    {"set_comm_timeouts_zelb", [](void *s) { set_fn(&set_comm_timeouts_zelb, s); }},
    {"mc_read_com_buff_rs232", [](void *s) { set_fn(&mc_read_com_buff, s); }},
    {"mc_writecom_buff_rs232", [](void *s) { set_fn(&mc_writecom_buff, s); }},
    {"mw_enab_butt", [](void *s) { set_fn(&mw_enab_butt, s); }},
    {"mw_alert", [](void *s) { set_fn(&mw_alert2, s); }},
    {"mw_quest", [](void *s) { set_fn(&mw_quest2, s); }},
    {"mw_select_menu", [](void *s) { set_fn(&mw_select_menu2, s); }},
    {"ms_is_not_uchar_li", [](void *s) { set_fn(&ms_is_not_uchar_li, s); }},
    {"ms_get_ipv4_str", [](void *s) { set_fn(&ms_get_ipv4_str, s); }},
    {"ms_get_ipv4_4b", [](void *s) { set_fn(&ms_get_ipv4_4b, s); }},
    {"ms_swap_buffer_uc", [](void *s) { set_fn(&ms_swap_buffer_uc, s); }},
    {"ms_swap_buffer_li", [](void *s) { set_fn(&ms_swap_buffer_li, s); }},
};
static_assert(std::size(bind_tab) == 14);

// Start-up results.
constexpr char rv_ok = 0, rv_no_lib = 10, rv_bad_lib = 11;

// Found version shown when a version export is missing.
const char no_version[] = "(none)";

// The path of a library: from the environment variable env_name when it is
// set (it must begin with "/"), else file_name beside the program. 0, or 10.
char lib_path(const char *env_name, const char *file_name, char *out, uint32_t n) {
    if (!out || n == 0) return rv_no_lib;
    out[0] = '\0';
    const char *env = std::getenv(env_name);
    if (env && env[0]) {
        // Only an absolute path: a relative one would name the working directory.
        if (env[0] != '/' || std::strlen(env) + 1 > n) return rv_no_lib;
        std::memcpy(out, env, std::strlen(env) + 1);
        return rv_ok;
    }
    char dir[4096];
    if (!plat::dyn_exe_dir(dir, sizeof dir)) return rv_no_lib;
    const int k = std::snprintf(out, n, "%s/%s", dir, file_name);
    if (k < 0 || static_cast<uint32_t>(k) + 1 > n) {
        out[0] = '\0';
        return rv_no_lib;
    }
    return rv_ok;
}

void clear_binding(void) {
    for (const bind_row &r : bind_tab) r.set(nullptr);
    plat::dyn_close(&hLib_com);
    dll_ver_main = 0;
    dll_ver_sub = 0;
    std::snprintf(dll_ver, sizeof dll_ver, "%d.%03d", 1, 0);
}

}  // namespace

void *hLib_io = nullptr;

char sys_load_port_io(void) {
    if (hLib_io) sys_free_port_io();
    char path[4096];
    if (lib_path(portio_env_name, portio_file_name, path, sizeof path) != rv_ok) return 1;
    if (plat::dyn_open(path, &hLib_io) != plat::DYN_OK) return 1;
    void *in = plat::dyn_symbol(hLib_io, "Inp32");
    void *out = plat::dyn_symbol(hLib_io, "Out32");
    if (!in || !out) {
        sys_free_port_io();
        return in ? 3 : 2;
    }
    set_fn(&Inp32, in);
    set_fn(&Out32, out);
    return 0;
}

void sys_free_port_io(void) {
    Inp32 = nullptr;
    Out32 = nullptr;
    plat::dyn_close(&hLib_io);
}

const char *sys_port_io_status(void) {
    if (!hLib_io) return "";
    void *sym = plat::dyn_symbol(hLib_io, "vqportio_status");
    const char *(*status)(void) = nullptr;
    set_fn(&status, sym);
    const char *t = status ? status() : nullptr;
    return t ? t : "";
}

char sys_velq_path(char *out, uint32_t n) {
    return lib_path(velq_env_name, velq_file_name, out, n);
}

char check_dll_ver(void *hLib) {
    if (!hLib) return 1;
    void *main_sym = plat::dyn_symbol(hLib, "dll_get_main_ver");
    void *sub_sym = plat::dyn_symbol(hLib, "dll_get_sub_ver");
    char found[dll_ver_size];
    bool ok = false;
    if (main_sym && sub_sym) {
        uint8_t (*get_main)(void) = nullptr;
        uint32_t (*get_sub)(void) = nullptr;
        set_fn(&get_main, main_sym);
        set_fn(&get_sub, sub_sym);
        const uint8_t m = get_main();
        const uint32_t s = get_sub();
        std::snprintf(found, sizeof found, "%d.%03d", static_cast<int>(m), static_cast<int>(s));
        ok = (m & 0xFF) == velq_need_main && s >= velq_need_sub;
        if (ok) {
            dll_ver_main = m;
            dll_ver_sub = s;
        }
    } else {
        std::snprintf(found, sizeof found, "%s", no_version);
    }
    if (!ok) {
        char msg[160];
        std::snprintf(msg, sizeof msg,
                      "Invalid version of \"velq.dll\": found %s   require %d.%03d", found,
                      static_cast<int>(velq_need_main), static_cast<int>(velq_need_sub));
        plat::win_message_box(-1, scr_get_text_ix(tx_err), msg, plat::WIN_BOX_OK,
                              plat::WIN_ICON_NONE);
        return 1;
    }
    std::snprintf(dll_ver, sizeof dll_ver, "%s", found);
    return 0;
}

char sys_start(void) {
    if (hLib_com) clear_binding();
    const char io = sys_load_port_io();
    if (io) return io;
    char path[4096];
    if (sys_velq_path(path, sizeof path) != rv_ok) return rv_no_lib;
    if (plat::dyn_open(path, &hLib_com) != plat::DYN_OK) return rv_no_lib;
    if (check_dll_ver(hLib_com)) {
        clear_binding();
        return rv_bad_lib;
    }
    for (const bind_row &r : bind_tab) {
        void *sym = plat::dyn_symbol(hLib_com, r.name);
        if (!sym) {
            clear_binding();
            return rv_bad_lib;
        }
        r.set(sym);
    }
    return rv_ok;
}

void sys_end(void) {
    sys_free_port_io();
    clear_binding();
    eth_end();
}
