// Where things live at run time. Each place can be moved with an environment variable, which
// is how tests and sandboxes keep away from the user's real data.
#pragma once

#include <string>

#include "base/result.h"

namespace vlt::base {

// Per-user hive: $VLT_HOME, else $XDG_DATA_HOME/vaultine, else ~/.local/share/vaultine.
std::string userDataDir();
// Volatile values and window sockets: $VLT_RUNTIME_DIR, else $XDG_RUNTIME_DIR/vaultine,
// else /tmp/vaultine-<uid>.
std::string runtimeDir();
// Machine hive: $VLT_MACHINE_DIR, else /var/lib/vaultine.
std::string machineDir();
// Programs, plug-ins and help: $VLT_SYSTEM_DIR, else the install's library directory.
std::string systemDir();

// Creates the directory (and its parents) when missing; a directory this call creates gets
// mode 0700. Fails when the path exists but is not a directory.
Result<void> ensurePrivateDir(const std::string& path);

}  // namespace vlt::base
