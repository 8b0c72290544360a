// enable(): the process's Service, wired to the window runtime.
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "ipc/ipc.h"
#include "ui/remote.h"
#include "win32/winuser.h"

namespace vlt::ipc {
namespace {

std::mutex g_mutex;
Service* g_service = nullptr;  // lives until disable() or the end of the process
pid_t g_servicePid = 0;
bool g_atExitRegistered = false;

void removeFilesAtExit() {
    std::lock_guard lock(g_mutex);
    if (g_service && g_servicePid == getpid()) g_service->removeFiles();
}

}  // namespace

Result<void> enable() {
    std::lock_guard lock(g_mutex);
    // A forked child inherits the parent's record but not its listener thread: it starts anew
    // (and leaves the parent's service alone).
    if (g_service && g_servicePid == getpid()) return {};
    LocalDelivery delivery;
    delivery.send = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (!IsWindow(hwnd)) return false;
        *result = SendMessageA(hwnd, msg, wParam, lParam);
        return true;
    };
    delivery.post = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return PostMessageA(hwnd, msg, wParam, lParam) != FALSE;
    };
    auto service = Service::open(std::move(delivery));
    if (!service) return service.error();
    g_service = service->release();
    g_servicePid = getpid();
    ui::setRemoteHooks(g_service->hooks());
    for (const auto& w : ui::titledTopLevelWindows()) g_service->titleChanged(w.hwnd, w.className, w.title);
    if (!g_atExitRegistered) {
        g_atExitRegistered = true;
        std::atexit(removeFilesAtExit);
    }
    return {};
}

void disable() {
    Service* service = nullptr;
    {
        std::lock_guard lock(g_mutex);
        if (!g_service || g_servicePid != getpid()) return;
        service = g_service;
        g_service = nullptr;
        g_servicePid = 0;
    }
    ui::setRemoteHooks({});
    delete service;
}

}  // namespace vlt::ipc
