#include "applet/certificate_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "applet/resources.h"
#include "shared/file_header.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/commctrl.h"
#include "win32/winuser.h"

namespace vlt::applet {
namespace {

// List-view styles the window runtime does not name.
constexpr DWORD kAutoArrange = 0x0100;      // LVS_AUTOARRANGE
constexpr DWORD kNoColumnHeader = 0x4000;   // LVS_NOCOLUMNHEADER

const StoreTraits kPersonal{
    StoreKind::Personal,
    CertificateStore::Personal,
    kPersonalStorePage,
    "Personal Certificate Store",
    "VLT Certificates imported into the personal store is visible only to you. These certificates can be used "
    "later to create encrypted files specifically for certain people.",
    LVS_LIST | LVS_SINGLESEL | LVS_SHOWSELALWAYS | kNoColumnHeader,
    HKEY_CURRENT_USER,
    layout::kCertificateKey,
    StorePage::Personal,
    kStatusCaption,
    0,
    false,
};

const StoreTraits kSystem{
    StoreKind::System,
    CertificateStore::System,
    kSystemStorePage,
    "System Certificate Store",
    "VLT Certificates imported into this store can be used by all users on this system. These certificates can "
    "be used later to create encrypted files specifically for certain people.",
    LVS_LIST | LVS_SINGLESEL | kAutoArrange,
    HKEY_LOCAL_MACHINE,
    layout::kMachineCertificateKey,
    StorePage::System,
    kEmergencyCaption,
    1,
    true,
};

// The message with the holder's name in place of its "%s".
std::string withName(const char* format, const std::string& name) {
    std::string out = format;
    if (const auto at = out.find("%s"); at != std::string::npos) out.replace(at, 2, name);
    return out;
}

// What the scan of step 5 found for one name.
struct ScanResult {
    bool nameTaken = false;
    bool present = false;
};

ScanResult scanStore(RegistryKey& key, const std::string& name, ByteView entry) {
    ScanResult found;
    if (key.BeginValueEnumeration() != ERROR_SUCCESS) return found;
    RegistryValue value;
    while (key.NextValue(value) == ERROR_SUCCESS) {
        // Exact and case-sensitive, as lstrcmpA compares equal strings.
        if (std::string(value.name, value.nameLength) != name) continue;
        found.nameTaken = true;
        if (value.dataLength == entry.size() &&
            (entry.empty() || std::memcmp(value.data, entry.data(), entry.size()) == 0)) {
            found.present = true;
            break;
        }
    }
    return found;
}

}  // namespace

const StoreTraits& storeTraits(StoreKind kind) { return kind == StoreKind::Personal ? kPersonal : kSystem; }

StoreListing listStore(const StoreTraits& store) {
    StoreListing listing;
    listing.readOnly = !mayChangeStore(store.store);
    RegistryKey key;
    if (openStoreForReading(key, store.store) != ERROR_SUCCESS || key.BeginValueEnumeration() != ERROR_SUCCESS)
        return listing;
    RegistryValue value;
    while (key.NextValue(value) == ERROR_SUCCESS)
        listing.names.insert(listing.names.begin(), std::string(value.name, value.nameLength));
    return listing;
}

bool confirmMayChange(const StoreTraits& store, HWND owner) {
    if (mayChangeStore(store.store)) return true;
    MessageBoxA(owner, kStoreChangeRefused, kStatusCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

ImportResult importCertificate(const StoreTraits& store, const std::string& path, HWND owner,
                               const ImportHooks& hooks, std::string* storedAs) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        MessageBoxA(owner, kCannotOpenFileText, store.caption, MB_ICONEXCLAMATION);
        return ImportResult::Unreadable;
    }
    auto contents = readProfileFile(fd, store.readerPage, owner);
    ::close(fd);
    if (!contents) return ImportResult::Unreadable;
    const std::string& name = contents->displayName;
    const Bytes& entry = contents->entryBytes;

    RegistryKey key;
    if (key.Create(store.root, store.keyPath) != ERROR_SUCCESS) return ImportResult::NoStore;
    const ScanResult scan = scanStore(key, name, entry);
    if (storedAs) *storedAs = name;
    if (scan.present) {
        MessageBoxA(owner, withName(kAlreadyInStoreText, name).c_str(), kImportCaption, MB_OK);
        return ImportResult::AlreadyPresent;
    }
    if (scan.nameTaken) {
        if (MessageBoxA(owner, kSameNameQuestion, kStatusCaption, MB_YESNO | MB_DEFBUTTON2) != IDYES)
            return ImportResult::Declined;
        const auto typed = hooks.askNewName ? hooks.askNewName() : std::nullopt;
        if (!typed) return ImportResult::Declined;
        if (hooks.itemAdded) hooks.itemAdded(*typed);
        if (storedAs) *storedAs = *typed;
        // Used as typed: a name that exists is replaced, and a failed write is not reported.
        return setBinaryValue(key.Handle(), typed->c_str(), entry) == ERROR_SUCCESS ? ImportResult::Stored
                                                                                    : ImportResult::WriteFailed;
    }
    if (hooks.itemAdded) hooks.itemAdded(name);
    if (setBinaryValue(key.Handle(), name.c_str(), entry) != ERROR_SUCCESS) {
        MessageBoxA(owner, withName(kWriteFailedText, name).c_str(), kImportErrorCaption, MB_OK);
        return ImportResult::WriteFailed;
    }
    return ImportResult::Stored;
}

LONG deleteStoreEntry(const StoreTraits& store, const std::string& name) {
    RegistryKey key;
    if (const LONG r = key.Open(store.root, store.keyPath); r != ERROR_SUCCESS) return r;
    return RegDeleteValueA(key.Handle(), name.c_str());
}

}  // namespace vlt::applet
