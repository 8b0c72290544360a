// Shared pieces of the vlt command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "frontends/choice/frontend_choice.h"

namespace vlt::cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

// The words after the command, split into options and operands. Options take their value
// from the next word ("--name Marta") or after '=' ("--name=Marta").
class Args {
public:
    Args(std::vector<std::string> words, std::vector<std::string> flags, std::vector<std::string> valued);
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    bool flag(const std::string& name) const;
    std::optional<std::string> value(const std::string& name) const;
    const std::vector<std::string>& operands() const { return m_operands; }

private:
    std::vector<std::pair<std::string, std::string>> m_options;
    std::vector<std::string> m_operands;
    std::string m_error;
};

// Front-end options every command understands.
inline const std::vector<std::string> kCommonFlags = {"--yes", "--no", "--password-stdin"};
inline const std::vector<std::string> kCommonValued = {"--output-name", "--answers", "--transcript"};

// Reads a password: the first line of standard input with --password-stdin, else from the
// terminal without echo (twice when confirm is set). Converted to the ANSI code page.
Result<std::string> readPassword(const Args& args, const std::string& prompt, bool confirm);

// The front end the options ask for: scripted with --answers, else the terminal; --yes, --no
// and --output-name answer its questions. The password is not read here.
frontends::FrontendChoice frontendChoice(const Args& args);

int usageError(const std::string& message, const char* help);
// Replaces this process with argvText (argvText[0] a path), passing on the given flags and the
// scripted front end's --answers/--transcript; returns kFailed only when it cannot start.
int runInstead(std::vector<std::string> argvText, const Args& args, const std::vector<std::string>& flags);
// Flushes standard output; kFailed with a message when anything written to it was lost,
// else status.
int finishOutput(int status);

// Each command's help: `vlt COMMAND [...] --help` prints it, whatever else is on the line.
extern const char* const kProfileHelp;
extern const char* const kLockHelp;
extern const char* const kGrantHelp;
extern const char* const kUnlockHelp;
extern const char* const kShredHelp;
extern const char* const kRegHelp;
extern const char* const kDesktopHelp;
extern const char* const kTrayHelp;
extern const char* const kControlHelp;
extern const char* const kCertHelp;
extern const char* const kSettingsHelp;
extern const char* const kWizardHelp;

int cmdProfile(const std::vector<std::string>& words);
int cmdLock(const std::vector<std::string>& words);
int cmdGrant(const std::vector<std::string>& words);
int cmdUnlock(const std::vector<std::string>& words);
int cmdShred(const std::vector<std::string>& words);
int cmdReg(const std::vector<std::string>& words);
int cmdDesktop(const std::vector<std::string>& words);
int cmdTray(const std::vector<std::string>& words);
int cmdControl(const std::vector<std::string>& words);
int cmdCert(const std::vector<std::string>& words);
int cmdSettings(const std::vector<std::string>& words);
int cmdWizard(const std::vector<std::string>& words);
// vlt profile restore and upgrade: the wizard's import and upgrade without its pages.
int profileRestore(const Args& args);
int profileUpgrade(const Args& args);

}  // namespace vlt::cli
