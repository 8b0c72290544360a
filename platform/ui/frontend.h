// The seam between the Windows-style user interface calls and whatever shows them: a script
// with a transcript (tests), the terminal, or real windows. One front end serves the process;
// it is chosen at start-up.
#pragma once

#include <string>
#include <vector>

#include "win32/windef.h"

namespace vlt::ui {

struct MessageBoxRequest {
    HWND owner = nullptr;
    std::string text;     // in the ANSI code page, as the suite wrote it
    std::string caption;
    UINT style = 0;
};

struct SaveDialogRequest {
    HWND owner = nullptr;
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
    std::string initialDir;
    std::string initialName;
    DWORD flags = 0;
};

struct SaveDialogAnswer {
    bool accepted = false;
    std::string path;  // full path when accepted
};

class Frontend {
public:
    virtual ~Frontend() = default;
    // Returns IDOK, IDCANCEL, IDYES, IDNO, ...
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    virtual SaveDialogAnswer saveDialog(const SaveDialogRequest& request) = 0;
};

// The process's front end; without one installed, message boxes return their default button
// and save dialogs are cancelled. The caller keeps ownership.
void setFrontend(Frontend* frontend);
Frontend* frontend();

// The button a message box of this style answers by default (MB_DEFBUTTONn of its buttons).
int defaultButton(UINT style);
// The buttons a style offers, in order (e.g. {IDYES, IDNO}).
std::vector<int> buttons(UINT style);

}  // namespace vlt::ui
