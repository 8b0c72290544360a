// The test front end: answers every message box and dialog from a script and keeps a
// transcript of what was shown, so behaviour can be asserted without a display.
//
// Script lines (loadScript); blank lines and lines starting with '#' are ignored:
//   message IDYES                 answers the next message box (any ID* name or a number)
//   save PATH | save cancel       answers the next save dialog
//   open PATH | open cancel       answers the next open dialog; a PATH the dialog refuses (a
//                                 missing file) is noted and the next answer is taken
//   menu 1039 | menu none         answers the next popup menu with that command, or dismisses it
//   tray click left|right|middle|double
//                                 clicks the notification-area icon once one is shown (in
//                                 order, each once; an icon shown already is clicked at once)
//   tray none                     the desktop has no notification area: icons are refused
//   dialog 130 ACTION; ACTION...  acts on the next showing of dialog 130, in order (a
//                                 property page is shown when it first becomes current)
//   sheet ACTION; ACTION...       acts on the next property sheet shown
// Dialog actions (CTL is a control id; TEXT is one word or "quoted", with \" \\ \n \t):
//   type CTL TEXT                 types TEXT into an edit control (replacing its text)
//   click CTL                     clicks a button (check boxes toggle, radio buttons select) or
//                                 an SS_NOTIFY static
//   hover CTL                     rests the pointer on a control (WM_SETCURSOR)
//   select CTL N | select CTL "TEXT"      clicks list item N (or the item with that text);
//                                          on a combo box, selects it; N -1 clicks empty space
//   activate CTL N | activate CTL "TEXT"  double-clicks a list item
//   enter                         presses Enter (the default button)
//   cancel                        presses Escape
//   wait-steps N                  waits until the dialog's progress bar has stepped N times
//   cancel-after-steps N          wait-steps N, then click 2 (the Cancel button)
//   tab N | tab "CAPTION"         on a sheet: selects page N (from 0) or the page with that
//                                 caption through the tab control (click 1 is OK, click 2
//                                 Cancel, click 12321 Apply); on a wizard (its tab control is
//                                 hidden) click 12323 is Back, 12324 Next, 12325 Finish
// Several "dialog" lines for one id serve its showings in order. Actions go through
// ui::input, so they make the messages a user would. A dialog without actions waits for its
// own code (a progress dialog is closed by its worker); a modal dialog whose thread handles no
// message for the watchdog period (30 s) is recorded as "timeout" and ended with IDCANCEL, so
// a broken test fails instead of hanging.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/result.h"
#include "ui/frontend.h"
#include "ui/notify_icon.h"
#include "ui/state.h"

namespace vlt::frontends {

// One control of a dialog as it looked.
struct ControlRecord {
    int id = 0;
    ui::ControlKind kind = ui::ControlKind::Static;
    std::string text;  // an ES_PASSWORD edit shows one '*' per character
    bool enabled = true;
    bool visible = true;
    bool focused = false;
    int check = 0;
    std::vector<ui::ListItem> items;
    int rangeMin = 0, rangeMax = 0, position = 0;  // progress bar
    int iconId = 0;
    int animationId = 0;
    bool playing = false;
    std::string tip;         // the tooltip over it
    bool hasTextColor = false;
    COLORREF textColor = 0;
    bool transparent = false;
    bool underline = false;
    int cursorId = 0;        // the cursor it set on WM_SETCURSOR (0: the arrow)
};

struct TranscriptEntry {
    enum class Kind { MessageBox, SaveDialog, OpenDialog, DialogShown, DialogClosed, PopupMenu, Note, TrayIcon, Notification };
    Kind kind = Kind::MessageBox;
    std::string caption;  // message box caption, file dialog title, dialog caption
    std::string text;     // message box text, the file dialog's initial name, a note
    UINT style = 0;       // message box style, or the file dialog's OFN_* flags
    std::string folder;   // file dialog: initial folder
    int answer = 0;       // button pressed; file dialog: IDOK or IDCANCEL; dialog closed: its
                          // result; popup menu: the command chosen (0 dismissed)
    std::string path;     // file dialog: the chosen path
    int resourceId = 0;   // dialogs
    bool sheet = false;   // the dialog is a property sheet (its tab control lists the pages)
    std::vector<ControlRecord> controls;  // dialogs, in template order
    std::vector<ui::PaintOp> paint;       // dialogs: what their last WM_PAINT drew
    std::vector<ui::MenuItem> menu;       // popup menu
    // TrayIcon: caption "add", "modify" or "delete", text the tip, resourceId the picture's
    // resource number, style the icon's id, answer 1 when shown (0: the desktop has no tray).
    // A modification of the tip alone right after a modification of the same icon replaces it,
    // so a countdown in the tip does not grow the transcript. Notification: caption the summary, text the body.
};

// An icon in the notification area as the user sees it now.
struct TrayIconRecord {
    HWND owner = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    int iconId = 0;  // the picture's resource number
    std::string tip;
};

struct DialogAction {
    DialogAction() = default;
    DialogAction(const DialogAction&) = default;
    DialogAction(DialogAction&&) = default;
    DialogAction& operator=(const DialogAction&) = default;
    DialogAction& operator=(DialogAction&&) = default;
    ~DialogAction();  // a typed answer may be a password: its text is wiped

    enum class Kind { Type, Click, Hover, Select, Activate, Enter, Cancel, WaitSteps, Tab };
    Kind kind = Kind::Click;
    int control = 0;
    std::string text;     // Type: what to type; Select/Activate/Tab: the item's text when byText
    int index = -1;       // Select/Activate/Tab by position
    bool byText = false;
    int count = 0;        // WaitSteps

    static DialogAction type(int control, std::string text);
    static DialogAction click(int control);
    static DialogAction hover(int control);
    static DialogAction select(int control, int index);
    static DialogAction select(int control, std::string itemText);
    static DialogAction activate(int control, int index);
    static DialogAction activate(int control, std::string itemText);
    static DialogAction enter();
    static DialogAction cancel();
    static DialogAction waitSteps(int count);
    static DialogAction tab(int index);
    static DialogAction tab(std::string caption);
};

class HeadlessFrontend final : public ui::Frontend {
public:
    HeadlessFrontend();
    ~HeadlessFrontend() override;
    HeadlessFrontend(const HeadlessFrontend&) = delete;
    HeadlessFrontend& operator=(const HeadlessFrontend&) = delete;

    // Queues answers, used in order. Without a queued answer a message box gets its default
    // button, a file dialog is cancelled and a popup menu is dismissed.
    void answerMessageBox(int button);
    void answerSaveDialog(std::optional<std::string> path);  // nullopt = Cancel
    void answerOpenDialog(std::optional<std::string> path);  // nullopt = Cancel
    void answerMenu(UINT command);                           // 0 = dismiss
    // Actions for the next showing of dialog `resourceId` (one call per showing).
    void onDialog(int resourceId, std::vector<DialogAction> actions);
    // The same in script syntax: "type 1000 secret; click 1".
    Result<void> scriptDialog(int resourceId, const std::string& actions);
    // Actions for the next property sheet shown (one call per sheet).
    void onSheet(std::vector<DialogAction> actions);

    // The script format described at the top of this file.
    Result<void> loadScript(const std::string& text);

    // How long a modal dialog's thread may stay idle before the dialog is ended.
    void setWatchdog(std::chrono::milliseconds period);

    int messageBox(const ui::MessageBoxRequest& request) override;
    ui::FileDialogAnswer saveDialog(const ui::FileDialogRequest& request) override;
    ui::FileDialogAnswer openDialog(const ui::FileDialogRequest& request) override;
    void windowShown(HWND hwnd) override;
    void windowChanged(HWND hwnd, ui::Change what) override;
    void windowClosing(HWND hwnd) override;
    UINT popupMenu(const ui::PopupMenuRequest& request) override;
    // A note "beep 0x30" in the transcript.
    void beep(UINT type) override;

    // The notification area: present unless told otherwise (a desktop without one refuses
    // icons, as Shell_NotifyIconA then reports).
    void setTrayAvailable(bool available);
    std::vector<TrayIconRecord> trayIcons() const;
    // Clicks the newest icon (the mouse messages of ui::mouseMessagesFor); false when none is
    // shown. The messages are posted: the owner's thread handles them in its message loop.
    bool clickTrayIcon(ui::IconClick click);
    // One mouse message alone, e.g. a press without its release.
    bool trayMouse(UINT mouseMessage);

    bool notifyIcon(const ui::NotifyIconRequest& request) override;
    bool showNotification(const ui::NotificationRequest& request) override;

    std::vector<TranscriptEntry> transcript() const;
    std::vector<TranscriptEntry> messageBoxes() const;
    // The transcript as text, one line per entry (and one per control), for files and
    // failure output.
    std::string transcriptText() const;
    void clear();

    struct Core;

private:
    std::shared_ptr<Core> m_core;  // queued dialog actions keep it alive
    std::thread m_watchdog;
};

// "IDYES" -> 6; also accepts a decimal number. 0 when unknown.
int buttonFromName(const std::string& name);
std::string buttonName(int button);
// "Edit", "ListView", ...
std::string controlKindName(ui::ControlKind kind);

}  // namespace vlt::frontends
