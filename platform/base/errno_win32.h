// Where the platform layer meets the C library: an errno value becomes the Win32 error code
// that Windows gives for the same condition, once, here.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

#include "base/export.h"
#include "base/result.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

// ERROR_GEN_FAILURE for what Windows has no closer code for.
std::uint32_t win32FromErrno(int error);

// An Error with the Win32 code of `error` and the message "what: <the system's text>".
Error errnoError(const std::string& what, int error = errno);

}  // namespace vlt::base

VLT_EXPORT_END
