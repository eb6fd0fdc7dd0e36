// velquor: the window program's entry.
//
// The whole command line is the path of the configuration file (empty:
// ./std.cfg), joined with blanks as a classic program receives it, so a path
// with a blank needs no quotes. The window layer's Qt backend draws the window;
// without a display the program says so and ends with exit code 1.
// A few options of the toolkit itself (-platform ...) are taken by Qt first.
#include <cstdio>
#include <string>

#include "platform/win.h"
#include "velquor/ui/velquor_main.h"

int main(int argc, char **argv) {
    if (!plat::win_use_qt(argc, argv)) {
        fprintf(stderr, "velquor: no display (set DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM)\n");
        return 1;
    }
    std::string cmdline;
    for (int i = 1; i < argc; i++) {
        if (i > 1) cmdline += ' ';
        cmdline += argv[i];
    }
    int rc = WinMain_vq(cmdline.c_str());
    plat::win_shutdown();
    return rc;
}
