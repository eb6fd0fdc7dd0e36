// Macros: up to five buttons in the main window, loaded from a macro file
// (".vqm"), each with up to 25 steps of up to 10 command frames. A press runs
// the button's current step, sending its frames to their monitors without
// waiting for the answers (once per address of an IP list in group mode), and
// moves the button on to its next step, so that one button can switch a
// setting on and off.
//
// The file: lines cleaned of TABs and outer blanks, "//" starts a comment,
// empty lines skipped.
//   NAME <CAPTION>          a step of button NAME (letter case ignored; a new
//                           name takes the next unused button)
//   :ADDRESS COMMAND VALUE  a command of the current step; ADDRESS 0 is the
//                           window's monitor number, 255 every monitor
// ADDRESS is a byte ("7", "07", "0x0f"); COMMAND and VALUE are "%d" or "0x"
// and at least four hexadecimal digits ("0x0001", not "0x1").
#pragma once

#include <cstdint>

#include "velquor/util/files.h"  // cfg_path_size

constexpr int mak_buttons = 5;     // buttons "1" to "5"
constexpr int mak_steps = 25;      // steps per button
constexpr int mak_cmds = 10;       // commands per step
constexpr int mak_text_size = 26;  // a name or caption: 25 characters and the NUL
constexpr int mak_ip_size = 25;

// One step of a button.
struct mak_ent_T {
    char text[mak_text_size];     // caption
    char text_id[mak_text_size];  // name of the button
    uint32_t val[mak_cmds];
    uint32_t cmd[mak_cmds];
    uint8_t zelb_nr[mak_cmds];              // 0 the window's monitor number, 255 all (address 0)
    char stat[mak_cmds];                    // reserved, 0
    char target_ip[mak_cmds][mak_ip_size];  // reserved, empty: the file cannot fill it
    char mode;                              // 0
    uint8_t cnt;                            // commands in use
};

// One button: its steps in use (0 = unused) and the step the next press runs.
struct makroT {
    mak_ent_T ent[mak_steps];
    uint8_t cnt;
    uint8_t ix;
};

extern makroT makros[mak_buttons];
// The macro file (configuration key ik_makpath).
extern char makpath[cfg_path_size];
// The current step: while loading, the step that command lines go to; while
// a step runs, that step; nullptr otherwise.
extern mak_ent_T *MPoi;

// Empties all five buttons.
void mak_reset_all(void);
// Loads makpath (nothing when it is empty). A file that cannot be opened:
// the box "Can not open macro file!" and makpath emptied. A line that breaks
// a rule: the box "error in marco file: " with the line, and the buttons
// loaded before it stay.
void load_mak(void);
// Runs the current step of button b (0..4) and moves the button on: 0, or 1
// when nothing was started (b outside 0..4, or an unused button).
char mak_action(int b);
// Kind 0: the enable flag of button b as a one-byte text (empty = no steps);
// kind 1: its caption (the current step's caption, else the button's name,
// else its number), nullptr when the button is unused. nullptr for b >= 5.
const char *mak_get_vals(int kind, int b);
// 1 when the button has no steps.
char mak_is_empty(const makroT *m);
// The first used button whose name is `name` (letter case ignored), or -1.
int mak_is_grp(const char *name);
// A first step into the first unused button: 0, or 13 when all five are used.
char mak_add_new(const char *name, const char *caption);
// A further step of button b: 0, or 13 when it holds 25 steps.
char mak_add_ex(int b, const char *name, const char *caption);
// A step line and a command line (cleaned, without comment): 0, or 13. Both
// may change the line.
char load_mak_grp(char *line);
char load_mak_dat(char *line);

// Steps of the macro chain.
char mak_init(void);
char mak_run(void);
char mak_get_send(void);
char mak_end(void);
// The chain for steps sent to addresses of their own: no step of a macro file
// has any, so it has nothing to send: 2.
char mak_send_it(void);
