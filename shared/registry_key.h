// The registry key wrapper every deliverable uses: one held key plus a cursor over its values.
// Every operation hands back the platform's result code unchanged.
#pragma once

#include <optional>
#include <vector>

#include "win32/windef.h"
#include "win32/winreg.h"

namespace vlt {

// What one enumeration step fills. name and data point into the key's buffers and stay valid
// until the next BeginValueEnumeration on the same key or its destruction.
struct RegistryValue {
    const char* name = nullptr;
    DWORD nameLength = 0;  // characters, without terminator
    const BYTE* data = nullptr;
    DWORD dataLength = 0;  // bytes
    DWORD type = REG_NONE;
};

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Creates or opens parent\subKey. On success the previously held key is closed and the new
    // one held; on failure the held key stays as it was.
    LONG Create(HKEY parent, LPCSTR subKey, LPSTR keyClass = nullptr, DWORD options = REG_OPTION_NON_VOLATILE,
                REGSAM access = KEY_ALL_ACCESS, const SECURITY_ATTRIBUTES* security = nullptr,
                DWORD* disposition = nullptr);
    // Opens an existing parent\subKey; same replacement rule as Create.
    LONG Open(HKEY parent, LPCSTR subKey, REGSAM access = KEY_ALL_ACCESS);
    // 0 when nothing was held.
    LONG Close();

    // Reads at most 4 bytes whatever the value's type; on failure value keeps what the caller
    // put there, which is how callers supply their defaults.
    LONG QueryDword(DWORD& value, LPCSTR name);
    // The whole value in a buffer of exactly its size. result and length report the outcome;
    // no buffer when the size query fails. A zero-length value gives an empty buffer and 0.
    // Buffers of secret values are the caller's to wipe.
    std::optional<std::vector<BYTE>> QueryBinary(LONG& result, LPCSTR name, DWORD& length);

    LONG SetDword(DWORD value, LPCSTR name);
    // REG_SZ including its terminator.
    LONG SetString(LPCSTR text, LPCSTR name);
    // Writes a string into subKey below the held key, creating subKey with full access.
    LONG SetKeyValue(LPCSTR subKey, LPCSTR text, LPCSTR name = nullptr);
    static LONG SetKeyValue(HKEY parent, LPCSTR subKey, LPCSTR text, LPCSTR name = nullptr);
    // Deletes subKey and everything below it, as one transaction.
    LONG DeleteTree(LPCSTR subKey);

    // Measures the held key's values and prepares buffers of the longest name + 1 and the
    // longest data + 1.
    LONG BeginValueEnumeration();
    // Fetches the next value; the index moves on even when the fetch fails, and a value that
    // grew since BeginValueEnumeration fails with ERROR_MORE_DATA (callers end their loop on
    // any non-zero code). Without a successful BeginValueEnumeration: ERROR_INVALID_PARAMETER.
    LONG NextValue(RegistryValue& value);
    DWORD ValueCount() const { return m_valueCount; }

    // The held key, for the REG_BINARY writes (RegSetValueExA) and deletes callers make
    // directly. Null when closed.
    HKEY Handle() const { return m_handle; }

private:
    void releaseBuffers();

    HKEY m_handle = nullptr;
    DWORD m_valueCount = 0;
    DWORD m_nameBufferSize = 0;
    DWORD m_dataBufferSize = 0;
    HKEY m_enumeratedKey = nullptr;
    DWORD m_enumerationIndex = 0;
    std::vector<BYTE> m_dataBuffer;
    std::vector<char> m_nameBuffer;
};

// Groups the changes this thread makes to one hive into one transaction (see
// registry/hives.h): other processes see all of them or none, also when this one is killed
// part-way. Rolled back at destruction unless Commit succeeded. Guards nest.
class RegistryTransaction {
public:
    explicit RegistryTransaction(HKEY root = HKEY_CURRENT_USER);
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // The outcome of the begin: ERROR_SUCCESS, or why no transaction is open.
    LONG Status() const { return m_status; }
    // Ends the transaction, keeping its changes; after a failure they are gone.
    LONG Commit();

private:
    HKEY m_root;
    LONG m_status;
    bool m_open;
};

}  // namespace vlt
