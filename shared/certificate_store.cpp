#include "shared/certificate_store.h"

#include "registry/hives.h"
#include "shared/registry_binary.h"
#include "shared/registry_layout.h"

namespace vlt {

HKEY storeRoot(CertificateStore store) {
    return store == CertificateStore::Personal ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

LONG openStoreForReading(RegistryKey& key, CertificateStore store, bool create) {
    const HKEY root = storeRoot(store);
    const LONG full = create ? key.Create(root, layout::kCertificateKey) : key.Open(root, layout::kCertificateKey);
    if (full != ERROR_ACCESS_DENIED) return full;
    return key.Open(root, layout::kCertificateKey, KEY_READ);
}

bool mayChangeStore(CertificateStore store) { return registry::isHiveWritable(storeRoot(store)); }

std::vector<std::string> storeEntryNames(CertificateStore store) {
    std::vector<std::string> names;
    RegistryKey key;
    if (openStoreForReading(key, store) != ERROR_SUCCESS) return names;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(key.Handle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::string name(longest + 1, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = longest + 1;
        if (RegEnumValueA(key.Handle(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

std::optional<std::vector<BYTE>> readStoreEntry(CertificateStore store, const std::string& name) {
    RegistryKey key;
    if (openStoreForReading(key, store) != ERROR_SUCCESS) return std::nullopt;
    return readBinaryValue(key, name.c_str());
}

}  // namespace vlt
