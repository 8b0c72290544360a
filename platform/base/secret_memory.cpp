#include "base/secret_memory.h"

#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <mutex>

#include "base/wipe.h"

namespace vlt::base {
namespace {

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t roundToPages(std::size_t size) {
    const std::size_t page = pageSize();
    return size == 0 ? page : (size + page - 1) / page * page;
}

// Most secrets fit in one page; a few freed pages are kept (wiped, still locked) so that
// short-lived passwords and key copies do not map and lock a page each time.
struct SparePages {
    std::mutex mutex;
    std::array<void*, 16> pages{};
    std::size_t count = 0;
};

SparePages& spares() {
    static auto* s = new SparePages;  // never destroyed: secrets may be freed during exit
    return *s;
}

}  // namespace

void* allocateSecret(std::size_t size) {
    const std::size_t length = roundToPages(size);
    if (length == pageSize()) {
        auto& s = spares();
        std::lock_guard lock(s.mutex);
        if (s.count > 0) return s.pages[--s.count];
    }
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    madvise(p, length, MADV_DONTDUMP);
    madvise(p, length, MADV_WIPEONFORK);  // a forked child gets zeros, not our keys
    // Without enough RLIMIT_MEMLOCK the pages may be swapped; they are still wiped and kept
    // out of core dumps, so the operation goes on.
    // The system call itself: sanitizer runtimes make the mlock() function a no-op.
    (void)syscall(SYS_mlock, p, length);
    return p;
}

void releaseSecret(void* data, std::size_t size) noexcept {
    if (data == nullptr) return;
    const std::size_t length = roundToPages(size);
    secureWipe(data, length);
    if (length == pageSize()) {
        auto& s = spares();
        std::lock_guard lock(s.mutex);
        if (s.count < s.pages.size()) {
            s.pages[s.count++] = data;
            return;
        }
    }
    (void)syscall(SYS_munlock, data, length);
    munmap(data, length);
}

}  // namespace vlt::base
