// Conversion between UTF-8 (what Linux programs and terminals speak) and the Windows ANSI code
// page (what passwords, identity strings and registry texts are stored in). Only single-byte
// code pages are supported; a character the code page cannot hold is refused, never replaced.
#pragma once

#include <string>
#include <string_view>

#include "base/export.h"
#include "base/result.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

constexpr unsigned kDefaultAnsiCodePage = 1252;

bool isSupportedAnsiCodePage(unsigned codePage);

Result<std::string> utf8ToAnsi(std::string_view utf8, unsigned codePage = kDefaultAnsiCodePage);
// Bytes the code page leaves undefined come out as U+FFFD.
std::string ansiToUtf8(std::string_view ansi, unsigned codePage = kDefaultAnsiCodePage);

}  // namespace vlt::base

VLT_EXPORT_END
