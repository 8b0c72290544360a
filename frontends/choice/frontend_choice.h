// The front end a host runs with, chosen on its command line, wrapped so that the host can
// tell afterwards whether anything the user was shown says that work was left undone.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/wipe.h"
#include "ui/frontend.h"

// The options parseFrontendOption takes that pick the front end, for the hosts' help texts.
#define VLT_FRONTEND_OPTIONS_HELP                                                \
    "front ends: --qt (windows; the default with a display), --tty (the terminal),\n" \
    "            --answers FILE [--transcript FILE] (scripted, for tests)\n"

namespace vlt::frontends {

struct FrontendChoice {
    // None: no front end; message boxes take their default answers.
    enum class Kind { Automatic, Qt, Tty, Headless, None };
    Kind kind = Kind::Automatic;  // Qt with a display (where built), else the fallback
    Kind fallback = Kind::Tty;    // a program without a terminal (the tray) runs with None
    std::string answers;          // headless: the script; none: every dialog takes its default
    std::string transcript;       // headless: where the transcript goes
    std::optional<bool> yes;      // --yes / --no
    std::optional<std::string> outputName;
    std::optional<std::string> password;  // read by --password-stdin before the run

    ~FrontendChoice() {
        if (password) base::secureWipe(*password);
    }
};

// Consumes args[i] (and the value after it) when it is a front-end option:
// --qt, --tty, --answers FILE, --transcript FILE, --yes, --no, --output-name NAME.
bool parseFrontendOption(const std::vector<std::string>& args, std::size_t& i, FrontendChoice& choice);

// What the user was shown, as far as it tells about the run's outcome.
struct Observed {
    int failures = 0;          // message boxes that report a refusal or failure
    int declined = 0;          // questions answered Cancel, save dialogs cancelled
    std::set<int> dialogsShown;  // resource numbers of the dialogs that appeared
    std::vector<std::string> savedTo;  // paths chosen in save dialogs
};

// A front end the program makes itself: real windows live only in programs that link Qt.
class ProgramFrontend {
public:
    virtual ~ProgramFrontend() = default;
    virtual ui::Frontend& frontend() = 0;
};
using FrontendFactory = std::function<std::unique_ptr<ProgramFrontend>(int& argc, char** argv)>;

class FrontendScope {
public:
    // windows: makes the Qt front end (for FrontendChoice::Kind::Qt and, with a display,
    // Automatic); without it those choices fall back to the terminal or are refused.
    FrontendScope(const FrontendChoice& choice, int& argc, char** argv, FrontendFactory windows = {});
    ~FrontendScope();
    FrontendScope(const FrontendScope&) = delete;
    FrontendScope& operator=(const FrontendScope&) = delete;

    bool ok() const { return m_error.empty(); }
    // Whether the program's own windows (Qt) were made.
    bool windows() const;
    const std::string& error() const { return m_error; }
    Observed observed() const;
    // Answers a dialog before the front end sees it: called on the dialog's thread when a
    // dialog with this resource number appears; true when it took care of the dialog.
    void presetDialog(int resourceId, std::function<bool(HWND dialog)> answer);
    // 0 when nothing shown reported a failure or a refusal; with workDialog, that dialog (a
    // progress dialog) must also have appeared (none: the command stopped before any work).
    int exitStatus(int workDialog = 0) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
};

}  // namespace vlt::frontends
