// Opening the help for the Help button and the menu's Contents.
#pragma once

#include <windows.h>

// Opens the help file analysisState.helpFilePath in the platform's help
// viewer (its topics window). Where there is no such file or no viewer, opens
// the help document shipped beside it (same name, ".html") instead.
void openHelpContents(HWND owner);
