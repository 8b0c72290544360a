// REG_BINARY values are read whole and written directly on a key's handle by the code that
// owns them.
#pragma once

#include <optional>

#include "base/byte_codec.h"
#include "base/wipe.h"
#include "shared/registry_key.h"
#include "win32/winreg.h"

namespace vlt {

inline LONG setBinaryValue(HKEY key, LPCSTR name, ByteView data) {
    static const BYTE kNone = 0;  // a zero-length value still needs a data pointer
    return RegSetValueExA(key, name, 0, REG_BINARY, data.empty() ? &kNone : data.data(),
                          static_cast<DWORD>(data.size()));
}

// The whole value, or nothing when it cannot be read.
inline std::optional<Bytes> readBinaryValue(RegistryKey& key, LPCSTR name) {
    LONG result = ERROR_SUCCESS;
    DWORD length = 0;
    auto buffer = key.QueryBinary(result, name, length);
    if (!buffer) return std::nullopt;
    if (result != ERROR_SUCCESS) {
        base::secureWipe(*buffer);
        return std::nullopt;
    }
    return buffer;
}

}  // namespace vlt
