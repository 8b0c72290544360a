// The hook through which another layer (platform/ipc) makes top-level windows reachable from
// other processes. The window runtime knows nothing of sockets; it only reports top-level
// window titles and asks the hook when a lookup or a message leaves the process.
//
// Handles: local windows get handles below kRemoteFirst. The hook names windows of other
// processes with proxy handles it chooses inside [kRemoteFirst, kRemoteLast]; SendMessageA,
// PostMessageA and IsWindow hand such handles to the hook and never look them up locally.
// All values fit in 32 bits, so a handle survives a trip through a DWORD.
//
// Threads: every callback may be called on any thread, with no runtime lock held (a callback
// may call back into the runtime, e.g. SendMessageA to a local window). Install once, before
// windows exist; setRemoteHooks({}) removes the hooks (tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/export.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

inline constexpr std::uintptr_t kRemoteFirst = 0x40000000u;
inline constexpr std::uintptr_t kRemoteLast = 0x7FFFFFFFu;

inline bool isRemoteHandle(HWND hwnd) {
    const auto value = reinterpret_cast<std::uintptr_t>(hwnd);
    return value >= kRemoteFirst && value <= kRemoteLast;
}

struct RemoteHooks {
    // A local top-level window (a window without parent, dialogs included) was created with a
    // title, or its title changed (SetWindowTextA / WM_SETTEXT). className is its class name.
    // Called on the thread that made the change, after the change.
    std::function<void(HWND hwnd, const std::string& className, const std::string& title)> titleChanged;
    // A local top-level window that titleChanged reported is being destroyed; after this call
    // the handle is invalid.
    std::function<void(HWND hwnd)> destroyed;
    // FindWindowA found no local window: a proxy handle for a window of another process of the
    // same user, or nullptr. className may be nullptr (any class).
    std::function<HWND(const char* className, const char* title)> find;
    // SendMessageA to a proxy handle: delivers and waits for the reply. false when the window
    // is gone or cannot be reached (SendMessageA then returns 0 with
    // ERROR_INVALID_WINDOW_HANDLE). Only messages whose parameters are plain values can cross.
    std::function<bool(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)> send;
    // PostMessageA to a proxy handle: queues without waiting; false when it cannot.
    std::function<bool(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam)> post;
    // IsWindow on a proxy handle; when unset, a proxy counts as a window if `send` is set.
    std::function<bool(HWND proxy)> isWindow;
};

void setRemoteHooks(RemoteHooks hooks);

// Local top-level windows that have a title now, for a hook installed after they appeared.
struct TitledWindow {
    HWND hwnd = nullptr;
    std::string className;
    std::string title;
};
std::vector<TitledWindow> titledTopLevelWindows();

}  // namespace vlt::ui

VLT_EXPORT_END
