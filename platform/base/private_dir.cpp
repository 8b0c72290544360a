#include "base/private_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "win32/winerror.h"

namespace vlt::base {
namespace {

Error refused(const std::string& what) { return fail(what, ERROR_ACCESS_DENIED); }

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Parents are made 0700 too; existing ones are taken as they are (a home may well be reached
// through a link), only the last component has to prove itself.
Result<void> makeDir(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) return refused(path + " exists and is not a directory");
        return {};
    }
    const std::string parent = parentOf(path);
    if (parent != path && parent != "/" && parent != ".")
        if (auto made = makeDir(parent); !made) return made;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return refused("cannot create " + path + ": " + std::strerror(errno));
    return {};
}

}  // namespace

Result<PrivateDir> ensurePrivateDir(const std::string& path, Privacy privacy, bool create) {
    if (path.empty()) return refused("empty directory path");
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return refused("cannot look at " + path + ": " + std::strerror(errno));
        if (!create) return fail(path + " does not exist", ERROR_PATH_NOT_FOUND);
        if (auto made = makeDir(path); !made) return made.error();
    } else if (S_ISLNK(st.st_mode)) {
        return refused(path + " is a symbolic link, not a private folder");
    } else if (!S_ISDIR(st.st_mode)) {
        return refused(path + " exists and is not a directory");
    }
    // Checked and tightened through a descriptor, so that what is checked is what is changed.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // Swapped for a link or a file since it was looked at.
        if (errno == ELOOP || errno == ENOTDIR) return refused(path + " is not a private folder");
        return refused("cannot open " + path + ": " + std::strerror(errno));
    }
    const int statted = fstat(fd, &st);
    Result<PrivateDir> out = PrivateDir{st.st_dev, st.st_ino, st.st_uid};
    const uid_t me = geteuid();
    const bool ours = st.st_uid == me;
    const mode_t closedTo = privacy == Privacy::User ? 077 : 022;
    if (statted != 0) {
        out = refused("cannot look at " + path + ": " + std::strerror(errno));
    } else if (!ours && !(privacy == Privacy::Machine && st.st_uid == 0)) {
        out = refused(path + " belongs to another user");
    } else if ((st.st_mode & closedTo) != 0) {
        if (!ours || fchmod(fd, st.st_mode & 07777 & ~closedTo) != 0)
            out = refused(path + " is open to other users and cannot be made private");
    }
    ::close(fd);
    return out;
}

Result<bool> checkFileInPrivateDir(const std::string& file) {
    struct stat dir {};
    const std::string folder = parentOf(file);
    if (lstat(folder.c_str(), &dir) != 0) return refused("cannot look at " + folder + ": " + std::strerror(errno));
    struct stat st {};
    if (lstat(file.c_str(), &st) != 0) {
        if (errno == ENOENT) return false;
        return refused("cannot look at " + file + ": " + std::strerror(errno));
    }
    if (S_ISLNK(st.st_mode)) return refused(file + " is a symbolic link; it is not used");
    if (!S_ISREG(st.st_mode)) return refused(file + " is not a regular file");
    if (st.st_uid != dir.st_uid) return refused(file + " belongs to another user; it is not used");
    if ((st.st_mode & 022) != 0) {
        // Nobody else can reach into the folder, so the name still means this file.
        if (st.st_uid != geteuid() || chmod(file.c_str(), st.st_mode & 07755) != 0)
            return refused(file + " is writable by other users; it is not used");
    }
    return true;
}

}  // namespace vlt::base
