#include "ui/help.h"

#include <cstring>

#include <shellapi.h>

#include "engine/analysis_state.h"
#include "ui/main_window.h"

namespace {

const char documentExtension[] = ".html";

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
    if (isExistingFile(analysisState.helpFilePath) &&
        WinHelpA(owner, analysisState.helpFilePath, HELP_FINDER, 0)) {
        return;
    }
    char document[MAX_PATH + 8];
    if (formDocumentPath(document)) {
        ShellExecuteA(owner, "open", document, nullptr, nullptr, SW_SHOWNORMAL);
    }
}
