// vlt tray status: the lock state as the running tray program sees it.
#include <cstdio>

#include "cli.h"
#include "ipc/ipc.h"
#include "shared/tray_messages.h"
#include "win32/winbase.h"
#include "win32/winuser.h"

namespace vlt::cli {

const char* const kTrayHelp =
    "usage: vlt tray status\n"
    "Asks the running tray program (VTTray32) for the state of your profile, and prints\n"
    "\"locked\", or \"unlocked, N seconds left\" until it locks itself. Exit status 1 and\n"
    "\"no tray is running\" when there is none.\n";

namespace {

int status() {
    // The tray is another process: its window is reached through the window sockets.
    if (auto r = ipc::enable(); !r) {
        std::fprintf(stderr, "vlt: %s\n", r.error().message.c_str());
        return kFailed;
    }
    const HWND tray = FindWindowA(nullptr, kTrayWindowTitle);
    if (tray == nullptr) {
        std::puts("no tray is running");
        return kFailed;
    }
    SetLastError(ERROR_SUCCESS);
    const LRESULT answer = SendMessageA(tray, kTrayStatusMessage, 0, 0);
    if (GetLastError() != ERROR_SUCCESS) {
        // Gone between the look-up and the question, or not answering.
        std::puts("no tray is running");
        return kFailed;
    }
    if (answer == kTrayStatusLocked) std::puts("locked");
    else std::printf("unlocked, %lld seconds left\n", static_cast<long long>(answer));
    return kOk;
}

}  // namespace

int cmdTray(const std::vector<std::string>& words) {
    if (words.size() != 1) return usageError("tray takes status", kTrayHelp);
    if (words[0] == "status") return status();
    return usageError("unknown tray command '" + words[0] + "'", kTrayHelp);
}

}  // namespace vlt::cli
