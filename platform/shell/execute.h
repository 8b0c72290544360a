// ShellExecuteExA and ShellExecuteA on this system. The suite starts its own programs from the
// system directory and opens documents and links; requests map as follows (verb NULL, "" or
// "open"; any other verb fails with ERROR_NO_ASSOCIATION):
//
//  - "rundll32.exe" (any case, with or without a folder) with the parameters
//    "shell32.dll,Control_RunDLL <file>.cpl[,...]": the control-panel runner
//    <system directory>/vlt-control with the .cpl path as its argument (and what followed the
//    comma as a second one). Windows separators in the path become '/' ("<dir>\VTCert32.Cpl"
//    names "<dir>/VTCert32.Cpl").
//  - "mailto:", "http:" and "https:" links: xdg-open <link>.
//  - A file name is taken relative to lpDirectory (else the current folder) and looked up
//    without regard to case, as on Windows. A name ending in ".exe" or without extension names
//    a program: found there or in the system directory under the name without ".exe"
//    ("VTInit32.Exe" runs <system directory>/VTInit32), started with lpParameters split as
//    Windows splits a command line, in lpDirectory when it is a folder. A ".cpl" file goes to
//    vlt-control. A ".chm" help file opens <its folder>/help/index.html when that exists (the
//    suite's help is HTML), else itself, with xdg-open. Any other existing file or folder opens
//    with xdg-open.
//  - What cannot be found: ERROR_FILE_NOT_FOUND (SE_ERR_FNF); a program that cannot be
//    executed: ERROR_ACCESS_DENIED (SE_ERR_ACCESSDENIED); no xdg-open: ERROR_NO_ASSOCIATION.
//
// Programs are started with posix_spawn and not waited for (a thread reaps them), as the
// Windows calls return once the program has started. No process handle is handed out.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vlt::shell {

// The control-panel runner, in the system directory.
inline constexpr const char* kControlPanelRunner = "vlt-control";

struct Launch {
    std::string program;            // an absolute path, or "xdg-open" (looked up in PATH)
    std::vector<std::string> args;  // without the program name
    std::string workingDir;         // empty: the caller's
    int show = 0;                   // the show command as given; nothing to do with it here
};

// Starts a program without waiting for it. 0 on success, else an errno value.
using Spawner = std::function<int(const Launch&)>;

// Replaces the process's spawner (tests record the launch instead of starting it). An empty
// function restores the real one. Returns the one replaced (empty for the real one).
Spawner setSpawner(Spawner spawner);

// The real spawner: posix_spawn (posix_spawnp for a bare name), working folder, reaped by a
// detached thread.
int spawnDetached(const Launch& launch);

// lpParameters split as Windows splits a command line (blanks separate, double quotes group,
// backslashes escape only before a quote).
std::vector<std::string> splitParameters(const std::string& parameters);

}  // namespace vlt::shell
