// Whether a display answers, asked without any toolkit: Qt ends the program when the display it
// is given does not answer, so a named display is tried before windows are chosen.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/frontend.h"

namespace vlt::ui {
namespace {

// How long a display across the network may take to accept a connection.
constexpr int kTcpWaitMs = 2000;

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// A local stream socket by path; `abstract`: in Linux's abstract namespace, where X servers
// listen as well as in /tmp/.X11-unix.
bool localAnswers(const std::string& path, bool abstract) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::size_t skip = abstract ? 1 : 0;
    if (path.empty() || path.size() + skip >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path + skip, path.data(), path.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + skip + path.size() + (abstract ? 0 : 1));
    const Socket s(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return s.fd() >= 0 && connect(s.fd(), reinterpret_cast<const sockaddr*>(&addr), length) == 0;
}

// A TCP display (ssh forwarding, a remote server), waiting at most kTcpWaitMs for each address.
bool tcpAnswers(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
    bool answered = false;
    for (const addrinfo* a = found; a && !answered; a = a->ai_next) {
        const Socket s(socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
        if (s.fd() < 0) continue;
        if (connect(s.fd(), a->ai_addr, a->ai_addrlen) == 0) {
            answered = true;
            break;
        }
        if (errno != EINPROGRESS) continue;
        pollfd p{s.fd(), POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        answered =
            poll(&p, 1, kTcpWaitMs) == 1 && getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    freeaddrinfo(found);
    return answered;
}

// DISPLAY is [host]:number[.screen]; no host or "unix" is this machine's socket, which Xlib
// also tries over TCP on localhost when no host was named.
bool xAnswers(const std::string& display) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = display.substr(0, colon);
    const std::string rest = display.substr(colon + 1);
    const std::string number = rest.substr(0, rest.find('.'));
    if (number.empty() || number.size() > 5 || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    if (!host.empty() && host.back() == ':') return true;  // DECnet: not ours to try
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + number;
        if (localAnswers(path, true) || localAnswers(path, false)) return true;
        if (!host.empty()) return false;
    }
    const std::string tcpHost = host.empty() ? "localhost" : host;
    const bool bracketed = tcpHost.size() > 2 && tcpHost.front() == '[' && tcpHost.back() == ']';
    return tcpAnswers(bracketed ? tcpHost.substr(1, tcpHost.size() - 2) : tcpHost, 6000 + std::stoi(number));
}

// WAYLAND_DISPLAY is a socket path, or a name in XDG_RUNTIME_DIR.
bool waylandAnswers(const std::string& name) {
    if (name.front() == '/') return localAnswers(name, false);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && localAnswers(std::string(runtime) + "/" + name, false);
}

}  // namespace

bool haveDisplay() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland && waylandAnswers(wayland)) return true;
    const char* x = std::getenv("DISPLAY");
    return x && *x && xAnswers(x);
}

}  // namespace vlt::ui
