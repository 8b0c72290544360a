#include "shared/backup_file.h"

#include "shared/certificate_store.h"
#include "shared/file_header.h"
#include "shared/file_io.h"
#include "shared/profile_keys.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "win32/winuser.h"

namespace vlt {
namespace {

Result<std::optional<std::vector<StoreItem>>> parseStore(ByteReader& in) {
    // The writer leaves out a store whose key it cannot open; at the end of the file that
    // reads as an empty store.
    if (in.atEnd()) return std::optional<std::vector<StoreItem>>{};
    DWORD count = 0;
    if (!in.u32(count)) return fileProblem(FileProblem::Malformed, "store count cut short");
    std::vector<StoreItem> items;
    for (DWORD i = 0; i < count; ++i) {
        StoreItem& item = items.emplace_back();
        if (!in.block(item.name) || !in.block(item.data))
            return fileProblem(FileProblem::Malformed, "store item runs past the end");
    }
    return std::optional<std::vector<StoreItem>>{std::move(items)};
}

void appendStore(Bytes& out, const std::vector<StoreItem>& items) {
    appendU32(out, static_cast<DWORD>(items.size()));
    for (const auto& item : items) {
        appendBlock(out, asBytes(item.name));
        appendBlock(out, item.data);
    }
}

// Every value of a store key, or nothing when the key cannot be created or opened.
std::optional<std::vector<StoreItem>> collectStore(CertificateStore store) {
    RegistryKey key;
    if (openStoreForReading(key, store, true) != ERROR_SUCCESS) return std::nullopt;
    std::vector<StoreItem> items;
    if (key.BeginValueEnumeration() != ERROR_SUCCESS || key.ValueCount() == 0) return items;
    RegistryValue value;
    // The count written is that of the items fetched, so that a value that vanished or grew
    // since the count was taken does not leave the count pointing past the items.
    while (key.NextValue(value) == ERROR_SUCCESS)
        items.push_back({std::string(value.name, value.nameLength), Bytes(value.data, value.data + value.dataLength)});
    return items;
}

// false when the key or any item could not be written.
bool restoreStore(HKEY hive, LPCSTR path, const std::vector<StoreItem>& items) {
    RegistryKey key;
    if (key.Create(hive, path) != ERROR_SUCCESS) return false;
    bool all = true;
    for (const auto& item : items)
        all = setBinaryValue(key.Handle(), storeItemValueName(item).c_str(), item.data) == ERROR_SUCCESS && all;
    return all;
}

void report(HWND owner, const char* text) { MessageBoxA(owner, text, kEmergencyCaption, MB_ICONEXCLAMATION); }

}  // namespace

std::string storeItemValueName(const StoreItem& item) { return cText(asBytes(item.name), MAX_PATH); }

Result<BackupFile> parseBackupFile(ByteView file) {
    ByteReader in(file);
    if (auto header = readFileHeader(in); !header) return header.error();
    BackupFile backup;
    for (Bytes* value : {&backup.baseRecord, &backup.baseWrappedKey, &backup.enhancedRecord, &backup.enhancedWrappedKey})
        if (!in.block(*value)) return fileProblem(FileProblem::Malformed, "profile value runs past the end");
    if (!in.u32(backup.initUser) || !in.u32(backup.timeOutPeriod))
        return fileProblem(FileProblem::Malformed, "InitUser or TimeOut Period cut short");
    auto personal = parseStore(in);
    if (!personal) return personal.error();
    backup.personalStore = std::move(*personal);
    auto system = parseStore(in);
    if (!system) return system.error();
    backup.systemStore = std::move(*system);
    if (!in.atEnd()) return fileProblem(FileProblem::Malformed, "bytes after the system store");
    return backup;
}

Bytes buildBackupFile(const BackupFile& backup) {
    Bytes out;
    appendFileHeader(out);
    appendBlock(out, backup.baseRecord);
    appendBlock(out, backup.baseWrappedKey);
    appendBlock(out, backup.enhancedRecord);
    appendBlock(out, backup.enhancedWrappedKey);
    appendU32(out, backup.initUser);
    appendU32(out, backup.timeOutPeriod);
    if (backup.personalStore) appendStore(out, *backup.personalStore);
    else if (backup.systemStore) appendU32(out, 0);
    if (backup.systemStore) appendStore(out, *backup.systemStore);
    return out;
}

Result<BackupFile> collectBackup() {
    BackupFile backup;
    {
        RegistryKey profile;
        if (const LONG r = profile.Open(HKEY_CURRENT_USER, layout::kProfileKey); r != ERROR_SUCCESS)
            return fail("the Profile key cannot be opened", static_cast<std::uint32_t>(r));
        auto baseRecord = readBinaryValue(profile, layout::kExchangeBlob1);
        auto baseWrapped = readBinaryValue(profile, layout::kExchangeBlob2);
        if (!baseRecord || !baseWrapped) return fail("the profile has no Base key pair", ERROR_FILE_NOT_FOUND);
        backup.baseRecord = std::move(*baseRecord);
        backup.baseWrappedKey = std::move(*baseWrapped);
        if (auto v = readBinaryValue(profile, layout::kExchangeBlob3)) backup.enhancedRecord = std::move(*v);
        if (auto v = readBinaryValue(profile, layout::kExchangeBlob4)) backup.enhancedWrappedKey = std::move(*v);
        profile.QueryDword(backup.initUser, layout::kInitUser);
        profile.QueryDword(backup.timeOutPeriod, layout::kTimeOutPeriod);
    }
    backup.personalStore = collectStore(CertificateStore::Personal);
    backup.systemStore = collectStore(CertificateStore::System);
    return backup;
}

int writeBackup(const std::string& path) {
    if (path.empty()) return 0;
    auto backup = collectBackup();
    if (!backup) return 0;
    // The backup holds the wrapped private keys: readable by the owner only.
    return writeAtomically(path, buildBackupFile(*backup), 0600);
}

bool storeBackup(const BackupFile& backup) {
    // The profile and the personal store change as one: a failure or a kill leaves the old
    // profile whole.
    RegistryTransaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return false;
    {
        RegistryKey profile;
        if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
        const HKEY key = profile.Handle();
        if (setBinaryValue(key, layout::kExchangeBlob1, backup.baseRecord) != ERROR_SUCCESS) return false;
        if (setBinaryValue(key, layout::kExchangeBlob2, backup.baseWrappedKey) != ERROR_SUCCESS) return false;
        // A profile without Enhanced values keeps any the target already has.
        if (!backup.enhancedRecord.empty() &&
            setBinaryValue(key, layout::kExchangeBlob3, backup.enhancedRecord) != ERROR_SUCCESS)
            return false;
        if (!backup.enhancedWrappedKey.empty() &&
            setBinaryValue(key, layout::kExchangeBlob4, backup.enhancedWrappedKey) != ERROR_SUCCESS)
            return false;
        profile.SetDword(backup.initUser, layout::kInitUser);
        profile.SetDword(backup.timeOutPeriod, layout::kTimeOutPeriod);
    }
    if (backup.personalStore) restoreStore(HKEY_CURRENT_USER, layout::kCertificateKey, *backup.personalStore);
    if (transaction.Commit() != ERROR_SUCCESS) return false;
    // The old keys' unlock cache must not outlive them.
    lockProfile();
    // The machine-wide store is in the other hive, a database of its own that no transaction of
    // the user's hive covers: it changes in a second transaction, all its items or none. Without
    // the right to change it, its items are skipped and the profile stays restored.
    if (backup.systemStore) {
        RegistryTransaction machine(HKEY_LOCAL_MACHINE);
        if (machine.Status() == ERROR_SUCCESS &&
            restoreStore(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey, *backup.systemStore))
            machine.Commit();
    }
    return true;
}

int RestoreBackup(ByteView file, HWND owner) {
    auto backup = parseBackupFile(file);
    if (!backup) {
        switch (problemOf(backup.error())) {
            case FileProblem::Empty: report(owner, kFileOpenErrorText); break;
            case FileProblem::BadVersion: report(owner, kIncorrectVersionText); break;
            default: report(owner, kNotVltFileText); break;
        }
        return 0;
    }
    return storeBackup(*backup) ? 1 : 0;
}

int RestoreBackup(int fd, HWND owner) {
    Bytes file;
    switch (readWholeFile(fd, file)) {
        case ReadOutcome::Ok: break;
        case ReadOutcome::NoMemory: return 0;  // the caller reports it
        default: report(owner, kFileOpenErrorText); return 0;
    }
    return RestoreBackup(file, owner);
}

}  // namespace vlt
