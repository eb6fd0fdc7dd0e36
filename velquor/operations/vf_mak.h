// Macros: up to five buttons in the main window, loaded from a macro file,
// each sending a list of command frames to chosen monitors. So far the macro
// set is always empty; loading and running come with the macros.
#pragma once

#include "velquor/util/files.h"  // cfg_path_size

// The macro file (configuration key ik_makpath).
extern char makpath[cfg_path_size];

// Empties the macro set.
void mak_reset_all(void);
// Loads the macro set from makpath.
void load_mak(void);
// Kind 0: the enable flag of button b as a one-byte text (empty = no steps);
// kind 1: its caption, or nullptr when the button is unused. nullptr for b >= 5.
const char *mak_get_vals(int kind, int b);
