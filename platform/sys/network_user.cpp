// WNetGetUserA over the password database: the effective user's login name.
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "win32/winnetwk.h"

DWORD WNetGetUserA(LPCSTR /*lpName*/, LPSTR lpUserName, LPDWORD lpnLength) {
    if (lpnLength == nullptr || (lpUserName == nullptr && *lpnLength != 0)) return ERROR_INVALID_PARAMETER;
    long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    passwd pw{};
    passwd* found = nullptr;
    int rc = 0;
    while ((rc = getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found)) == ERANGE && buf.size() < (1u << 20))
        buf.resize(buf.size() * 2);
    if (rc != 0 || found == nullptr || found->pw_name == nullptr || found->pw_name[0] == 0) return ERROR_NO_NETWORK;
    const std::size_t need = std::strlen(found->pw_name) + 1;
    if (*lpnLength < need) {
        *lpnLength = static_cast<DWORD>(need);
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpUserName, found->pw_name, need);
    return NO_ERROR;
}
