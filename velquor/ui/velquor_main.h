// Start-up, the main window and its command dispatch.
//
// The program starts in a fixed order (helper library, defaults, networking
// probe, configuration file, geometry check, macro file, log file), creates
// the main window and runs the message loop until the window is closed; then
// it saves the configuration and frees the library. The window procedure turns
// timers into the first build of the contents and the sequencer's hand-overs,
// and every menu item and button into a command for check_cmd, which prepares
// the window state (busy, fields stored) and starts the operation.
//
// The windowed program and the command-line program share all of this: the
// command-line program runs the same start-up on the headless window layer and
// presses the same buttons through check_cmd.
#pragma once

#include <cstddef>
#include <cstdint>

#include "velquor/ui/velquor_ids.h"  // command ids
#include "velquor/ui/velquor_win.h"  // hwndMain

// ---------------------------------------------------------------- state

extern char fcpath[1024];                                 // path of the configuration file
extern int32_t is_start;                                  // 1 once the first content is built
extern int32_t win_left, win_top, win_width, win_height;  // main window geometry
extern int32_t w_y_offs;  // frame height added to win_height (0: the layer takes client sizes)

// Results of the start-up beyond the exit codes.
constexpr int vq_start_ok = -1;

// ---------------------------------------------------------------- start-up and end

// Connects the layers: hands the action table to the sequencer and fills the
// window seam through which the end steps, the link and the status display
// reach the main window. The first step of vq_startup; programs and tests that
// build their own start-up call it themselves. Safe to call again.
void vq_wire(void);
// Start-up up to the main window: binds the helper library, sets the defaults,
// probes networking, loads the configuration named by cmdline (empty: ./std.cfg),
// checks the geometry and file names, loads the macro file and starts the log.
// vq_start_ok, or the exit code (1 when the library could not be bound).
int vq_startup(const char *cmdline);
// Registers the menus and creates the main window (visible or hidden); its
// contents are built by timer 171 from the loop. The window, or -1.
int vq_create_window(bool visible);
// Stops the running operation, if any: every run ends after the step it is in
// (waits for the link end at once), the loop is pumped until its worker has
// left (at most timeout_ms), then the operation's file and the link are closed
// and the window is idle. False when a worker did not leave in time.
bool vq_stop_operation(int timeout_ms);
constexpr int vq_stop_wait_ms = 10000;
// Stops the running operation, saves the configuration (when save), closes it
// and frees the library (not while a stopped worker has not left, which
// could still be inside it).
void vq_shutdown(bool save);
// The whole program: start-up, window, loop, shut-down. Returns the exit code.
int WinMain_vq(const char *cmdline);

// Checks the stored geometry: 0 fits; 1 a negative position or empty size; 2
// too wide; 3 too high for the screen. Non-zero restores the default geometry.
int mw_check_window(int32_t left, int32_t top, int32_t width, int32_t height);

// ---------------------------------------------------------------- window procedure

int MainWndProc(int hwnd, int msg, int p1, int p2);
// Dispatches a command: p1 = command id (low 16 bits used), p2 = notification;
// edit change notifications are ignored. Each command id has one row in the
// dispatch table: it prepares the window state (busy, fields stored) and
// starts its operation; ids without a row do nothing.
void check_cmd(int hwnd, int p1, int p2);
// True when check_cmd has a row for the command id.
bool check_cmd_known(int id);
// WM_MOVE: keeps the position as signed 16-bit values.
void savePos(int x, int y);

// ---------------------------------------------------------------- files and viewers

// Open-file dialog: filter is "label,pattern,label,pattern..." (the second pair
// preselected), select the name to start with. 0 chosen (the path, cut to
// buflen - 1, in buffer), 1 cancelled, 11 an argument missing or hwnd -1.
int GetFileName(int hwnd, const char *title, char *buffer, size_t buflen, const char *filter,
                const char *def_ext, const char *select);
// Starts the viewer "pre file suff" without waiting. 0 started, 1 an argument
// missing, 2 empty file name, 3 the viewer could not be started.
int show_file(const char *pre, const char *suff, const char *fname);
