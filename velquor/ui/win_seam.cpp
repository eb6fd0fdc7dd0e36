// The seam to the main window: each wrapper calls the window's function when
// one is set and does nothing otherwise.
#include "velquor/ui/win_seam.h"

win_seam_T win_seam = {nullptr, nullptr, nullptr, nullptr};

void win_contents(int mode) {
    if (win_seam.contents) win_seam.contents(mode);
}

void win_paint_enab(void) {
    if (win_seam.paint_enab) win_seam.paint_enab();
}

void win_debug_line(const char *line) {
    if (win_seam.debug_line) win_seam.debug_line(line);
}

void win_ask(int what) {
    if (win_seam.ask) win_seam.ask(what);
}
