// Status and progress dialogs shown while an operation runs.
#pragma once

// Enables (1) or disables (0) the Cancel button of the status dialogs.
void stat_dlgs_enab_stop(int enab);
