// Entry point of tarquel.exe: start-up, then the message loop until the
// frame is destroyed.
#include <windows.h>

#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    if (!openMainWindow(instance, commandLine, showCommand)) {
        return 0;
    }
    return runMessageLoop();
}
