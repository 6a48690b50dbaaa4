// The Options menu: how the next run reads the data file (status words as
// suspensions or not), which shape solver it uses, the level of its bounds,
// whether it also ranks the other distributions, how Auto Gamma finds gamma
// (the plot's curvature or the likelihood) and how m is found (likelihood or
// rank regression on y or on x). The choices live in analysisState and start afresh with every
// start of the program; the menu's marks show them.
#pragma once

#include <windows.h>

// Puts the choices back to their start (no suspensions, the damped
// iteration, bounds at 90 %, no comparison, gamma by curvature, m by
// likelihood) and marks the menu accordingly.
void resetOptionsMenu();

// A command of the Options menu (IDM_READ_SUSPENSIONS .. IDM_SHAPE_RRX):
// toggles a check item or moves the radio mark within its group, and
// stores the choice. Ignored while the item is greyed (a run is busy).
void chooseOption(UINT item);

// Enables every Options item while idle and greys them while busy.
void enableOptionsMenu(bool idle);
