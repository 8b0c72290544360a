// ShellExecuteExA and ShellExecuteA on this system. The suite starts its own programs from the
// system directory and opens documents and links; requests map as follows (verb NULL, "" or
// "open"; any other verb fails with ERROR_NO_ASSOCIATION):
//
//  - "rundll32.exe" (any case, with or without a folder) with the parameters
//    "shell32.dll,Control_RunDLL <file>.cpl[,...]": the control-panel runner
//    <system directory>/vlt-control with the .cpl path as its argument (and what followed the
//    comma as a second one). Windows separators in the path become '/' ("<dir>\VTCert32.Cpl"
//    names "<dir>/VTCert32.Cpl").
//  - "mailto:", "http:" and "https:" links: xdg-open <link>, waited for (it returns once the
//    handler has started; after kOpenerWait it counts as started). Its end maps onto the
//    shell's codes: exit 0 → success; exit 2 (no such target) → SE_ERR_FNF; no xdg-open,
//    exit 3 (a tool it needs is missing), exit 127, or exit 4 saying that nothing handles the
//    link ("no method available", "no application", "no handler") → SE_ERR_NOASSOC; not
//    executable or exit 126 → SE_ERR_ACCESSDENIED; any other failure → SE_ERR_ASSOCINCOMPLETE
//    (a handler is configured but did not start).
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

#include "base/export.h"

VLT_EXPORT_BEGIN

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

// How a waited-for program ended.
struct Finished {
    int spawnError = 0;     // errno from starting it; 0 when it started
    bool timedOut = false;  // still running when the wait ended (reaped later)
    bool exited = false;    // ended normally, with exitCode
    int exitCode = 0;
    std::string errorText;  // the start of what it wrote to stderr
};

// How long a link's opener is waited for.
inline constexpr int kOpenerWaitMs = 10000;

// Starts a program (as spawnDetached does) and waits for it at most waitMs, keeping the first
// few KiB of its standard error.
Finished spawnAndWait(const Launch& launch, int waitMs);

// The shell's result for an opener that ended so: > 32 when it started the handler, else an
// SE_ERR_* code.
int openerResult(const Finished& finished);

// lpParameters split as Windows splits a command line (blanks separate, double quotes group,
// backslashes escape only before a quote).
std::vector<std::string> splitParameters(const std::string& parameters);

}  // namespace vlt::shell

VLT_EXPORT_END
