#include "sys/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/errno_win32.h"
#include "base/paths.h"
#include "base/private_dir.h"

namespace vlt::sys {

Result<InstanceLock> InstanceLock::take(const std::string& name, const std::string& directory) {
    const std::string folder = directory.empty() ? base::socketDir() : directory;
    if (auto proved = base::ensurePrivateDir(folder); !proved) return proved.error();
    const std::string path = folder + "/" + name + ".lock";
    if (auto checked = base::checkFileInPrivateDir(path); !checked) return checked.error();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return base::errnoError("cannot open " + path);
    InstanceLock lock;
    int rc;
    do rc = flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        lock.m_fd = fd;
        return lock;
    }
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return lock;  // another holder
    return base::errnoError("cannot lock " + path, error);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace vlt::sys
