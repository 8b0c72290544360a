// Files written whole or not at all, and plain buffered reading.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/export.h"
#include "base/result.h"

VLT_EXPORT_BEGIN

namespace vlt::sys {

// A new file that appears under its target name only when complete. It is written to an
// unnamed file (O_TMPFILE) in the target's folder, synced, given a name and renamed over the
// target, and the folder synced: a process killed at any point leaves no directory entry
// behind. Until commit() an existing file of the target name is untouched. Where the file
// system has no unnamed files, a hidden ".vlt-PID-XXXXXX.part" of mode 0600 is used instead,
// and such files whose process is gone are removed by the next AtomicFile in that folder.
// mode is set before the first byte is written (named temporaries: at commit).
class AtomicFile {
public:
    static Result<AtomicFile> create(const std::string& target, mode_t mode = 0600);
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    Result<void> write(const void* data, std::size_t size);
    Result<void> commit();
    void abandon();
    const std::string& target() const { return m_target; }

    // Tests: behave as on a file system without O_TMPFILE.
    static void useNamedTemporariesForTesting(bool named);

private:
    AtomicFile() = default;
    Result<void> flush();
    Result<bool> linkInPlace();

    int m_fd = -1;
    mode_t m_mode = 0600;
    std::string m_target;
    std::string m_temp;  // the named temporary file, when there is one
    std::vector<unsigned char> m_buffer;
    std::uint64_t m_written = 0;  // bytes handed to the kernel
    std::uint64_t m_started = 0;  // bytes whose write-back has been started
};

// Writes a whole file atomically.
Result<void> writeFileAtomically(const std::string& path, const void* data, std::size_t size, mode_t mode = 0600);

// Syncs the folder that holds path, so that a rename or unlink in it is on disk.
Result<void> syncParentDirectory(const std::string& path);

// Opens a regular file for reading without following a symbolic link in its last component.
struct InputFile {
    int fd = -1;
    std::uint64_t size = 0;
    mode_t mode = 0;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};  // as fstat saw them at open
    timespec changed{};
};
enum class OpenError { None, NotFound, NotRegular, Other };
Result<InputFile> openRegularFile(const std::string& path, OpenError* why = nullptr);

// True when path still names the file (device, inode) opened earlier.
bool sameFile(const std::string& path, const InputFile& file);
// True when path still names that file and neither its size nor its modification or change
// time moved since it was opened: nobody wrote to it, truncated it or swapped it meanwhile.
bool unchangedSinceOpen(const std::string& path, const InputFile& file);

// Reads in large blocks and hands out small pieces.
class BufferedReader {
public:
    explicit BufferedReader(int fd, std::size_t bufferSize = 1u << 20);
    // Reads up to size bytes; fewer only at the end of the file. -1 on an I/O error.
    long read(void* out, std::size_t size);
    std::uint64_t position() const { return m_position; }

private:
    int m_fd;
    std::vector<unsigned char> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::uint64_t m_position = 0;
};

std::string folderOf(const std::string& path);
std::string nameOf(const std::string& path);

}  // namespace vlt::sys

VLT_EXPORT_END
