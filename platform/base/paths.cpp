#include "base/paths.h"


#include <linux/magic.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <climits>
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

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// The folder without "/" + tail at its end; empty when it does not end so.
std::string prefixBefore(const std::string& folder, const std::string& tail) {
    if (tail.empty() || folder.size() <= tail.size() + 1) return {};
    const std::size_t cut = folder.size() - tail.size();
    if (folder.compare(cut, tail.size(), tail) != 0 || folder[cut - 1] != '/') return {};
    return folder.substr(0, cut - 1);
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

std::string systemDir() { return chooseSystemDir(systemDirLayout()); }

std::string programPath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    return n > 0 && static_cast<std::size_t>(n) < sizeof buf ? std::string(buf, static_cast<std::size_t>(n))
                                                             : std::string();
}

SystemDirLayout systemDirLayout() {
    SystemDirLayout l;
    l.variable = env("VLT_SYSTEM_DIR");
    l.program = programPath();
    l.buildTree = VLT_BUILD_TREE;
    l.bindir = VLT_INSTALL_BINDIR;
    l.below = VLT_INSTALL_SYSTEM_BELOW;
    l.configured = VLT_INSTALL_LIBDIR;
    l.isDirectory = [](const std::string& path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    l.realFile = [](const std::string& path) {
        char resolved[PATH_MAX];
        struct stat st {};
        if (!realpath(path.c_str(), resolved) || stat(resolved, &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
        return std::string(resolved);
    };
    return l;
}

namespace {

// Where the system directory was found; only a program's own copies stand in for registered ones.
struct SystemDirChoice {
    std::string dir;
    bool ownCopy = false;  // the variable's or the build tree's, not an installed one
};

SystemDirChoice locateSystemDir(const SystemDirLayout& l) {
    if (!l.variable.empty()) return {l.variable, true};
    std::string folder = folderOf(l.program);
    if (folder.empty()) return {l.configured};
    if (!prefixBefore(folder, l.below).empty()) return {folder};
    if (const std::string prefix = prefixBefore(folder, l.bindir); !prefix.empty()) {
        std::string dir = prefix + "/" + l.below;
        if (l.isDirectory && l.isDirectory(dir)) return {dir};
    }
    if (!l.buildTree.empty() && (folder + "/").compare(0, l.buildTree.size() + 1, l.buildTree + "/") == 0)
        return {l.buildTree + "/lib/vaultine", true};
    return {l.configured};
}

}  // namespace

std::string chooseSystemDir(const SystemDirLayout& l) { return locateSystemDir(l).dir; }

std::string choosePluginPath(const SystemDirLayout& l, const std::string& registered) {
    const SystemDirChoice system = locateSystemDir(l);
    const auto slash = registered.find_last_of('/');
    if (slash == std::string::npos) return system.dir + "/" + registered;
    if (!system.ownCopy) return registered;
    std::string own = system.dir + "/" + registered.substr(slash + 1);
    if (!l.realFile) return registered;
    const std::string real = l.realFile(own);
    return real.empty() || real == l.realFile(registered) ? registered : own;
}

std::string pluginPath(const std::string& registered) { return choosePluginPath(systemDirLayout(), registered); }

}  // namespace vlt::base
