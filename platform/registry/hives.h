// Linux-side controls of the registry emulation that have no Win32 counterpart.
#pragma once

#include <string_view>

#include "win32/winreg.h"

namespace vlt::registry {

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

// Whether this process may change the hive behind a predefined root (HKEY_CLASSES_ROOT is the
// machine hive): what RegCreateKeyExA with KEY_ALL_ACCESS would find. False for other handles.
bool isHiveWritable(HKEY root);

}  // namespace vlt::registry
