// The body of a locked file through the session key. What reaches the file is what one
// CryptEncrypt/CryptDecrypt call per 160-byte chunk writes; the calls, reads and progress steps
// are made a batch of chunks at a time, and long unlocks decrypt each batch on two threads.
#include <array>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "shellext/file_ops.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"

namespace vlt::shellext {
namespace {

// 320 KiB a call: a few milliseconds apart, Cancel is as prompt as after every chunk.
constexpr std::size_t kBatch = kChunksPerCall * kChunk;
constexpr std::size_t kBlock = 8;  // RC2's block
constexpr std::size_t kRoom = 16;  // the padding the last locked chunk grows by, and more

bool isRc2Cbc(HCRYPTKEY key) {
    DWORD alg = 0, mode = 0, size = sizeof alg;
    if (!CryptGetKeyParam(key, KP_ALGID, reinterpret_cast<BYTE*>(&alg), &size, 0)) return false;
    size = sizeof mode;
    return alg == CALG_RC2 && CryptGetKeyParam(key, KP_MODE, reinterpret_cast<BYTE*>(&mode), &size, 0) &&
           mode == CRYPT_MODE_CBC;
}

// A second thread for one file's pass, given one job at a time: the back half of a batch to
// decrypt while this thread does the front half (CBC decryption of a block needs only that
// block and the one before it), or a batch to write while this thread encrypts the next.
class Partner {
public:
    Partner() = default;
    Partner(const Partner&) = delete;
    Partner& operator=(const Partner&) = delete;
    ~Partner() {
        if (m_thread.joinable()) {
            {
                std::lock_guard lock(m_mutex);
                m_stop = true;
            }
            m_changed.notify_all();
            m_thread.join();
        }
        if (m_key != 0) CryptDestroyKey(m_key);
    }

    // False when no thread could be had: the caller then does every job itself.
    bool start() {
        try {
            m_thread = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }
    // For decrypting: a copy of the session key, when it is an RC2 key in CBC mode.
    bool copyKey(HCRYPTKEY key) { return isRc2Cbc(key) && CryptDuplicateKey(key, nullptr, 0, &m_key); }
    HCRYPTKEY key() const { return m_key; }

    void give(std::function<bool()> job) {
        {
            std::lock_guard lock(m_mutex);
            m_job = std::move(job);
        }
        m_changed.notify_all();
    }
    // Waits for the job given last; false once any job failed.
    bool take() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_job; });
        return m_ok;
    }

private:
    void serve() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_job || m_stop; });
            if (m_stop) return;
            lock.unlock();  // the job's data is this thread's alone until it says it is done
            const bool ok = m_job();
            lock.lock();
            m_ok = m_ok && ok;
            m_job = nullptr;
            m_changed.notify_all();
        }
    }

    HCRYPTKEY m_key = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<bool()> m_job;
    bool m_ok = true;
    bool m_stop = false;
};

// Whole chunks from the middle of the ciphertext, in place; the key then stands after them.
bool decryptMiddle(HCRYPTKEY key, BYTE* data, DWORD size, Partner* partner) {
    DWORD length = size;
    if (partner == nullptr) return CryptDecrypt(key, 0, FALSE, 0, data, &length) != FALSE;
    const DWORD half = static_cast<DWORD>(size / 2 / kBlock * kBlock);
    BYTE next[kBlock], iv[kBlock];
    std::memcpy(next, data + size - kBlock, kBlock);
    std::memcpy(iv, data + half - kBlock, kBlock);
    partner->give([partner, iv = std::to_array(iv), back = data + half, length = size - half]() mutable {
        return CryptSetKeyParam(partner->key(), KP_IV, iv.data(), 0) &&
               CryptDecrypt(partner->key(), 0, FALSE, 0, back, &length);
    });
    length = half;
    const bool front = CryptDecrypt(key, 0, FALSE, 0, data, &length) != FALSE;
    const bool back = partner->take();
    return front && back && CryptSetKeyParam(key, KP_IV, next, 0);
}

// After Cancel the output goes, once the partner is done writing to it.
bool cancelled(sys::AtomicFile& output, Partner* writer = nullptr) {
    if (!g_cancel.load(std::memory_order_relaxed)) return false;
    if (writer != nullptr) writer->take();
    output.abandon();
    return true;
}

// Reads to the end of the source; whole chunks continue the message, and the short last chunk
// (empty when the source ends on a chunk boundary) ends it with the padding. On long files a
// batch is written while the next one is encrypted.
FileOutcome lockBody(sys::BufferedReader& reader, HCRYPTKEY key, std::uint64_t bytes, ScaledProgress& bar,
                     sys::AtomicFile& output) {
    std::vector<BYTE> buffers[2] = {std::vector<BYTE>(kBatch + kRoom), std::vector<BYTE>(kBatch + kRoom)};
    Partner partner;
    Partner* writer = bytes >= 2 * kBatch && partner.start() ? &partner : nullptr;
    for (int current = 0;; current ^= 1) {
        BYTE* buffer = buffers[current].data();
        const long got = reader.read(buffer, kBatch);
        if (got < 0) return FileOutcome::Failed;
        const bool final = static_cast<std::size_t>(got) < kBatch;
        const auto whole = static_cast<DWORD>(static_cast<std::size_t>(got) / kChunk * kChunk);
        DWORD length = whole;
        if (whole != 0 && !CryptEncrypt(key, 0, FALSE, 0, buffer, &length, whole)) return FileOutcome::Failed;
        std::uint64_t chunks = whole / kChunk;
        if (final) {
            DWORD tail = static_cast<DWORD>(got) - whole;
            if (!CryptEncrypt(key, 0, TRUE, 0, buffer + whole, &tail, static_cast<DWORD>(kChunk + kRoom)))
                return FileOutcome::Failed;
            length = whole + tail;
            ++chunks;
        }
        if (writer == nullptr) {
            if (!output.write(buffer, length)) return FileOutcome::Failed;
        } else {
            if (!writer->take()) return FileOutcome::Failed;
            writer->give([&output, buffer, length] { return static_cast<bool>(output.write(buffer, length)); });
        }
        bar.units(chunks);
        if (cancelled(output, writer)) return FileOutcome::Cancelled;
        if (final) return writer == nullptr || writer->take() ? FileOutcome::Done : FileOutcome::Failed;
    }
}

// Reads exactly `bytes` of ciphertext; its last chunk, 1 to 160 bytes, ends the message and
// loses the padding. On long files the partner decrypts half of each batch and writes it while
// the next one is read.
FileOutcome unlockBody(sys::BufferedReader& reader, HCRYPTKEY key, std::uint64_t bytes, ScaledProgress& bar,
                       sys::AtomicFile& output) {
    if (bytes == 0) return FileOutcome::Done;
    const auto last = static_cast<DWORD>((bytes - 1) % kChunk + 1);
    std::uint64_t middle = bytes - last;
    std::vector<BYTE> buffers[2] = {std::vector<BYTE>(kBatch), std::vector<BYTE>(kBatch)};
    Partner partner;
    Partner* helper = middle >= 2 * kBatch && partner.copyKey(key) && partner.start() ? &partner : nullptr;
    for (int current = 0; middle > 0; current ^= 1) {
        BYTE* buffer = buffers[current].data();
        const auto size = static_cast<DWORD>(middle < kBatch ? middle : kBatch);
        if (reader.read(buffer, size) != static_cast<long>(size)) return FileOutcome::Failed;
        middle -= size;
        if (helper != nullptr && !helper->take()) return FileOutcome::Failed;  // the batch before is written
        if (!decryptMiddle(key, buffer, size, helper)) return FileOutcome::Failed;
        if (helper == nullptr) {
            if (!output.write(buffer, size)) return FileOutcome::Failed;
        } else {
            helper->give([&output, buffer, size] { return static_cast<bool>(output.write(buffer, size)); });
        }
        bar.units(size / kChunk);
        if (cancelled(output, helper)) return FileOutcome::Cancelled;
    }
    if (helper != nullptr && !helper->take()) return FileOutcome::Failed;
    BYTE* buffer = buffers[0].data();
    DWORD length = last;
    if (reader.read(buffer, last) != static_cast<long>(last) || !CryptDecrypt(key, 0, TRUE, 0, buffer, &length) ||
        !output.write(buffer, length))
        return FileOutcome::Failed;
    bar.units(1);
    if (cancelled(output)) return FileOutcome::Cancelled;
    return FileOutcome::Done;
}

}  // namespace

FileOutcome cryptChunks(int fd, HCRYPTKEY key, ChunkDirection direction, std::uint64_t bytes, const std::string& shown,
                        sys::AtomicFile& output) {
    Progress* progress = g_progress.load();
    if (progress) {
        progress->reset();
        progress->showText(shown);
    }
    ScaledProgress bar(progress, bytes / kChunk + 1);
    sys::BufferedReader reader(fd);
    return direction == ChunkDirection::Lock ? lockBody(reader, key, bytes, bar, output)
                                             : unlockBody(reader, key, bytes, bar, output);
}

}  // namespace vlt::shellext
