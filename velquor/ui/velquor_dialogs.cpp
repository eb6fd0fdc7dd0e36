// Status and progress dialogs. The dialogs themselves come with the operator
// interface; until then enabling their Cancel button has nothing to act on.
#include "velquor_dialogs.h"

void stat_dlgs_enab_stop(int enab) { (void)enab; }
