#include "wizard/pictures.h"

#include "shared/canvas.h"
#include "shared/padlock.h"
#include "wizard/resources.h"

namespace vlt::wizard {
namespace {

// Every picture is a tall panel beside the page's text.
constexpr int kWidth = 96;
constexpr int kHeight = 176;

constexpr std::uint32_t kSkyTop = 0xFF1F4E79;
constexpr std::uint32_t kSkyBottom = 0xFF6FA8DC;
constexpr std::uint32_t kPaper = 0xFFFBF8EE;
constexpr std::uint32_t kSlate = 0xFF3E5C76;
constexpr std::uint32_t kInk = 0xFF7B8794;
constexpr std::uint32_t kPerson = 0xFF2E86C1;
constexpr std::uint32_t kGold = 0xFFC9A227;
constexpr std::uint32_t kGoldDark = 0xFF8C6D12;

std::uint32_t blend(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0xFF000000;
    for (int shift : {0, 8, 16}) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= static_cast<std::uint32_t>(ca + (cb - ca) * t) << shift;
    }
    return out;
}

// The panel: a vertical gradient from dark to light blue.
Canvas panel() {
    Canvas c(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) c.rect(0, y, kWidth, y + 1, blend(kSkyTop, kSkyBottom, double(y) / (kHeight - 1)));
    return c;
}

// A sheet of paper with lines standing for text, from row `firstLine` on.
void drawForm(Canvas& c, int x0, int y0, int x1, int y1, int firstLine) {
    c.rect(x0, y0, x1, y1, kPaper);
    c.frame(x0, y0, x1, y1, 1, kSlate);
    for (int y = firstLine; y + 2 < y1 - 4; y += 9) c.rect(x0 + 6, y, x1 - 6 - (y % 3) * 5, y + 2, kInk);
}

// A key lying flat: a ring for the bow, a shaft and two bits.
void drawKey(Canvas& c, int x, int y) {
    c.ring(x + 8, y + 8, 4, 8, kGold);
    c.ring(x + 8, y + 8, 7, 8, kGoldDark);
    c.rect(x + 15, y + 6, x + 44, y + 10, kGold);
    c.rect(x + 34, y + 10, x + 37, y + 16, kGold);
    c.rect(x + 40, y + 10, x + 44, y + 18, kGold);
}

}  // namespace

ui::Image welcomePicture() {
    Canvas c = panel();
    drawPadlock(c.image, 16, 52, 64, false);
    // A row of small locks beneath: every file the profile guards.
    for (int i = 0; i < 3; ++i) drawPadlock(c.image, 14 + i * 24, 130, 20, i == 1);
    return c.image;
}

ui::Image profilePicture() {
    Canvas c = panel();
    drawForm(c, 12, 24, 84, 150, 70);
    c.disc(48, 44, 9, kPerson);
    c.rect(36, 54, 60, 64, kPerson);
    return c.image;
}

ui::Image passwordPicture() {
    Canvas c = panel();
    drawForm(c, 10, 40, 86, 110, 52);
    drawKey(c, 24, 120);
    return c.image;
}

void registerWizardPictures(HINSTANCE module) {
    const std::pair<int, ui::Image> pictures[] = {
        {kWelcomePicture, welcomePicture()}, {kProfilePicture, profilePicture()}, {kPasswordPicture, passwordPicture()}};
    for (const auto& [id, image] : pictures) {
        ui::registerBitmap(module, id, image);
        ui::registerIcon(module, id, image);
    }
}

}  // namespace vlt::wizard
