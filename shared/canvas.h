// A picture being drawn in code: pixels set one by one or as rectangles, discs and rings, with
// everything outside the picture left out.
#pragma once

#include <cmath>
#include <cstdint>

#include "ui/resources.h"

namespace vlt {

struct Canvas {
    ui::Image image;

    Canvas(int width, int height, std::uint32_t fill = 0) {
        image = {width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), fill)};
    }
    void put(int x, int y, std::uint32_t c) {
        if (x >= 0 && y >= 0 && x < image.width && y < image.height)
            image.pixels[static_cast<std::size_t>(y * image.width + x)] = c;
    }
    std::uint32_t at(int x, int y) const { return image.pixels[static_cast<std::size_t>(y * image.width + x)]; }
    void rect(int x0, int y0, int x1, int y1, std::uint32_t c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) put(x, y, c);
    }
    // The outline of a rectangle, `width` pixels wide, inside [x0, x1) x [y0, y1).
    void frame(int x0, int y0, int x1, int y1, int width, std::uint32_t c) {
        rect(x0, y0, x1, y0 + width, c);
        rect(x0, y1 - width, x1, y1, c);
        rect(x0, y0, x0 + width, y1, c);
        rect(x1 - width, y0, x1, y1, c);
    }
    // Points whose distance from (cx, cy) lies in [r0, r1).
    void ring(double cx, double cy, double r0, double r1, std::uint32_t c) {
        for (int y = static_cast<int>(cy - r1) - 1; y <= static_cast<int>(cy + r1) + 1; ++y)
            for (int x = static_cast<int>(cx - r1) - 1; x <= static_cast<int>(cx + r1) + 1; ++x) {
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
                if (d >= r0 && d < r1) put(x, y, c);
            }
    }
    void disc(double cx, double cy, double r, std::uint32_t c) { ring(cx, cy, 0, r, c); }
};

}  // namespace vlt
