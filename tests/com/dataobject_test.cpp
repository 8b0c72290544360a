// The file-list data object a host hands to an extension, and DragQueryFileA over its blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "com/dataobject.h"
#include "win32/objbase.h"
#include "win32/shellapi.h"
#include "win32/shlobj.h"
#include "win32/winbase.h"

namespace vlt::test {
namespace {

FORMATETC hdropFormat() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// What an extension's Initialize does: ask for CF_HDROP and read every name.
std::vector<std::string> namesOf(IDataObject* data) {
    FORMATETC format = hdropFormat();
    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(medium.pUnkForRelease, nullptr);
    const auto drop = reinterpret_cast<HDROP>(medium.hGlobal);
    std::vector<std::string> names;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::string name(length + 1, '\0');
        EXPECT_EQ(DragQueryFileA(drop, i, name.data(), length + 1), length);
        name.resize(length);
        names.push_back(name);
    }
    ReleaseStgMedium(&medium);
    return names;
}

struct Released {
    void operator()(IUnknown* p) const {
        if (p) p->Release();
    }
};
using DataObject = std::unique_ptr<IDataObject, Released>;

TEST(FileListDataObject, HandsOutTheNamesInOrder) {
    const std::vector<std::string> paths = {"/home/ann/report.doc", "/home/ann/Bilder/caf\xC3\xA9.png",
                                            "/home/ann/dir with space/x.Vtf"};
    DataObject data(com::makeFileListDataObject(paths));
    ASSERT_TRUE(data);
    EXPECT_EQ(namesOf(data.get()), paths);
    EXPECT_EQ(namesOf(data.get()), paths) << "every GetData gives a fresh medium";
}

TEST(FileListDataObject, BlockLayoutIsDropFilesThenDoubleNulTerminatedAnsiNames) {
    DataObject data(com::makeFileListDataObject({"/a", "/bc"}));
    FORMATETC format = hdropFormat();
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    const SIZE_T size = GlobalSize(medium.hGlobal);
    ASSERT_EQ(size, sizeof(DROPFILES) + 3 + 4 + 1);
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(medium.hGlobal));
    DROPFILES header;
    std::memcpy(&header, bytes, sizeof header);
    EXPECT_EQ(header.pFiles, 20u);
    EXPECT_EQ(header.fWide, FALSE);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 20), size - 20), std::string("/a\0/bc\0\0", 8));
    // The locked data serves as the HDROP as well as the handle does.
    EXPECT_EQ(DragQueryFileA(reinterpret_cast<HDROP>(const_cast<unsigned char*>(bytes)), 0xFFFFFFFF, nullptr, 0), 2u);
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
}

TEST(FileListDataObject, AnEmptySelectionIsAnEmptyList) {
    DataObject data(com::makeFileListDataObject({}));
    ASSERT_TRUE(data);
    EXPECT_TRUE(namesOf(data.get()).empty());
}

TEST(FileListDataObject, NamesTheListCannotCarryAreRefused) {
    EXPECT_EQ(com::makeFileListDataObject({"/a", ""}), nullptr);
    EXPECT_EQ(com::makeFileListDataObject({std::string("/a\0b", 4)}), nullptr);
}

TEST(FileListDataObject, OnlyCfHdropContentInGlobalMemoryIsOffered) {
    DataObject data(com::makeFileListDataObject({"/a"}));
    FORMATETC f = hdropFormat();
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    f.cfFormat = 1;  // CF_TEXT
    EXPECT_EQ(data->QueryGetData(&f), DV_E_FORMATETC);
    f = hdropFormat();
    f.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->QueryGetData(&f), DV_E_TYMED);
    f = hdropFormat();
    f.dwAspect = DVASPECT_ICON;
    EXPECT_EQ(data->QueryGetData(&f), DV_E_DVASPECT);
    f = hdropFormat();
    f.lindex = 0;
    EXPECT_EQ(data->QueryGetData(&f), DV_E_LINDEX);
    f = hdropFormat();
    f.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;  // any medium that includes global memory
    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(&f, &medium), S_OK);
    ReleaseStgMedium(&medium);
    f.cfFormat = 1;
    STGMEDIUM untouched{};
    EXPECT_EQ(data->GetData(&f, &untouched), DV_E_FORMATETC);
    EXPECT_EQ(untouched.hGlobal, nullptr);
    EXPECT_EQ(data->GetData(nullptr, &untouched), E_INVALIDARG);
    EXPECT_EQ(data->SetData(&f, &medium, FALSE), E_NOTIMPL);
    EXPECT_EQ(data->DAdvise(&f, 0, nullptr, nullptr), OLE_E_ADVISENOTSUPPORTED);
}

TEST(FileListDataObject, QueryInterfaceAndReferenceCounting) {
    IDataObject* data = com::makeFileListDataObject({"/a"});
    void* unknown = nullptr;
    ASSERT_EQ(data->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(data));
    void* other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(data->QueryInterface(IID_IContextMenu, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(data->AddRef(), 3u);
    EXPECT_EQ(data->Release(), 2u);
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1u);
    EXPECT_EQ(data->Release(), 0u);  // destroyed; ASan reports a leak otherwise
}

// A block made by hand, as another program's data object may make it.
HGLOBAL makeBlock(const DROPFILES& header, const std::string& names) {
    HGLOBAL h = GlobalAlloc(GHND, sizeof header + names.size());
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    std::memcpy(p, &header, sizeof header);
    std::memcpy(p + sizeof header, names.data(), names.size());
    GlobalUnlock(h);
    return h;
}

TEST(DragQueryFile, SizeQueriesCopiesAndShortBuffers) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    HGLOBAL h = makeBlock(header, std::string("/tmp/abc\0/x\0\0", 14));
    const auto drop = reinterpret_cast<HDROP>(h);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), 8u) << "the length without the terminator";
    char buf[5] = "....";
    EXPECT_EQ(DragQueryFileA(drop, 0, buf, sizeof buf), 4u) << "cut to the buffer, terminated";
    EXPECT_STREQ(buf, "/tmp");
    EXPECT_EQ(DragQueryFileA(drop, 0, buf, 0), 0u);
    EXPECT_EQ(DragQueryFileA(drop, 2, buf, sizeof buf), 0u) << "index past the end";
    EXPECT_STREQ(buf, "/tmp") << "and the buffer left alone";
    GlobalFree(h);
}

TEST(DragQueryFile, WideListsAreRead) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    const char16_t names[] = u"/tmp/caf\u00E9\0/b\0";
    HGLOBAL h = makeBlock(header, std::string(reinterpret_cast<const char*>(names), sizeof names));
    char buf[64];
    EXPECT_EQ(DragQueryFileA(reinterpret_cast<HDROP>(h), 0xFFFFFFFF, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(reinterpret_cast<HDROP>(h), 0, buf, sizeof buf), 10u);
    EXPECT_STREQ(buf, "/tmp/caf\xC3\xA9") << "file names are UTF-8 here";
    GlobalFree(h);
}

TEST(DragQueryFile, MalformedBlocksAreNotReadPastTheirEnd) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    HGLOBAL unterminated = makeBlock(header, "/tmp/abc");
    EXPECT_EQ(DragQueryFileA(reinterpret_cast<HDROP>(unterminated), 0xFFFFFFFF, nullptr, 0), 0u);
    GlobalFree(unterminated);

    header.pFiles = 4000;
    HGLOBAL offsetOutside = makeBlock(header, std::string("/a\0\0", 4));
    EXPECT_EQ(DragQueryFileA(reinterpret_cast<HDROP>(offsetOutside), 0xFFFFFFFF, nullptr, 0), 0u);
    GlobalFree(offsetOutside);

    HGLOBAL tooSmall = GlobalAlloc(GHND, 8);
    EXPECT_EQ(DragQueryFileA(reinterpret_cast<HDROP>(tooSmall), 0xFFFFFFFF, nullptr, 0), 0u);
    GlobalFree(tooSmall);

    SetLastError(0);
    EXPECT_EQ(DragQueryFileA(reinterpret_cast<HDROP>(std::uintptr_t{0x2001}), 0xFFFFFFFF, nullptr, 0), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(DragQueryFileA(nullptr, 0xFFFFFFFF, nullptr, 0), 0u);
}

}  // namespace
}  // namespace vlt::test
