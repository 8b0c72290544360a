// The other process of the window-message tests.
//
//   vlt_ipc_peer fake <title> <reply>         publishes window 0x1234 (class "VLTTestClass")
//                                            through a Service that records what arrives
//   vlt_ipc_peer hang <title>                 the same, but sent messages are answered only
//                                            when standard input closes
//   vlt_ipc_peer window <title> <reply> [late] a real top-level window of the window runtime
//                                            and ipc::enable() (after the window with "late")
//   vlt_ipc_peer intrude <socket> <uid>        as user <uid>: connect to a window socket and
//                                            send one request; exit 0 when closed unanswered,
//                                            1 when answered, 2 when it cannot connect
//
// Prints "ready" once published and "send|post <msg> <wParam> <lParam>" for each message that
// arrives; ends when standard input closes.
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "ipc/ipc.h"
#include "ipc/wire.h"
#include "win32/winuser.h"

namespace {

std::mutex g_outMutex;
LRESULT g_reply = 0;

void say(const std::string& line) {
    std::lock_guard lock(g_outMutex);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void report(const char* kind, UINT msg, WPARAM wParam, LPARAM lParam) {
    say(std::string(kind) + " " + std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
}

void waitForEndOfInput() {
    char buf[256];
    while (::read(0, buf, sizeof buf) > 0) {
    }
}

int fake(const std::string& title, LRESULT reply, bool hang) {
    std::mutex m;
    std::condition_variable cv;
    bool inputClosed = false;
    vlt::ipc::LocalDelivery delivery;
    delivery.send = [&](HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        report("send", msg, wParam, lParam);
        if (hang) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return inputClosed; });
        }
        *result = reply;
        return true;
    };
    delivery.post = [](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
        report("post", msg, wParam, lParam);
        return true;
    };
    auto service = vlt::ipc::Service::open(delivery);
    if (!service) {
        say("error " + service.error().message);
        return 1;
    }
    (*service)->titleChanged(reinterpret_cast<HWND>(std::uintptr_t{0x1234}), "VLTTestClass", title);
    say("ready");
    waitForEndOfInput();
    {
        std::lock_guard lock(m);
        inputClosed = true;
    }
    cv.notify_all();
    return 0;
}

LRESULT windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_USER + 11:
    case WM_USER + 16:
        report("send", msg, wParam, lParam);
        return g_reply;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

int window(const std::string& title, LRESULT reply, bool late) {
    g_reply = reply;
    if (!late) {
        if (auto r = vlt::ipc::enable(); !r) {
            say("error " + r.error().message);
            return 1;
        }
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = "VLTTestTray";
    if (!RegisterClassA(&wc)) {
        say("error RegisterClassA");
        return 1;
    }
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "VLTTestTray", title.c_str(), 0, 1, 1, 0, 0, nullptr, nullptr,
                                nullptr, nullptr);
    if (!hwnd) {
        say("error CreateWindowExA");
        return 1;
    }
    if (late) {
        if (auto r = vlt::ipc::enable(); !r) {
            say("error " + r.error().message);
            return 1;
        }
    }
    std::thread closer([hwnd] {
        waitForEndOfInput();
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    });
    say("ready");
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    closer.join();
    vlt::ipc::disable();
    return 0;
}

int intrude(const std::string& socketPath, uid_t uid) {
    // The raw system call: only this thread exists, and no library state needs to follow.
    if (syscall(SYS_setresuid, uid, uid, uid) != 0) {
        std::perror("setresuid");
        return 3;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        std::perror("connect");
        return 2;
    }
    // The listener's instance is in the socket's name: "<pid>-<instance>.sock".
    const auto dash = socketPath.rfind('-');
    vlt::ipc::wire::Request r;
    r.instance = dash == std::string::npos ? 0 : std::strtoull(socketPath.c_str() + dash + 1, nullptr, 16);
    r.msg = WM_USER + 16;
    r.hwnd = 0x1234;
    const auto bytes = vlt::ipc::wire::encode(r);
    if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        return 0;  // closed before the request was even read
    unsigned char reply[vlt::ipc::wire::kReplySize];
    const ssize_t n = ::read(fd, reply, sizeof reply);
    return n > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "fake" && argc == 4) return fake(argv[2], std::atol(argv[3]), false);
    if (mode == "hang" && argc == 3) return fake(argv[2], 0, true);
    if (mode == "window" && (argc == 4 || argc == 5)) return window(argv[2], std::atol(argv[3]), argc == 5);
    if (mode == "intrude" && argc == 4) return intrude(argv[2], static_cast<uid_t>(std::atol(argv[3])));
    std::fprintf(stderr, "usage: vlt_ipc_peer fake|hang|window|intrude ...\n");
    return 64;
}
