#include "ui/help.h"

#include <cstdio>
#include <cstring>

#include <shellapi.h>

#include "run/analysis_state.h"
#include "ui/main_window.h"

namespace {

const char documentExtension[] = ".html";
const char helpCaption[] = "Tarquel help";

// The document beside the help file: helpFilePath with ".hlp" replaced.
bool formDocumentPath(char (&document)[MAX_PATH + 8]) {
    const char* helpPath = analysisState.helpFilePath;
    const char* dot = std::strrchr(helpPath, '.');
    if (dot == nullptr) {
        return false;
    }
    std::size_t stem = static_cast<std::size_t>(dot - helpPath);
    if (stem + sizeof documentExtension > sizeof document) {
        return false;
    }
    std::memcpy(document, helpPath, stem);
    std::memcpy(document + stem, documentExtension, sizeof documentExtension);
    return true;
}

}  // namespace

void openHelpContents(HWND owner) {
    // Without the .hlp file the viewer (where one exists at all: Windows 10
    // and Wine ship only a stub or a bare viewer) would merely report a
    // missing file, so the shipped document is opened instead.
    if (isExistingFile(analysisState.helpFilePath) && WinHelpA(owner, analysisState.helpFilePath, HELP_FINDER, 0)) {
        return;
    }
    char document[MAX_PATH + 8];
    if (!formDocumentPath(document)) {
        return;
    }
    // ShellExecuteA answers 32 or less on failure, for example where no
    // program is registered for .html (a bare Wine prefix); then at least say
    // where the document is.
    HINSTANCE opened = ShellExecuteA(owner, "open", document, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(opened) <= 32) {
        char text[MAX_PATH + 64];
        std::snprintf(text, sizeof text, "The help document is\n%s", document);
        MessageBoxA(owner, text, helpCaption, MB_ICONINFORMATION | MB_OK);
    }
}
