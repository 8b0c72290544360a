// The seam between the Windows-style user interface calls and whatever shows them: a script
// with a transcript (tests), the terminal, or real windows. One front end serves the process;
// it is chosen at start-up.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "base/export.h"
#include "ui/resources.h"
#include "win32/windef.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

struct MessageBoxRequest {
    HWND owner = nullptr;
    std::string text;     // in the ANSI code page, as the suite wrote it
    std::string caption;
    UINT style = 0;
};

// The common open and save dialogs (GetOpenFileNameA, GetSaveFileNameA) ask with this.
struct FileDialogRequest {
    HWND owner = nullptr;
    bool open = false;  // an open dialog: the file chosen is read, not written
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
    std::string initialDir;   // always a folder of this machine (ui/file_choice.h)
    std::string initialName;  // never a pattern
    std::string defaultExt;   // without the dot; added to a name typed without one
    DWORD flags = 0;
};

struct FileDialogAnswer {
    bool accepted = false;
    std::string path;  // full path when accepted
    DWORD error = 0;   // not accepted: CDERR_* when the dialog could not be shown, 0 when cancelled
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

// An icon in the desktop's notification area (Shell_NotifyIconA), with its whole state.
struct NotifyIconRequest {
    enum class Action { Add, Modify, Delete };
    Action action = Action::Add;
    HWND owner = nullptr;  // the window its mouse messages go to
    UINT id = 0;           // the owner's number for it
    UINT callbackMessage = 0;  // 0: the owner wants no mouse messages
    HINSTANCE iconModule = nullptr;
    int iconId = 0;        // the icon's resource number; 0 when it has none
    Image icon;            // empty when it has none
    std::string tip;       // in the ANSI code page
};

// A passing message from the desktop (a notification bubble), not a question.
struct NotificationRequest {
    std::string appName;  // the program that speaks
    std::string summary;
    std::string body;
};

// Style: colours, underline, tooltip or cursor; Paint: the paint records; Geometry: moved or
// resized.
enum class Change { Text, Enabled, Visible, Check, Progress, Items, Animation, Focus, Style, Paint, Geometry };

// Every method may be called from any thread (workers show message boxes); each front end
// brings calls to where its own toolkit needs them.
class Frontend {
public:
    virtual ~Frontend() = default;
    // Returns IDOK, IDCANCEL, IDYES, IDNO, ...
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    virtual FileDialogAnswer saveDialog(const FileDialogRequest& request) = 0;
    // A front end that cannot ask for a file to open answers Cancel.
    virtual FileDialogAnswer openDialog(const FileDialogRequest&) { return {}; }

    // A dialog (modal or not) or a visible top-level window appeared, after WM_INITDIALOG.
    virtual void windowShown(HWND) {}
    // Something visible about a window or control changed.
    virtual void windowChanged(HWND, Change) {}
    // A window shown earlier is about to be destroyed.
    virtual void windowClosing(HWND) {}
    // TrackPopupMenu: the command id chosen, 0 when dismissed.
    virtual UINT popupMenu(const PopupMenuRequest&) { return 0; }

    // Shows, changes or removes an icon in the notification area; false when the desktop has
    // none (or the change did not take). Clicks on it come back through notifyIconEvent()
    // (ui/notify_icon.h).
    virtual bool notifyIcon(const NotifyIconRequest&) { return false; }
    // Shows a desktop notification; false when there is no one to show it.
    virtual bool showNotification(const NotificationRequest&) { return false; }
    // MessageBeep: a sound, or a note of it (type is the MB_ICON* value).
    virtual void beep(UINT /*type*/) {}
    // Where the pointer is, in screen coordinates; false when the front end cannot tell.
    virtual bool cursorPos(POINT&) { return false; }

    // A GUI toolkit that must run its own event loop on the thread that waits for messages
    // says so; the runtime then waits through processEvents instead of sleeping, and calls
    // wake() whenever it queues a message for some thread.
    virtual bool runsEventLoop() const { return false; }
    virtual void processEvents(std::chrono::steady_clock::time_point /*until*/,
                               const std::function<bool()>& /*stop*/) {}
    virtual void wake() {}
};

// The process's front end; without one installed, message boxes return their default button
// and file dialogs are cancelled. The caller keeps ownership.
void setFrontend(Frontend* frontend);
Frontend* frontend();
// Whether an X or Wayland display is there for a windowed front end.
bool haveDisplay();

// The button a message box of this style answers by default (MB_DEFBUTTONn of its buttons).
int defaultButton(UINT style);
// The buttons a style offers, in order (e.g. {IDYES, IDNO}).
std::vector<int> buttons(UINT style);

}  // namespace vlt::ui

VLT_EXPORT_END
