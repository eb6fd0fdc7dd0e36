// The numbers that name things across the program: command ids, views, link
// modes, boot loader types and the content modes of the main window.
//
// A command id is the control id of a button or the id of a menu item; the
// window procedure hands it to the dispatcher, the element table gives it to
// its controls, and velquor-cli presses buttons by it. Several settings store a
// command id as their value: the view (sysmode) is the id of its View menu
// item, the link (com_mode) the id of its System menu item, and the boot
// loader type (sys_boot) the id of its radio button. This header has no
// includes, so every layer may use it.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- views

// The views of the main window, equal to the ids of their View menu items.
enum vq_view : int32_t {
    view_firm = 127,   // Firmware-Update
    view_boot = 128,   // Bootstrap
    view_fs = 129,     // File System (the default)
    view_ddc = 130,    // DDC
    view_scan = 221,   // Scan (chosen with the Scan button of the interface group)
    view_debug = 261,  // Debug
};

// ---------------------------------------------------------------- link modes

// The link, equal to the ids of the System menu items that choose it.
enum vq_link_mode : int32_t {
    com_mode_ip = 237,     // "Monitor over IP": one serial-to-IP converter
    com_mode_rs232 = 238,  // "Monitor over RS232" (the default)
    com_mode_ipl = 245,    // "Monitor over IP-List": the converters of an IP list
};

// ---------------------------------------------------------------- boot loader types

// The board variant of the bootstrap, equal to the ids of its radio buttons.
enum vq_boot_type : int32_t {
    boot_zelb3 = 205,      // "ZELB3" (the default)
    boot_am29lv150 = 206,  // "AM29LV150"
};

// ---------------------------------------------------------------- command ids

enum vq_cmd : int {
    cmd_show_keyb = 116,  // View > Keyboard: shows or hides the keyboard group
    cmd_lang_deu = 119,   // System > Deutsch
    cmd_lang_eng = 120,   // System > English
    cmd_key_up = 121,     // the five front keys of the keyboard group
    cmd_key_left = 122,
    cmd_key_right = 123,
    cmd_key_down = 124,
    cmd_key_ok = 125,
    cmd_show_mak = 126,  // View > Macros: shows or hides the macro group
    cmd_view_firm = view_firm,
    cmd_view_boot = view_boot,
    cmd_view_fs = view_fs,
    cmd_view_ddc = view_ddc,
    cmd_mak_1 = 133,  // the five macro buttons, 133 to 137
    cmd_mak_5 = 137,
    cmd_fs_dnl = 145,      // PC -> TFT: writes a dump file into the monitors
    cmd_fs_reset = 148,    // Reset: restarts one monitor or all of the line
    cmd_fs_erase = 149,    // Erase: erases the file system
    cmd_fs_upl = 150,      // TFT -> PC: saves the file system to a dump file
    cmd_quit = 151,        // File > Quit
    cmd_convert = 155,     // File > Convert File (DDC)
    cmd_version = 162,     // Version: the about box
    cmd_mak_close = 163,   // Macro File > Close
    cmd_mak_reload = 164,  // Macro File > Reload
    cmd_parno = 169,       // the "No Parity" check box of the interface group
    cmd_mak_open = 170,    // Macro File > Open
    cmd_file_open = 172,   // File > Open: chooses the file of the view
    cmd_file_show = 174,   // File > Show: opens the file of the view in its viewer
    cmd_mak_show = 175,    // Macro File > Show
    cmd_ping = 176,        // Ping: finds the monitor number that answers
    cmd_write_prot = 178,  // File > Write Protect (File System and DDC views)
    cmd_baud_9600 = 181,   // the rate radios of the firmware update
    cmd_baud_19200 = 182,
    cmd_baud_38400 = 183,
    cmd_baud_115200 = 184,
    cmd_firm_upd = 185,     // Update: the firmware update
    cmd_boot_dnl = 186,     // Download: the bootstrap
    cmd_ddc_dnl = 188,      // PC -> DDC: writes EDID files into the EEPROM
    cmd_ddc_upl = 190,      // DDC -> PC: reads the EEPROM into a file
    cmd_choose_file = 197,  // the "..." buttons beside the file fields
    cmd_boot_zelb3 = boot_zelb3,
    cmd_boot_am29lv150 = boot_am29lv150,
    cmd_baud_384000 = 208,
    cmd_baud_576000 = 209,
    cmd_baud_288000 = 210,
    cmd_info_upd = 212,  // Update of the info group: reads the identification
    cmd_view_scan = view_scan,
    cmd_scan = 227,      // Scan: walks the COM ports of the scan range
    cmd_sc_parno = 233,  // the "No Parity" check box of the scan view
    cmd_link_ip = com_mode_ip,
    cmd_link_rs232 = com_mode_rs232,
    cmd_link_ipl = com_mode_ipl,
    cmd_group = 248,      // the "Group" check box of the IP list
    cmd_firm_hito = 258,  // the "High Monitor-Timeout" check box
    cmd_view_debug = view_debug,
};

// ---------------------------------------------------------------- content modes

// What CreateWindowContents does with the main window's elements. "Store"
// writes the edit fields back into their settings first; "rebuild" makes the
// elements of the view anew; "refresh" only re-applies enable states and marks.
enum vq_content_mode : int {
    cw_store = 1,
    cw_rebuild = 2,
    cw_store_rebuild = 3,
    cw_refresh = 4,
    cw_store_refresh = 5,
    cw_full = 10,        // rebuild with the background
    cw_store_full = 11,  // store, then rebuild with the background
};
