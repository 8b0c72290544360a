// The applet's pictures: registered under their numbers, in their sizes, the card in sixteen
// colours with nothing see-through.
#include <gtest/gtest.h>

#include <set>

#include "applet/pictures.h"
#include "applet/resources.h"
#include "win32/wingdi.h"

namespace vlt::applet {
namespace {

HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7A110000}); }

TEST(AppletPictures, RegisteredUnderTheirNumbersInTheirSizes) {
    registerAppletPictures(fakeModule());
    struct Case {
        int id;
        int size;
    };
    for (const auto& c : {Case{kProfileIcon, 32}, Case{kPasswordIcon, 32}, Case{kCertificateIcon, 16},
                          Case{kAppletIcon, 32}}) {
        const ui::Image* icon = ui::findIcon(fakeModule(), c.id);
        ASSERT_NE(icon, nullptr) << c.id;
        EXPECT_EQ(icon->width, c.size) << c.id;
        EXPECT_EQ(icon->height, c.size) << c.id;
        std::set<std::uint32_t> colours(icon->pixels.begin(), icon->pixels.end());
        EXPECT_GE(colours.size(), 3u) << c.id << ": a picture, not a blank";
    }
    HBITMAP card = LoadBitmapA(fakeModule(), MAKEINTRESOURCEA(kCardBitmap));
    BITMAP size{};
    ASSERT_EQ(GetObjectA(card, sizeof size, &size), static_cast<int>(sizeof size));
    EXPECT_EQ(size.bmWidth, 424);
    EXPECT_EQ(size.bmHeight, 278);
    DeleteObject(card);
    EXPECT_NE(LoadCursorA(fakeModule(), MAKEINTRESOURCEA(kLinkCursor)), nullptr);
}

TEST(AppletPictures, TheCardIsOpaqueInSixteenColoursAndLightWhereTextGoes) {
    const ui::Image card = cardBackground();
    std::set<std::uint32_t> colours(card.pixels.begin(), card.pixels.end());
    EXPECT_LE(colours.size(), 16u);
    for (std::uint32_t p : colours) EXPECT_EQ(p >> 24, 0xFFu) << std::hex << p;
    // Red labels and blue values sit on the left two thirds: light paper there.
    long dark = 0, total = 0;
    for (int y = 20; y < 258; ++y)
        for (int x = 20; x < 280; ++x, ++total) {
            const std::uint32_t p = card.pixels[static_cast<std::size_t>(y * card.width + x)];
            const int luma = (((p >> 16) & 0xFF) * 3 + ((p >> 8) & 0xFF) * 6 + (p & 0xFF)) / 10;
            if (luma < 200) ++dark;
        }
    EXPECT_LT(dark * 100, total) << "under one percent dark pixels";
}

}  // namespace
}  // namespace vlt::applet
