// The front end a host runs with, chosen on its command line, wrapped so that the host can
// tell afterwards whether anything the user was shown says that work was left undone.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/wipe.h"
#include "ui/frontend.h"

namespace vlt::host {

struct FrontendChoice {
    enum class Kind { Automatic, Qt, Tty, Headless };
    Kind kind = Kind::Automatic;  // Qt with a display (where built), else the terminal
    std::string answers;          // headless: the script
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

// Relative paths made absolute against the working directory (leading "./" dropped).
std::vector<std::string> absolutePaths(const std::vector<std::string>& paths);

// What the user was shown, as far as it tells about the run's outcome.
struct Observed {
    int failures = 0;          // message boxes that report a refusal or failure
    int declined = 0;          // questions answered Cancel, save dialogs cancelled
    bool progressShown = false;
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
    const std::string& error() const { return m_error; }
    Observed observed() const;
    // Answers a dialog before the front end sees it: called on the dialog's thread when a
    // dialog with this resource number appears; true when it took care of the dialog.
    void presetDialog(int resourceId, std::function<bool(HWND dialog)> answer);
    // 0 when nothing shown reported a failure or a refusal; with expectWork, the progress
    // dialog must also have appeared (no dialog: the command stopped before any file).
    int exitStatus(bool expectWork = false) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
};

}  // namespace vlt::host
