// CF_HDROP blocks as another program's data object may hand them over: DragQueryFileA never
// reads past the block, agrees with itself, and an ANSI list survives a trip through the
// file-list data object.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "com/dataobject.h"
#include "win32/objbase.h"
#include "win32/shellapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return 0;
    if (size > 0) {
        std::memcpy(GlobalLock(block), data, size);
        GlobalUnlock(block);
    }
    const auto drop = reinterpret_cast<HDROP>(block);
    const auto names = vlt::com::readFileList(block);
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (!names && count != 0) std::abort();
    if (names) {
        if (count != names->size()) std::abort();
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileA(drop, i, nullptr, 0);
            std::string copy(length + 1, '\0');
            if (DragQueryFileA(drop, i, copy.data(), length + 1) != length) std::abort();
            copy.resize(length);
            if (copy != (*names)[i]) std::abort();
        }
        if (IDataObject* object = vlt::com::makeFileListDataObject(*names)) {
            FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
            STGMEDIUM medium{};
            if (FAILED(object->GetData(&format, &medium))) std::abort();
            if (vlt::com::readFileList(medium.hGlobal) != names) std::abort();
            ReleaseStgMedium(&medium);
            object->Release();
        }
    }
    GlobalFree(block);
    return 0;
}
