// How a file command of the shell extension ended, for vlt and vlt-shell alike: the command's
// own answer (InvokeCommand's result, which carries the worker's), and the folders of the
// selection, which the extension leaves out without a word.
#pragma once

#include <string>
#include <vector>

#include "win32/windef.h"

namespace vlt::host {

// Relative paths made absolute against the working directory (leading "./" dropped).
std::vector<std::string> absolutePaths(const std::vector<std::string>& paths);

// The shell extension's command offsets.
enum FileCommand : unsigned { kLockCommand = 0, kGrantCommand = 1, kUnlockCommand = 2, kShredCommand = 3 };

class RunOutcome {
public:
    explicit RunOutcome(std::vector<std::string> files);

    // Names every folder of the selection on standard error: the extension leaves them out.
    // Returns how many there were.
    std::size_t reportFolders(const char* program) const;
    bool onlyFolders() const;

    // The exit status: 0 when the command answered that it did all it was asked and no folder
    // was left out, else 1 (a cancel included, as for Ctrl-C).
    int exitStatus(HRESULT answer) const;

private:
    std::vector<std::string> m_files;
    std::vector<bool> m_folder;
};

}  // namespace vlt::host
