// The terminal front end: message boxes appear on standard error as "CAPTION: TEXT"; a
// question takes the answer given on the command line (--yes/--no), else asks on the
// terminal, else takes its default button.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "base/result.h"
#include "ui/frontend.h"

namespace vlt::frontends {

struct TtyOptions {
    std::optional<bool> yes;                // --yes / --no
    std::optional<std::string> outputName;  // answers the save dialog
    bool interactive = false;               // a person at the terminal can be asked
};

class TtyFrontend final : public ui::Frontend {
public:
    explicit TtyFrontend(TtyOptions options, std::FILE* out = stderr);

    int messageBox(const ui::MessageBoxRequest& request) override;
    ui::SaveDialogAnswer saveDialog(const ui::SaveDialogRequest& request) override;

    // How many message boxes were shown with a warning or error icon.
    int warnings() const { return m_warnings; }

private:
    TtyOptions m_options;
    std::FILE* m_out;
    int m_warnings = 0;
};

// Reads a password from the controlling terminal without echo. Fails without a terminal.
Result<std::string> readHiddenLine(const std::string& prompt);
// Reads the first line of standard input (without its line end).
Result<std::string> readFirstStdinLine();

bool stdinIsTerminal();

}  // namespace vlt::frontends
