// The window runtime's GDI objects, for gdi.cpp and painting.cpp only: device contexts,
// fonts and bitmaps by handle, guarded by the runtime's mutex.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "ui/internal.h"
#include "win32/wingdi.h"

namespace vlt::ui::detail {

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
    Dc dc{};
    LOGFONTA font{};
    Bitmap bitmap{};
    bool shared = false;  // dialog fonts: DeleteObject leaves them
};

std::unordered_map<std::uintptr_t, GdiObject>& gdiObjects();
GdiObject* findObjectLocked(const void* h, GdiKind kind);
Dc* findDcLocked(HDC hdc);
HDC newDcLocked(Dc dc);
// The font is an underlined one.
bool underlinedLocked(HGDIOBJ font);

}  // namespace vlt::ui::detail
