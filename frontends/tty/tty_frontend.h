// The terminal front end: message boxes appear on standard error as "CAPTION: TEXT"; a
// question takes the answer given on the command line (--yes/--no), else asks on the
// terminal, else takes its default button.
//
// Dialogs are handled by what they contain: a password field is asked for without echo, list
// views are printed numbered and one entry is chosen, a progress bar is drawn on standard
// error (Ctrl-C presses Cancel). The questions are asked on the dialog's own thread when its
// message loop waits, so the dialog has handled what was typed before it is asked again.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/result.h"
#include "ui/frontend.h"

namespace vlt::frontends {

// A line typed without echo, and how it ended.
struct HiddenInput {
    enum class End { Line, EndOfInput, Interrupted };  // Enter; Ctrl-D; Ctrl-C
    std::string text;
    End end = End::Line;
};

struct TtyOptions {
    std::optional<bool> yes;                // --yes / --no
    std::optional<std::string> outputName;  // answers the save dialog
    std::optional<std::string> inputName;   // answers the open dialog
    bool interactive = false;               // a person at the terminal can be asked
    // --password-stdin: answers a password dialog without asking (once; a dialog that stays
    // open after it is cancelled). Wiped when the front end is destroyed.
    std::optional<std::string> password;

    // Where answers come from; the terminal when unset (tests put scripts here).
    std::function<Result<HiddenInput>(const std::string& prompt)> readHidden;
    std::function<std::optional<std::string>()> readLine;  // nullopt at end of input
};

class TtyFrontend final : public ui::Frontend {
public:
    explicit TtyFrontend(TtyOptions options, std::FILE* out = stderr);
    ~TtyFrontend() override;
    TtyFrontend(const TtyFrontend&) = delete;
    TtyFrontend& operator=(const TtyFrontend&) = delete;

    int messageBox(const ui::MessageBoxRequest& request) override;
    ui::FileDialogAnswer saveDialog(const ui::FileDialogRequest& request) override;
    ui::FileDialogAnswer openDialog(const ui::FileDialogRequest& request) override;
    // The menu numbered on the terminal; a number chooses (tty/menu_prompt.h).
    UINT popupMenu(const ui::PopupMenuRequest& request) override;

    void windowShown(HWND hwnd) override;
    void windowChanged(HWND hwnd, ui::Change change) override;
    void windowClosing(HWND hwnd) override;

    // The waits of the window runtime come here: questions are asked when the dialog's thread
    // is idle, and Ctrl-C becomes a click on Cancel.
    bool runsEventLoop() const override { return true; }
    void processEvents(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) override;
    void wake() override;

    // How many message boxes were shown with a warning or error icon.
    int warnings() const { return m_warnings; }

private:
    struct Dialogs;
    // Asks what a dialog of the calling thread wants and injects the answer.
    void converse(HWND hwnd);
    // A name given on the command line, else asked for until the dialog takes one; empty
    // cancels.
    ui::FileDialogAnswer askForFile(const ui::FileDialogRequest& request, const std::optional<std::string>& given);

    TtyOptions m_options;
    std::FILE* m_out;
    std::atomic<int> m_warnings{0};  // workers show message boxes too
    std::unique_ptr<Dialogs> m_dialogs;
};

// Reads a password from the controlling terminal without echo. Fails without a terminal.
// Ctrl-C at the prompt restores the terminal before the signal takes its course.
Result<std::string> readHiddenLine(const std::string& prompt);
// The same, telling Enter, Ctrl-D and Ctrl-C apart (Ctrl-C does not end the process here).
Result<HiddenInput> readHiddenInput(const std::string& prompt);

bool stdinIsTerminal();

}  // namespace vlt::frontends
