// The seam between the Windows-style user interface calls and whatever shows them: a script
// with a transcript (tests), the terminal, or real windows. One front end serves the process;
// it is chosen at start-up.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "win32/windef.h"
#include "win32/winuser.h"

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

struct MenuItem {
    UINT id = 0;  // command id; 0 for a separator or a submenu
    std::string text;
    bool separator = false;
    bool grayed = false;
    bool checked = false;
    std::vector<MenuItem> submenu;  // for MF_POPUP items
};

struct PopupMenuRequest {
    HWND owner = nullptr;
    POINT at{};
    std::vector<MenuItem> items;
};

enum class Change { Text, Enabled, Visible, Check, Progress, Items, Animation, Focus };

// Every method may be called from any thread (workers show message boxes); each front end
// brings calls to where its own toolkit needs them.
class Frontend {
public:
    virtual ~Frontend() = default;
    // Returns IDOK, IDCANCEL, IDYES, IDNO, ...
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    virtual SaveDialogAnswer saveDialog(const SaveDialogRequest& request) = 0;

    // A dialog (modal or not) or a visible top-level window appeared, after WM_INITDIALOG.
    virtual void windowShown(HWND) {}
    // Something visible about a window or control changed.
    virtual void windowChanged(HWND, Change) {}
    // A window shown earlier is about to be destroyed.
    virtual void windowClosing(HWND) {}
    // TrackPopupMenu: the command id chosen, 0 when dismissed.
    virtual UINT popupMenu(const PopupMenuRequest&) { return 0; }

    // A GUI toolkit that must run its own event loop on the thread that waits for messages
    // says so; the runtime then waits through processEvents instead of sleeping, and calls
    // wake() whenever it queues a message for some thread.
    virtual bool runsEventLoop() const { return false; }
    virtual void processEvents(std::chrono::steady_clock::time_point /*until*/,
                               const std::function<bool()>& /*stop*/) {}
    virtual void wake() {}
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
