#include "shared/file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "sys/files.h"

namespace vlt {

ReadOutcome readWholeFile(int fd, Bytes& out) {
    out.clear();
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0) return ReadOutcome::Empty;
    try {
        out.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        return ReadOutcome::NoMemory;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    if (done < out.size()) {
        out.clear();
        return ReadOutcome::ShortRead;
    }
    return ReadOutcome::Ok;
}

int writeAtomically(const std::string& path, ByteView data, unsigned mode) {
    if (path.empty()) return 0;
    return sys::writeFileAtomically(path, data.data(), data.size(), static_cast<mode_t>(mode)) ? 1 : 0;
}

}  // namespace vlt
