// Window element table and views of the main window.
//
// The main window has no fixed layout. Its controls are made from one constant
// table, wndelemnts: each row names a control kind, its captions in the three
// languages, the program variable it shows and edits, the views it belongs to,
// a predicate that decides at run time whether it is created and enabled, and
// its place in 1/128 of the client area. Changing the view, the language, the
// link or a display option destroys the controls and creates them anew from the
// table; edit fields are written back into their variables (with range and text
// checks) before every command. The live controls are kept in 100 slots in
// creation order, slot 0 for the background.
//
// Index: element identifiers; value kinds (intervall); the element row and the
// table; slots and views; content operations; look-ups; menus and marks; the
// debug memo; predicates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "velquor/link/com_link.h"   // sysmode, the view
#include "velquor/ui/velquor_ids.h"  // views, command ids, content modes

// ---------------------------------------------------------------- element identifiers

// One identifier per row of wndelemnts, in row order (row i holds identifier i).
enum elem_ix_t : int32_t {
    ix_fill = 0,
    ix_key_grp,
    ix_key_lf,
    ix_key_rt,
    ix_key_ok,
    ix_key_up,
    ix_key_dn,
    ix_mak_grp,
    ix_mak_1,
    ix_mak_2,
    ix_mak_3,
    ix_mak_4,
    ix_mak_5,
    ix_grp_info,
    ix_tx_inf_tp,
    ix_ed_inf_tp,
    ix_tx_inf_dsp,
    ix_ed_inf_dsp,
    ix_tx_inf_rev,
    ix_ed_inf_rev,
    ix_tx_inf_dat,
    ix_ed_inf_dat,
    ix_bt_inf_upd,
    ix_grp_com,
    ix_tx_com,
    ix_tx_ip,
    ix_tx_ipl,
    ix_tx_com_ddc,
    ix_ed_com,
    ix_ed_ip,
    ix_ed_ipl,
    ix_ed_com_ddc,
    ix_tx_to,
    ix_ed_to,
    ix_ed_to_ddc,
    ix_tx_zelb_nr,
    ix_tx_nr_i2c,
    ix_ed_zelb_nr,
    ix_ed_nr_i2c,
    ix_parno,
    ix_broad,
    ix_bt_ping,
    ix_bt_test,
    ix_grp_firm,
    ix_tx_f_firm,
    ix_ed_f_firm,
    ix_bt_f_firm,
    ix_firm_upd,
    ix_firm_hi_to,
    ix_grp_firm_bd,
    ix_firm_bd96,
    ix_firm_bd192,
    ix_firm_bd384,
    ix_firm_bd1152,
    ix_firm_bd2880,
    ix_firm_bd3840,
    ix_firm_bd5760,
    ix_grp_boot,
    ix_tx_f_boot,
    ix_ed_f_boot,
    ix_bt_f_boot,
    ix_grp_firm_boot,
    ix_rd_boot_zelb3,
    ix_rd_boot_AM29LV150,
    ix_firm_boot,
    ix_grp_fs,
    ix_tx_f_fs,
    ix_ed_f_fs,
    ix_bt_f_fs,
    ix_fs_res,
    ix_fs_dnl,
    ix_fs_upl,
    ix_fs_er,
    ix_grp_ddc,
    ix_tx_f_ddc,
    ix_ed_f_ddc,
    ix_bt_f_ddc,
    ix_ddc_dnl,
    ix_ddc_upl,
    ix_sc_intf_grp,
    ix_tx_sc_intf_s,
    ix_ed_sc_intf_s,
    ix_tx_sc_intf_e,
    ix_ed_sc_intf_e,
    ix_tx_scto,
    ix_ed_scto,
    ix_sc_parno,
    ix_bt_scan,
    ix_sc_tv_grp,
    ix_sc_tv,
    ix_grp_scopts,
    ix_sc_fc_grp,
    ix_sc_fs,
    ix_grp_debug,
    ix_debug_memo,
    ix_mainframe = 95,  // the main window, parent of every element
    ix_last = 96,       // end row of the table; "no element" in a slot

    // The identification fields under the names the info module uses.
    ix_tx_inf_typ = ix_tx_inf_tp,
    ix_ed_inf_typ = ix_ed_inf_tp,
};

// Rows of wndelemnts before the end row.
constexpr size_t scr_n_rows = 95;

// ---------------------------------------------------------------- value kinds

// Interval kinds of number fields and configuration keys (p2 of a number row).
enum iv_kind_t : int32_t {
    iv_none = 0,  // 0..255, default 0
    iv_timeout = 1,
    iv_comport,
    iv_zelb_nr,
    iv_sys_baud,
    iv_ddc_prot,
    iv_fsf_prot,
    iv_ddc_bus,
    iv_timeout_ddc,
    iv_bool_pos,
    iv_bool_neg,
    iv_uchar,
    iv_ddc_intf_lpt,
    iv_w_left,
    iv_w_top,
    iv_w_width,
    iv_w_height,
    iv_uint,
    iv_sys_boot,
    iv_sc_intf,
    iv_timeout_sc,
    iv_ip_ind,
    iv_count  // 22: kinds 1..21 plus the unused 0
};

// Storage width of a kind.
enum iv_width_t : uint8_t { iv_w_dword = 1, iv_w_byte = 2, iv_w_coord = 4 };

struct intervallT {
    int32_t kind;  // the row's own kind
    uint8_t width;
    uint32_t min;
    uint32_t max;
    uint32_t def;
};

// Row k holds kind k; row 0 is the plain byte 0..255 used when p2 is 0.
extern const intervallT intervall[iv_count];

// Row of a kind, or row 0 for a kind outside 0..21.
const intervallT *iv_get(int32_t kind);

// ---------------------------------------------------------------- the element row

// Control kinds (the low byte of win_type) and flags.
enum : int32_t {
    wt_button = 1,
    wt_static = 2,
    wt_group = 4,
    wt_radio = 8,
    wt_edit = 16,
    wt_memo = 32,
    wt_check = 64,
    wt_tree = 128,
    wt_sunken = 256,  // sunken client edge
    wt_style2 = 512,  // extra style bit value 2 (text right-aligned)
};

// Buffer types: how a bound variable is shown and stored back.
enum : uint8_t {
    bt_byte = 0,     // unsigned byte, decimal
    bt_text = 1,     // text of buffer_size bytes
    bt_flag = 4,     // byte flag: check mark when non-zero
    bt_macro = 8,    // macro button: caption and enable state from the macro set
    bt_byte1 = 64,   // unsigned byte shown 1-based
    bt_ulist = 130,  // 32-bit value: radio mark when it equals entry p2 of list buffer_size
};

// Text checks of a text field (p2).
enum : int32_t { tc_none = -1, tc_fname = 0, tc_ipv4 = 1 };

// Result bits of a predicate.
enum : char { pv_create = 1, pv_enable = 2 };

typedef char (*scr_pred_t)(void);
typedef char (*scr_fill_t)(void);

struct elementT {
    int32_t my_ix;           // the row's own identifier
    const char *index_name;  // the identifier as text, for get_index_by_name
    int32_t par_ix;          // parent: always ix_mainframe
    int32_t win_id;          // control id and command id
    int32_t win_type;        // control kind plus wt_sunken / wt_style2
    const char *lab_ger;
    const char *lab_eng;
    const char *lab_fr;
    void *buffer;  // bound variable, or nullptr
    uint8_t buffer_type;
    uint32_t buffer_size;               // text capacity / digits / value list / macro entry
    scr_pred_t is_enab_visib;           // pv_create | pv_enable
    uint32_t screen;                    // view mask (vm_*)
    uint32_t left, top, width, height;  // in 1/128 of the client area
    int32_t p1;                         // not consulted
    int32_t p2;                         // interval kind / text check / list entry / macro function
    scr_fill_t fill;                    // tree views: the function that fills the tree, or nullptr
};

// The element table, ending with the row of ix_last.
extern const elementT wndelemnts[scr_n_rows + 1];

// Value lists of radio rows, each ending in -1: list 0 baud rates, list 1 boot types.
extern const int32_t ucol[2][8];

// ---------------------------------------------------------------- slots and views

constexpr int scr_n_slots = 100;

struct screen_element {
    int wnd;          // window handle, -1 = empty
    int32_t elem_ix;  // element identifier, ix_last = empty
};

extern screen_element screen[scr_n_slots];
// Held while the slots change (main thread) and while a look-up reads them.
extern std::recursive_mutex scr_slot_mu;
// Held while debug_str is read or written.
extern std::mutex scr_debug_mu;

// View masks.
enum : uint32_t {
    vm_firm = 1,   // view_firm
    vm_fs = 2,     // view_fs
    vm_ddc = 4,    // view_ddc
    vm_boot = 8,   // view_boot
    vm_scan = 16,  // view_scan
    vm_debug = 32  // view_debug
};
// Display options, 0 = shown (ik_show_keyb, ik_show_mak, ik_show_info).
extern uint8_t show_keyb;
extern uint8_t show_mak;
extern uint8_t show_info;
// Text of the debug memo (at most 511 characters used).
extern char debug_str[4096];
constexpr size_t debug_str_max = 511;
// Room for a copy of the memo text (debug_str_get): 511 characters and the NUL.
constexpr size_t debug_str_size = debug_str_max + 1;

// A deferred paint: when set, the next CreateWindowContents runs it instead of
// its mode, and clears it.
extern void (*paint_func)(void);

// View mask of a sysmode value; a value that names no view gives the File
// System view.
uint32_t scr_view_mask(int32_t mode);
// The view shown: sysmode itself, or view_fs when it names no view.
int32_t scr_view_shown(void);

// ---------------------------------------------------------------- content operations

// Content modes (vq_content_mode): 1 store, 2 rebuild, 3 store + rebuild, 4
// refresh, 5 store + refresh, 10 full rebuild (background too), 11 store + full
// rebuild. Every mode except 1 reloads the menu bar and its marks. Any thread: a worker's
// call (the end of an operation) runs on the main thread and waits for it, as
// do paint_enab, update_menu, paint_mak, set_baud_box and scr_close_ix.
void CreateWindowContents(int mode);
// Creates (1: from row 1, 3: from row 0) or refreshes (0: from row 1, 2: from
// row 0) the elements of the current view.
void SetWindowContents(int mode);
// Writes the value of the live element in `slot` back into its variable.
void scr_save(int slot);
// Display text of the bound variable of `row` into out (at most n-1 bytes).
void scr_get_bufffer_value(char *out, size_t n, int row);
// Empties n slots (at most scr_n_slots).
void scr_reset_elem(screen_element *slots, int n);
// Destroys element ix (its first slot at or after start) or, for ix_last,
// every element from slot start on.
void scr_close_ix(int32_t ix, int start);

// ---------------------------------------------------------------- look-ups

// Window of the first slot holding ix, or -1.
int scr_getwnd_ix(int32_t ix);
// Element of a window, or ix_last.
int32_t scr_getix_wnd(int wnd);
// Identifier whose index_name equals name ignoring case, or ix_last.
int32_t get_index_by_name(const char *name);
// 1 when the text is no file name: missing, empty, "File:" or "Datei:".
char is_not_fname(const char *name);
// Client rectangle of hwnd: left, top, width and height minus 10 pixels.
void getrc(int hwnd, int *left, int *top, int *tw, int *th);

// ---------------------------------------------------------------- menus and marks

// Enable states of the menu and of every live element (after a busy change).
void paint_enab(void);
// Enable and check marks of the menu items.
void paint_enab_sysmode(void);
// All menu marks, the identification fields and the interface label.
void update_menu(void);
// The Macros command: mark, then hide the macro group or store and rebuild.
void paint_mak(void);
// Marks each existing baud-rate radio that equals sys_baud.
void set_baud_box(void);
// Shows an operation's result in its fields (wa_zelb_nr: the monitor number a
// ping found; wa_info: the identification record). Any thread.
void scr_show_result(int what);
// The identification record in the info group: labels and values.
void zelb_info_to_window(void);

// Helpers on menus and buttons; each does nothing for a window of -1.
void mw_check_menu(int hwnd, int id, char on);
void mw_enab_menu(int hwnd, int id, char on);
void mw_select_menu(int id);
void mw_check_butt(int hwnd, char on);

// Registers the menu bars 100 (German) and 101 (English) with the window layer.
void mw_register_menus(void);
// Menu bar for the language: 100 for German, 101 otherwise.
int scr_menu_for_lang(void);

// ---------------------------------------------------------------- debug memo

// Appends a line to the debug memo (the traffic log of the Debug view): a CR LF
// and the text; empties the memo first when the result would reach 511
// characters; an empty text empties it. Callable from the worker thread.
void add_debug_str(const char *text);
// Copies the memo text into out (at most n - 1 characters and a NUL).
void debug_str_get(char *out, size_t n);

// ---------------------------------------------------------------- predicates

char show_enab_always(void);
char show_enab_always_rs232(void);
char show_enab_always_ip(void);
char show_enab_always_ipl(void);
char show_enab_always_no_ipl(void);
char show_enab_always_eth(void);
char show_enab_keyboard(void);
char show_enab_makros_grp(void);
char show_enab_mak_butt(void);
char show_enab_info(void);
char show_enab_ddc_to(void);
char show_enab_ddc_bus(void);
char show_enab_boot_dnl(void);
