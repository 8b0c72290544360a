// --password-stdin: the password as the first line of standard input, read the way the
// password dialog takes one, so that a password read here can be typed there too.
#pragma once

#include <cstddef>
#include <string>

#include "base/result.h"

namespace vlt::host {

// The password dialog's buffer holds 99 characters and its terminator.
inline constexpr std::size_t kMaxStdinPassword = 99;

// Reads one line of at most maxBytes bytes (a final "\r" and the newline not counted) and not
// a byte past its newline. A longer line is refused, never cut; so are a NUL, an empty line and
// a standard input closed before anything came. The message says which.
Result<std::string> readPasswordLine(int fd = 0, std::size_t maxBytes = kMaxStdinPassword);

}  // namespace vlt::host
