#include "shellext/file_ops.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"

namespace vlt::shellext {

FileOutcome cryptChunks(int fd, HCRYPTKEY key, ChunkDirection direction, std::uint64_t bytes, const std::string& shown,
                        sys::AtomicFile& output) {
    Progress* progress = g_progress.load();
    if (progress) {
        progress->reset();
        progress->showText(shown);
    }
    ScaledProgress bar(progress, bytes / kChunk + 1);

    const bool lock = direction == ChunkDirection::Lock;
    sys::BufferedReader reader(fd);
    BYTE chunk[kChunk + 16];  // room for the padding the last locked chunk grows by
    // Locking reads to the end of the source and always ends with one final, short chunk;
    // unlocking reads exactly the ciphertext.
    std::uint64_t left = bytes;
    for (bool final = !lock && left == 0; !final;) {
        const DWORD want = lock || left >= kChunk ? static_cast<DWORD>(kChunk) : static_cast<DWORD>(left);
        const long got = reader.read(chunk, want);
        if (got < 0 || (!lock && got != static_cast<long>(want))) return FileOutcome::Failed;
        if (!lock) left -= want;
        final = lock ? got < static_cast<long>(kChunk) : left == 0;
        DWORD length = static_cast<DWORD>(got);
        const BOOL crypted = lock ? CryptEncrypt(key, 0, final, 0, chunk, &length, sizeof chunk)
                                  : CryptDecrypt(key, 0, final, 0, chunk, &length);
        if (!crypted || !output.write(chunk, length)) return FileOutcome::Failed;
        bar.unit();
        if (g_cancel.load(std::memory_order_relaxed)) {
            output.abandon();
            return FileOutcome::Cancelled;
        }
    }
    return FileOutcome::Done;
}

}  // namespace vlt::shellext
