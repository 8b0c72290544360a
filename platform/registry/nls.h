// The ANSI code page of this "machine": HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Nls\CodePage
// value "ACP" (a REG_SZ such as "1252") when it names a supported single-byte code page,
// else Windows-1252.
#pragma once

#include <string>
#include <string_view>

#include "base/export.h"
#include "base/result.h"

VLT_EXPORT_BEGIN

namespace vlt::registry {

unsigned activeCodePage();
// UTF-8 typed by the user to ANSI bytes; refuses characters the code page cannot hold.
Result<std::string> toAnsi(std::string_view utf8);
std::string fromAnsi(std::string_view ansi);

}  // namespace vlt::registry

VLT_EXPORT_END
