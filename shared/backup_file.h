// The profile backup (".Vtb"): the four key values of the Profile key, InitUser, the
// automatic-lock period and both certificate stores, after the common header.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/byte_codec.h"
#include "base/result.h"
#include "shared/registry_layout.h"
#include "win32/windef.h"

namespace vlt {

// One value of a certificate store.
struct StoreItem {
    std::string name;  // the bytes as stored in the file (length-prefixed, no terminator)
    Bytes data;        // a CertificateStoreEntry
};

// The registry value name a store item is restored under: at most 259 characters, ending early
// at a zero byte.
std::string storeItemValueName(const StoreItem& item);

struct BackupFile {
    Bytes baseRecord;          // ExchangeBlob1
    Bytes baseWrappedKey;      // ExchangeBlob2
    Bytes enhancedRecord;      // ExchangeBlob3; empty (length 0) when the profile has none
    Bytes enhancedWrappedKey;  // ExchangeBlob4; likewise
    DWORD initUser = 0;
    DWORD timeOutPeriod = layout::kBackupDefaultTimeOutPeriod;
    // Absent when the file ends before the store's count; restored as an empty store.
    std::optional<std::vector<StoreItem>> personalStore;
    std::optional<std::vector<StoreItem>> systemStore;
};

// Parses a whole backup file, header included. Every length is checked against what remains;
// a file with bytes after the system store is refused. Error::code is a FileProblem.
Result<BackupFile> parseBackupFile(ByteView file);
// The file's bytes. A personal store that is absent while the system store is present is
// written as an empty store, so that the system store is not read back as the personal one.
Bytes buildBackupFile(const BackupFile& backup);

// Collects the current profile and stores into a BackupFile. Fails when the Profile key cannot
// be opened or ExchangeBlob1/ExchangeBlob2 cannot be read: the format has no way to mark them
// missing, and a restore would take the following fields for them.
Result<BackupFile> collectBackup();

// 1 when the file was written completely and renamed into place; 0 when the path is empty,
// the profile cannot be read (see collectBackup) or the file cannot be written, leaving
// nothing behind. Shows no message.
int writeBackup(const std::string& path);

// Stores the backup into the registry: the Profile values, then the personal store
// (HKEY_CURRENT_USER) and the system store (HKEY_LOCAL_MACHINE). The Profile values and the
// personal store are one registry transaction: false, with nothing of them changed, when the
// Profile key cannot be created or a key value cannot be stored. Then the unlock cache goes.
// Store writes that fail, and a store key that cannot be opened, are skipped.
bool storeBackup(const BackupFile& backup);

// Checks and restores a backup file, showing "File open error...", "Please check, the selected
// file is not a VLT File..." (also for a body that does not fit the layout) or "Incorrect
// version..." with caption "VLT Emergency Report" and MB_ICONEXCLAMATION, owned by `owner`.
// Nothing is stored from a file that does not parse. 1 restored, 0 failed (registry failures
// show no message; the caller reports them).
int RestoreBackup(ByteView file, HWND owner);
// The same for an open file, read from its start.
int RestoreBackup(int fd, HWND owner);

}  // namespace vlt
