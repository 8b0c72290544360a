#include "com/dataobject.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "com/blocks.h"
#include "com/codepages.h"
#include "win32/shlobj.h"
#include "win32/winbase.h"

namespace vlt::com {
namespace {

HRESULT checkFormat(const FORMATETC* f) {
    if (!f) return E_INVALIDARG;
    if (f->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    if ((f->dwAspect & DVASPECT_CONTENT) == 0) return DV_E_DVASPECT;
    if (f->lindex != -1) return DV_E_LINDEX;
    if ((f->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
    return S_OK;
}

class FileListDataObject final : public IDataObject {
public:
    explicit FileListDataObject(std::vector<std::string> paths) : m_paths(std::move(paths)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!medium) return E_INVALIDARG;
        const HRESULT hr = checkFormat(format);
        if (FAILED(hr)) return hr;
        HGLOBAL block = makeBlock();
        if (!block) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC* format) override { return checkFormat(format); }
    HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override {
        if (!in || !out) return E_INVALIDARG;
        *out = *in;
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA** out) override {
        if (out) *out = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    ~FileListDataObject() = default;

    HGLOBAL makeBlock() const {
        std::size_t size = sizeof(DROPFILES) + 1;  // the empty name that ends the list
        for (const auto& p : m_paths) size += p.size() + 1;
        if (m_paths.empty()) ++size;  // still two terminators
        HGLOBAL block = GlobalAlloc(GHND, size);
        if (!block) return nullptr;
        auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
        DROPFILES header{};
        header.pFiles = sizeof(DROPFILES);
        header.fWide = FALSE;
        std::memcpy(bytes, &header, sizeof header);
        std::size_t at = sizeof(DROPFILES);
        for (const auto& p : m_paths) {
            std::memcpy(bytes + at, p.data(), p.size());
            at += p.size() + 1;  // zero-initialised: the terminator is there already
        }
        GlobalUnlock(block);
        return block;
    }

    std::atomic<ULONG> m_refs{1};
    std::vector<std::string> m_paths;
};

}  // namespace

IDataObject* makeFileListDataObject(std::vector<std::string> paths) {
    for (const auto& p : paths)
        if (p.empty() || p.find('\0') != std::string::npos) return nullptr;
    return new (std::nothrow) FileListDataObject(std::move(paths));
}

namespace {

// One name of a CF_HDROP list, where it lies in the block.
struct NameSpan {
    const unsigned char* at;
    std::size_t units;  // characters, without the terminator
    bool wide;
};

std::string nameText(const NameSpan& name) {
    if (!name.wide) return std::string(reinterpret_cast<const char*>(name.at), name.units);
    std::u16string text(name.units, u'\0');
    std::memcpy(text.data(), name.at, name.units * 2);  // the block need not be aligned for char16_t
    return utf16ToUtf8(text);
}

// Walks every name of the list without copying any, so that asking for one name of a long list
// costs one pass and no allocation. False when there is no block or a name lacks its terminator:
// such a list has no names at all, whichever one is asked for.
template <class Visit>
bool walkFileList(const void* hdrop, Visit&& visit) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!hdrop || !globalBlock(hdrop, &data, &size) || size < sizeof(DROPFILES)) return false;
    DROPFILES header;
    std::memcpy(&header, data, sizeof header);
    if (header.pFiles > size) return false;
    for (std::size_t at = header.pFiles;;) {
        const void* end = nullptr;  // this name's terminator
        if (!header.fWide) {
            if (at < size) end = std::memchr(data + at, 0, size - at);
        } else {
            for (std::size_t c = at; !end && c + 2 <= size; c += 2)
                if (data[c] == 0 && data[c + 1] == 0) end = data + c;
        }
        if (!end) return false;
        const std::size_t bytes = static_cast<const unsigned char*>(end) - (data + at);
        if (bytes == 0) return true;
        visit(NameSpan{data + at, header.fWide ? bytes / 2 : bytes, header.fWide != FALSE});
        at += bytes + (header.fWide ? 2 : 1);
    }
}

}  // namespace

std::optional<std::vector<std::string>> readFileList(const void* hdrop) {
    std::vector<std::string> names;
    if (!walkFileList(hdrop, [&](const NameSpan& name) { names.push_back(nameText(name)); })) return std::nullopt;
    return names;
}

}  // namespace vlt::com

UINT DragQueryFileA(HDROP hDrop, UINT iFile, LPSTR lpszFile, UINT cch) {
    UINT count = 0;
    std::optional<vlt::com::NameSpan> wanted;
    if (!vlt::com::walkFileList(hDrop, [&](const vlt::com::NameSpan& name) {
            if (count++ == iFile) wanted = name;
        })) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (iFile == 0xFFFFFFFF) return count;
    if (!wanted) return 0;
    const std::string name = vlt::com::nameText(*wanted);
    if (!lpszFile) return static_cast<UINT>(name.size());
    if (cch == 0) return 0;
    const std::size_t n = std::min<std::size_t>(name.size(), cch - 1);
    std::memcpy(lpszFile, name.data(), n);
    lpszFile[n] = '\0';
    return static_cast<UINT>(n);
}
