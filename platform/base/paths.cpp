#include "base/paths.h"


#include <linux/magic.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdlib>

#include "base/notice.h"

#ifndef VLT_INSTALL_LIBDIR
#define VLT_INSTALL_LIBDIR "/usr/local/lib/vaultine"
#endif

namespace vlt::base {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}

}  // namespace

std::string homeDir() {
    std::string home = env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir;
    return "/";
}

std::string userDataDir() {
    if (auto v = env("VLT_HOME"); !v.empty()) return v;
    if (auto x = env("XDG_DATA_HOME"); !x.empty()) return x + "/vaultine";
    return homeDir() + "/.local/share/vaultine";
}

std::string runtimeDir() {
    const RuntimeChoice choice = chooseRuntimeDir(systemRuntimeProbe());
    if (!choice.problem.empty()) noticeOnce(choice.problem);
    return choice.dir;
}

std::string socketDir() {
    const RuntimeChoice choice = chooseRuntimeDir(systemRuntimeProbe());
    return choice.dir.empty() ? "/tmp/vaultine-" + std::to_string(geteuid()) : choice.dir;
}

RuntimeProbe systemRuntimeProbe() {
    RuntimeProbe p;
    p.env = env;
    p.inspect = [](const std::string& path) {
        PlaceFacts f;
        struct stat st {};
        struct statfs fs {};
        if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return f;
        f.directory = true;
        f.owner = st.st_uid;
        f.mode = st.st_mode & 07777;
        f.memory = statfs(path.c_str(), &fs) == 0 &&
                   (static_cast<unsigned long>(fs.f_type) == TMPFS_MAGIC ||
                    static_cast<unsigned long>(fs.f_type) == RAMFS_MAGIC);
        return f;
    };
    p.uid = geteuid();
    return p;
}

RuntimeChoice chooseRuntimeDir(const RuntimeProbe& probe) {
    if (auto v = probe.env("VLT_RUNTIME_DIR"); !v.empty()) return {v, {}};
    RuntimeChoice out;
    if (auto x = probe.env("XDG_RUNTIME_DIR"); !x.empty()) {
        if (const PlaceFacts f = probe.inspect(x); f.directory && f.memory) return {x + "/vaultine", {}};
        out.problem = "XDG_RUNTIME_DIR (" + x + ") is not a memory file system; the unlock cache is not kept there. ";
    }
    const std::string run = "/run/user/" + std::to_string(probe.uid);
    if (const PlaceFacts f = probe.inspect(run); f.directory && f.memory && f.owner == probe.uid && (f.mode & 077) == 0) {
        out.dir = run + "/vaultine";
    } else if (const PlaceFacts shm = probe.inspect("/dev/shm"); shm.directory && shm.memory) {
        out.dir = "/dev/shm/vaultine-" + std::to_string(probe.uid);
    } else {
        out.problem += "There is no memory file system for the unlock cache; every unlock asks for the password.";
    }
    if (!out.problem.empty() && !out.dir.empty()) out.problem += "It is kept in " + out.dir + ".";
    return out;
}

std::string machineDir() {
    if (auto v = env("VLT_MACHINE_DIR"); !v.empty()) return v;
    return "/var/lib/vaultine";
}

std::string systemDir() {
    if (auto v = env("VLT_SYSTEM_DIR"); !v.empty()) return v;
    return VLT_INSTALL_LIBDIR;
}

}  // namespace vlt::base
