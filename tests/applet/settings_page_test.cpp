// The settings page: lists by profile, the first visit's save, stored values no entry carries,
// the period rules, equal texts, and the tray told the period.
#include <gtest/gtest.h>

#include <optional>

#include "applet/resources.h"
#include "applet/settings_page.h"
#include "applet_page_support.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"

namespace vlt::test {
namespace {

using applet::CSettingsPage;

std::vector<WPARAM> g_trayHeard;

LRESULT trayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == 0x040B) g_trayHeard.push_back(wParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class SettingsPageTest : public AppletPageTest {
protected:
    SettingsPageTest() {
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = trayProc;
            wc.lpszClassName = "SettingsTestTray";
            return RegisterClassA(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        m_tray = CreateWindowExA(0, "SettingsTestTray", "Vaultine Tray", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                 nullptr);
        g_trayHeard.clear();
    }
    ~SettingsPageTest() override { DestroyWindow(m_tray); }

    static std::optional<DWORD> stored(const char* key, const char* name) {
        RegistryKey k;
        DWORD value = 0;
        if (k.Open(HKEY_CURRENT_USER, key) != ERROR_SUCCESS || k.QueryDword(value, name) != ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }
    static std::optional<DWORD> setting(const char* name) { return stored(layout::kSettingsKey, name); }

    struct Seen {
        std::vector<std::string> encrypt;
        int encryptSelection = -1;
        int signatureSelection = -1;
        bool secondsEnabled = false;
    };

    // Shows the page, reads what it shows, does `act`, then closes the sheet with `close`.
    Seen show(const std::function<void(HWND)>& act = {}, int close = IDOK) {
        Seen seen;
        CSettingsPage page;
        runPage(
            page, applet::kSettingsPage,
            [&](HWND dialog) {
                ui::WindowState s;
                seen.encrypt = itemTexts(GetDlgItem(dialog, applet::kEncryptList));
                if (ui::describe(GetDlgItem(dialog, applet::kEncryptList), s)) seen.encryptSelection = s.selection;
                if (ui::describe(GetDlgItem(dialog, applet::kSignatureList), s)) seen.signatureSelection = s.selection;
                seen.secondsEnabled = IsWindowEnabled(GetDlgItem(dialog, applet::kSecondsEdit)) != FALSE;
                if (act) act(dialog);
            },
            close);
        return seen;
    }

    HWND m_tray = nullptr;
};

TEST_F(SettingsPageTest, EnhancedAlgorithmsComeFirstOnlyForAProfileWithThem) {
    const Seen enhanced = show();
    ASSERT_FALSE(enhanced.encrypt.empty());
    EXPECT_EQ(enhanced.encrypt.front(), "RC2  [128]");
    EXPECT_EQ(enhanced.encryptSelection, 0);  // the stored Enhanced RC2
    EXPECT_EQ(setting(layout::kEncrypt), kEnhancedRc2);

    RegistryKey profile;
    ASSERT_EQ(profile.Open(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    RegDeleteValueA(profile.Handle(), layout::kExchangeBlob3);
    world.deleteSetting(layout::kEncrypt);
    const Seen base = show();
    EXPECT_EQ(base.encrypt.size(), enhanced.encrypt.size() - 5);
    EXPECT_EQ(base.encrypt.front(), "RC2  [40]");
    EXPECT_EQ(setting(layout::kEncrypt), kBaseRc2);
    EXPECT_TRUE(world.ui().messageBoxes().empty());
}

TEST_F(SettingsPageTest, TheFirstVisitSavesEveryValueAndTellsTheTray) {
    world.deleteSetting(layout::kEncrypt);
    show({}, IDCANCEL);
    EXPECT_EQ(setting(layout::kEncrypt), kEnhancedRc2);
    EXPECT_EQ(setting(layout::kHash), 0x8004u);
    EXPECT_EQ(setting(layout::kSignature), 0x2400u);
    EXPECT_EQ(setting(layout::kExchange), 0xA400u);
    for (const char* flag : {layout::kDeleteAfterEncrypt, layout::kDeleteAfterDecrypt, layout::kAutoLock})
        EXPECT_EQ(setting(flag), 0u) << flag;
    EXPECT_EQ(stored(layout::kProfileKey, layout::kTimeOutPeriod), std::nullopt);  // a period of 0
    EXPECT_EQ(g_trayHeard, std::vector<WPARAM>{0});
}

TEST_F(SettingsPageTest, StoredValuesNoEntryCarriesAndEqualTexts) {
    world.setSetting(layout::kSignature, 0x1234);  // no such algorithm
    world.setSetting(layout::kHash, 0xFFFFFFFF);   // what a list without a selection saved
    world.setSetting(layout::kEncrypt, 0x6601);    // Base DES, listed after the Enhanced DES of equal text
    world.setSetting(layout::kAutoLock, 1);
    const Seen seen = show();
    EXPECT_EQ(seen.signatureSelection, -1);
    EXPECT_EQ(seen.encrypt[static_cast<std::size_t>(seen.encryptSelection)], "DES  [56]");
    EXPECT_TRUE(seen.secondsEnabled);
    EXPECT_EQ(setting(layout::kSignature), 0xFFFFFFFFu);
    EXPECT_EQ(setting(layout::kHash), 0xFFFFFFFFu);
    EXPECT_EQ(setting(layout::kEncrypt), 0x10006601u);  // the first entry with that text
    EXPECT_EQ(setting(layout::kAutoLock), 1u);
}

TEST_F(SettingsPageTest, PeriodZeroIsNotWrittenButToldAndAnEmptyBoxKeepsThePage) {
    RegistryKey profile;
    ASSERT_EQ(profile.Open(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    ASSERT_EQ(profile.SetDword(300, layout::kTimeOutPeriod), ERROR_SUCCESS);

    show([](HWND dialog) {
        ui::input::now::click(GetDlgItem(dialog, applet::kAutoLockBox));
        ui::input::now::type(GetDlgItem(dialog, applet::kSecondsEdit), "45");
        ui::input::now::click(GetDlgItem(dialog, applet::kAutoLockBox));  // disabled, still saved
    });
    EXPECT_EQ(stored(layout::kProfileKey, layout::kTimeOutPeriod), 45u);
    EXPECT_EQ(setting(layout::kAutoLock), 0u);

    show([](HWND dialog) {
        ui::input::now::click(GetDlgItem(dialog, applet::kAutoLockBox));
        ui::input::now::type(GetDlgItem(dialog, applet::kSecondsEdit), "0");
    });
    EXPECT_EQ(stored(layout::kProfileKey, layout::kTimeOutPeriod), 45u);
    EXPECT_EQ(g_trayHeard, (std::vector<WPARAM>{45, 0}));

    world.ui().clear();
    bool stayed = false;
    show(
        [&](HWND dialog) {
            ui::input::now::type(GetDlgItem(dialog, applet::kSecondsEdit), "");  // AutoLock is on
            ui::input::now::click(GetDlgItem(dialog, applet::kAutoLockBox));       // the box disabled
            ui::input::now::click(GetDlgItem(GetParent(dialog), IDOK));
            stayed = IsWindowVisible(dialog) != FALSE;
        },
        IDCANCEL);
    EXPECT_TRUE(stayed);
    const auto boxes = world.ui().messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please enter a positive integer.");
    EXPECT_EQ(stored(layout::kProfileKey, layout::kTimeOutPeriod), 45u);
}

}  // namespace
}  // namespace vlt::test
