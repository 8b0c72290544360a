#include <cstring>
#include <string>

#include "base/paths.h"
#include "win32/sysinfoapi.h"
#include "win32/winbase.h"

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    std::string dir = vlt::base::systemDir();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!lpBuffer || dir.size() + 1 > uSize) return static_cast<UINT>(dir.size() + 1);
    std::memcpy(lpBuffer, dir.c_str(), dir.size() + 1);
    return static_cast<UINT>(dir.size());
}
