// The program's main window handle.
#include "velquor_main.h"

int hwndMain = -1;
