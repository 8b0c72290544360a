// GDI as recording: device contexts remember the text colour, background mode and objects
// selected into them; fonts are LOGFONTA records; bitmaps are registered pictures (painting.cpp
// turns what is drawn with them into paint records).
//
// Text is measured as the runtime lays dialogs out: every character 4 units wide (the average
// character width in dialog units) and a line 8 units high, whatever the font.
#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "ui/gdi_objects.h"

namespace vlt::ui::detail {
namespace {

constexpr int kCharWidth = 4;
constexpr int kLineHeight = 8;
constexpr int kSystemFont = 13;      // SYSTEM_FONT
constexpr int kDefaultBitmap = 21;   // the 1x1 bitmap of a fresh memory DC; internal only

HGDIOBJ stock(int index) { return GetStockObject(index); }

int stockIndex(HGDIOBJ h) {
    const auto v = reinterpret_cast<std::uintptr_t>(h);
    if (v < 0x8000 || v > 0x8000 + 4 * kDefaultBitmap || (v - 0x8000) % 4 != 0) return -1;
    return static_cast<int>((v - 0x8000) / 4);
}

bool isStockFont(int index) { return index >= 10 && index <= 17 && index != 15; }  // 15 is a palette

// The object under a new handle.
template <class Handle>
Handle addObjectLocked(GdiObject o) {
    const auto handle = newHandleLocked();
    gdiObjects()[handle] = std::move(o);
    return reinterpret_cast<Handle>(handle);
}

// `use` applied to the device context under the runtime's lock; `invalid` for a handle that is
// no device context.
template <class Result, class Use>
Result withDc(HDC hdc, Result invalid, Use use) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Dc* dc = findDcLocked(hdc);
    return dc ? use(*dc) : invalid;
}

}  // namespace

// Guarded by the window runtime's mutex.
std::unordered_map<std::uintptr_t, GdiObject>& gdiObjects() {
    static auto* m = new std::unordered_map<std::uintptr_t, GdiObject>;
    return *m;
}

GdiObject* findObjectLocked(const void* h, GdiKind kind) {
    auto it = gdiObjects().find(reinterpret_cast<std::uintptr_t>(h));
    return it != gdiObjects().end() && it->second.kind == kind ? &it->second : nullptr;
}

Dc* findDcLocked(HDC hdc) {
    GdiObject* o = findObjectLocked(hdc, GdiKind::Dc);
    return o ? &o->dc : nullptr;
}

HDC newDcLocked(Dc dc) { return addObjectLocked<HDC>({.kind = GdiKind::Dc, .dc = dc}); }

bool underlinedLocked(HGDIOBJ font) {
    const GdiObject* f = findObjectLocked(font, GdiKind::Font);
    return f && f->font.lfUnderline;
}

HFONT dialogFont(const std::string& face, int pointSize) {
    static auto* cache = new std::map<std::pair<std::string, int>, HFONT>;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    HFONT& font = (*cache)[{face, pointSize}];
    if (font == nullptr) {
        GdiObject o;
        o.kind = GdiKind::Font;
        o.shared = true;
        o.font.lfHeight = -(pointSize * 96 + 36) / 72;  // pixels at 96 dots per inch
        o.font.lfWeight = FW_NORMAL;
        o.font.lfCharSet = DEFAULT_CHARSET;
        std::strncpy(o.font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        font = addObjectLocked<HFONT>(std::move(o));
    }
    return font;
}

}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;

HGDIOBJ GetStockObject(int i) {
    const bool brush = i >= WHITE_BRUSH && i <= NULL_BRUSH;
    if (!brush && !isStockFont(i)) return nullptr;
    // Below the window runtime's handles, so no window, menu or icon shares one.
    return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x8000 + i * 4));
}

BOOL DeleteObject(HGDIOBJ ho) {
    if (stockIndex(ho) >= 0) return TRUE;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = gdiObjects().find(reinterpret_cast<std::uintptr_t>(ho));
    if (it == gdiObjects().end() || it->second.kind == GdiKind::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!it->second.shared) gdiObjects().erase(it);
    return TRUE;
}

int GetObjectA(HANDLE h, int c, LPVOID pv) {
    LOGFONTA font{};
    BITMAP bitmap{};
    const void* source = nullptr;
    int size = 0;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (const GdiObject* f = findObjectLocked(h, GdiKind::Font)) {
            font = f->font;
            source = &font;
            size = sizeof font;
        } else if (const GdiObject* b = findObjectLocked(h, GdiKind::Bitmap)) {
            bitmap.bmWidth = b->bitmap.image.width;
            bitmap.bmHeight = b->bitmap.image.height;
            bitmap.bmBitsPixel = 32;
            bitmap.bmPlanes = 1;
            bitmap.bmWidthBytes = bitmap.bmWidth * 4;
            source = &bitmap;
            size = sizeof bitmap;
        } else if (isStockFont(stockIndex(h))) {
            font.lfHeight = -11;
            font.lfWeight = FW_NORMAL;
            std::strncpy(font.lfFaceName, "MS Sans Serif", LF_FACESIZE - 1);
            source = &font;
            size = sizeof font;
        }
    }
    if (source == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (pv == nullptr) return size;
    const int n = std::min(c, size);
    if (n <= 0) return 0;
    std::memcpy(pv, source, static_cast<std::size_t>(n));
    return n;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Dc* dc = findDcLocked(hdc);
    if (dc == nullptr || h == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto swap = [](HGDIOBJ& slot, HGDIOBJ value, HGDIOBJ fallback) {
        HGDIOBJ previous = slot ? slot : fallback;
        slot = value;
        return previous;
    };
    const int index = stockIndex(h);
    if (findObjectLocked(h, GdiKind::Font)) return swap(dc->font, h, stock(kSystemFont));
    if (isStockFont(index)) return swap(dc->font, nullptr, stock(kSystemFont));
    const auto defaultBitmap = reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x8000 + 4 * kDefaultBitmap));
    if (findObjectLocked(h, GdiKind::Bitmap)) {
        if (!dc->memory) return nullptr;  // bitmaps go into memory DCs only
        return swap(dc->bitmap, h, defaultBitmap);
    }
    if (index == kDefaultBitmap) return swap(dc->bitmap, nullptr, defaultBitmap);
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH) return swap(dc->brush, h, stock(WHITE_BRUSH));
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

HFONT CreateFontIndirectA(const LOGFONTA* lplf) {
    if (lplf == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GdiObject o{.kind = GdiKind::Font, .font = *lplf};
    o.font.lfFaceName[LF_FACESIZE - 1] = '\0';
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return addObjectLocked<HFONT>(std::move(o));
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return withDc<COLORREF>(hdc, CLR_INVALID, [&](Dc& dc) {
        dc.textSet = true;
        return std::exchange(dc.text, color);
    });
}

COLORREF GetTextColor(HDC hdc) {
    return withDc<COLORREF>(hdc, CLR_INVALID, [](Dc& dc) { return dc.text; });
}

int SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return withDc(hdc, 0, [&](Dc& dc) { return std::exchange(dc.bkMode, mode); });
}

int GetBkMode(HDC hdc) {
    return withDc(hdc, 0, [](Dc& dc) { return dc.bkMode; });
}

HDC CreateCompatibleDC(HDC hdc) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (hdc != nullptr && !findDcLocked(hdc)) return nullptr;
    Dc dc;
    dc.memory = true;
    return newDcLocked(dc);
}

BOOL DeleteDC(HDC hdc) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!findDcLocked(hdc)) return FALSE;
    gdiObjects().erase(reinterpret_cast<std::uintptr_t>(hdc));
    return TRUE;
}

HDC GetDC(HWND hWnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Dc dc;
    if (hWnd != nullptr) {
        auto w = findLocked(hWnd);
        if (!w) return invalidWindow(nullptr);
        dc.window = hWnd;
        dc.font = w->font;
    }
    return newDcLocked(dc);
}

int ReleaseDC(HWND hWnd, HDC hDC) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const Dc* dc = findDcLocked(hDC);
    if (dc == nullptr || dc->memory || dc->paint || dc->window != hWnd) return 0;
    gdiObjects().erase(reinterpret_cast<std::uintptr_t>(hDC));
    return 1;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, SIZE* psizl) {
    if (psizl == nullptr || c < 0 || (lpString == nullptr && c > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (!findDcLocked(hdc)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    psizl->cx = c * kCharWidth;
    psizl->cy = kLineHeight;
    return TRUE;
}

BOOL GetTextExtentPointA(HDC hdc, LPCSTR lpString, int c, SIZE* psizl) {
    return GetTextExtentPoint32A(hdc, lpString, c, psizl);
}

HBITMAP LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
    // Bitmaps are registered by number only.
    const int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(lpBitmapName));
    const bool numbered = lpBitmapName != nullptr && IS_INTRESOURCE(lpBitmapName);
    const vlt::ui::Image* image = numbered ? vlt::ui::findBitmap(hInstance, id) : nullptr;
    if (image == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return addObjectLocked<HBITMAP>({.kind = GdiKind::Bitmap, .bitmap = Bitmap{hInstance, id, *image}});
}

