// Where things live at run time. Each place can be moved with an environment variable, which
// is how tests and sandboxes keep away from the user's real data.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

// The user's home: $HOME, else the password database's, else "/".
std::string homeDir();
// Per-user hive: $VLT_HOME, else $XDG_DATA_HOME/vaultine, else ~/.local/share/vaultine.
std::string userDataDir();
// Volatile values (the unlock cache): $VLT_RUNTIME_DIR, else a folder on a memory file system
// (see chooseRuntimeDir). Empty when there is none: nothing is cached then, and the reason is
// noticed once.
std::string runtimeDir();
// Window sockets: the runtime folder, else /tmp/vaultine-<uid>. Sockets hold no secrets, so a
// private folder on a disk will do for them.
std::string socketDir();
// Machine hive: $VLT_MACHINE_DIR, else /var/lib/vaultine.
std::string machineDir();
// Programs, plug-ins and help: $VLT_SYSTEM_DIR, else found from where the running program is
// (see chooseSystemDir).
std::string systemDir();

// The running program's file, as the kernel knows it; empty when that cannot be read.
std::string programPath();

// Where the system directory lies relative to a program, installed or in its build tree.
struct SystemDirLayout {
    std::string variable;    // $VLT_SYSTEM_DIR; empty counts as unset
    std::string program;     // the running program's file
    std::string buildTree;   // the build tree this copy was built in
    std::string bindir;      // installed: the programs' folder below the prefix ("bin")
    std::string below;       // installed: the system directory below the prefix ("lib/vaultine")
    std::string configured;  // the system directory of the configured install
    std::function<bool(const std::string&)> isDirectory;
    std::function<std::string(const std::string&)> realFile;  // the file a path names; empty: none
};
SystemDirLayout systemDirLayout();
// The variable when set; else, for a program in PREFIX/<below>, that folder; for one in
// PREFIX/<bindir>, PREFIX/<below> when it exists; for one inside its build tree, the tree's
// lib/vaultine (the build links the plug-ins, programs and help there as an install has them);
// else the configured install's.
std::string chooseSystemDir(const SystemDirLayout& layout);

// The library to load for a plug-in registered as `registered`. A bare file name is looked for
// in the system directory. A full path is kept, except when the system directory is the running
// program's build tree or $VLT_SYSTEM_DIR and holds another file of the same name: a program run
// from its build tree loads the plug-in built with it, not the installed one a registration names.
std::string choosePluginPath(const SystemDirLayout& layout, const std::string& registered);
std::string pluginPath(const std::string& registered);

// What the runtime-folder choice looks at; the real one asks getenv, stat and statfs.
struct PlaceFacts {
    bool directory = false;
    bool memory = false;  // tmpfs or ramfs: gone at power-off, never written to a disk
    uid_t owner = 0;
    mode_t mode = 0;
};
struct RuntimeProbe {
    std::function<std::string(const char*)> env;
    std::function<PlaceFacts(const std::string&)> inspect;
    uid_t uid = 0;
};
struct RuntimeChoice {
    std::string dir;      // empty: no place for volatile values
    std::string problem;  // what the user should hear about, empty when all is well
};
RuntimeProbe systemRuntimeProbe();
// $VLT_RUNTIME_DIR as it is (tests and sandboxes); else $XDG_RUNTIME_DIR/vaultine when that is
// a memory file system; else /run/user/<uid>/vaultine when that folder is ours, private and in
// memory; else /dev/shm/vaultine-<uid> when /dev/shm is in memory; else nothing.
RuntimeChoice chooseRuntimeDir(const RuntimeProbe& probe);

}  // namespace vlt::base

VLT_EXPORT_END
