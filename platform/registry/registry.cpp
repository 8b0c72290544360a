// Reg*A over SQLite hives.
//
// Reproduced from Windows:
// - HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, and HKEY_CLASSES_ROOT as the view of
//   HKEY_LOCAL_MACHINE\Software\Classes. Predefined handles are always valid; closing one is a
//   no-op; opening "" or NULL below one gives the predefined handle back.
// - Names compare without regard to ASCII case and keep the case they were first written in;
//   rewriting a value keeps its name and its place. Values and subkeys enumerate in creation
//   order. NULL or "" names the default value.
// - Paths: a leading backslash is ERROR_BAD_PATHNAME, trailing backslashes are ignored, a
//   component longer than 255 bytes is ERROR_INVALID_PARAMETER.
// - RegCreateKeyExA makes intermediate keys and reports REG_CREATED_NEW_KEY or
//   REG_OPENED_EXISTING_KEY.
// - Size queries (lpData NULL), ERROR_MORE_DATA with the needed size and the caller's buffer
//   untouched, ERROR_FILE_NOT_FOUND for a missing key or value, ERROR_NO_MORE_ITEMS past the
//   end of an enumeration, ERROR_KEY_DELETED through a handle whose key was deleted since,
//   ERROR_INVALID_HANDLE for anything not a handle. RegDeleteKeyA refuses a key with subkeys
//   and a predefined root (ERROR_ACCESS_DENIED) and deletes the key's values with it.
// - A key more than 512 levels below its hive's root is not created: RegCreateKeyExA fails
//   with ERROR_FILENAME_EXCED_RANGE (the code is ours).
// - RegDeleteTreeA deletes a key with everything below it, walking without recursion, as one
//   transaction (Windows may stop part-way). A NULL or empty lpSubKey (Windows: empty the key
//   itself) is ERROR_INVALID_PARAMETER.
// - Access: the rights a handle was opened with are checked (KEY_QUERY_VALUE to read values
//   and key information, KEY_ENUMERATE_SUB_KEYS to enumerate subkeys, KEY_SET_VALUE to set or
//   delete values). A hive this process may not write refuses any write right at open and
//   create (KEY_ALL_ACCESS included) and any change, with ERROR_ACCESS_DENIED. Generic rights
//   and MAXIMUM_ALLOWED are mapped as for keys.
// - RegQueryInfoKeyA: counts, longest names (characters without terminator), longest data,
//   last write time.
//
// Left out, refused with a defined error:
// - Key classes (a non-empty lpClass: ERROR_NOT_SUPPORTED; enumeration reports "").
// - Volatile keys (REG_OPTION_VOLATILE: ERROR_NOT_SUPPORTED; see hives.h for volatile values),
//   symbolic links (REG_OPTION_OPEN_LINK: ERROR_NOT_SUPPORTED), security descriptors (a non-null
//   lpSecurityDescriptor: ERROR_NOT_SUPPORTED; the hive's file permissions are its only ACL;
//   lpcbSecurityDescriptor reports 0). Other option bits, unknown access bits and non-zero
//   reserved arguments: ERROR_INVALID_PARAMETER.
// - lpData NULL with a non-zero size in RegSetValueExA is ERROR_INVALID_PARAMETER (Windows says
//   ERROR_NOACCESS).
// - Data is stored exactly as given and returned exactly as stored: a REG_SZ written without
//   its terminator comes back without one (Windows appends one). Names are ANSI bytes.
// - A leading backslash below HKEY_CLASSES_ROOT is refused like anywhere else (XP let it pass).
// - HKEY_CLASSES_ROOT does not merge HKEY_CURRENT_USER\Software\Classes.
// - Creating a subkey does not look at the parent handle's rights, only at the hive (as NT
//   checks the parent key's security, not the handle).
#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/wipe.h"
#include "registry/backend.h"
#include "registry/hives.h"
#include "win32/winreg.h"

using vlt::Error;
using vlt::registry::detail::Backend;
using vlt::registry::detail::HiveKind;
using vlt::registry::detail::KeyRef;
namespace store = vlt::registry::sqlite;

namespace {

constexpr DWORD kGenericRead = 0x80000000u;
constexpr DWORD kGenericWrite = 0x40000000u;
constexpr DWORD kGenericExecute = 0x20000000u;
constexpr DWORD kGenericAll = 0x10000000u;
constexpr DWORD kMaximumAllowed = 0x02000000u;
constexpr DWORD kSynchronize = 0x00100000u;
constexpr DWORD kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr DWORD kKnownAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY | KEY_WOW64_32KEY | kSynchronize | kGenericRead |
                               kGenericWrite | kGenericExecute | kGenericAll | kMaximumAllowed;
constexpr std::size_t kMaxValueName = 16383;

LONG code(const Error& e) { return e.code ? static_cast<LONG>(e.code) : ERROR_REGISTRY_IO_FAILED; }

// Generic rights to key rights; false for bits keys do not have.
bool mapAccess(REGSAM sam, bool writable, REGSAM& out) {
    if (sam & ~kKnownAccess) return false;
    out = sam & (KEY_ALL_ACCESS | KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    if (sam & (kGenericRead | kGenericExecute)) out |= KEY_READ;
    if (sam & kGenericWrite) out |= KEY_WRITE;
    if (sam & kGenericAll) out |= KEY_ALL_ACCESS;
    if (sam & kMaximumAllowed) out |= writable ? KEY_ALL_ACCESS : KEY_READ;
    return true;
}

bool predefined(HKEY h, KeyRef& out) {
    out = KeyRef{};
    out.predefined = true;
    out.access = KEY_ALL_ACCESS;
    if (h == HKEY_CURRENT_USER) {
        out.hive = HiveKind::User;
        out.id = store::kRootKey;
    } else if (h == HKEY_LOCAL_MACHINE) {
        out.hive = HiveKind::Machine;
        out.id = store::kRootKey;
    } else if (h == HKEY_CLASSES_ROOT) {
        out.hive = HiveKind::Machine;
        out.id = 0;
        out.path = "software\\classes";
    } else {
        return false;
    }
    return true;
}

const std::vector<std::string> kClassesPath{"Software", "Classes"};

LONG lookup(HKEY h, KeyRef& out) {
    if (!h) return ERROR_INVALID_HANDLE;
    if (predefined(h, out)) return ERROR_SUCCESS;
    const KeyRef* ref = Backend::instance().findHandle(h);
    if (!ref) return ERROR_INVALID_HANDLE;
    out = *ref;
    return ERROR_SUCCESS;
}

// Where a key lives. id 0: an empty key (a hive without a database yet, or
// HKEY_CLASSES_ROOT before Software\Classes exists).
struct Located {
    store::HiveStore* store = nullptr;
    store::KeyId id = 0;
};

LONG checkSameHive(const KeyRef& k, const store::HiveStore* s) {
    if (!k.predefined && k.hiveId != s->hiveId()) return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

LONG locateForRead(const KeyRef& k, Located& out) {
    auto s = Backend::instance().hive(k.hive).forRead();
    if (!s) return code(s.error());
    out = Located{*s, 0};
    if (!*s) return k.predefined ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    if (LONG rc = checkSameHive(k, *s)) return rc;
    if (k.id != 0) {
        out.id = k.id;
        return ERROR_SUCCESS;
    }
    auto classes = (*s)->findKey(store::kRootKey, kClassesPath);
    if (classes) out.id = *classes;
    else if (classes.error().code != ERROR_FILE_NOT_FOUND) return code(classes.error());
    return ERROR_SUCCESS;
}

// For a change. createBase: make Software\Classes when HKEY_CLASSES_ROOT itself is written.
LONG locateForWrite(const KeyRef& k, Located& out, bool createBase) {
    auto s = Backend::instance().hive(k.hive).forWrite();
    if (!s) return code(s.error());
    out = Located{*s, k.id};
    if (LONG rc = checkSameHive(k, *s)) return rc;
    if (k.id != 0) return ERROR_SUCCESS;
    if (createBase) {
        auto made = (*s)->createKey(store::kRootKey, kClassesPath);
        if (!made) return code(made.error());
        out.id = made->id;
    } else {
        auto found = (*s)->findKey(store::kRootKey, kClassesPath);
        if (!found) return code(found.error());
        out.id = *found;
    }
    return ERROR_SUCCESS;
}

// What every value and enumeration call starts with: the backend entered, a handle opened
// with `right`, and where its key lives.
struct Reached {
    std::unique_lock<std::mutex> lock;
    KeyRef key;
    Located at;
};

enum class Reach { Read, Change, ChangeClasses };

LONG reach(HKEY h, REGSAM right, Reach how, Reached& out) {
    out.lock = Backend::instance().enter();
    if (LONG rc = lookup(h, out.key)) return rc;
    if (!(out.key.access & right)) return ERROR_ACCESS_DENIED;
    if (how == Reach::Read) return locateForRead(out.key, out.at);
    return locateForWrite(out.key, out.at, how == Reach::ChangeClasses);
}

// A value copy that does not outlive its use: the unlock cache passes through here.
struct WipedValue : store::StoredValue {
    WipedValue() = default;
    WipedValue(store::StoredValue&& v) : store::StoredValue(std::move(v)) {}  // NOLINT
    WipedValue& operator=(store::StoredValue&& v) {
        vlt::base::secureWipe(data);
        store::StoredValue::operator=(std::move(v));
        return *this;
    }
    WipedValue(const WipedValue&) = delete;
    WipedValue& operator=(const WipedValue&) = delete;
    ~WipedValue() { vlt::base::secureWipe(data); }
};

// The value as a reader of the key sees it: volatile values first from their store.
LONG readValue(const KeyRef& k, const Located& at, const std::string& name, WipedValue& out) {
    Backend& b = Backend::instance();
    if (at.id == 0) return ERROR_FILE_NOT_FOUND;
    if (b.isVolatile(k, name)) {
        if (auto ok = at.store->checkKey(at.id); !ok) return code(ok.error());
        auto vol = b.volatileStore(false);
        if (!vol) return code(vol.error());
        if (*vol) {
            auto v = (*vol)->value(at.store->hiveId(), at.id, name);
            if (v) {
                out = std::move(*v);
                return ERROR_SUCCESS;
            }
            if (v.error().code != ERROR_FILE_NOT_FOUND) return code(v.error());
        }
    }
    auto v = at.store->value(at.id, name);
    if (!v) return code(v.error());
    out = std::move(*v);
    return ERROR_SUCCESS;
}

// A copy of a volatile value written before it was declared volatile must not stay on disk.
// Looked for first: the unlock cache changes without waiting for a writer of the hive.
LONG dropPersistentCopy(const Located& at, const std::string& name, bool* existed = nullptr) {
    auto stored = at.store->value(at.id, name);
    if (existed) *existed = stored.ok();
    if (!stored) return stored.error().code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code(stored.error());
    vlt::base::secureWipe(stored->data);
    auto del = at.store->deleteValue(at.id, name);
    return del || del.error().code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code(del.error());
}

void putFileTime(PFILETIME ft, std::uint64_t ticks) {
    if (!ft) return;
    ft->dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffffu);
    ft->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

// Keys have no class here: report an empty one.
LONG putEmptyClass(LPSTR lpClass, LPDWORD lpcchClass) {
    if (lpClass) {
        if (!lpcchClass) return ERROR_INVALID_PARAMETER;
        if (*lpcchClass < 1) return ERROR_MORE_DATA;
        lpClass[0] = '\0';
    }
    if (lpcchClass) *lpcchClass = 0;
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Backend& b = Backend::instance();
    auto lock = b.enter();
    KeyRef parent;
    if (LONG rc = lookup(hKey, parent)) return rc;
    if (ulOptions != 0) return ulOptions == 8 /* REG_OPTION_OPEN_LINK */ ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER;
    std::vector<std::string> parts;
    if (LONG rc = vlt::registry::detail::splitPath(lpSubKey, parts)) return rc;
    const bool writable = b.hive(parent.hive).writable();
    REGSAM access = 0;
    if (!mapAccess(samDesired, writable, access)) return ERROR_INVALID_PARAMETER;

    if (parts.empty() && parent.predefined) {
        if ((access & kWriteAccess) && !writable) return ERROR_ACCESS_DENIED;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    Located base;
    if (LONG rc = locateForRead(parent, base)) return rc;
    if (base.id == 0) return ERROR_FILE_NOT_FOUND;
    auto found = base.store->findKey(base.id, parts);
    if (!found) return code(found.error());
    if ((access & kWriteAccess) && !writable) return ERROR_ACCESS_DENIED;

    KeyRef ref;
    ref.hive = parent.hive;
    ref.id = *found;
    ref.hiveId = base.store->hiveId();
    ref.path = vlt::registry::detail::joinFolded(parent.path, parts);
    ref.access = access;
    *phkResult = b.addHandle(std::move(ref));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    Backend& b = Backend::instance();
    auto lock = b.enter();
    KeyRef parent;
    if (LONG rc = lookup(hKey, parent)) return rc;
    if (Reserved != 0) return ERROR_INVALID_PARAMETER;
    if (dwOptions & REG_OPTION_VOLATILE) return ERROR_NOT_SUPPORTED;
    if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
    if (lpClass && *lpClass) return ERROR_NOT_SUPPORTED;
    if (lpSecurityAttributes && lpSecurityAttributes->lpSecurityDescriptor) return ERROR_NOT_SUPPORTED;
    std::vector<std::string> parts;
    if (LONG rc = vlt::registry::detail::splitPath(lpSubKey, parts)) return rc;
    const bool writable = b.hive(parent.hive).writable();
    REGSAM access = 0;
    if (!mapAccess(samDesired, writable, access)) return ERROR_INVALID_PARAMETER;
    if ((access & kWriteAccess) && !writable) return ERROR_ACCESS_DENIED;

    const std::size_t parentDepth =
        parent.path.empty() ? 0 : static_cast<std::size_t>(std::count(parent.path.begin(), parent.path.end(), '\\')) + 1;
    if (parentDepth + parts.size() > vlt::registry::kMaxKeyDepth) return ERROR_FILENAME_EXCED_RANGE;

    if (parts.empty() && parent.predefined) {
        if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    store::OpenedKey opened;
    store::HiveStore* s = nullptr;
    if (writable) {
        auto w = b.hive(parent.hive).forWrite();
        if (!w) return code(w.error());
        s = *w;
        if (LONG rc = checkSameHive(parent, s)) return rc;
        // Below HKEY_CLASSES_ROOT, Software\Classes is made in the same transaction.
        std::vector<std::string> path = parts;
        store::KeyId base = parent.id;
        if (base == 0) {
            base = store::kRootKey;
            path.insert(path.begin(), kClassesPath.begin(), kClassesPath.end());
        }
        auto made = s->createKey(base, path);
        if (!made) return code(made.error());
        opened = *made;
    } else {
        // Only an existing key can be opened, and only for reading.
        Located base;
        if (LONG rc = locateForRead(parent, base)) return rc;
        if (base.id == 0) return ERROR_ACCESS_DENIED;
        auto found = base.store->findKey(base.id, parts);
        if (!found) return found.error().code == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : code(found.error());
        s = base.store;
        opened = {*found, false};
    }

    KeyRef ref;
    ref.hive = parent.hive;
    ref.id = opened.id;
    ref.hiveId = s->hiveId();
    ref.path = vlt::registry::detail::joinFolded(parent.path, parts);
    ref.access = access;
    *phkResult = b.addHandle(std::move(ref));
    if (lpdwDisposition) *lpdwDisposition = opened.created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    Backend& b = Backend::instance();
    auto lock = b.enter();
    KeyRef ignored;
    if (hKey && predefined(hKey, ignored)) return ERROR_SUCCESS;
    return b.closeHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    Reached r;
    if (LONG rc = reach(hKey, KEY_QUERY_VALUE, Reach::Read, r)) return rc;
    WipedValue v;
    if (LONG rc = readValue(r.key, r.at, lpValueName ? lpValueName : "", v)) return rc;

    const auto size = static_cast<DWORD>(v.data.size());
    if (lpType) *lpType = v.type;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(lpData, v.data.data(), size);
    }
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    (void)Reserved;  // Windows ignores it too
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    const std::string name = lpValueName ? lpValueName : "";
    if (name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
    Backend& b = Backend::instance();
    Reached r;
    if (LONG rc = reach(hKey, KEY_SET_VALUE, Reach::ChangeClasses, r)) return rc;
    const KeyRef& k = r.key;
    const Located& at = r.at;
    const std::string_view data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);

    if (b.isVolatile(k, name)) {
        if (auto ok = at.store->checkKey(at.id); !ok) return code(ok.error());
        // A copy written before the value was declared volatile must not stay on disk, even
        // when there is no volatile store to take the new one.
        if (LONG rc = dropPersistentCopy(at, name)) return rc;
        auto vol = b.volatileStore(true);
        if (!vol) return code(vol.error());
        auto set = (*vol)->setValue(at.store->hiveId(), at.id, name, dwType, data);
        return set ? ERROR_SUCCESS : code(set.error());
    }
    auto set = at.store->setValue(at.id, name, dwType, data);
    return set ? ERROR_SUCCESS : code(set.error());
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    const std::string name = lpValueName ? lpValueName : "";
    Backend& b = Backend::instance();
    Reached r;
    if (LONG rc = reach(hKey, KEY_SET_VALUE, Reach::Change, r)) return rc;
    const KeyRef& k = r.key;
    const Located& at = r.at;

    if (b.isVolatile(k, name)) {
        if (auto ok = at.store->checkKey(at.id); !ok) return code(ok.error());
        bool found = false;
        auto vol = b.volatileStore(false);
        if (!vol) return code(vol.error());
        if (*vol) {
            auto del = (*vol)->deleteValue(at.store->hiveId(), at.id, name);
            if (del) found = true;
            else if (del.error().code != ERROR_FILE_NOT_FOUND) return code(del.error());
        }
        bool persistent = false;
        if (LONG rc = dropPersistentCopy(at, name, &persistent)) return rc;
        return found || persistent ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    auto del = at.store->deleteValue(at.id, name);
    return del ? ERROR_SUCCESS : code(del.error());
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    Backend& b = Backend::instance();
    auto lock = b.enter();
    KeyRef k;
    if (LONG rc = lookup(hKey, k)) return rc;
    std::vector<std::string> parts;
    if (LONG rc = vlt::registry::detail::splitPath(lpSubKey, parts)) return rc;
    if (parts.empty() && k.predefined) return ERROR_ACCESS_DENIED;

    // Missing comes before read-only, as the key is opened first on Windows.
    Located at;
    if (LONG rc = locateForRead(k, at)) return rc;
    if (at.id == 0) return ERROR_FILE_NOT_FOUND;
    if (auto found = at.store->findKey(at.id, parts); !found) return code(found.error());
    Located w;
    if (LONG rc = locateForWrite(k, w, false)) return rc;
    auto deleted = w.store->deleteKey(w.id, parts);
    if (!deleted) return code(deleted.error());

    // Its volatile values go with it. Should this fail they stay unreachable (ids are never
    // reused) and vanish with the runtime directory.
    if (auto vol = b.volatileStore(false); vol && *vol) (void)(*vol)->deleteKey(w.store->hiveId(), *deleted);
    return ERROR_SUCCESS;
}

namespace {

// Deletes parent\sub and its subtree, deepest keys first, holding one handle per level.
LONG deleteTreeBelow(HKEY parent, const char* sub) {
    struct Level {
        HKEY key;
        std::string name;
    };
    std::vector<Level> path;
    HKEY top = nullptr;
    if (LONG rc = RegOpenKeyExA(parent, sub, 0, KEY_READ, &top)) return rc;
    path.push_back({top, sub});
    LONG rc = ERROR_SUCCESS;
    while (!path.empty()) {
        char name[256];
        DWORD size = sizeof name;
        rc = RegEnumKeyExA(path.back().key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS) {
            HKEY child = nullptr;
            if ((rc = RegOpenKeyExA(path.back().key, name, 0, KEY_READ, &child))) break;
            path.push_back({child, std::string(name, size)});
            continue;
        }
        if (rc != ERROR_NO_MORE_ITEMS) break;
        const Level done = std::move(path.back());
        path.pop_back();
        RegCloseKey(done.key);
        if ((rc = RegDeleteKeyA(path.empty() ? parent : path.back().key, done.name.c_str()))) break;
    }
    for (const auto& level : path) RegCloseKey(level.key);
    return rc;
}

}  // namespace

LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey || !*lpSubKey) return ERROR_INVALID_PARAMETER;
    Backend& b = Backend::instance();
    HiveKind hive{};
    {
        auto lock = b.enter();
        KeyRef k;
        if (LONG rc = lookup(hKey, k)) return rc;
        hive = k.hive;
        if (!b.hive(hive).writable()) {
            lock.unlock();
            HKEY probe = nullptr;
            if (LONG rc = RegOpenKeyExA(hKey, lpSubKey, 0, KEY_READ, &probe)) return rc;
            RegCloseKey(probe);
            return ERROR_ACCESS_DENIED;
        }
        if (auto begun = b.beginTransaction(hive); !begun) return code(begun.error());
    }
    LONG rc = deleteTreeBelow(hKey, lpSubKey);
    auto lock = b.enter();
    auto ended = b.endTransaction(hive, rc == ERROR_SUCCESS);
    if (rc == ERROR_SUCCESS && !ended) rc = code(ended.error());
    return rc;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName) return ERROR_INVALID_PARAMETER;
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    Backend& b = Backend::instance();
    Reached r;
    if (LONG rc = reach(hKey, KEY_QUERY_VALUE, Reach::Read, r)) return rc;
    const Located& at = r.at;
    if (at.id == 0) return ERROR_NO_MORE_ITEMS;

    // Persistent values first, then the volatile ones.
    auto found = at.store->valueAt(at.id, dwIndex);
    if (!found) {
        if (found.error().code != ERROR_NO_MORE_ITEMS) return code(found.error());
        auto st = at.store->stats(at.id);
        if (!st) return code(st.error());
        auto vol = b.volatileStore(false);
        if (!vol) return code(vol.error());
        if (!*vol || dwIndex < st->values) return ERROR_NO_MORE_ITEMS;
        found = (*vol)->valueAt(at.store->hiveId(), at.id, dwIndex - st->values);
        if (!found) return code(found.error());
    }
    const WipedValue v(std::move(*found));
    const auto size = static_cast<DWORD>(v.data.size());
    if (lpType) *lpType = v.type;
    if (v.name.size() + 1 > *lpcchValueName || (lpData && *lpcbData < size)) {
        if (lpcbData) *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpValueName, v.name.c_str(), v.name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(v.name.size());
    if (lpData && size) std::memcpy(lpData, v.data.data(), size);
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                   LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    if (lpClass && !lpcchClass) return ERROR_INVALID_PARAMETER;
    Reached r;
    if (LONG rc = reach(hKey, KEY_ENUMERATE_SUB_KEYS, Reach::Read, r)) return rc;
    const Located& at = r.at;
    if (at.id == 0) return ERROR_NO_MORE_ITEMS;
    auto sub = at.store->subkeyAt(at.id, dwIndex);
    if (!sub) return code(sub.error());
    if (sub->name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    if (lpClass && *lpcchClass < 1) return ERROR_MORE_DATA;
    std::memcpy(lpName, sub->name.c_str(), sub->name.size() + 1);
    *lpcchName = static_cast<DWORD>(sub->name.size());
    if (LONG rc = putEmptyClass(lpClass, lpcchClass)) return rc;
    putFileTime(lpftLastWriteTime, sub->lastWrite);
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      PFILETIME lpftLastWriteTime) {
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    if (lpClass && !lpcchClass) return ERROR_INVALID_PARAMETER;
    Backend& b = Backend::instance();
    Reached r;
    if (LONG rc = reach(hKey, KEY_QUERY_VALUE, Reach::Read, r)) return rc;
    const Located& at = r.at;

    store::KeyStats st;
    if (at.id != 0) {
        auto s = at.store->stats(at.id);
        if (!s) return code(s.error());
        st = *s;
        auto vol = b.volatileStore(false);
        if (!vol) return code(vol.error());
        if (*vol) {
            auto vs = (*vol)->stats(at.store->hiveId(), at.id);
            if (!vs) return code(vs.error());
            st.values += vs->values;
            st.maxValueName = std::max(st.maxValueName, vs->maxValueName);
            st.maxValueData = std::max(st.maxValueData, vs->maxValueData);
        }
    }
    if (LONG rc = putEmptyClass(lpClass, lpcchClass)) return rc;
    if (lpcSubKeys) *lpcSubKeys = st.subkeys;
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = st.maxSubkeyName;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = st.values;
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = st.maxValueName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = st.maxValueData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    putFileTime(lpftLastWriteTime, st.lastWrite);
    return ERROR_SUCCESS;
}
