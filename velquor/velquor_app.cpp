// velquor: the window program's entry.
//
// The whole command line is the path of the configuration file (empty:
// ./std.cfg), joined with blanks as a classic program receives it, so a path
// with a blank needs no quotes. An argument that begins with "-" is an option,
// never a path: --help and --version print and end, any other is refused. The
// window layer's Qt backend draws the window; without a display the program
// says so and ends with exit code 1. A few options of the toolkit itself
// (-platform ...) are taken by Qt first.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win.h"
#include "velquor/operations/vf_images.h"
#include "velquor/ui/text_ar.h"
#include "velquor/ui/velquor_main.h"
#include "velquor_icon.h"

namespace {

const char usage[] =
    "usage: velquor [CONFIGURATION-FILE]\n"
    "\n"
    "The service tool's window. The configuration file (default ./std.cfg) is\n"
    "read at the start and written back at the end; a file that does not read as\n"
    "a configuration is never written. velquor-cli runs the same operations from\n"
    "scripts.\n"
    "\n"
    "  --help     this text\n"
    "  --version  the program's version\n";

}  // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            char images[512];
            images_version_text(images, sizeof images);
            printf("velquor %s\n%s\n", VER_APP_NUM, images);
            return 0;
        }
    }
    if (!plat::win_use_qt(argc, argv)) {
        fprintf(stderr, "velquor: no display (set DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM)\n");
        return 1;
    }
    plat::win_set_app_icon("velquor", velquor_icon_svg);
    std::string cmdline;
    for (int i = 1; i < argc; i++) {
        if (argv[i][0] == '-') {  // what the toolkit left is no option of ours
            fprintf(stderr, "velquor: unknown option %s\n%s", argv[i], usage);
            plat::win_shutdown();
            return 2;
        }
        if (i > 1) cmdline += ' ';
        cmdline += argv[i];
    }
    int rc = WinMain_vq(cmdline.c_str());
    plat::win_shutdown();
    return rc;
}
