#include "hosts/shell/password_stdin.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/wipe.h"
#include "win32/winerror.h"

namespace vlt::host {

Result<std::string> readPasswordLine(int fd, std::size_t maxBytes) {
    // Room for the longest line with "\r", so the buffer never moves and leaves no copy behind.
    std::string line;
    line.reserve(maxBytes + 2);
    auto refuse = [&line](const std::string& why) -> Error {
        base::secureWipe(line);
        return fail("--password-stdin: " + why, ERROR_INVALID_PARAMETER);
    };
    bool ended = false;
    while (line.size() < maxBytes + 2) {
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return refuse(std::string("cannot read standard input: ") + std::strerror(errno));
        if (n == 0) break;
        if (c == '\n') {
            ended = true;
            break;
        }
        if (c == '\0') return refuse("the password contains a NUL byte");
        line.push_back(c);
    }
    if (!ended && line.empty()) return refuse("standard input is closed; no password was given");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > maxBytes)
        return refuse("the password is longer than " + std::to_string(maxBytes) + " bytes");
    if (line.empty()) return refuse("the password is empty");
    return line;
}

}  // namespace vlt::host
