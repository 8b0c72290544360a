#include "shell/execute.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include "base/paths.h"
#include "win32/shellapi.h"
#include "win32/winbase.h"

extern char** environ;

namespace vlt::shell {
namespace {

std::mutex g_spawnerMutex;
Spawner& currentSpawner() {
    static auto* spawner = new Spawner;  // empty: the real one
    return *spawner;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool istartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

bool iendsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && iequals(s.substr(s.size() - suffix.size()), suffix);
}

std::string trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isProgram(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A Windows path as written by the suite ("<dir>\VTCert32.Cpl") with '/' for '\'; a name that
// exists as written is kept as it is.
std::string nativePath(const std::string& path) {
    if (path.find('\\') == std::string::npos || exists(path)) return path;
    std::string out = path;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

// The entry of `folder` whose name equals `name` without regard to ASCII case; an exact match
// wins. Empty when there is none.
std::string findInFolder(const std::string& folder, const std::string& name) {
    const std::string exact = folder + "/" + name;
    if (exists(exact)) return exact;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return {};
    std::string found;
    while (const dirent* e = readdir(dir)) {
        if (iequals(e->d_name, name)) {
            found = folder + "/" + e->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string systemDirectory() {
    std::string dir = base::systemDir();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

struct Plan {
    Launch launch;
    DWORD error = ERROR_SUCCESS;  // when not ERROR_SUCCESS, nothing is started
    int seError = 0;
    bool viaOpener = false;  // xdg-open: its absence means "no association"
    bool waitForOpener = false;  // a link: how xdg-open ends is the answer
};

Plan refuse(DWORD error, int seError) {
    Plan p;
    p.error = error;
    p.seError = seError;
    return p;
}

Plan controlPanel(const std::string& cpl, const std::string& rest, const std::string& workingDir) {
    const std::string runner = systemDirectory() + "/" + kControlPanelRunner;
    if (!isProgram(runner)) return refuse(ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    Plan p;
    p.launch.program = runner;
    p.launch.args.push_back(cpl);
    if (!rest.empty()) p.launch.args.push_back(rest);
    p.launch.workingDir = workingDir;
    return p;
}

Plan opener(const std::string& target, const std::string& workingDir) {
    Plan p;
    p.launch.program = "xdg-open";
    p.launch.args.push_back(target);
    p.launch.workingDir = workingDir;
    p.viaOpener = true;
    return p;
}

// "shell32.dll,Control_RunDLL <file>.cpl[,applet...]"
Plan rundll32(const std::string& parameters, const std::string& workingDir) {
    static constexpr std::string_view kEntry = "shell32.dll,Control_RunDLL";
    const std::string text = trim(parameters);
    if (!istartsWith(text, kEntry)) return refuse(ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
    std::string rest = trim(std::string_view(text).substr(kEntry.size()));
    if (rest.size() >= 2 && rest.front() == '"') {
        const auto close = rest.find('"', 1);
        if (close != std::string::npos) rest = rest.substr(1, close - 1) + rest.substr(close + 1);
    }
    std::string cpl = rest;
    std::string after;
    std::size_t end = std::string::npos;
    for (std::size_t at = 0; at + 4 <= rest.size(); ++at)
        if (iequals(std::string_view(rest).substr(at, 4), ".cpl") && (at + 4 == rest.size() || rest[at + 4] == ','))
            end = at + 4;
    if (end != std::string::npos) {
        cpl = rest.substr(0, end);
        after = end < rest.size() ? rest.substr(end + 1) : std::string();
    }
    if (cpl.empty()) return refuse(ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    return controlPanel(nativePath(cpl), after, workingDir);
}

Plan plan(const SHELLEXECUTEINFOA& info) {
    if (info.lpVerb && *info.lpVerb && !iequals(info.lpVerb, "open"))
        return refuse(ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
    if (info.fMask & (SEE_MASK_CLASSNAME | SEE_MASK_CLASSKEY | SEE_MASK_IDLIST))
        return refuse(ERROR_NOT_SUPPORTED, SE_ERR_NOASSOC);
    if (!info.lpFile || !*info.lpFile) return refuse(ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    const std::string file = info.lpFile;
    const std::string parameters = info.lpParameters ? info.lpParameters : "";
    const std::string directory = info.lpDirectory && *info.lpDirectory ? nativePath(info.lpDirectory) : "";
    const std::string workingDir = !directory.empty() && isDirectory(directory) ? directory : "";

    if (istartsWith(file, "mailto:") || istartsWith(file, "http:") || istartsWith(file, "https:")) {
        Plan p = opener(file, workingDir);
        p.waitForOpener = true;
        return p;
    }

    std::string path = nativePath(file);
    const std::string name = nameOf(path);
    if (iequals(name, "rundll32.exe") || iequals(name, "rundll32")) return rundll32(parameters, workingDir);

    if (path.front() != '/') path = (directory.empty() ? std::string(".") : directory) + "/" + path;
    const std::string folder = folderOf(path);
    const bool exe = iendsWith(name, ".exe");
    const bool noExtension = name.find('.') == std::string::npos;

    if (exe || noExtension) {
        const std::string stem = exe ? name.substr(0, name.size() - 4) : name;
        std::string program;
        for (const std::string& where : {folder, systemDirectory()}) {
            for (const std::string& candidate : {stem, name}) {
                const std::string found = findInFolder(where, candidate);
                if (!found.empty() && isProgram(found)) {
                    program = found;
                    break;
                }
                if (!found.empty() && !isDirectory(found) && program.empty())
                    return refuse(ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED);
            }
            if (!program.empty()) break;
        }
        if (program.empty()) {
            // A folder without extension is opened like a document.
            const std::string folderName = findInFolder(folder, name);
            if (noExtension && !folderName.empty() && isDirectory(folderName)) return opener(folderName, workingDir);
            return refuse(ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
        }
        Plan p;
        p.launch.program = program;
        p.launch.args = splitParameters(parameters);
        p.launch.workingDir = workingDir;
        return p;
    }

    const std::string found = findInFolder(folder, name);
    if (iendsWith(name, ".chm")) {
        const std::string help = folder + "/help/index.html";
        if (exists(help)) return opener(help, workingDir);
    }
    if (found.empty()) return refuse(ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    if (iendsWith(name, ".cpl")) return controlPanel(found, "", workingDir);
    return opener(found, workingDir);
}

}  // namespace

Spawner setSpawner(Spawner spawner) {
    std::lock_guard lock(g_spawnerMutex);
    std::swap(currentSpawner(), spawner);
    return spawner;
}

namespace {

// posix_spawn (posix_spawnp for a bare name) in the launch's folder, in a session of its own,
// away from our terminal's signals, with the default signal mask; stderr goes to errFd when
// it is not -1. 0 or an errno value.
int startProcess(const Launch& launch, int errFd, pid_t& pid) {
    std::vector<std::string> argvText;
    argvText.push_back(launch.program);
    argvText.insert(argvText.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!launch.workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, launch.workingDir.c_str());
    if (errFd != -1) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);

    const bool searchPath = launch.program.find('/') == std::string::npos;
    const int rc = searchPath ? posix_spawnp(&pid, launch.program.c_str(), &actions, &attributes, argv.data(), environ)
                              : posix_spawn(&pid, launch.program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

void reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

bool mentionsNoHandler(std::string text) {
    for (char& c : text) c = lowerAscii(c);
    for (const char* phrase : {"no method available", "no application", "no handler"})
        if (text.find(phrase) != std::string::npos) return true;
    return false;
}

}  // namespace

int spawnDetached(const Launch& launch) {
    pid_t pid = 0;
    const int rc = startProcess(launch, -1, pid);
    if (rc != 0) return rc;
    std::thread([pid] { reap(pid); }).detach();
    return 0;
}

Finished spawnAndWait(const Launch& launch, int waitMs) {
    Finished out;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        out.spawnError = errno;
        return out;
    }
    pid_t pid = 0;
    out.spawnError = startProcess(launch, fds[1], pid);
    close(fds[1]);
    if (out.spawnError != 0) {
        close(fds[0]);
        return out;
    }
    constexpr std::size_t kKept = 4096;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    bool open = true;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            out.exited = WIFEXITED(status);
            out.exitCode = out.exited ? WEXITSTATUS(status) : -1;
            break;
        }
        if (done < 0 && errno != EINTR) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            out.timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = open ? poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 50))) : 0;
        if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (ready > 0) {
            char buffer[512];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n > 0 && out.errorText.size() < kKept)
                out.errorText.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), kKept - out.errorText.size()));
            if (n == 0) open = false;
        }
    }
    if (out.timedOut) {
        // Whatever it started may keep writing to the pipe: drain it until it closes.
        const int fd = fds[0];
        std::thread([pid, fd] {
            char buffer[512];
            while (read(fd, buffer, sizeof buffer) > 0 || errno == EINTR) {
            }
            close(fd);
            reap(pid);
        }).detach();
        return out;
    }
    // What it wrote just before it ended.
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    char buffer[512];
    ssize_t n = 0;
    while (out.errorText.size() < kKept && (n = read(fds[0], buffer, sizeof buffer)) > 0)
        out.errorText.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), kKept - out.errorText.size()));
    close(fds[0]);
    return out;
}

int openerResult(const Finished& f) {
    if (f.spawnError == ENOENT) return SE_ERR_NOASSOC;
    if (f.spawnError == EACCES || f.spawnError == EPERM || f.spawnError == ENOEXEC) return SE_ERR_ACCESSDENIED;
    if (f.spawnError == ENOMEM || f.spawnError == EAGAIN) return SE_ERR_OOM;
    if (f.spawnError != 0) return SE_ERR_NOASSOC;
    if (f.timedOut || (f.exited && f.exitCode == 0)) return 42;
    if (!f.exited) return SE_ERR_ASSOCINCOMPLETE;
    switch (f.exitCode) {
        case 2: return SE_ERR_FNF;
        case 3:
        case 127: return SE_ERR_NOASSOC;
        case 4: return mentionsNoHandler(f.errorText) ? SE_ERR_NOASSOC : SE_ERR_ASSOCINCOMPLETE;
        case 126: return SE_ERR_ACCESSDENIED;
        default: return SE_ERR_ASSOCINCOMPLETE;
    }
}

std::vector<std::string> splitParameters(const std::string& s) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false;
    bool haveArg = false;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if ((c == ' ' || c == '\t') && !inQuotes) {
            if (haveArg) args.push_back(current);
            current.clear();
            haveArg = false;
            ++i;
        } else if (c == '\\') {
            std::size_t n = 0;
            while (i + n < s.size() && s[i + n] == '\\') ++n;
            if (i + n < s.size() && s[i + n] == '"') {
                current.append(n / 2, '\\');
                if (n % 2 == 1) {
                    current.push_back('"');
                    i += n + 1;
                } else {
                    i += n;  // the quote toggles next
                }
            } else {
                current.append(n, '\\');
                i += n;
            }
            haveArg = true;
        } else if (c == '"') {
            if (inQuotes && i + 1 < s.size() && s[i + 1] == '"') {
                current.push_back('"');
                i += 2;
            } else {
                inQuotes = !inQuotes;
                ++i;
            }
            haveArg = true;
        } else {
            current.push_back(c);
            haveArg = true;
            ++i;
        }
    }
    if (haveArg) args.push_back(current);
    return args;
}

}  // namespace vlt::shell

namespace {

DWORD lastErrorFor(int seError) {
    switch (seError) {
        case SE_ERR_FNF: return ERROR_FILE_NOT_FOUND;
        case SE_ERR_ACCESSDENIED: return ERROR_ACCESS_DENIED;
        case SE_ERR_OOM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_NO_ASSOCIATION;
    }
}

BOOL finish(SHELLEXECUTEINFOA* info, DWORD error, int seError) {
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(seError));
    SetLastError(error);
    return FALSE;
}

}  // namespace

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* pExecInfo) {
    using namespace vlt::shell;
    if (!pExecInfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pExecInfo->hProcess = nullptr;
    if (pExecInfo->cbSize != sizeof(SHELLEXECUTEINFOA) && pExecInfo->cbSize != SHELLEXECUTEINFOA_WIN32_SIZE)
        return finish(pExecInfo, ERROR_INVALID_PARAMETER, SE_ERR_ACCESSDENIED);
    Plan p = plan(*pExecInfo);
    if (p.error != ERROR_SUCCESS) return finish(pExecInfo, p.error, p.seError);
    p.launch.show = pExecInfo->nShow;

    Spawner spawner;
    {
        std::lock_guard lock(g_spawnerMutex);
        spawner = currentSpawner();
    }
    if (p.waitForOpener && !spawner) {
        const int result = openerResult(spawnAndWait(p.launch, kOpenerWaitMs));
        if (result > 32) {
            pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(result));
            return TRUE;
        }
        return finish(pExecInfo, lastErrorFor(result), result);
    }
    const int rc = spawner ? spawner(p.launch) : spawnDetached(p.launch);
    if (rc != 0) {
        if (rc == ENOENT && p.viaOpener) return finish(pExecInfo, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
        if (rc == ENOENT) return finish(pExecInfo, ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
        if (rc == EACCES || rc == EPERM || rc == ENOEXEC)
            return finish(pExecInfo, ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED);
        if (rc == ENOMEM || rc == EAGAIN) return finish(pExecInfo, ERROR_NOT_ENOUGH_MEMORY, SE_ERR_OOM);
        return finish(pExecInfo, ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    }
    pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(std::uintptr_t{42});
    return TRUE;
}

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                        INT nShowCmd) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = hwnd;
    info.lpVerb = lpOperation;
    info.lpFile = lpFile;
    info.lpParameters = lpParameters;
    info.lpDirectory = lpDirectory;
    info.nShow = nShowCmd;
    ShellExecuteExA(&info);
    return info.hInstApp;
}

UINT WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
    using namespace vlt::shell;
    const std::vector<std::string> words = splitParameters(lpCmdLine ? lpCmdLine : "");
    if (words.empty() || words[0].empty()) return ERROR_FILE_NOT_FOUND;
    Launch launch;
    launch.program = nativePath(words[0]);
    launch.args.assign(words.begin() + 1, words.end());
    launch.show = static_cast<int>(uCmdShow);
    Spawner spawner;
    {
        std::lock_guard lock(g_spawnerMutex);
        spawner = currentSpawner();
    }
    const int rc = spawner ? spawner(launch) : spawnDetached(launch);
    switch (rc) {
        case 0: return 33;
        case ENOENT:
        case ENOTDIR: {
            const auto slash = launch.program.find_last_of('/');
            const bool folderMissing = slash != std::string::npos && slash > 0 &&
                                       !isDirectory(launch.program.substr(0, slash));
            return folderMissing ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
        }
        case ENOMEM:
        case EAGAIN: return 0;
        default: return ERROR_BAD_FORMAT;  // not a program we can run
    }
}
