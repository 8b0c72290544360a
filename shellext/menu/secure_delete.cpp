#include "shellext/menu/secure_delete.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "shellext/file_ops.h"
#include "shellext/messages.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"
#include "sys/files.h"
#include "win32/shlobj.h"

namespace vlt::shellext {
namespace {

struct FileSystem {
    unsigned long magic;
    const char* name;
};

// Where an overwrite may land in new blocks and leave the old ones as they were.
constexpr FileSystem kUntrusted[] = {
    {0x9123683EUL, "btrfs"}, {0x2FC12FC1UL, "ZFS"},      {0x6969UL, "NFS"},       {0xFF534D42UL, "CIFS"},
    {0xFE534D42UL, "SMB2"},  {0x517BUL, "SMB"},          {0x01021994UL, "tmpfs"}, {0x858458F6UL, "ramfs"},
    {0xF2F52010UL, "F2FS"},  {0x3434UL, "NILFS"},        {0x794C7630UL, "overlayfs"},
    {0x65735546UL, "FUSE"},
};

constexpr std::size_t kWriteBatch = 1024;  // blocks per write(): the bytes are the same, the calls fewer

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// One pass of `blocks` blocks of `fill` from the start of the file, synced to the device
// before it returns. Stops early, after the current block, when the run is cancelled.
bool overwritePass(int fd, std::uint64_t blocks, unsigned char fill, ScaledProgress& bar) {
    if (lseek(fd, 0, SEEK_SET) != 0) return false;
    std::vector<unsigned char> batch(kWriteBatch * kShredBlock, fill);
    std::uint64_t pending = 0;
    for (std::uint64_t written = 0; written < blocks; ++written) {
        ++pending;
        bar.unit();
        const bool cancelled = g_cancel.load(std::memory_order_relaxed) != 0;
        if (pending == kWriteBatch || written + 1 == blocks || cancelled) {
            if (!writeAll(fd, batch.data(), pending * kShredBlock)) return false;
            pending = 0;
        }
        if (cancelled) break;
    }
    return fsync(fd) == 0;
}

void warn(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), msg::kStatusCaption, msg::kStyleWarning);
}

}  // namespace

std::string untrustedFileSystem(const std::string& path) {
    struct statfs fs {};
    if (statfs(sys::folderOf(path).c_str(), &fs) != 0) return {};
    for (const auto& f : kUntrusted)
        if (static_cast<unsigned long>(fs.f_type) == f.magic) return f.name;
    return {};
}

RunReport runSecureDelete(const OperationRequest& request) {
    RunReport report;
    Progress* progress = g_progress.load();
    bool warnedFileSystem = false;
    for (const auto& path : request.selection) {
        if (g_cancel.load()) break;
        if (progress) {
            progress->reset();
            progress->showText(path);
        }
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            warn(request.owner, msg::fill(msg::kShredMissing, {path}));
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            // Overwriting through the link would destroy a file the user did not select.
            warn(request.owner, msg::fill(msg::kShredLink, {path}));
            if (unlink(path.c_str()) == 0 && sys::syncParentDirectory(path)) {
                SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path.c_str(), nullptr);
                ++report.done;
            }
            continue;
        }
        const int fd = S_ISREG(st.st_mode) ? open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (fd < 0) {
            warn(request.owner, msg::fill(msg::kShredCannotOpen, {path}));
            continue;
        }
        if (!warnedFileSystem) {
            if (const auto fs = untrustedFileSystem(path); !fs.empty()) {
                warn(request.owner, msg::fill(msg::kShredUntrusted, {path, fs}));
                warnedFileSystem = true;
            }
        }
        const std::uint64_t blocks = shredBlocks(static_cast<std::uint64_t>(st.st_size));
        ScaledProgress bar(progress, 2 * blocks);
        const bool overwritten = overwritePass(fd, blocks, 0x00, bar) && (g_cancel.load() != 0 ||
                                                                          overwritePass(fd, blocks, 0x31, bar));
        close(fd);
        // A cancelled file is still removed: its first blocks are already gone.
        if (unlink(path.c_str()) != 0) {
            reportCannotRemove(path);
            continue;
        }
        (void)sys::syncParentDirectory(path);
        SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path.c_str(), nullptr);
        if (overwritten && g_cancel.load() == 0) ++report.done;
        else if (!overwritten) warn(request.owner, msg::fill(msg::kShredWriteFailed, {path}));
    }
    report.cancelled = g_cancel.load() != 0;
    report.notDone = request.selection.size() - report.done;
    if (progress) progress->close(report.result());
    return report;
}

}  // namespace vlt::shellext
