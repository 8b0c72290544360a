// GDI as recording: device contexts remember the text colour, background mode and objects
// selected into them; fonts are LOGFONTA records; bitmaps are registered pictures. A bitmap
// stretched from a memory DC onto a window becomes a paint record of that window
// (ui::describe), which front ends draw. Painting follows Windows: InvalidateRect marks a
// window, WM_PAINT comes once (posted, or sent by UpdateWindow), BeginPaint starts a fresh list
// of records and EndPaint publishes it. A static control's painting is its WM_CTLCOLORSTATIC
// question to its parent; it is asked at once, but only once its dialog or window has been
// shown (as on Windows, nothing paints before the window appears).
//
// Text is measured as the runtime lays dialogs out: every character 4 units wide (the average
// character width in dialog units) and a line 8 units high, whatever the font.
#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

#include "ui/internal.h"
#include "win32/wingdi.h"

namespace vlt::ui::detail {
namespace {

constexpr int kCharWidth = 4;
constexpr int kLineHeight = 8;
constexpr int kSystemFont = 13;      // SYSTEM_FONT
constexpr int kDefaultBitmap = 21;   // the 1x1 bitmap of a fresh memory DC; internal only

enum class GdiKind { Dc, Font, Bitmap };

struct Dc {
    HWND window = nullptr;  // nullptr: a memory DC, or the screen's
    bool memory = false;
    bool paint = false;     // from BeginPaint
    HGDIOBJ font = nullptr;
    HGDIOBJ bitmap = nullptr;
    HGDIOBJ brush = nullptr;
    bool textSet = false;
    COLORREF text = 0;
    int bkMode = OPAQUE;
};

struct Bitmap {
    HINSTANCE module = nullptr;
    int id = 0;
    Image image;
};

struct GdiObject {
    GdiKind kind = GdiKind::Dc;
    Dc dc;
    LOGFONTA font{};
    Bitmap bitmap;
    bool shared = false;  // dialog fonts: DeleteObject leaves them
};

// Guarded by the window runtime's mutex.
std::unordered_map<std::uintptr_t, GdiObject>& objects() {
    static auto* m = new std::unordered_map<std::uintptr_t, GdiObject>;
    return *m;
}

GdiObject* findObjectLocked(const void* h, GdiKind kind) {
    auto it = objects().find(reinterpret_cast<std::uintptr_t>(h));
    return it != objects().end() && it->second.kind == kind ? &it->second : nullptr;
}

Dc* findDcLocked(HDC hdc) {
    GdiObject* o = findObjectLocked(hdc, GdiKind::Dc);
    return o ? &o->dc : nullptr;
}

HGDIOBJ stock(int index) { return GetStockObject(index); }

int stockIndex(HGDIOBJ h) {
    const auto v = reinterpret_cast<std::uintptr_t>(h);
    if (v < 0x8000 || v > 0x8000 + 4 * kDefaultBitmap || (v - 0x8000) % 4 != 0) return -1;
    return static_cast<int>((v - 0x8000) / 4);
}

bool isStockFont(int index) { return index >= 10 && index <= 17 && index != 15; }  // 15 is a palette

HDC newDcLocked(Dc dc) {
    const auto handle = newHandleLocked();
    GdiObject o;
    o.kind = GdiKind::Dc;
    o.dc = dc;
    objects()[handle] = std::move(o);
    return reinterpret_cast<HDC>(handle);
}

bool underlinedLocked(HGDIOBJ font) {
    const GdiObject* f = findObjectLocked(font, GdiKind::Font);
    return f && f->font.lfUnderline;
}

bool sameOps(const std::vector<PaintOp>& a, const std::vector<PaintOp>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const PaintOp& x, const PaintOp& y) {
        return x.module == y.module && x.bitmapId == y.bitmapId && x.x == y.x && x.y == y.y && x.cx == y.cx &&
               x.cy == y.cy;
    });
}

// The top-level window the control sits in has been shown and is not going away.
bool paintableLocked(const Window& w) {
    const Window* top = &w;
    while (top->style & WS_CHILD) {
        auto p = findLocked(top->parent);
        if (!p) return false;
        top = p.get();
    }
    return top->shown && !top->destroying && !w.destroying;
}

bool isStaticLocked(const Window& w) {
    return w.kind == WindowKind::Control && w.control == ControlKind::Static && equalsNoCase(w.className, "Static");
}

}  // namespace

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
        const auto handle = newHandleLocked();
        objects()[handle] = std::move(o);
        font = reinterpret_cast<HFONT>(handle);
    }
    return font;
}

void refreshStaticColors(HWND control) {
    HWND parent = nullptr;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(control);
        if (!w || !isStaticLocked(*w) || !(w->style & WS_CHILD) || !paintableLocked(*w)) return;
        parent = w->parent;
    }
    HDC dc = GetDC(control);
    if (dc == nullptr) return;
    SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    bool diff = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        const Dc* d = findDcLocked(dc);
        auto w = findLocked(control);
        if (d && w) {
            const bool underline = d->font ? underlinedLocked(d->font) : underlinedLocked(w->font);
            const bool transparent = d->bkMode == TRANSPARENT;
            diff = w->hasTextColor != d->textSet || (d->textSet && w->textColor != d->text) ||
                   w->transparent != transparent || w->underline != underline;
            w->hasTextColor = d->textSet;
            w->textColor = d->textSet ? d->text : 0;
            w->transparent = transparent;
            w->underline = underline;
        }
    }
    ReleaseDC(control, dc);
    if (diff) changed(control, Change::Style);
}

void invalidate(HWND hwnd) {
    bool isStatic = false;
    bool post = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hwnd);
        if (!w) return;
        isStatic = isStaticLocked(*w);
        if (!isStatic && !w->invalid) post = w->invalid = true;
    }
    if (isStatic) refreshStaticColors(hwnd);
    if (post) PostMessageA(hwnd, WM_PAINT, 0, 0);
}

void firstPaint(HWND window) {
    for (HWND child : children(window)) refreshStaticColors(child);
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(window);
        if (!w) return;
        w->invalid = true;
    }
    UpdateWindow(window);
}

}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;
using vlt::ui::Change;
using vlt::ui::PaintOp;

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
    auto it = objects().find(reinterpret_cast<std::uintptr_t>(ho));
    if (it == objects().end() || it->second.kind == GdiKind::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!it->second.shared) objects().erase(it);
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
    auto& s = state();
    std::lock_guard lock(s.mutex);
    GdiObject o;
    o.kind = GdiKind::Font;
    o.font = *lplf;
    o.font.lfFaceName[LF_FACESIZE - 1] = '\0';
    const auto handle = newHandleLocked();
    objects()[handle] = std::move(o);
    return reinterpret_cast<HFONT>(handle);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Dc* dc = findDcLocked(hdc);
    if (dc == nullptr) return CLR_INVALID;
    const COLORREF previous = dc->text;
    dc->text = color;
    dc->textSet = true;
    return previous;
}

COLORREF GetTextColor(HDC hdc) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const Dc* dc = findDcLocked(hdc);
    return dc ? dc->text : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    Dc* dc = findDcLocked(hdc);
    if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    const int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

int GetBkMode(HDC hdc) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const Dc* dc = findDcLocked(hdc);
    return dc ? dc->bkMode : 0;
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
    objects().erase(reinterpret_cast<std::uintptr_t>(hdc));
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
    objects().erase(reinterpret_cast<std::uintptr_t>(hDC));
    return 1;
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    if (lpPaint == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hWnd);
    if (!w) return invalidWindow(nullptr);
    w->invalid = false;
    w->painting.clear();
    Dc dc;
    dc.window = hWnd;
    dc.paint = true;
    dc.font = w->font;
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = newDcLocked(dc);
    lpPaint->fErase = TRUE;
    lpPaint->rcPaint = RECT{0, 0, w->cx, w->cy};
    return lpPaint->hdc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    if (lpPaint == nullptr) return FALSE;
    bool diff = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        const Dc* dc = findDcLocked(lpPaint->hdc);
        if (dc == nullptr || !dc->paint || dc->window != hWnd) return FALSE;
        objects().erase(reinterpret_cast<std::uintptr_t>(lpPaint->hdc));
        auto w = findLocked(hWnd);
        if (!w) return TRUE;
        diff = !sameOps(w->paint, w->painting);
        w->paint = std::move(w->painting);
        w->painting.clear();
    }
    if (diff) changed(hWnd, Change::Paint);
    return TRUE;
}

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc, int wSrc,
                int hSrc, DWORD) {
    HWND notify = nullptr;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        const Dc* dst = findDcLocked(hdcDest);
        const Dc* src = findDcLocked(hdcSrc);
        if (dst == nullptr || src == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        const GdiObject* b = findObjectLocked(src->bitmap, GdiKind::Bitmap);
        auto w = findLocked(dst->window);
        if (b == nullptr || !w) return TRUE;  // nothing a front end could show
        PaintOp op;
        op.module = b->bitmap.module;
        op.bitmapId = b->bitmap.id;
        const vlt::ui::Image& full = b->bitmap.image;
        if (xSrc == 0 && ySrc == 0 && wSrc == full.width && hSrc == full.height) {
            op.image = full;
        } else {  // the part of the picture that was asked for
            const int x0 = std::clamp(xSrc, 0, full.width), y0 = std::clamp(ySrc, 0, full.height);
            const int x1 = std::clamp(xSrc + wSrc, x0, full.width), y1 = std::clamp(ySrc + hSrc, y0, full.height);
            op.image.width = x1 - x0;
            op.image.height = y1 - y0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    op.image.pixels.push_back(full.pixels[static_cast<std::size_t>(y * full.width + x)]);
        }
        op.x = xDest;
        op.y = yDest;
        op.cx = wDest;
        op.cy = hDest;
        if (dst->paint) {
            w->painting.push_back(std::move(op));
        } else {
            w->paint.push_back(std::move(op));
            notify = dst->window;
        }
    }
    if (notify) changed(notify, Change::Paint);
    return TRUE;
}

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    return StretchBlt(hdc, x, y, cx, cy, hdcSrc, x1, y1, cx, cy, rop);
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
    if (lpBitmapName == nullptr || !IS_INTRESOURCE(lpBitmapName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(lpBitmapName));
    const vlt::ui::Image* image = vlt::ui::findBitmap(hInstance, id);
    if (image == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto& s = state();
    std::lock_guard lock(s.mutex);
    GdiObject o;
    o.kind = GdiKind::Bitmap;
    o.bitmap = Bitmap{hInstance, id, *image};
    const auto handle = newHandleLocked();
    objects()[handle] = std::move(o);
    return reinterpret_cast<HBITMAP>(handle);
}

BOOL InvalidateRect(HWND hWnd, const RECT*, BOOL) {
    if (!IsWindow(hWnd)) return invalidWindow(FALSE);
    invalidate(hWnd);
    return TRUE;
}

BOOL RedrawWindow(HWND hWnd, const RECT*, void*, UINT flags) {
    if (!IsWindow(hWnd)) return invalidWindow(FALSE);
    if (flags & RDW_INVALIDATE) {
        invalidate(hWnd);
        if (flags & RDW_ALLCHILDREN)
            for (HWND child : vlt::ui::children(hWnd)) invalidate(child);
    }
    if (flags & RDW_UPDATENOW) UpdateWindow(hWnd);
    return TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
    bool paint = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hWnd);
        if (!w) return invalidWindow(FALSE);
        paint = w->invalid;
    }
    if (paint) SendMessageA(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}
