#include "sys/files.h"

#include "base/errno_win32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace vlt::sys {
namespace {

constexpr std::size_t kWriteBuffer = 1u << 20;
constexpr std::uint64_t kWriteBehind = 8u << 20;

using base::errnoError;

}  // namespace

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Result<AtomicFile> AtomicFile::create(const std::string& target, mode_t mode) {
    AtomicFile f;
    f.m_target = target;
    // A short fixed-length name, so a long target name cannot push it past NAME_MAX.
    f.m_temp = folderOf(target) + "/.vlt-XXXXXX.part";
    f.m_fd = mkostemps(f.m_temp.data(), 5, O_CLOEXEC);
    if (f.m_fd < 0) return errnoError("cannot create a file in " + folderOf(target));
    if (fchmod(f.m_fd, mode) != 0) {
        auto e = errnoError("cannot set the mode of " + f.m_temp);
        f.abandon();
        return e;
    }
    f.m_buffer.reserve(kWriteBuffer);
    return f;
}

AtomicFile::AtomicFile(AtomicFile&& o) noexcept
    : m_fd(o.m_fd),
      m_target(std::move(o.m_target)),
      m_temp(std::move(o.m_temp)),
      m_buffer(std::move(o.m_buffer)),
      m_written(o.m_written),
      m_started(o.m_started) {
    o.m_fd = -1;
    o.m_temp.clear();
}

AtomicFile& AtomicFile::operator=(AtomicFile&& o) noexcept {
    if (this != &o) {
        abandon();
        m_fd = o.m_fd;
        m_target = std::move(o.m_target);
        m_temp = std::move(o.m_temp);
        m_buffer = std::move(o.m_buffer);
        m_written = o.m_written;
        m_started = o.m_started;
        o.m_fd = -1;
        o.m_temp.clear();
    }
    return *this;
}

AtomicFile::~AtomicFile() { abandon(); }

Result<void> AtomicFile::flush() {
    const std::size_t size = m_buffer.size();
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errnoError("cannot write " + m_target);
        }
        done += static_cast<std::size_t>(n);
    }
    m_buffer.clear();
    // Start writing back what is written so far, so that the sync before the rename finds
    // little left to do instead of the whole file.
    m_written += size;
    if (m_written - m_started >= kWriteBehind) {
        sync_file_range(m_fd, static_cast<off_t>(m_started), static_cast<off_t>(m_written - m_started),
                        SYNC_FILE_RANGE_WRITE);
        m_started = m_written;
    }
    return {};
}

Result<void> AtomicFile::write(const void* data, std::size_t size) {
    if (m_fd < 0) return fail("the file " + m_target + " is closed");
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const std::size_t room = kWriteBuffer - m_buffer.size();
        const std::size_t n = size < room ? size : room;
        m_buffer.insert(m_buffer.end(), p, p + n);
        p += n;
        size -= n;
        if (m_buffer.size() == kWriteBuffer) {
            if (auto r = flush(); !r) return r;
        }
    }
    return {};
}

Result<void> AtomicFile::commit() {
    if (m_fd < 0) return fail("the file " + m_target + " is closed");
    if (auto r = flush(); !r) {
        abandon();
        return r;
    }
    if (fsync(m_fd) != 0) {
        auto e = errnoError("cannot sync " + m_target);
        abandon();
        return e;
    }
    close(m_fd);
    m_fd = -1;
    if (rename(m_temp.c_str(), m_target.c_str()) != 0) {
        auto e = errnoError("cannot create " + m_target);
        unlink(m_temp.c_str());
        m_temp.clear();
        return e;
    }
    m_temp.clear();
    return syncParentDirectory(m_target);
}

void AtomicFile::abandon() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) unlink(m_temp.c_str());
    m_temp.clear();
    m_buffer.clear();
}

Result<void> writeFileAtomically(const std::string& path, const void* data, std::size_t size, mode_t mode) {
    auto file = AtomicFile::create(path, mode);
    if (!file) return file.error();
    if (auto r = file->write(data, size); !r) return r;
    return file->commit();
}

Result<void> syncParentDirectory(const std::string& path) {
    const int dir = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return errnoError("cannot open the folder of " + path);
    const int rc = fsync(dir);
    close(dir);
    if (rc != 0 && errno != EINVAL) return errnoError("cannot sync the folder of " + path);
    return {};
}

Result<InputFile> openRegularFile(const std::string& path, OpenError* why) {
    auto set = [&](OpenError e) {
        if (why) *why = e;
    };
    set(OpenError::None);
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        set(errno == ENOENT ? OpenError::NotFound : errno == ELOOP ? OpenError::NotRegular : OpenError::Other);
        return errnoError("cannot open " + path);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        set(OpenError::NotRegular);
        return fail(path + " is not a regular file");
    }
    // Non-blocking was only for the open (a FIFO must not hang it).
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return InputFile{fd, static_cast<std::uint64_t>(st.st_size), st.st_mode, st.st_dev, st.st_ino};
}

bool sameFile(const std::string& path, const InputFile& file) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && st.st_dev == file.device && st.st_ino == file.inode;
}

BufferedReader::BufferedReader(int fd, std::size_t bufferSize) : m_fd(fd), m_buffer(bufferSize) {}

long BufferedReader::read(void* out, std::size_t size) {
    auto* p = static_cast<unsigned char*>(out);
    std::size_t done = 0;
    while (done < size) {
        if (m_begin == m_end) {
            const ssize_t n = ::read(m_fd, m_buffer.data(), m_buffer.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return -1;
            }
            if (n == 0) break;
            m_begin = 0;
            m_end = static_cast<std::size_t>(n);
        }
        const std::size_t take = std::min(size - done, m_end - m_begin);
        std::memcpy(p + done, m_buffer.data() + m_begin, take);
        m_begin += take;
        done += take;
    }
    m_position += done;
    return static_cast<long>(done);
}

}  // namespace vlt::sys
