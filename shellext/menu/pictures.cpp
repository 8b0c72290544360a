#include "shellext/menu/pictures.h"

#include <algorithm>
#include <cmath>

#include "shared/padlock.h"

namespace vlt::shellext {
namespace {

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kShackle = 0xFF7F8C8D;  // steel
constexpr std::uint32_t kPaper = 0xFFFDFEFE;
constexpr std::uint32_t kInk = 0xFF5D6D7E;
constexpr std::uint32_t kPerson = 0xFF2E86C1;

struct Canvas {
    ui::Image image;
    explicit Canvas(int w, int h) { image = {w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), kClear)}; }
    void put(int x, int y, std::uint32_t c) {
        if (x >= 0 && y >= 0 && x < image.width && y < image.height) image.pixels[static_cast<std::size_t>(y * image.width + x)] = c;
    }
    void rect(int x0, int y0, int x1, int y1, std::uint32_t c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) put(x, y, c);
    }
};

void drawPaper(Canvas& c, int x, int y, int w, int h) {
    c.rect(x, y, x + w, y + h, kPaper);
    for (int line = y + 2; line < y + h - 1; line += 2) c.rect(x + 1, line, x + w - 1, line + 1, kInk);
}

}  // namespace

ui::Image padlockImage(int size, bool open) { return vlt::padlockImage(size, open); }

ui::Image personImage(int size) {
    Canvas c(size, size);
    const double s = size / 16.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - 8 * s, dy = y + 0.5 - 5 * s;
            if (dx * dx + dy * dy < 9 * s * s) c.put(x, y, kPerson);
            const double bx = x + 0.5 - 8 * s, by = y + 0.5 - 15 * s;
            if (bx * bx / (36 * s * s) + by * by / (36 * s * s) < 1 && y + 0.5 < 15 * s) c.put(x, y, kPerson);
        }
    return c.image;
}

ui::AnimationClip lockClip(bool unlocking) {
    ui::AnimationClip clip;
    clip.frameMs = 120;
    constexpr int kW = 80, kH = 40, kFrames = 10;
    for (int f = 0; f < kFrames; ++f) {
        Canvas c(kW, kH);
        drawPadlock(c.image, 32, 6, 16, unlocking ? f >= kFrames / 2 : f < kFrames / 2);
        drawPaper(c, 2 + f * 6, 12, 12, 16);
        clip.frames.push_back(c.image);
    }
    return clip;
}

ui::AnimationClip shredClip() {
    ui::AnimationClip clip;
    clip.frameMs = 120;
    constexpr int kW = 80, kH = 40, kFrames = 10;
    for (int f = 0; f < kFrames; ++f) {
        Canvas c(kW, kH);
        // A paper sliding down into a slot and coming out as strips.
        c.rect(20, 20, 60, 24, kShackle);
        const int top = 2 + f * 2;
        drawPaper(c, 34, top, 12, std::max(0, 20 - top));
        for (int strip = 0; strip < 6; ++strip) c.rect(34 + strip * 2, 24, 35 + strip * 2, 24 + std::min(f * 2, 14), kPaper);
        clip.frames.push_back(c.image);
    }
    return clip;
}

void registerPictures(HINSTANCE module) {
    ui::registerIcon(module, kProductIcon, padlockImage(32, false));
    ui::registerIcon(module, kPersonIcon, personImage(16));
    ui::registerAnimation(module, kLockClip, lockClip(false));
    ui::registerAnimation(module, kUnlockClip, lockClip(true));
    ui::registerAnimation(module, kShredClip, shredClip());
}

}  // namespace vlt::shellext
