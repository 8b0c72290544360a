#include "shared/padlock.h"

#include <cmath>
#include <cstdint>

namespace vlt {
namespace {

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kBody = 0xFFD4A017;     // brass
constexpr std::uint32_t kShade = 0xFF8C6A0E;
constexpr std::uint32_t kShackle = 0xFF7F8C8D;  // steel

void put(ui::Image& p, int x, int y, std::uint32_t c) {
    if (x >= 0 && y >= 0 && x < p.width && y < p.height) p.pixels[static_cast<std::size_t>(y * p.width + x)] = c;
}

void rect(ui::Image& p, int x0, int y0, int x1, int y1, std::uint32_t c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) put(p, x, y, c);
}

// A ring segment: points whose distance from (cx, cy) lies in [r0, r1), above cy.
void arch(ui::Image& p, double cx, double cy, double r0, double r1, std::uint32_t c) {
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d >= r0 && d < r1 && y + 0.5 <= cy) put(p, x, y, c);
        }
}

}  // namespace

void drawPadlock(ui::Image& p, int ox, int oy, int size, bool open) {
    const double s = size / 16.0;
    const int bodyTop = oy + static_cast<int>(7 * s);
    // The shackle; open, it is lifted and swung to the right.
    const double lift = open ? 3 * s : 0;
    const double shift = open ? 3 * s : 0;
    arch(p, ox + 8 * s + shift, bodyTop - lift, 2.5 * s, 4.5 * s, kShackle);
    rect(p, static_cast<int>(ox + 3.5 * s + shift), static_cast<int>(bodyTop - lift),
         static_cast<int>(ox + 5.5 * s + shift), bodyTop + (open ? 0 : 1), kShackle);
    if (!open) rect(p, static_cast<int>(ox + 10.5 * s), bodyTop - 1, static_cast<int>(ox + 12.5 * s), bodyTop + 1, kShackle);
    rect(p, static_cast<int>(ox + 2 * s), bodyTop, static_cast<int>(ox + 14 * s), static_cast<int>(oy + 15 * s), kBody);
    rect(p, static_cast<int>(ox + 2 * s), static_cast<int>(oy + 14 * s), static_cast<int>(ox + 14 * s),
         static_cast<int>(oy + 15 * s), kShade);
    rect(p, static_cast<int>(ox + 7 * s), static_cast<int>(oy + 9.5 * s), static_cast<int>(ox + 9 * s),
         static_cast<int>(oy + 12.5 * s), kShade);
}

ui::Image padlockImage(int size, bool open) {
    ui::Image p{size, size, std::vector<std::uint32_t>(static_cast<std::size_t>(size * size), kClear)};
    drawPadlock(p, 0, 0, size, open);
    return p;
}

}  // namespace vlt
