// Window rectangles in the runtime's own units (dialog units for dialogs and their controls,
// whatever was given for other windows). A window has no frame: its client area starts at its
// own origin, so a child's position is relative to its parent's origin, and a window's origin
// on the "screen" is the sum of the positions up to its top-level window.
//
// Reproduced: SWP_NOMOVE, SWP_NOSIZE, SWP_SHOWWINDOW, SWP_HIDEWINDOW; z-order requests are
// accepted and ignored (front ends stack as they like); MapWindowPoints returns the offset
// packed as Windows packs it. Left out: WM_WINDOWPOSCHANGING/CHANGED, WM_MOVE, WM_SIZE.
#include "ui/internal.h"

namespace vlt::ui::detail {

bool originLocked(const Window& w, POINT& out) {
    out = POINT{w.x, w.y};
    const Window* at = &w;
    while (at->style & WS_CHILD) {
        auto p = findLocked(at->parent);
        if (!p) return false;
        out.x += p->x;
        out.y += p->y;
        at = p.get();
    }
    return true;
}

namespace {

// The screen origin of hwnd; nullptr (the desktop) is at 0,0.
bool origin(HWND hwnd, POINT& out) {
    if (hwnd == nullptr || hwnd == desktopWindow()) {
        out = POINT{0, 0};
        return true;
    }
    return withWindow<IfGone::Quiet>(hwnd, false, [&](Window& w) { return originLocked(w, out); });
}

// A window's rectangle on the screen, or at 0,0 for its client area.
BOOL windowRect(HWND hwnd, RECT* rect, bool onScreen) {
    if (rect == nullptr) return FALSE;
    return withWindow(hwnd, FALSE, [&](Window& w) {
        POINT at{};
        if (onScreen && !originLocked(w, at)) return FALSE;
        *rect = RECT{at.x, at.y, at.x + w.cx, at.y + w.cy};
        return TRUE;
    });
}

}  // namespace
}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;
using vlt::ui::Change;

BOOL GetClientRect(HWND hWnd, RECT* lpRect) { return windowRect(hWnd, lpRect, false); }

BOOL GetWindowRect(HWND hWnd, RECT* lpRect) { return windowRect(hWnd, lpRect, true); }

BOOL SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
    bool moved = false;
    if (!withWindow(hWnd, false, [&](Window& w) {
            const int oldX = w.x, oldY = w.y, oldCx = w.cx, oldCy = w.cy;
            if (!(uFlags & SWP_NOMOVE)) {
                w.x = X;
                w.y = Y;
            }
            if (!(uFlags & SWP_NOSIZE)) {
                w.cx = cx < 0 ? 0 : cx;
                w.cy = cy < 0 ? 0 : cy;
            }
            moved = oldX != w.x || oldY != w.y || oldCx != w.cx || oldCy != w.cy;
            return true;
        }))
        return FALSE;
    if (moved) changed(hWnd, Change::Geometry);
    if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOW);
    if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    if (!SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER)) return FALSE;
    if (bRepaint) invalidate(hWnd);
    return TRUE;
}

BOOL ScreenToClient(HWND hWnd, POINT* lpPoint) {
    POINT at{};
    if (lpPoint == nullptr || !origin(hWnd, at)) return FALSE;
    lpPoint->x -= at.x;
    lpPoint->y -= at.y;
    return TRUE;
}

BOOL ClientToScreen(HWND hWnd, POINT* lpPoint) {
    POINT at{};
    if (lpPoint == nullptr || !origin(hWnd, at)) return FALSE;
    lpPoint->x += at.x;
    lpPoint->y += at.y;
    return TRUE;
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, POINT* lpPoints, UINT cPoints) {
    POINT from{}, to{};
    if (!origin(hWndFrom, from) || !origin(hWndTo, to)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const LONG dx = from.x - to.x, dy = from.y - to.y;
    for (UINT i = 0; lpPoints != nullptr && i < cPoints; ++i) {
        lpPoints[i].x += dx;
        lpPoints[i].y += dy;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<int>(MAKELPARAM(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}
