#include "sys/files.h"

#include <dirent.h>
#include "base/errno_win32.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <set>
#include <string_view>
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

namespace {

std::atomic<bool> g_namedTemporaries{false};
const time_t g_runStart = time(nullptr);

// ".vlt-PID-XXXXXX.part": short and fixed in length, so a long target name cannot push it
// past NAME_MAX, and it says whose it is.
std::string temporaryPrefix(const std::string& folder) {
    return folder + "/.vlt-" + std::to_string(getpid()) + "-";
}

std::string randomSuffix() {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned char r[6] = {};
    if (getrandom(r, sizeof r, 0) != static_cast<ssize_t>(sizeof r)) {
        const auto t = static_cast<unsigned long>(clock());
        std::memcpy(r, &t, std::min(sizeof r, sizeof t));
    }
    std::string out;
    for (unsigned char c : r) out += kDigits[c % 36];
    return out;
}

// The pid in a temporary name of ours, 0 for a name without one (older versions), -1 when the
// name is not ours at all.
long temporaryOwner(const std::string& name) {
    constexpr std::string_view kHead = ".vlt-", kTail = ".part";
    if (name.size() < kHead.size() + 6 + kTail.size() || name.compare(0, kHead.size(), kHead) != 0 ||
        name.compare(name.size() - kTail.size(), kTail.size(), kTail) != 0)
        return -1;
    const std::string middle = name.substr(kHead.size(), name.size() - kHead.size() - kTail.size());
    if (middle.size() == 6) return 0;
    const auto dash = middle.find('-');
    if (dash == std::string::npos || dash == 0 || middle.size() - dash - 1 != 6) return -1;
    long pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (middle[i] < '0' || middle[i] > '9' || pid > 100000000) return -1;
        pid = pid * 10 + (middle[i] - '0');
    }
    return pid;
}

// Removes temporary files that a killed run of ours left in folder: only regular files of
// this user, written before this process started, whose process is gone.
void sweepStaleTemporaries(const std::string& folder) {
    // Once per folder and process: a run over many files must not list the folder each time.
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(folder).second) return;
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    const int dfd = dirfd(dir);
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        const long pid = temporaryOwner(name);
        if (pid < 0 || pid == getpid()) continue;
        struct stat st {};
        if (fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid() || st.st_mtime >= g_runStart)
            continue;
        if (pid > 0 && !(kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) continue;
        unlinkat(dfd, name.c_str(), 0);
    }
    closedir(dir);
}

// Gives the unnamed file fd the name path; fails with EEXIST when path exists.
bool linkUnnamed(int fd, const std::string& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) return false;
    // Without /proc: the direct way, which needs CAP_DAC_READ_SEARCH.
    const int first = errno;
    if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != EEXIST) errno = first;
    return false;
}

}  // namespace

void AtomicFile::useNamedTemporariesForTesting(bool named) { g_namedTemporaries.store(named); }

Result<AtomicFile> AtomicFile::create(const std::string& target, mode_t mode) {
    AtomicFile f;
    f.m_target = target;
    f.m_mode = mode & 07777;
    const std::string folder = folderOf(target);
    if (!g_namedTemporaries.load()) {
        f.m_fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (f.m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errnoError("cannot create a file in " + folder);
        // Before the first byte: the data is never readable with a wider mode than the result.
        if (f.m_fd >= 0 && fchmod(f.m_fd, f.m_mode) != 0) {
            auto e = errnoError("cannot set the mode of a file in " + folder);
            f.abandon();
            return e;
        }
    }
    if (f.m_fd < 0) {
        sweepStaleTemporaries(folder);
        // Named, it stays 0600 (mkostemps) until commit.
        f.m_temp = temporaryPrefix(folder) + "XXXXXX.part";
        f.m_fd = mkostemps(f.m_temp.data(), 5, O_CLOEXEC);
        if (f.m_fd < 0) {
            f.m_temp.clear();
            return errnoError("cannot create a file in " + folder);
        }
    }
    f.m_buffer.reserve(kWriteBuffer);
    return f;
}

AtomicFile::AtomicFile(AtomicFile&& o) noexcept
    : m_fd(o.m_fd),
      m_mode(o.m_mode),
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
        m_mode = o.m_mode;
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
    if (!m_temp.empty() && fchmod(m_fd, m_mode) != 0) {
        auto e = errnoError("cannot set the mode of " + m_target);
        abandon();
        return e;
    }
    if (fsync(m_fd) != 0) {
        auto e = errnoError("cannot sync " + m_target);
        abandon();
        return e;
    }
    if (m_temp.empty()) {
        auto named = linkInPlace();
        if (!named) {
            abandon();
            return named.error();
        }
        if (*named) {  // linked as the target itself: nothing to rename
            close(m_fd);
            m_fd = -1;
            return syncParentDirectory(m_target);
        }
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

// Names the unnamed file: straight as the target when that name is free, else under a
// temporary name that commit() renames over the target (a link cannot replace a file).
// true when it now has the target's name.
Result<bool> AtomicFile::linkInPlace() {
    if (linkUnnamed(m_fd, m_target)) return true;
    if (errno != EEXIST) return errnoError("cannot create " + m_target);
    sweepStaleTemporaries(folderOf(m_target));
    const std::string prefix = temporaryPrefix(folderOf(m_target));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = prefix + randomSuffix() + ".part";
        if (linkUnnamed(m_fd, temp)) {
            m_temp = temp;
            return false;
        }
        if (errno != EEXIST) return errnoError("cannot create " + m_target);
    }
    return fail("cannot create " + m_target + ": no free temporary name");
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
    return InputFile{fd, static_cast<std::uint64_t>(st.st_size), st.st_mode, st.st_dev, st.st_ino, st.st_mtim,
                     st.st_ctim};
}

bool sameFile(const std::string& path, const InputFile& file) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && st.st_dev == file.device && st.st_ino == file.inode;
}

bool unchangedSinceOpen(const std::string& path, const InputFile& file) {
    const auto same = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && st.st_dev == file.device && st.st_ino == file.inode &&
           static_cast<std::uint64_t>(st.st_size) == file.size && same(st.st_mtim, file.modified) &&
           same(st.st_ctim, file.changed);
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
