// The Options menu: how the next run reads the data file (status words as
// suspensions or not), which shape solver it uses and the level of its
// bounds. The choices live in analysisState and start afresh with every
// start of the program; the menu's marks show them.
#pragma once

#include <windows.h>

// Puts the choices back to their start (no suspensions, the damped
// iteration, bounds at 90 %) and marks the menu accordingly.
void resetOptionsMenu();

// A command of the Options menu (IDM_READ_SUSPENSIONS .. IDM_BOUNDS_99):
// toggles the check item or moves the radio mark within its group, and
// stores the choice. Ignored while the item is greyed (a run is busy).
void chooseOption(UINT item);

// Enables every Options item while idle and greys them while busy.
void enableOptionsMenu(bool idle);
