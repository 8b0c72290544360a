// The task allocator and global memory blocks. Both put a small header in front of the data, so
// a block needs no table to be sized, locked or freed: a plug-in that carries its own copy of
// this layer can still free what the host allocated (only the C library's heap is shared).
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "com/blocks.h"
#include "win32/objbase.h"
#include "win32/winbase.h"

namespace {

// ---- Task allocator ---------------------------------------------------------------------

constexpr std::uint64_t kTaskMagic = 0x4b534154544c56ull;  // "VLTTASK"

struct alignas(16) TaskHeader {
    std::uint64_t magic;
    std::size_t size;
};
static_assert(sizeof(TaskHeader) == 16);

TaskHeader* taskHeaderOf(void* pv) {
    return reinterpret_cast<TaskHeader*>(static_cast<char*>(pv) - sizeof(TaskHeader));
}

void* taskAlloc(std::size_t cb) {
    if (cb > SIZE_MAX - sizeof(TaskHeader)) return nullptr;
    auto* h = static_cast<TaskHeader*>(std::malloc(sizeof(TaskHeader) + cb));
    if (!h) return nullptr;
    h->magic = kTaskMagic;
    h->size = cb;
    return h + 1;
}

void taskFree(void* pv) {
    if (!pv) return;
    TaskHeader* h = taskHeaderOf(pv);
    if (h->magic != kTaskMagic) return;  // not ours: leave the heap alone rather than corrupt it
    h->magic = 0;
    std::free(h);
}

void* taskRealloc(void* pv, std::size_t cb) {
    if (!pv) return taskAlloc(cb);
    if (cb == 0) {
        taskFree(pv);
        return nullptr;
    }
    TaskHeader* h = taskHeaderOf(pv);
    if (h->magic != kTaskMagic || cb > SIZE_MAX - sizeof(TaskHeader)) return nullptr;
    auto* n = static_cast<TaskHeader*>(std::realloc(h, sizeof(TaskHeader) + cb));
    if (!n) return nullptr;  // the old block stays valid
    n->size = cb;
    return n + 1;
}

std::size_t taskSize(void* pv) {
    if (!pv) return static_cast<std::size_t>(-1);
    const TaskHeader* h = taskHeaderOf(pv);
    return h->magic == kTaskMagic ? h->size : static_cast<std::size_t>(-1);
}

// One allocator object per process (per copy of this code); it is never destroyed, so its
// reference count only matters to callers that check it.
class TaskMalloc final : public IMalloc {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMalloc)) {
            *ppv = static_cast<IMalloc*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return m_refs > 1 ? --m_refs : 1; }
    void* Alloc(SIZE_T cb) override { return taskAlloc(cb); }
    void* Realloc(void* pv, SIZE_T cb) override { return taskRealloc(pv, cb); }
    void Free(void* pv) override { taskFree(pv); }
    SIZE_T GetSize(void* pv) override { return taskSize(pv); }
    int DidAlloc(void*) override { return -1; }
    void HeapMinimize() override {}

private:
    std::atomic<ULONG> m_refs{1};
};

TaskMalloc& taskMalloc() {
    static TaskMalloc* const instance = new TaskMalloc;  // lives as long as the process
    return *instance;
}

// ---- Global memory ----------------------------------------------------------------------

constexpr std::uint32_t kGlobalMagic = 0x424c4756u;  // "VGLB"
constexpr std::uintptr_t kMoveableTag = 4;           // low bits of a moveable handle

struct alignas(16) GlobalHeader {
    std::uint32_t magic;
    std::uint32_t flags;
    std::atomic<std::uint32_t> locks;
    std::uint32_t reserved;
    std::size_t size;
    std::uint64_t reserved2;
};
static_assert(sizeof(GlobalHeader) == 32);

GlobalHeader* headerOfData(void* data) {
    return reinterpret_cast<GlobalHeader*>(static_cast<char*>(data) - sizeof(GlobalHeader));
}

void* dataOf(GlobalHeader* h) { return h + 1; }

// The header of a handle (moveable or fixed); nullptr when the value is not a live block.
GlobalHeader* resolve(HGLOBAL mem) {
    const auto value = reinterpret_cast<std::uintptr_t>(mem);
    if (value == 0) return nullptr;
    GlobalHeader* h = nullptr;
    if ((value & 0xF) == kMoveableTag) {
        h = reinterpret_cast<GlobalHeader*>(value & ~std::uintptr_t{0xF});
        if (h->magic != kGlobalMagic || (h->flags & GMEM_MOVEABLE) == 0) return nullptr;
    } else {
        if ((value & 0xF) != 0) return nullptr;
        h = headerOfData(mem);
        if (h->magic != kGlobalMagic || (h->flags & GMEM_MOVEABLE) != 0) return nullptr;
    }
    return h;
}

}  // namespace

namespace vlt::com {

bool globalBlock(const void* handleOrData, const unsigned char** data, std::size_t* size) {
    auto* mem = reinterpret_cast<HGLOBAL>(const_cast<void*>(handleOrData));
    GlobalHeader* h = resolve(mem);
    if (!h) {
        // The locked data of a moveable block.
        const auto value = reinterpret_cast<std::uintptr_t>(handleOrData);
        if (value == 0 || (value & 0xF) != 0) return false;
        h = headerOfData(const_cast<void*>(handleOrData));
        if (h->magic != kGlobalMagic || (h->flags & GMEM_MOVEABLE) == 0) return false;
    }
    *data = static_cast<const unsigned char*>(dataOf(h));
    *size = h->size;
    return true;
}

}  // namespace vlt::com

const IID IID_IMalloc = {0x00000002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

HRESULT CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc) {
    if (!ppMalloc) return E_INVALIDARG;
    if (dwMemContext != MEMCTX_TASK) {
        *ppMalloc = nullptr;
        return E_INVALIDARG;
    }
    TaskMalloc& m = taskMalloc();
    m.AddRef();
    *ppMalloc = &m;
    return S_OK;
}

LPVOID CoTaskMemAlloc(SIZE_T cb) { return taskAlloc(cb); }
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) { return taskRealloc(pv, cb); }
void CoTaskMemFree(LPVOID pv) { taskFree(pv); }

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (dwBytes > SIZE_MAX - sizeof(GlobalHeader)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* raw = std::malloc(sizeof(GlobalHeader) + dwBytes);
    if (!raw) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* h = new (raw) GlobalHeader;
    h->magic = kGlobalMagic;
    h->flags = uFlags & GMEM_MOVEABLE;
    h->locks.store(0);
    h->reserved = 0;
    h->size = dwBytes;
    h->reserved2 = 0;
    if (uFlags & GMEM_ZEROINIT) std::memset(dataOf(h), 0, dwBytes);
    if (uFlags & GMEM_MOVEABLE) return reinterpret_cast<HGLOBAL>(reinterpret_cast<std::uintptr_t>(h) | kMoveableTag);
    return static_cast<HGLOBAL>(dataOf(h));
}

LPVOID GlobalLock(HGLOBAL hMem) {
    GlobalHeader* h = resolve(hMem);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (h->flags & GMEM_MOVEABLE) h->locks.fetch_add(1);
    return dataOf(h);
}

BOOL GlobalUnlock(HGLOBAL hMem) {
    GlobalHeader* h = resolve(hMem);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((h->flags & GMEM_MOVEABLE) == 0) return TRUE;
    std::uint32_t count = h->locks.load();
    do {
        if (count == 0) {
            SetLastError(ERROR_NOT_LOCKED);
            return FALSE;
        }
    } while (!h->locks.compare_exchange_weak(count, count - 1));
    if (count - 1 == 0) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
    if (!hMem) return nullptr;
    GlobalHeader* h = resolve(hMem);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    h->magic = 0;
    h->~GlobalHeader();
    std::free(h);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
    GlobalHeader* h = resolve(hMem);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return h->size;
}

void ReleaseStgMedium(LPSTGMEDIUM pmedium) {
    if (!pmedium) return;
    if (pmedium->pUnkForRelease) {
        IUnknown* owner = pmedium->pUnkForRelease;
        pmedium->pUnkForRelease = nullptr;
        owner->Release();
    } else if (pmedium->tymed == TYMED_HGLOBAL) {
        GlobalFree(pmedium->hGlobal);
    } else if (pmedium->tymed != TYMED_NULL) {
        return;  // media we do not make are left to their owner
    }
    pmedium->tymed = TYMED_NULL;
    pmedium->hGlobal = nullptr;
}
