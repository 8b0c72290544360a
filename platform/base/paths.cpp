#include "base/paths.h"

#include "base/errno_win32.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef VLT_INSTALL_LIBDIR
#define VLT_INSTALL_LIBDIR "/usr/local/lib/vaultine"
#endif

namespace vlt::base {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}

std::string homeDir() {
    std::string home = env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir;
    return "/";
}

}  // namespace

std::string userDataDir() {
    if (auto v = env("VLT_HOME"); !v.empty()) return v;
    if (auto x = env("XDG_DATA_HOME"); !x.empty()) return x + "/vaultine";
    return homeDir() + "/.local/share/vaultine";
}

std::string runtimeDir() {
    if (auto v = env("VLT_RUNTIME_DIR"); !v.empty()) return v;
    if (auto x = env("XDG_RUNTIME_DIR"); !x.empty()) return x + "/vaultine";
    return "/tmp/vaultine-" + std::to_string(getuid());
}

std::string machineDir() {
    if (auto v = env("VLT_MACHINE_DIR"); !v.empty()) return v;
    return "/var/lib/vaultine";
}

std::string systemDir() {
    if (auto v = env("VLT_SYSTEM_DIR"); !v.empty()) return v;
    return VLT_INSTALL_LIBDIR;
}

Result<void> ensurePrivateDir(const std::string& path) {
    if (path.empty()) return fail("empty directory path");
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) return fail(path + " exists and is not a directory");
        return {};
    }
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        auto parent = ensurePrivateDir(path.substr(0, slash));
        if (!parent) return parent;
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return errnoError("cannot create " + path);
    return {};
}

}  // namespace vlt::base
