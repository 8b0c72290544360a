// The two certificate stores the applet manages, without windows: what differs between the
// personal and the system store, the names as their page lists them, and the import and delete
// rules that the store pages and `vlt cert` share.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shared/certificate_store.h"
#include "shared/profile_file.h"
#include "win32/windef.h"
#include "win32/winreg.h"

namespace vlt::applet {

enum class StoreKind { Personal, System };

// Everything in which the twins differ.
struct StoreTraits {
    StoreKind kind;
    CertificateStore store;
    int templateId;
    const char* tabCaption;
    const char* explanation;
    DWORD listStyle;
    HKEY root;
    const char* keyPath;
    StorePage readerPage;   // caption and wrong-magic text of the file reader
    const char* caption;    // of the page's own file messages
    int certificateMode;    // the card's mode for an entry of this store
    bool clearSelectionOnNo;
};

const StoreTraits& storeTraits(StoreKind kind);

inline constexpr char kCannotOpenFileText[] = "Cannot open file. Try Again";
inline constexpr char kAlreadyInStoreText[] = "The Certificate for %s already exists in the store.";
inline constexpr char kWriteFailedText[] = "A Certificate for %s already exists in the store.";
inline constexpr char kImportCaption[] = "Certificate Import";
inline constexpr char kImportErrorCaption[] = "Certificate Import Error.";
inline constexpr char kSameNameQuestion[] =
    "The certificate with the same name already exists.\nDo you want to add this in another name?";
inline constexpr char kDeleteQuestion[] = "This certificate is about to be deleted.\nDo you wish to continue?";

// The entries' names (ANSI) in the order the page lists them: the reverse of the registry's.
// readOnly is set when the store could be opened for reading only.
struct StoreListing {
    std::vector<std::string> names;
    bool readOnly = false;
};
StoreListing listStore(const StoreTraits& store);

// True when this user may change the store. When not, says so (kStoreChangeRefused, owned by
// owner) and returns false.
bool confirmMayChange(const StoreTraits& store, HWND owner);

enum class ImportResult {
    Unreadable,      // the file could not be opened or was refused (a message said so)
    NoStore,         // the store key could not be created or opened (no message)
    AlreadyPresent,  // the same bytes are stored under the name
    Declined,        // No to the same-name question, or Cancel of the new name
    Stored,
    WriteFailed,
};

struct ImportHooks {
    // The same-name question was answered Yes: the typed name (ANSI), or nothing on Cancel.
    std::function<std::optional<std::string>()> askNewName;
    // An item enters the page's list, before its entry is written.
    std::function<void(const std::string& name)> itemAdded;
};

// Steps 2 to 9 of an import: reads `path`, checks it, scans the store and stores the entry
// under the holder's name or a new one. Every message is owned by `owner`. storedAs receives
// the name written (or the name already present).
ImportResult importCertificate(const StoreTraits& store, const std::string& path, HWND owner,
                               const ImportHooks& hooks, std::string* storedAs = nullptr);

// Removes the entry named `name` (RegDeleteValue); the result of the open or the delete.
LONG deleteStoreEntry(const StoreTraits& store, const std::string& name);

}  // namespace vlt::applet
