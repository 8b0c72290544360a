// The network provider's view of the user (platform/sys): the name the local user is known
// by, from the password database.
#pragma once

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winerror.h"

VLT_EXPORT_BEGIN

// lpName is ignored (no network connections exist here). NO_ERROR with the name copied;
// ERROR_MORE_DATA with *lpnLength the size needed (terminator included) when the buffer is
// short; ERROR_NO_NETWORK when the effective user has no entry; ERROR_INVALID_PARAMETER for
// null pointers.
DWORD WNetGetUserA(LPCSTR lpName, LPSTR lpUserName, LPDWORD lpnLength);

VLT_EXPORT_END
