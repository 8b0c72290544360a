// Window messages between processes of the same user: FindWindowA finds a titled top-level
// window of another process, and SendMessageA (PostMessageA) to it is a request over a Unix
// socket in the runtime directory ($VLT_RUNTIME_DIR/windows, mode 0700).
//
// Each process with titled top-level windows runs one listener thread on its own socket and
// publishes one small entry file per window (title, class, process, window handle), each
// written whole. FindWindowA reads the entries of other processes and keeps only those whose
// socket answers from the process named in the entry; the window of another process is then
// named by a proxy handle (ui/remote.h). Both ends check the other's credentials
// (SO_PEERCRED): a different user is refused.
//
// Only integer parameters cross: messages from WM_USER up, and a few system messages whose
// parameters are plain values. Others (WM_SETTEXT and every message that carries a pointer)
// are not sent; SendMessageA returns 0 with ERROR_INVALID_PARAMETER. A receiver that does not
// answer within the time-out (5 s) gives 0 with ERROR_TIMEOUT. A window that is gone gives
// 0 with ERROR_INVALID_WINDOW_HANDLE.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "base/export.h"
#include "base/result.h"
#include "ui/remote.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ipc {

// Connects the window runtime of this process to the other processes: installs the runtime's
// remote hooks and publishes the titled top-level windows that already exist. A program calls
// it once at start; later calls do nothing. Fails when the runtime directory cannot be made
// private to the user.
Result<void> enable();
// Withdraws this process's windows, stops listening and removes the hooks. At exit the
// entries are removed anyway; disable() is for tests and orderly shutdown.
void disable();

// Whether a message's parameters are plain values that may cross to another process.
bool crossesProcesses(UINT msg);
// Whether a peer process (its effective user) may talk to this one: the same user only.
bool peerAllowed(uid_t peerUid);

// How requests from other processes reach this process's windows. enable() delivers through
// SendMessageA and PostMessageA; tests may deliver elsewhere.
struct LocalDelivery {
    // Sends to a local window and waits for its result; false when hwnd is not a window.
    std::function<bool(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)> send;
    // Queues to a local window; false when hwnd is not a window.
    std::function<bool(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)> post;
};

// The machinery behind enable(), one per process in normal use. Thread-safe.
class Service {
public:
    // directory: where sockets and entries live; empty for $VLT_RUNTIME_DIR/windows. It is
    // created 0700 when missing and refused when it is another user's or open to others.
    static Result<std::unique_ptr<Service>> open(LocalDelivery delivery, std::string directory = {});
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // The hooks for ui::setRemoteHooks, bound to this service.
    ui::RemoteHooks hooks();

    // From the window runtime: a top-level window got a title (or a new one), or went away.
    void titleChanged(HWND hwnd, const std::string& className, const std::string& title);
    void destroyed(HWND hwnd);

    // FindWindowA's question about other processes: a proxy handle, or nullptr. Titles and
    // class names compare without regard to ASCII case; className nullptr matches any class,
    // title nullptr any title. The newest matching window wins.
    HWND find(const char* className, const char* title);
    // The hooks' send, post and isWindow for proxy handles (see ui/remote.h).
    bool send(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool post(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam);
    bool isWindow(HWND proxy);

    // How long a sender waits for the receiver's answer (default 5 s).
    void setTimeout(std::chrono::milliseconds timeout);
    const std::string& directory() const;
    // Removes this process's socket and entries without stopping (at exit).
    void removeFiles();

private:
    struct Impl;
    explicit Service(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> m;
};

}  // namespace vlt::ipc

VLT_EXPORT_END
