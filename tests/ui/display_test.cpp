// A display counts only while something listens where DISPLAY or WAYLAND_DISPLAY points: X's
// abstract socket, TCP port 6000 + N, a Wayland socket by path.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/sandbox.h"
#include "ui/frontend.h"

namespace vlt::test {
namespace {

// A listening socket for the length of a case.
class Listener {
public:
    Listener(int family, const sockaddr* address, socklen_t length) : m_fd(socket(family, SOCK_STREAM, 0)) {
        EXPECT_EQ(bind(m_fd, address, length), 0) << std::strerror(errno);
        EXPECT_EQ(listen(m_fd, 4), 0);
    }
    ~Listener() { close(m_fd); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

Listener unixListener(const std::string& path, bool abstract) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path + (abstract ? 1 : 0), path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return Listener(AF_UNIX, reinterpret_cast<const sockaddr*>(&a), length);
}

// Keeps an environment variable across a test that changes it.
class Kept {
public:
    explicit Kept(const char* name) : m_name(name), m_set(std::getenv(name) != nullptr) {
        if (m_set) m_value = std::getenv(name);
    }
    ~Kept() { m_set ? (void)setenv(m_name, m_value.c_str(), 1) : (void)unsetenv(m_name); }
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;

private:
    const char* m_name;
    bool m_set;
    std::string m_value;
};

TEST(Display, CountsOnlyWhenSomethingListens) {
    const Kept display("DISPLAY"), waylandDisplay("WAYLAND_DISPLAY");
    Sandbox box;
    const std::string wayland = box.path("wayland-0");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const Listener tcp(AF_INET, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    ASSERT_EQ(getsockname(tcp.fd(), reinterpret_cast<sockaddr*>(&local), &size), 0);
    const std::string tcpDisplay = "127.0.0.1:" + std::to_string(ntohs(local.sin_port) - 6000) + ".0";
    {
        const Listener x = unixListener("/tmp/.X11-unix/X987", true), w = unixListener(wayland, false);
        const struct {
            const char* display;
            std::string waylandDisplay;
            bool expected;
        } cases[] = {
            {":987", "", true},                  // the abstract socket
            {"unix:987.0", "", true},            // the same, named as this machine's
            {tcpDisplay.c_str(), "", true},      // over TCP
            {"", wayland, true},                 // Wayland by path
            {":986", "", false},                 // nobody there
            {"unix:x", "", false},               // no display number
            {"", box.path("wayland-1"), false},  // no Wayland socket
            {"", "", false},
        };
        for (const auto& c : cases) {
            setenv("DISPLAY", c.display, 1);
            setenv("WAYLAND_DISPLAY", c.waylandDisplay.c_str(), 1);
            EXPECT_EQ(ui::haveDisplay(), c.expected) << c.display << " " << c.waylandDisplay;
        }
    }
    setenv("DISPLAY", ":987", 1);
    EXPECT_FALSE(ui::haveDisplay()) << "nobody listens any more";
}

}  // namespace
}  // namespace vlt::test
