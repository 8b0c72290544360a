// Values of the user's hive as the suite's programs read them.
#pragma once

#include <optional>

#include "shared/registry_key.h"

namespace vlt::test {

// The DWORD `name` of `key` below HKEY_CURRENT_USER; nothing when either is missing.
inline std::optional<DWORD> userDword(const char* key, const char* name) {
    RegistryKey k;
    DWORD value = 0;
    if (k.Open(HKEY_CURRENT_USER, key, KEY_READ) != ERROR_SUCCESS || k.QueryDword(value, name) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

}  // namespace vlt::test
