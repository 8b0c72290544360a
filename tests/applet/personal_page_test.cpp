// The personal page in the applet's sheet: its buttons with and without a profile, the shown
// name, create and import through the wizard program, the polling for the wizard's profile,
// and the backup.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "applet/container_sheet.h"
#include "applet/resources.h"
#include "applet_world.h"
#include "base/clock.h"
#include "shared/certificate_record.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "support/launches.h"
#include "support/world/user_values.h"
#include "ui/input.h"
#include "ui/loop.h"

namespace vlt::applet {
namespace {

constexpr int kProfileButtons[] = {kChangePasswordButton, kViewCertificateButton, kBackupButton};
constexpr const char* kWizardFailed = "An Error occured while trying to create a new profile.";

class PersonalPageTest : public ::testing::Test {
protected:
    // The page as it was when the sheet closed, after `pageActions` ("" for none).
    TranscriptEntry run(const std::string& pageActions) {
        std::string script;
        if (!pageActions.empty()) script += "dialog 130 " + pageActions + "\n";
        world.runSheet(script + "sheet click 2\n");
        return world.lastClosed(kPersonalPage);
    }
    std::optional<DWORD> profileDword(const char* name) { return test::userDword(layout::kProfileKey, name); }
    void setProfileDword(const char* name, DWORD value) {
        RegistryKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
        ASSERT_EQ(key.SetDword(value, name), ERROR_SUCCESS);
    }
    void installWizard() {
        const std::string program = world.systemDir() + "/VTInit32";
        test::writeFile(program, std::string("#!/bin/sh\n"));
        ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    }
    AppletWorld world;
    test::Launches launches;
};

TEST_F(PersonalPageTest, ProfileButtonsFollowInitUser) {
    for (const bool initialised : {true, false}) {
        if (!initialised) world.removeProfile();
        const auto page = run("");
        for (int id : kProfileButtons) EXPECT_EQ(AppletWorld::control(page, id).enabled, initialised) << id;
        for (int id : {kCreateProfileButton, kImportProfileButton}) EXPECT_TRUE(AppletWorld::control(page, id).enabled);
        EXPECT_EQ(AppletWorld::control(page, kNameEdit).text, initialised ? "Marta Okafor" : "");
    }
}

TEST_F(PersonalPageTest, ANameOf300CharactersShowsItsFirst259) {
    const std::string name(300, 'x');
    RegistryKey profile;
    ASSERT_EQ(profile.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    ASSERT_EQ(setBinaryValue(profile.Handle(), layout::kExchangeBlob1,
                             buildCertificateRecord({{1, 2}, {name, "a@b", "", "", ""}})),
              ERROR_SUCCESS);
    const auto page = run("");
    EXPECT_EQ(AppletWorld::control(page, kNameEdit).text, name.substr(0, 259));
    EXPECT_EQ(AppletWorld::control(page, kEmailEdit).text, "a@b");
}

TEST_F(PersonalPageTest, CreateOverAProfileAnsweredNoChangesNothing) {
    world.fillCache();
    world.ui().answerMessageBox(IDNO);
    run("click 1009");
    const auto boxes = world.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "You already have a profile.\nIf you create a new profile all the files locked with the current profile "
              "will be rendered useless.\n\n Do you still want to continue?");
    EXPECT_EQ(boxes[0].caption, "VLT Status Report");
    EXPECT_EQ(boxes[0].style, 0x134u);
    EXPECT_EQ(profileDword(layout::kInitState), std::nullopt);
    EXPECT_TRUE(world.cachePresent());
    EXPECT_TRUE(launches.list().empty());
}

TEST_F(PersonalPageTest, CreateAnsweredYesAsksTheWizardAndLocks) {
    installWizard();
    world.fillCache();
    world.ui().answerMessageBox(IDYES);
    run("click 1009");
    EXPECT_EQ(world.boxes().size(), 1u);
    EXPECT_EQ(profileDword(layout::kInitState), 2u);
    EXPECT_FALSE(world.cachePresent());
    const auto started = launches.list();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, world.systemDir() + "/VTInit32");
    EXPECT_EQ(started[0].workingDir, world.systemDir());
    EXPECT_TRUE(started[0].args.empty());
}

#ifdef VLT_VTINIT32
// No display and no terminal for the programs started while it lives.
struct Unattended {
    std::vector<std::pair<std::string, std::string>> saved;
    int savedStdin = dup(0);
    Unattended() {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
            if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
            unsetenv(name);
        }
        const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
        dup2(nothing, 0);
        close(nothing);
    }
    ~Unattended() {
        for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
        dup2(savedStdin, 0);
        close(savedStdin);
    }
};

// The wizard program where an install puts it, started as the shell starts "VTInit32.Exe":
// without a display or a terminal it walks the creation the page asked for and gives up.
TEST_F(PersonalPageTest, CreateProfileRunsTheInstalledWizard) {
    std::filesystem::create_symlink(VLT_VTINIT32, world.systemDir() + "/VTInit32");
    world.removeProfile();
    shell::Finished wizard;
    test::Launches started([&](const shell::Launch& launch) {
        wizard = shell::spawnAndWait(launch, 60000);
        return wizard.spawnError;
    });
    {
        Unattended unattended;
        run("click 1009");
    }
    ASSERT_EQ(started.list().size(), 1u);
    EXPECT_TRUE(wizard.exited && wizard.exitCode == 0) << wizard.errorText;
    EXPECT_NE(wizard.errorText.find("== Create your profile. [Step 1 of 3] =="), std::string::npos) << wizard.errorText;
    EXPECT_EQ(profileDword(layout::kInitState), std::nullopt) << "the wizard takes the request";
}
#endif

TEST_F(PersonalPageTest, ImportAsksNothingAndSaysWhenTheWizardIsMissing) {
    world.fillCache();
    run("click 1010");
    const auto boxes = world.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kWizardFailed);
    EXPECT_EQ(boxes[0].caption, "VLT Status Report");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(profileDword(layout::kInitState), 1u);
    EXPECT_FALSE(world.cachePresent());
}

TEST_F(PersonalPageTest, PollingEnablesTheButtonsOnceTheWizardMadeAProfile) {
    world.removeProfile();
    base::ManualClock clock;
    base::setClock(&clock);
    // While the page waits, the wizard finishes: InitUser becomes 1. The clock then moves in
    // steps until the page has seen it and enabled its buttons; the sheet is closed then.
    std::atomic<bool> waiting{false};
    std::atomic<bool> enabled{false};
    std::atomic<HWND> sheet{nullptr};
    world.spy().onMessageBox = [&](const ui::MessageBoxRequest& box) {
        if (box.text != kWizardFailed) return;
        setProfileDword(layout::kInitUser, 1);
        sheet = GetParent(box.owner);
        waiting = true;
    };
    world.spy().onChanged = [&](HWND control, ui::Change what) {
        if (what == ui::Change::Enabled && GetDlgCtrlID(control) == kChangePasswordButton && IsWindowEnabled(control))
            enabled = true;
    };
    std::thread time([&] {
        while (!waiting) std::this_thread::yield();
        for (int step = 0; step < 2000 && !enabled; ++step) {
            clock.advanceMs(100);
            ui::clockChanged();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ui::input::close(sheet);
    });
    ASSERT_TRUE(world.ui().loadScript("dialog 130 click 1010\n").ok());
    runContainerSheet();
    time.join();
    base::setClock(nullptr);
    EXPECT_TRUE(enabled);
    const auto page = world.lastClosed(kPersonalPage);
    for (int id : kProfileButtons) EXPECT_TRUE(AppletWorld::control(page, id).enabled) << id;
}

TEST_F(PersonalPageTest, BackupWritesTheChosenFileAndCancelWritesNothing) {
    const std::string path = world.path("mine.Vtb");
    world.ui().answerSaveDialog(std::nullopt);
    world.ui().answerSaveDialog(path);
    run("click 4; click 4");
    const auto transcript = world.ui().transcript();
    std::vector<TranscriptEntry> saves;
    for (const auto& e : transcript)
        if (e.kind == TranscriptEntry::Kind::SaveDialog) saves.push_back(e);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[0].caption, "Backup VLT Settings.");
    EXPECT_EQ(saves[0].style, 0x9C06u);
    EXPECT_TRUE(world.boxes().empty());
    EXPECT_EQ(test::namesIn(world.sandbox().files()), (std::vector<std::string>{"mine.Vtb"}));
}

}  // namespace
}  // namespace vlt::applet
