// The profile wizard in a sandbox with the headless front end: the start-up decision, each
// page's buttons, titles and messages as a user walks through it, the profile it leaves, and
// the restore of the Windows-made backup of the fixtures' owner.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "crypt/providers.h"
#include "shared/backup_file.h"
#include "shared/certificate_record.h"
#include "shared/profile_keys.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "support/fixtures.h"
#include "support/world/user_values.h"
#include "support/world/world.h"
#include "ui/input.h"
#include "ui/state.h"
#include "win32/commdlg.h"
#include "win32/prsht.h"
#include "wizard/resources.h"
#include "wizard/wizard_app.h"

namespace vlt::wizard {
namespace {

using test::World;

constexpr char kBlank[] = "The passwords cannot be blank. Please type again.";
constexpr char kMismatch[] = "The new and confirmed passwords do not match. Please type them again.";
constexpr char kNoApplet[] = "An Error occured while trying to load settings.";

std::optional<DWORD> profileDword(const char* name) { return test::userDword(layout::kProfileKey, name); }
void setProfileDword(const char* name, std::optional<DWORD> value) {
    RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    if (value) ASSERT_EQ(key.SetDword(*value, name), ERROR_SUCCESS);
    else RegDeleteValueA(key.Handle(), name);
}
std::optional<Bytes> profileBinary(const char* name) {
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, layout::kProfileKey, KEY_READ) != ERROR_SUCCESS) return std::nullopt;
    return readBinaryValue(key, name);
}

// The wizard as the user sees it, acted on from its own thread.
struct Driver {
    HWND sheet;
    HWND page() const { return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }
    int pageId() const {
        ui::WindowState s;
        return ui::describe(page(), s) ? s.id : 0;
    }
    HWND item(int id) const {
        const bool sheetButton = id == IDCANCEL || (id >= ID_WIZBACK && id <= ID_WIZFINISH);
        return GetDlgItem(sheetButton ? sheet : page(), id);
    }
    ui::WindowState state(int id) const {
        ui::WindowState s;
        ui::describe(item(id), s);
        return s;
    }
    // The wizard buttons a user can press; "Finish-" when Finish shows disabled.
    std::string buttons() const {
        std::string out;
        const std::pair<int, const char*> names[] = {{ID_WIZBACK, "Back"}, {ID_WIZNEXT, "Next"}, {ID_WIZFINISH, "Finish"}};
        for (const auto& [id, name] : names) {
            const auto s = state(id);
            if (!s.visible || (!s.enabled && id != ID_WIZFINISH)) continue;
            out += (out.empty() ? "" : " ") + std::string(name) + (s.enabled ? "" : "-");
        }
        return out;
    }
    std::string title() const {
        char text[256] = {};
        GetWindowTextA(sheet, text, sizeof text);
        return text;
    }
    bool click(int id) { return ui::input::now::click(item(id)); }
    bool type(int id, const std::string& text) { return ui::input::now::type(item(id), text); }
};

class WizardTest : public ::testing::Test {
protected:
    WizardTest() {
        std::filesystem::create_directories(world.sandbox().root() + "/system");
        setenv("VLT_SYSTEM_DIR", (world.sandbox().root() + "/system").c_str(), 1);
        crypt::setDefaultExchangeKeyBitsForTesting(512, 1024);
    }
    ~WizardTest() override {
        world.spy().onShown = nullptr;
        unsetenv("VLT_SYSTEM_DIR");
        crypt::setDefaultExchangeKeyBitsForTesting(0, 0);
    }

    // Runs VTInit32's application object; `act` runs on the wizard's thread once its first
    // page shows and ends the wizard (Finish or Cancel). false when nothing was shown.
    bool run(const std::function<void(Driver&)>& act, const std::string& script = "") {
        EXPECT_TRUE(world.ui().loadScript(script).ok());
        bool shown = false;
        world.spy().onShown = [&](HWND dialog, int id) {
            if (shown || (id != kWelcomePage)) return;
            shown = true;
            ui::input::run(dialog, [&, dialog] {
                Driver d{GetParent(dialog)};
                act(d);
            });
        };
        CWizardApp app({[] { return true; }, [this] { return enhancedProvider; }});
        app.InitInstance();
        app.ExitInstance();
        world.spy().onShown = nullptr;
        return shown;
    }

    World world;
    bool enhancedProvider = true;
};

TEST_F(WizardTest, StartupDecisionFollowsTheTableAndLeavesNoInitState) {
    struct Case {
        const char* what;
        bool user;
        std::optional<DWORD> disableSplash, initState, initUser;
        bool blob3;
        bool enhanced;
        WizardMode mode;
        DWORD variant;
    };
    const Case cases[] = {
        {"no user name", false, {}, 2, 1, true, true, WizardMode::None, 0},
        {"no-show wins over a request", true, 1, 2, {}, false, true, WizardMode::None, 0},
        {"DisableSplash 0 is not a no-show", true, 0, {}, {}, false, true, WizardMode::Create, 0},
        {"import requested", true, {}, 1, 1, true, true, WizardMode::Create, 1},
        {"create requested", true, {}, 2, 1, true, true, WizardMode::Create, 2},
        {"odd request", true, {}, 7, 1, true, true, WizardMode::Create, 7},
        {"no profile", true, {}, {}, {}, false, true, WizardMode::Create, 0},
        {"InitUser not 1", true, {}, {}, 0, true, true, WizardMode::Create, 0},
        {"complete profile", true, {}, {}, 1, true, true, WizardMode::None, 0},
        {"Base only, Enhanced there", true, {}, {}, 1, false, true, WizardMode::Update, 0},
        {"Base only, no Enhanced", true, {}, {}, 1, false, false, WizardMode::None, 0},
    };
    for (const Case& c : cases) {
        world.installOwnerProfile();
        setProfileDword(layout::kDisableSplash, c.disableSplash);
        setProfileDword(layout::kInitState, c.initState);
        setProfileDword(layout::kInitUser, c.initUser);
        if (!c.blob3) {
            RegistryKey key;
            ASSERT_EQ(key.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
            RegDeleteValueA(key.Handle(), layout::kExchangeBlob3);
        }
        const auto decision = decideStartup({[&] { return c.user; }, [&] { return c.enhanced; }});
        EXPECT_EQ(decision.mode, c.mode) << c.what;
        EXPECT_EQ(decision.variant, c.variant) << c.what;
        EXPECT_EQ(decision.show, c.mode != WizardMode::None) << c.what;
        cleanUpInitState();
        EXPECT_FALSE(profileDword(layout::kInitState)) << c.what;
    }
}

TEST_F(WizardTest, FirstRunCreatesAProfileThroughThreePages) {
    world.removeProfile();
    const bool shown = run([](Driver& d) {
        EXPECT_EQ(d.title(), "Create your profile. [Step 1 of 3]");
        EXPECT_TRUE(d.state(kNoShowCheck).visible);
        EXPECT_FALSE(d.state(kUpdateText).visible);
        EXPECT_EQ(d.state(kCreateRadio).check + d.state(kImportRadio).check, 0) << "no choice made for the user";
        EXPECT_EQ(d.buttons(), "Next");
        ASSERT_TRUE(d.click(ID_WIZNEXT));
        ASSERT_EQ(d.pageId(), kProfilePage);
        EXPECT_EQ(d.title(), "Create your profile. [Step 2 of 3]");
        EXPECT_EQ(d.buttons(), "Back");
        d.type(kDisplayNameEdit, "M");
        EXPECT_EQ(d.buttons(), "Back Next");
        d.type(kDisplayNameEdit, "");
        EXPECT_EQ(d.buttons(), "Back");
        d.type(kDisplayNameEdit, "Ana Lima");
        d.type(kEMailEdit, "ana@example.org");
        ASSERT_TRUE(d.click(ID_WIZNEXT));
        ASSERT_EQ(d.pageId(), kFinishPage);
        EXPECT_EQ(d.title(), "Create your profile. [Step 3 of 3]");
        EXPECT_EQ(d.buttons(), "Back Finish-");
        d.type(kPasswordEdit, "Kite 42");
        EXPECT_EQ(d.buttons(), "Back Finish-") << "the password alone enables nothing";
        d.type(kConfirmEdit, "K");
        EXPECT_EQ(d.buttons(), "Back Finish");
        d.type(kPasswordEdit, "");
        d.type(kConfirmEdit, "");
        EXPECT_EQ(d.buttons(), "Back Finish") << "Finish stays enabled";
        d.click(ID_WIZFINISH);
        d.type(kPasswordEdit, "Kite 42");
        d.type(kConfirmEdit, "kite 42");
        d.click(ID_WIZFINISH);
        ASSERT_EQ(d.pageId(), kFinishPage);
        EXPECT_EQ(d.state(kPasswordEdit).text, "") << "a mismatch empties both fields";
        EXPECT_EQ(d.state(kConfirmEdit).text, "");
        d.type(kPasswordEdit, "Kite 42");
        d.type(kConfirmEdit, "Kite 42");
        d.click(ID_WIZFINISH);
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(world.messages(), (std::vector<std::string>{kBlank, kMismatch, kNoApplet}));
    EXPECT_EQ(profileDword(layout::kInitUser), 1u);
    const auto record = profileBinary(layout::kExchangeBlob1);
    ASSERT_TRUE(record);
    const Identity identity = certificateIdentity(*record);
    EXPECT_EQ(identity.displayName, "Ana Lima");
    EXPECT_EQ(identity.eMailId, "ana@example.org");
    EXPECT_EQ(identity.street, "");
    EXPECT_TRUE(profileBinary(layout::kExchangeBlob3)) << "both providers at creation";
    EXPECT_TRUE(verifyPassword("Kite 42", AfterVerify::DeleteContainer));
}

TEST_F(WizardTest, CancelForgetsTheProfileOnlyAfterThePasswordPage) {
    for (const bool reachPasswordPage : {false, true}) {
        world.installOwnerProfile();
        setProfileDword(layout::kInitState, layout::kInitStateCreate);
        run([&](Driver& d) {
            EXPECT_EQ(d.state(kCreateRadio).check, BST_CHECKED);
            EXPECT_FALSE(d.state(kNoShowCheck).visible);
            if (reachPasswordPage) {
                d.click(ID_WIZNEXT);
                d.type(kDisplayNameEdit, "Ana");
                d.click(ID_WIZNEXT);
                d.click(ID_WIZBACK);
                EXPECT_EQ(d.pageId(), kProfilePage);
                EXPECT_EQ(d.buttons(), "Back Next");
                d.click(ID_WIZBACK);
                EXPECT_EQ(d.buttons(), "Next");
            }
            d.click(IDCANCEL);
        });
        EXPECT_EQ(profileDword(layout::kInitUser), reachPasswordPage ? std::nullopt : std::optional<DWORD>(1))
            << reachPasswordPage;
        EXPECT_TRUE(profileBinary(layout::kExchangeBlob1)) << "the keys stay; the next start creates anew";
        EXPECT_FALSE(profileDword(layout::kInitState));
    }
}

TEST_F(WizardTest, NoShowBoxFinishesWithoutAProfileAndSilencesTheNextStart) {
    world.removeProfile();
    run([](Driver& d) {
        d.click(kNoShowCheck);
        EXPECT_EQ(d.buttons(), "Finish");
        d.click(kNoShowCheck);
        EXPECT_EQ(d.buttons(), "Next");
        d.click(kNoShowCheck);
        d.click(ID_WIZFINISH);
    });
    EXPECT_EQ(profileDword(layout::kDisableSplash), 1u);
    EXPECT_FALSE(profileDword(layout::kInitUser));
    setProfileDword(layout::kInitState, layout::kInitStateCreate);
    EXPECT_FALSE(run([](Driver& d) { d.click(IDCANCEL); }));
    EXPECT_FALSE(profileDword(layout::kInitState));
}

TEST_F(WizardTest, ImportWithACancelledFileDialogClosesWithoutAProfile) {
    world.removeProfile();
    run(
        [](Driver& d) {
            d.click(kImportRadio);
            EXPECT_TRUE(d.state(kBrowseButton).enabled);
            EXPECT_EQ(d.buttons(), "Finish-");
            d.click(kBrowseButton);
            EXPECT_EQ(d.buttons(), "Finish");
            d.click(kCreateRadio);
            EXPECT_FALSE(d.state(kBrowseButton).enabled);
            EXPECT_EQ(d.buttons(), "Next");
            d.click(kImportRadio);
            d.click(kBrowseButton);
            d.click(ID_WIZFINISH);
        },
        "open cancel\nopen cancel\n");
    EXPECT_TRUE(world.messages().empty());
    EXPECT_FALSE(profileDword(layout::kInitUser));
    EXPECT_FALSE(profileDword(layout::kDisableSplash));
}

TEST_F(WizardTest, AFileDialogThatCannotBeShownIsReportedAndCancelLeavesOnlyClose) {
    world.removeProfile();
    world.spy().openDialogError = CDERR_DIALOGFAILURE;
    run(
        [](Driver& d) {
            d.click(kImportRadio);
            d.click(kBrowseButton);
            EXPECT_EQ(d.buttons(), "Finish-") << "OK: the user may try again";
            d.click(kBrowseButton);
            EXPECT_EQ(d.buttons(), "Finish");
            EXPECT_EQ(d.state(ID_WIZFINISH).text, "&Close");
            d.click(ID_WIZFINISH);
        },
        "message IDOK\nmessage IDCANCEL\n");
    const auto boxes = world.ui().messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.text, "Error opening file dialog");
        EXPECT_EQ(box.caption, kEmergencyCaption);
        EXPECT_EQ(box.style, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));
    }
    EXPECT_FALSE(profileDword(layout::kInitUser));
}

TEST_F(WizardTest, ImportRequestRestoresTheBackupOrReportsADamagedOne) {
    const std::string damaged = world.path("damaged.Vtb");
    auto bytes = test::fixture("profile/owner.Vtb");
    bytes.resize(bytes.size() / 2);
    test::writeFile(damaged, bytes);
    for (const bool good : {false, true}) {
        world.removeProfile();
        setProfileDword(layout::kInitState, layout::kInitStateImport);
        run(
            [&](Driver& d) {
                EXPECT_EQ(d.title(), "Import your profile. [Step 1 of 1]");
                EXPECT_FALSE(d.state(kCreateRadio).enabled);
                EXPECT_EQ(d.state(kImportRadio).check, BST_CHECKED);
                EXPECT_EQ(d.buttons(), "Finish-");
                d.click(kBrowseButton);
                EXPECT_EQ(d.buttons(), "Finish");
                EXPECT_EQ(d.state(ID_WIZFINISH).text, good ? "Finish" : "&Close");
                d.click(ID_WIZFINISH);
            },
            "open " + (good ? test::fixturePath("profile/owner.Vtb") : damaged) + "\n");
        EXPECT_EQ(profileDword(layout::kInitUser), good ? std::optional<DWORD>(1) : std::nullopt) << good;
        if (!good) {
            EXPECT_EQ(world.messages().back(), "An Error occured");
        }
    }
}

TEST_F(WizardTest, UpdateModeChecksThePasswordAndAddsTheEnhancedPair) {
    world.removeProfile();
    world.installOwnerProfile({.enhanced = false});
    const auto base = profileBinary(layout::kExchangeBlob1);
    run([](Driver& d) {
        EXPECT_EQ(d.title(), "Update your profile. [Step 1 of 2]");
        for (int id : {kCreateRadio, kImportRadio, kNoShowCheck, kBrowseButton, kEveryAgentText, kUsedForAllText})
            EXPECT_FALSE(d.state(id).visible) << id;
        EXPECT_TRUE(d.state(kUpdateText).visible);
        d.click(ID_WIZNEXT);
        EXPECT_EQ(d.pageId(), kFinishPage);
        EXPECT_EQ(d.title(), "Update your profile. [Step 2 of 2]");
        d.type(kPasswordEdit, "wrong");
        d.type(kConfirmEdit, "wrong");
        d.click(ID_WIZFINISH);
        ASSERT_EQ(d.pageId(), kFinishPage);
        d.type(kPasswordEdit, test::kOwnerPassword);
        d.type(kConfirmEdit, test::kOwnerPassword);
        d.click(ID_WIZFINISH);
    });
    ASSERT_FALSE(world.messages().empty());
    EXPECT_EQ(world.messages().front(), "The password you provided is not correct.\n\nVaultine could not update your profile.");
    const auto enhanced = profileBinary(layout::kExchangeBlob3);
    ASSERT_TRUE(enhanced);
    EXPECT_EQ(certificateIdentity(*enhanced).displayName, "Marta Okafor");
    EXPECT_EQ(profileBinary(layout::kExchangeBlob1), base) << "the Base pair stays";
    EXPECT_TRUE(verifyPassword(test::kOwnerPassword, AfterVerify::DeleteContainer));
}

TEST_F(WizardTest, RestoredWindowsBackupUnlocksTheOwnersFilesAndBacksUpIdentically) {
    world.removeProfile();
    const auto backup = test::fixture("profile/owner.Vtb");
    ASSERT_EQ(RestoreBackup(backup, nullptr), 1);
    std::vector<std::string> files;
    for (const std::string provider : {"base", "enhanced"}) {
        std::filesystem::create_directories(world.path(provider));
        test::writeFile(world.path(provider + "/len-1000.bin.Vtf"), test::fixture("locked/" + provider + "/len-1000.bin.Vtf"));
        files.push_back(world.path(provider + "/len-1000.bin.Vtf"));
    }
    EXPECT_TRUE(world.unlock(files, test::kOwnerPassword).allDone());
    for (const std::string provider : {"base", "enhanced"})
        EXPECT_EQ(test::readFile(world.path(provider + "/len-1000.bin")), test::fixture("plain/len-1000.bin")) << provider;
    const std::string again = world.path("again.Vtb");
    ASSERT_EQ(writeBackup(again), 1);
    EXPECT_EQ(test::readFile(again), backup);
}

}  // namespace
}  // namespace vlt::wizard
