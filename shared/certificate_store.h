// The two certificate stores as every deliverable reaches them. The machine-wide store belongs
// to whoever may write the machine hive (root): everyone else reads it, so readers fall back to
// read access where the Windows original asked for full access and saw nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shared/registry_key.h"

namespace vlt {

enum class CertificateStore { Personal, System };

// The grant request's store flag: 1 personal, 0 system.
inline CertificateStore storeOfFlag(DWORD storeFlag) {
    return storeFlag == 1 ? CertificateStore::Personal : CertificateStore::System;
}

HKEY storeRoot(CertificateStore store);

// Opens the store key for reading: with full access when that is allowed (creating it when
// create is set), else with read access. Either way the key is only read through this handle;
// changes go through a key opened with full access.
LONG openStoreForReading(RegistryKey& key, CertificateStore store, bool create = false);

// Whether this user may import into or delete from the store.
bool mayChangeStore(CertificateStore store);

// Shown when a change to the system store is refused.
inline constexpr char kStoreChangeRefused[] = "Only an administrator can change the system certificate store.";

// The entries' names in the store's order; empty when the key is missing or unreadable.
std::vector<std::string> storeEntryNames(CertificateStore store);

// The entry's data, nothing when it is not there or cannot be read.
std::optional<std::vector<BYTE>> readStoreEntry(CertificateStore store, const std::string& name);

}  // namespace vlt
