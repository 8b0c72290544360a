#include "applet/pictures.h"

#include <cmath>
#include <functional>

#include "applet/resources.h"
#include "shared/canvas.h"
#include "shared/padlock.h"

namespace vlt::applet {
namespace {

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kPaper = 0xFFFBF8EE;
constexpr std::uint32_t kPaperShade = 0xFFF2ECDA;  // the fine waves in the card's paper
constexpr std::uint32_t kSlate = 0xFF3E5C76;       // borders
constexpr std::uint32_t kSlateLight = 0xFF9DB4C8;
constexpr std::uint32_t kInk = 0xFF7B8794;         // lines standing for text
constexpr std::uint32_t kGold = 0xFFC9A227;        // the seal
constexpr std::uint32_t kGoldDark = 0xFF8C6D12;
constexpr std::uint32_t kGoldLight = 0xFFE8D27A;
constexpr std::uint32_t kRibbon = 0xFF2F6E8E;
constexpr std::uint32_t kRibbonDark = 0xFF1F4E66;
constexpr std::uint32_t kPerson = 0xFF2E86C1;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

// A card of paper with a slate edge.
void drawCard(Canvas& c, int x0, int y0, int x1, int y1) {
    c.rect(x0, y0, x1, y1, kPaper);
    c.frame(x0, y0, x1, y1, 1, kSlate);
}

// A shape from its inside test: filled with `fill`, edged in `edge` where a neighbour is out.
void drawShape(Canvas& c, const std::function<bool(int, int)>& inside, std::uint32_t fill, std::uint32_t edge) {
    for (int y = 0; y < c.image.height; ++y)
        for (int x = 0; x < c.image.width; ++x) {
            if (!inside(x, y)) continue;
            const bool border = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            c.put(x, y, border ? edge : fill);
        }
}

// A rosette: a scalloped gold disc with an inner ring, and two ribbon tails below it.
void drawSeal(Canvas& c, double cx, double cy, double r) {
    const double tail = r * 1.3;
    for (int side : {-1, 1}) {
        for (int y = static_cast<int>(cy); y < static_cast<int>(cy + r + tail); ++y) {
            const double along = (y - cy) / (r + tail);
            const double mid = cx + side * r * 0.45 * (0.6 + along);
            const double half = r * 0.22;
            for (int x = static_cast<int>(mid - half); x <= static_cast<int>(mid + half); ++x) {
                // A V cut out of the end of each tail.
                const double notch = std::abs(x + 0.5 - mid) / half * r * 0.3;
                if (y + 0.5 > cy + r + tail - r * 0.3 + notch) continue;
                c.put(x, y, x + 0.5 < mid ? kRibbon : kRibbonDark);
            }
        }
    }
    for (int y = static_cast<int>(cy - r) - 2; y <= static_cast<int>(cy + r) + 2; ++y)
        for (int x = static_cast<int>(cx - r) - 2; x <= static_cast<int>(cx + r) + 2; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double edge = r * (0.93 + 0.07 * std::cos(16 * std::atan2(dy, dx)));
            const double d = std::hypot(dx, dy);
            if (d < edge) c.put(x, y, d > edge - 1.5 ? kGoldDark : kGold);
        }
    c.ring(cx, cy, r * 0.62, r * 0.68, kGoldDark);
    c.disc(cx, cy, r * 0.58, kGoldLight);
    const int lock = static_cast<int>(r * 0.7);
    drawPadlock(c.image, static_cast<int>(cx - lock / 2.0), static_cast<int>(cy - lock / 2.0), lock, false);
}

}  // namespace

ui::Image profileCardIcon() {
    Canvas c(32, 32, kClear);
    drawCard(c, 1, 5, 29, 25);
    c.disc(8, 12, 3, kPerson);
    for (int y = 16; y < 22; ++y)
        for (int x = 3; x < 14; ++x)
            if (std::hypot(x + 0.5 - 8, (y + 0.5 - 22) * 1.3) < 6) c.put(x, y, kPerson);
    for (int y : {10, 14, 18}) c.rect(15, y, 26, y + 1, kInk);
    drawPadlock(c.image, 17, 17, 15, false);
    return c.image;
}

ui::Image keyIcon() {
    Canvas c(32, 32, kClear);
    auto inside = [](int x, int y) {
        const double d = std::hypot(x + 0.5 - 9, y + 0.5 - 16);
        const bool bow = d < 7.5 && d >= 3;
        const bool shaft = x >= 15 && x < 31 && y >= 14 && y < 18;
        const bool teeth = (x >= 22 && x < 25 && y >= 18 && y < 22) || (x >= 27 && x < 31 && y >= 18 && y < 24);
        return bow || shaft || teeth;
    };
    drawShape(c, inside, kGold, kGoldDark);
    return c.image;
}

ui::Image certificateIcon() {
    Canvas c(16, 16, kClear);
    drawCard(c, 0, 1, 16, 12);
    c.rect(2, 4, 11, 5, kInk);
    c.rect(2, 7, 8, 8, kInk);
    c.rect(10, 11, 12, 16, kRibbon);
    c.rect(12, 11, 14, 15, kRibbonDark);
    c.disc(12, 10, 3, kGold);
    c.disc(12, 10, 1.5, kGoldLight);
    return c.image;
}

ui::Image appletIcon() {
    Canvas c(32, 32, kClear);
    drawCard(c, 0, 9, 32, 30);
    c.rect(1, 10, 31, 14, kSlateLight);
    for (int y : {18, 22, 26}) c.rect(3, y, 12, y + 1, kInk);
    drawPadlock(c.image, 11, 3, 22, false);
    return c.image;
}

ui::Image cardBackground() {
    constexpr int kW = 424, kH = 278;
    Canvas c(kW, kH, kPaper);
    // Fine waves across the paper, quiet enough for coloured text on top.
    for (int row = 0; row < kH; row += 7)
        for (int x = 0; x < kW; ++x) {
            const double y = row + 2.0 * std::sin(x / 13.0 + row / 5.0);
            c.put(x, static_cast<int>(std::lround(y)), kPaperShade);
        }
    c.frame(0, 0, kW, kH, 2, kSlate);
    c.frame(6, 6, kW - 6, kH - 6, 1, kSlateLight);
    for (int x : {6, kW - 7})
        for (int y : {6, kH - 7})
            for (int d = -4; d <= 4; ++d) {  // a small gold diamond on each corner of the inner line
                const int w = 4 - std::abs(d);
                c.rect(x - w, y + d, x + w + 1, y + d + 1, kGold);
            }
    drawSeal(c, 372, 56, 30);
    return c.image;
}

ui::Image pointingHand() {
    Canvas c(32, 32, kClear);
    auto inside = [](int x, int y) {
        const bool finger = x >= 9 && x < 14 && y >= 1 && y < 16;
        const bool tip = std::hypot(x + 0.5 - 11.5, y + 0.5 - 2.5) < 2.5;
        const bool palm = x >= 9 && x < 25 && y >= 12 && y < 27;
        const bool knuckles = y >= 10 && y < 14 && ((x >= 14 && x < 18) || (x >= 18 && x < 21) || (x >= 21 && x < 25));
        const bool thumb = x >= 4 && x < 10 && y >= 16 && y < 22 && (x - 4) >= (21 - y) / 2;
        const bool wrist = x >= 11 && x < 24 && y >= 27 && y < 31;
        return (finger && y >= 2) || tip || palm || knuckles || thumb || wrist;
    };
    drawShape(c, inside, kWhite, kBlack);
    for (int x : {14, 18, 21}) c.rect(x, 11, x + 1, 15, kBlack);  // the folded fingers' edges
    return c.image;
}

void registerAppletPictures(HINSTANCE module) {
    ui::registerIcon(module, kProfileIcon, profileCardIcon());
    ui::registerIcon(module, kPasswordIcon, keyIcon());
    ui::registerIcon(module, kCertificateIcon, certificateIcon());
    ui::registerIcon(module, kAppletIcon, appletIcon());
    ui::registerBitmap(module, kCardBitmap, cardBackground());
    ui::registerCursor(module, kLinkCursor, pointingHand());
}

}  // namespace vlt::applet
