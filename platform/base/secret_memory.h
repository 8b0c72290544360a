// Memory for passwords and plain keys: locked so it never reaches swap, left out of core
// dumps, and wiped before it is handed back.
#pragma once

#include <cstddef>
#include <new>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

// Whole pages of anonymous memory, locked where RLIMIT_MEMLOCK allows (never a failure when
// it does not) and marked MADV_DONTDUMP. nullptr only when no memory can be mapped.
void* allocateSecret(std::size_t size);
// Wipes the allocation and returns it; size as given to allocateSecret.
void releaseSecret(void* data, std::size_t size) noexcept;

template <typename T>
struct SecretAllocator {
    using value_type = T;
    SecretAllocator() = default;
    template <typename U>
    SecretAllocator(const SecretAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        void* p = allocateSecret(n * sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept { releaseSecret(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const SecretAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace vlt::base

VLT_EXPORT_END
