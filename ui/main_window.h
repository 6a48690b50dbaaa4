// The process's top-level window: a frame with the menu around the dialog.
#pragma once

#include <windows.h>

// Start-up up to the message loop: keeps the instance, registers the window
// class, creates the frame (and with it the dialog), forms the help file
// path, takes a data file name from the command line and shows the frame.
// Returns false when the frame or the dialog could not be created; the
// failure message has then been shown.
bool openMainWindow(HINSTANCE instance, const char* commandLine, int showCommand);

// Runs the message loop until WM_QUIT, offering every message to the dialog
// first; returns the quit message's exit code.
int runMessageLoop();

// Window procedure of the frame: menu commands, dropped files, the end.
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the command line's first blank- or tab-delimited token into the data
// file field when it names an existing file that is not a directory. A token
// of MAX_PATH characters or more cannot be looked up and is ignored.
void takeCommandLineFile(const char* commandLine);

// Fills analysisState.helpFilePath with "Tarquel.hlp" in the executable's
// directory.
void buildHelpPath();

// True when `path` names an existing file that is not a directory.
bool isExistingFile(const char* path);
