// The task allocator, global memory blocks and ReleaseStgMedium.
#include <gtest/gtest.h>

#include <cstring>

#include "win32/objbase.h"
#include "win32/winbase.h"

namespace vlt::test {
namespace {

TEST(TaskAllocator, OnlyTheTaskContextIsServed) {
    IMalloc* malloc = reinterpret_cast<IMalloc*>(0x1);
    EXPECT_EQ(CoGetMalloc(0, &malloc), E_INVALIDARG);
    EXPECT_EQ(malloc, nullptr);
    EXPECT_EQ(CoGetMalloc(1, nullptr), E_INVALIDARG);

    IMalloc* a = nullptr;
    IMalloc* b = nullptr;
    ASSERT_EQ(CoGetMalloc(MEMCTX_TASK, &a), S_OK);
    ASSERT_EQ(CoGetMalloc(MEMCTX_TASK, &b), S_OK);
    EXPECT_EQ(a, b) << "one allocator per process";
    void* asUnknown = nullptr;
    EXPECT_EQ(a->QueryInterface(IID_IUnknown, &asUnknown), S_OK);
    EXPECT_EQ(asUnknown, static_cast<IUnknown*>(a));
    static_cast<IUnknown*>(asUnknown)->Release();
    void* other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(a->QueryInterface(IID_IDataObject, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    a->Release();
    b->Release();
}

TEST(TaskAllocator, AllocReallocFreeKeepContentsAndSizes) {
    IMalloc* malloc = nullptr;
    ASSERT_EQ(CoGetMalloc(1, &malloc), S_OK);
    auto* p = static_cast<char*>(malloc->Alloc(10));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
    std::memcpy(p, "0123456789", 10);
    EXPECT_EQ(malloc->GetSize(p), 10u);
    p = static_cast<char*>(malloc->Realloc(p, 100000));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(malloc->GetSize(p), 100000u);
    EXPECT_EQ(std::memcmp(p, "0123456789", 10), 0);
    p = static_cast<char*>(malloc->Realloc(p, 4));
    EXPECT_EQ(std::memcmp(p, "0123", 4), 0);
    EXPECT_EQ(malloc->GetSize(p), 4u);
    EXPECT_EQ(malloc->Realloc(p, 0), nullptr) << "a size of 0 frees";
    EXPECT_EQ(malloc->GetSize(nullptr), static_cast<SIZE_T>(-1));
    EXPECT_EQ(malloc->DidAlloc(nullptr), -1);
    malloc->Free(nullptr);

    void* fromNull = CoTaskMemRealloc(nullptr, 8);
    ASSERT_NE(fromNull, nullptr);
    malloc->Free(fromNull);  // blocks of CoTaskMemAlloc and IMalloc are the same kind
    void* zero = CoTaskMemAlloc(0);
    EXPECT_NE(zero, nullptr);
    CoTaskMemFree(zero);
    CoTaskMemFree(nullptr);
    malloc->Release();
}

TEST(GlobalMemory, FixedBlocksAreTheirOwnPointer) {
    HGLOBAL h = GlobalAlloc(GPTR, 24);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), static_cast<void*>(h));
    const auto* bytes = static_cast<const unsigned char*>(static_cast<void*>(h));
    for (int i = 0; i < 24; ++i) EXPECT_EQ(bytes[i], 0) << "GMEM_ZEROINIT";
    EXPECT_EQ(GlobalSize(h), 24u);
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, MoveableBlocksCountTheirLocks) {
    HGLOBAL h = GlobalAlloc(GHND, 5);
    ASSERT_NE(h, nullptr);
    void* p = GlobalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p, static_cast<void*>(h)) << "a moveable handle is not the data pointer";
    EXPECT_EQ(GlobalLock(h), p) << "blocks never move";
    std::memcpy(p, "abcde", 5);
    EXPECT_EQ(GlobalSize(h), 5u);

    SetLastError(12345);
    EXPECT_TRUE(GlobalUnlock(h)) << "still locked once";
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR)) << "unlocked by this call";
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));

    EXPECT_EQ(std::memcmp(GlobalLock(h), "abcde", 5), 0);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, HandlesThatAreNotBlocksAreRefused) {
    const auto bogus = reinterpret_cast<HGLOBAL>(std::uintptr_t{0x1003});
    SetLastError(0);
    EXPECT_EQ(GlobalLock(bogus), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalSize(bogus), 0u);
    EXPECT_EQ(GlobalFree(bogus), bogus) << "GlobalFree hands back what it could not free";
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

class CountingUnknown final : public IUnknown {
public:
    CountingUnknown() = default;
    virtual ~CountingUnknown() = default;
    HRESULT QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    ULONG refs = 1;
};

TEST(StorageMedium, ReleaseFreesTheBlockOrLetsItsOwnerDoIt) {
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GHND, 16);
    ASSERT_NE(medium.hGlobal, nullptr);
    ReleaseStgMedium(&medium);  // ASan would report the block if it were leaked
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_NULL));
    EXPECT_EQ(medium.hGlobal, nullptr);
    ReleaseStgMedium(&medium);  // a second call has nothing left to free

    CountingUnknown owner;
    HGLOBAL kept = GlobalAlloc(GHND, 16);
    STGMEDIUM owned{};
    owned.tymed = TYMED_HGLOBAL;
    owned.hGlobal = kept;
    owned.pUnkForRelease = &owner;
    ReleaseStgMedium(&owned);
    EXPECT_EQ(owner.refs, 0u) << "the owner is released instead";
    EXPECT_EQ(GlobalSize(kept), 16u) << "and the block is left to it";
    EXPECT_EQ(GlobalFree(kept), nullptr);
    ReleaseStgMedium(nullptr);
}

}  // namespace
}  // namespace vlt::test
