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

std::optional<std::vector<std::string>> readFileList(const void* hdrop) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!hdrop || !globalBlock(hdrop, &data, &size) || size < sizeof(DROPFILES)) return std::nullopt;
    DROPFILES header;
    std::memcpy(&header, data, sizeof header);
    if (header.pFiles > size) return std::nullopt;
    std::vector<std::string> names;
    std::size_t at = header.pFiles;
    if (header.fWide) {
        for (;;) {
            std::u16string name;
            bool terminated = false;
            while (at + 2 <= size) {
                char16_t c;
                std::memcpy(&c, data + at, 2);
                at += 2;
                if (c == 0) {
                    terminated = true;
                    break;
                }
                name.push_back(c);
            }
            if (!terminated) return std::nullopt;
            if (name.empty()) break;
            names.push_back(utf16ToUtf8(name));
        }
    } else {
        for (;;) {
            const void* end = at < size ? std::memchr(data + at, 0, size - at) : nullptr;
            if (!end) return std::nullopt;
            const std::size_t len = static_cast<const unsigned char*>(end) - (data + at);
            if (len == 0) break;
            names.emplace_back(reinterpret_cast<const char*>(data + at), len);
            at += len + 1;
        }
    }
    return names;
}

}  // namespace vlt::com

UINT DragQueryFileA(HDROP hDrop, UINT iFile, LPSTR lpszFile, UINT cch) {
    const auto names = vlt::com::readFileList(hDrop);
    if (!names) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (iFile == 0xFFFFFFFF) return static_cast<UINT>(names->size());
    if (iFile >= names->size()) return 0;
    const std::string& name = (*names)[iFile];
    if (!lpszFile) return static_cast<UINT>(name.size());
    if (cch == 0) return 0;
    const std::size_t n = std::min<std::size_t>(name.size(), cch - 1);
    std::memcpy(lpszFile, name.data(), n);
    lpszFile[n] = '\0';
    return static_cast<UINT>(n);
}
