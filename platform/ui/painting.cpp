// Painting as Windows does it, recorded: InvalidateRect marks a window, WM_PAINT comes once
// (posted, or sent by UpdateWindow), BeginPaint starts a fresh list of paint records and
// EndPaint publishes it (ui::describe); a bitmap stretched from a memory DC onto a window is
// such a record, which front ends draw. A static control's painting is its WM_CTLCOLORSTATIC
// question to its parent; it is asked at once, but only once its dialog or window has been
// shown (as on Windows, nothing paints before the window appears).
#include <algorithm>
#include <optional>

#include "ui/gdi_objects.h"

namespace vlt::ui::detail {
namespace {

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

void refreshStaticColors(HWND control) {
    const HWND parent = withWindow<IfGone::Quiet>(control, HWND{}, [](Window& w) {
        return isStaticLocked(w) && (w.style & WS_CHILD) && paintableLocked(w) ? w.parent : nullptr;
    });
    if (parent == nullptr) return;
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
    if (!withWindow<IfGone::Quiet>(hwnd, false, [&](Window& w) {
            isStatic = isStaticLocked(w);
            if (!isStatic && !w.invalid) post = w.invalid = true;
            return true;
        }))
        return;
    if (isStatic) refreshStaticColors(hwnd);
    if (post) PostMessageA(hwnd, WM_PAINT, 0, 0);
}

void firstPaint(HWND window) {
    for (HWND child : children(window)) refreshStaticColors(child);
    const bool exists = withWindow<IfGone::Quiet>(window, false, [](Window& w) {
        w.invalid = true;
        return true;
    });
    if (exists) UpdateWindow(window);
}

}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;
using vlt::ui::Change;
using vlt::ui::PaintOp;

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    if (lpPaint == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return withWindow(hWnd, HDC{}, [&](Window& w) {
        w.invalid = false;
        w.painting.clear();
        Dc dc;
        dc.window = hWnd;
        dc.paint = true;
        dc.font = w.font;
        *lpPaint = PAINTSTRUCT{};
        lpPaint->hdc = newDcLocked(dc);
        lpPaint->fErase = TRUE;
        lpPaint->rcPaint = RECT{0, 0, w.cx, w.cy};
        return lpPaint->hdc;
    });
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    if (lpPaint == nullptr) return FALSE;
    bool diff = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        const Dc* dc = findDcLocked(lpPaint->hdc);
        if (dc == nullptr || !dc->paint || dc->window != hWnd) return FALSE;
        gdiObjects().erase(reinterpret_cast<std::uintptr_t>(lpPaint->hdc));
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
    const auto paint =
        withWindow(hWnd, std::optional<bool>{}, [](Window& w) { return std::optional<bool>{w.invalid}; });
    if (!paint) return FALSE;
    if (*paint) SendMessageA(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}
