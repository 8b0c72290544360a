#include "hosts/shell/run_outcome.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace vlt::host {

std::vector<std::string> absolutePaths(const std::vector<std::string>& paths) {
    char cwd[PATH_MAX] = {};
    const std::string here = getcwd(cwd, sizeof cwd) ? cwd : ".";
    std::vector<std::string> out;
    for (std::string p : paths) {
        if (p.empty() || p.front() != '/') {
            while (p.rfind("./", 0) == 0) p = p.substr(2);
            p = here + "/" + p;
        }
        out.push_back(p);
    }
    return out;
}

namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

RunOutcome::RunOutcome(FileCommand command, std::vector<std::string> files,
                         std::vector<std::optional<std::string>> unlockTargets)
    : m_command(command), m_files(std::move(files)), m_targets(std::move(unlockTargets)) {
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        m_folder.push_back(isFolder(m_files[i]));
        m_before.push_back(before(outputOf(i)));
    }
}

// A file written by the run is a new inode: comparing times would trip over the file
// system's coarser clock.
RunOutcome::Before RunOutcome::before(const std::string& path) {
    struct stat st {};
    if (path.empty() || lstat(path.c_str(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino};
}

bool RunOutcome::written(const std::string& path, const Before& was) {
    struct stat st {};
    if (path.empty() || lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return !was.existed || st.st_dev != was.device || st.st_ino != was.inode;
}

std::string RunOutcome::outputOf(std::size_t i) const {
    switch (m_command) {
        case kLockCommand:
        case kGrantCommand: return m_files[i] + ".Vtf";
        case kUnlockCommand: return i < m_targets.size() ? m_targets[i].value_or("") : "";
        case kShredCommand: return "";
    }
    return "";
}

std::size_t RunOutcome::reportFolders(const char* program) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (!m_folder[i]) continue;
        std::fprintf(stderr, "%s: %s is a folder: only files can be locked, unlocked or destroyed\n", program,
                     m_files[i].c_str());
        ++n;
    }
    return n;
}

bool RunOutcome::onlyFolders() const { return std::all_of(m_folder.begin(), m_folder.end(), [](bool f) { return f; }); }

bool RunOutcome::complete(const Observed& seen) const {
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (m_folder[i]) return false;
        switch (m_command) {
            case kLockCommand:
            case kGrantCommand:
                if (!written(outputOf(i), m_before[i])) return false;
                break;
            case kUnlockCommand: {
                if (m_targets.empty()) break;
                const bool elsewhere = !seen.savedTo.empty();  // the user chose another name
                if (!m_targets[i] || (!written(*m_targets[i], m_before[i]) && !elsewhere)) return false;
                break;
            }
            case kShredCommand:
                if (isRegularFile(m_files[i])) return false;
                break;
        }
    }
    return true;
}

}  // namespace vlt::host
