#include "hosts/shell/run_outcome.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "win32/winerror.h"

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

}  // namespace

RunOutcome::RunOutcome(std::vector<std::string> files) : m_files(std::move(files)) {
    for (const auto& f : m_files) m_folder.push_back(isFolder(f));
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

int RunOutcome::exitStatus(HRESULT answer) const {
    const bool folderLeftOut = std::any_of(m_folder.begin(), m_folder.end(), [](bool f) { return f; });
    return answer == S_OK && !folderLeftOut ? 0 : 1;
}

}  // namespace vlt::host
