// Whether a file command of the shell extension did what was asked, told from the files it
// leaves. The extension reports most failures itself but not all: it leaves folders out of the
// selection without a word, and a cancelled run or a grant whose person has no usable key
// simply stops. vlt and vlt-shell judge a run alike with this.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "frontends/choice/frontend_choice.h"

namespace vlt::host {

using frontends::Observed;

// Relative paths made absolute against the working directory (leading "./" dropped).
std::vector<std::string> absolutePaths(const std::vector<std::string>& paths);

// The shell extension's command offsets.
enum FileCommand : unsigned { kLockCommand = 0, kGrantCommand = 1, kUnlockCommand = 2, kShredCommand = 3 };

class RunOutcome {
public:
    // Notes the outputs as they are before the run. unlockTargets: where unlocking writes each
    // file (read from its header; nothing for a file that is not a locked file); without them
    // an unlock is judged by what was shown alone.
    RunOutcome(FileCommand command, std::vector<std::string> files,
                std::vector<std::optional<std::string>> unlockTargets = {});

    // Names every folder of the selection on standard error: the extension leaves them out.
    // Returns how many there were.
    std::size_t reportFolders(const char* program) const;
    bool onlyFolders() const;

    // After the run: every file came out as asked (outputs are new inodes, as they are renamed
    // into place; a shredded file is gone), and no folder was left out.
    bool complete(const Observed& seen) const;

private:
    struct Before {
        bool existed = false;
        dev_t device = 0;
        ino_t inode = 0;
    };
    static Before before(const std::string& path);
    static bool written(const std::string& path, const Before& was);
    std::string outputOf(std::size_t i) const;

    FileCommand m_command;
    std::vector<std::string> m_files;
    std::vector<std::optional<std::string>> m_targets;
    std::vector<Before> m_before;
    std::vector<bool> m_folder;
};

}  // namespace vlt::host
