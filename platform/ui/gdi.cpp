// Stock objects: handles that only name themselves (window classes keep their background brush,
// front ends paint as they like).
#include <cstdint>

#include "win32/wingdi.h"

HGDIOBJ GetStockObject(int i) {
    if (i < WHITE_BRUSH || i > NULL_BRUSH) return nullptr;
    // Below the window runtime's handles, so no window, menu or icon shares one.
    return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x8000 + i * 4));
}
