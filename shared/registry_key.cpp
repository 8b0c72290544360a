#include "shared/registry_key.h"

#include <cstring>

#include "base/wipe.h"
#include "registry/hives.h"

namespace vlt {

RegistryKey::~RegistryKey() {
    releaseBuffers();
    Close();
}

void RegistryKey::releaseBuffers() {
    // Enumerating the Profile key passes the unlock cache through the data buffer.
    base::secureWipe(m_dataBuffer);
    m_dataBuffer.shrink_to_fit();
    m_nameBuffer.clear();
    m_nameBuffer.shrink_to_fit();
}

LONG RegistryKey::Create(HKEY parent, LPCSTR subKey, LPSTR keyClass, DWORD options, REGSAM access,
                         const SECURITY_ATTRIBUTES* security, DWORD* disposition) {
    HKEY key = nullptr;
    DWORD got = 0;
    const LONG result = RegCreateKeyExA(parent, subKey, 0, keyClass, options, access, security, &key, &got);
    if (result != ERROR_SUCCESS) return result;
    if (disposition != nullptr) *disposition = got;
    Close();
    m_handle = key;
    return result;
}

LONG RegistryKey::Open(HKEY parent, LPCSTR subKey, REGSAM access) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(parent, subKey, 0, access, &key);
    if (result != ERROR_SUCCESS) return result;
    Close();
    m_handle = key;
    return result;
}

LONG RegistryKey::Close() {
    if (m_handle == nullptr) return ERROR_SUCCESS;
    const LONG result = RegCloseKey(m_handle);
    m_handle = nullptr;
    return result;
}

LONG RegistryKey::QueryDword(DWORD& value, LPCSTR name) {
    DWORD read = value;
    DWORD size = sizeof read;
    const LONG result = RegQueryValueExA(m_handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size);
    if (result == ERROR_SUCCESS) value = read;
    return result;
}

std::optional<std::vector<BYTE>> RegistryKey::QueryBinary(LONG& result, LPCSTR name, DWORD& length) {
    length = 0;
    result = RegQueryValueExA(m_handle, name, nullptr, nullptr, nullptr, &length);
    if (result != ERROR_SUCCESS) return std::nullopt;
    std::vector<BYTE> buffer(length);
    // A zero-length value still gets its (empty) buffer; data() of an empty vector may be null,
    // and a null data pointer would turn the read into another size query.
    BYTE none = 0;
    result = RegQueryValueExA(m_handle, name, nullptr, nullptr, buffer.empty() ? &none : buffer.data(), &length);
    return buffer;
}

LONG RegistryKey::SetDword(DWORD value, LPCSTR name) {
    return RegSetValueExA(m_handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegistryKey::SetString(LPCSTR text, LPCSTR name) {
    return RegSetValueExA(m_handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

LONG RegistryKey::SetKeyValue(LPCSTR subKey, LPCSTR text, LPCSTR name) {
    return SetKeyValue(m_handle, subKey, text, name);
}

LONG RegistryKey::SetKeyValue(HKEY parent, LPCSTR subKey, LPCSTR text, LPCSTR name) {
    RegistryKey key;
    const LONG result = key.Create(parent, subKey);
    if (result != ERROR_SUCCESS) return result;
    return key.SetString(text, name);
}

LONG RegistryKey::DeleteTree(LPCSTR subKey) { return RegDeleteTreeA(m_handle, subKey); }

LONG RegistryKey::BeginValueEnumeration() {
    m_enumeratedKey = m_handle;
    m_enumerationIndex = 0;
    releaseBuffers();
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    const LONG result = RegQueryInfoKeyA(m_handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                         &longestName, &longestData, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    m_nameBufferSize = longestName + 1;
    m_dataBufferSize = longestData + 1;
    m_nameBuffer.assign(m_nameBufferSize, '\0');
    m_dataBuffer.assign(m_dataBufferSize, 0);
    m_valueCount = count;
    return result;
}

LONG RegistryKey::NextValue(RegistryValue& value) {
    // Without a prepared cursor there is nothing to fetch into.
    if (m_nameBuffer.empty() || m_dataBuffer.empty()) {
        ++m_enumerationIndex;
        return ERROR_INVALID_PARAMETER;
    }
    value.nameLength = m_nameBufferSize;
    value.dataLength = m_dataBufferSize;
    const LONG result = RegEnumValueA(m_enumeratedKey, m_enumerationIndex, m_nameBuffer.data(), &value.nameLength,
                                      nullptr, &value.type, m_dataBuffer.data(), &value.dataLength);
    if (result == ERROR_SUCCESS) {
        value.name = m_nameBuffer.data();
        value.data = m_dataBuffer.data();
    }
    ++m_enumerationIndex;
    return result;
}

RegistryTransaction::RegistryTransaction(HKEY root)
    : m_root(root), m_status(registry::beginTransaction(root)), m_open(m_status == ERROR_SUCCESS) {}

RegistryTransaction::~RegistryTransaction() {
    if (m_open) registry::rollbackTransaction(m_root);
}

LONG RegistryTransaction::Commit() {
    if (!m_open) return m_status == ERROR_SUCCESS ? ERROR_INVALID_PARAMETER : m_status;
    m_open = false;
    return registry::commitTransaction(m_root);
}

}  // namespace vlt
