#include "registry/nls.h"

#include "base/codepage.h"
#include "win32/winreg.h"

namespace vlt::registry {

unsigned activeCodePage() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return base::kDefaultAnsiCodePage;
    char text[16] = {};
    DWORD type = 0;
    DWORD size = sizeof text - 1;
    const LONG rc = RegQueryValueExA(key, "ACP", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return base::kDefaultAnsiCodePage;
    unsigned page = 0;
    DWORD i = 0;
    for (; i < size && text[i] >= '0' && text[i] <= '9' && page < 100000; ++i)
        page = page * 10 + static_cast<unsigned>(text[i] - '0');
    // Digits, then nothing or the terminator.
    if (i == 0 || (i < size && text[i] != '\0')) return base::kDefaultAnsiCodePage;
    return base::isSupportedAnsiCodePage(page) ? page : base::kDefaultAnsiCodePage;
}

Result<std::string> toAnsi(std::string_view utf8) { return base::utf8ToAnsi(utf8, activeCodePage()); }

std::string fromAnsi(std::string_view ansi) { return base::ansiToUtf8(ansi, activeCodePage()); }

}  // namespace vlt::registry
