// Linux-side controls of the registry emulation that have no Win32 counterpart.
#pragma once

#include <string_view>

#include "base/export.h"
#include "win32/winreg.h"

VLT_EXPORT_BEGIN

namespace vlt::registry {

// Keys lie at most this many levels below their hive's root, as on Windows.
inline constexpr unsigned kMaxKeyDepth = 512;

// Declares a value whose data must never reach persistent storage (the unlock cache holds
// plain private keys). Such a value lives in a store under the runtime directory (a tmpfs),
// yet every Reg* call on its key sees it as an ordinary value: query, set, delete, enumerate,
// RegQueryInfoKey counts. Names compare without regard to ASCII case. Declarations are
// process-wide and idempotent; the suite makes them at start-up.
void declareVolatileValue(HKEY root, std::string_view keyPath, std::string_view valueName);

// Closes every hive connection and forgets the hive directories, so that the next Reg* call
// reads VLT_HOME, VLT_MACHINE_DIR and VLT_RUNTIME_DIR again. Open HKEYs become invalid.
// Used by tests that move between sandboxes.
void resetHives();

// Transactions, an extension after the transacted registry of later Windows, kept to what the
// suite needs. Between beginTransaction and commitTransaction every change this thread makes
// to the hive behind root (HKEY_CLASSES_ROOT is the machine hive) is one transaction: another
// process sees none of it or all of it, also when this one is killed part-way, and its
// writers wait for the end (its readers see the state before). rollbackTransaction drops the
// changes. Other threads of this process wait at their next Reg* call until the transaction
// ends. Transactions nest; an inner one commits into the outer. Volatile values do not take
// part: they change at once. ERROR_ACCESS_DENIED for a hive this process may not write,
// ERROR_BUSY when another process holds the hive longer than the busy timeout,
// ERROR_INVALID_PARAMETER for an end without a begin, ERROR_INVALID_HANDLE for another handle.
LONG beginTransaction(HKEY root);
LONG commitTransaction(HKEY root);
LONG rollbackTransaction(HKEY root);

// Whether this process may change the hive behind a predefined root (HKEY_CLASSES_ROOT is the
// machine hive): what RegCreateKeyExA with KEY_ALL_ACCESS would find. False for other handles.
bool isHiveWritable(HKEY root);

}  // namespace vlt::registry

VLT_EXPORT_END
