// The program's main window: its handle, which every timer of the sequencer
// and every box of an operation is addressed to.
#pragma once

// Handle of the main window; -1 until the window exists.
extern int hwndMain;
