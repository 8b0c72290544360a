// VTInit32's wizard in real windows: a first login's creation walked through the widgets,
// welcome, name, passwords, Finish, leaves a profile and opens the applet.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "crypt/providers.h"
#include "qt/qt_support.h"
#include "shared/certificate_record.h"
#include "shared/profile_keys.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "support/launches.h"
#include "support/world/world.h"
#include "win32/prsht.h"
#include "wizard/resources.h"
#include "wizard/wizard_app.h"

namespace vlt::testing::qt {
namespace {

class QtVTInit32Test : public QtWindowTest {
protected:
    QtVTInit32Test() {
        // Finish opens the applet through the runner of the system directory.
        std::filesystem::create_directories(systemDir());
        test::writeFile(systemDir() + "/vlt-control", std::string("#!/bin/sh\n"));
        chmod((systemDir() + "/vlt-control").c_str(), 0755);
        setenv("VLT_SYSTEM_DIR", systemDir().c_str(), 1);
        crypt::setDefaultExchangeKeyBitsForTesting(512, 1024);
        world.removeProfile();
    }
    ~QtVTInit32Test() override {
        unsetenv("VLT_SYSTEM_DIR");
        crypt::setDefaultExchangeKeyBitsForTesting(0, 0);
    }
    std::string systemDir() { return world.sandbox().root() + "/system"; }

    test::World world;
    test::Launches launches;
};

QPushButton* button(QDialog& sheet, int id) { return inside<QPushButton>(&sheet, id); }
bool onPage(QDialog& sheet, int id, const char* title) {
    QWidget* page = inside(&sheet, id);
    return page && page->isVisible() && sheet.windowTitle() == title;
}

TEST_F(QtVTInit32Test, FirstLoginCreatesAProfileThroughTheWidgets) {
    using namespace wizard;
    walk({[&](QDialog& sheet) {
              if (!onPage(sheet, kWelcomePage, "Create your profile. [Step 1 of 3]")) return false;
              EXPECT_TRUE(inside(&sheet, kNoShowCheck)->isVisible());
              QTest::mouseClick(button(sheet, ID_WIZNEXT), Qt::LeftButton);
              return true;
          },
          [&](QDialog& sheet) {
              if (!onPage(sheet, kProfilePage, "Create your profile. [Step 2 of 3]")) return false;
              EXPECT_FALSE(button(sheet, ID_WIZNEXT)->isEnabled()) << "no name yet";
              typeText(inside<QLineEdit>(&sheet, kDisplayNameEdit), "Zoë Lima");
              typeText(inside<QLineEdit>(&sheet, kEMailEdit), "zoe@example.org");
              return true;
          },
          [&](QDialog& sheet) {
              if (!button(sheet, ID_WIZNEXT)->isEnabled()) return false;
              QTest::mouseClick(button(sheet, ID_WIZNEXT), Qt::LeftButton);
              return true;
          },
          [&](QDialog& sheet) {
              if (!onPage(sheet, kFinishPage, "Create your profile. [Step 3 of 3]")) return false;
              EXPECT_FALSE(button(sheet, ID_WIZFINISH)->isEnabled());
              EXPECT_EQ(inside<QLineEdit>(&sheet, kPasswordEdit)->echoMode(), QLineEdit::Password);
              typeText(inside<QLineEdit>(&sheet, kPasswordEdit), "Kite 42");
              typeText(inside<QLineEdit>(&sheet, kConfirmEdit), "Kite 42");
              return true;
          },
          [&](QDialog& sheet) {
              if (!button(sheet, ID_WIZFINISH)->isEnabled()) return false;
              QTest::mouseClick(button(sheet, ID_WIZFINISH), Qt::LeftButton);
              return true;
          }},
         [] {
             CWizardApp app({[] { return true; }, [] { return true; }});
             app.InitInstance();
             app.ExitInstance();
         });
    RegistryKey profile;
    ASSERT_EQ(profile.Open(HKEY_CURRENT_USER, layout::kProfileKey, KEY_READ), ERROR_SUCCESS);
    DWORD initUser = 0;
    EXPECT_EQ(profile.QueryDword(initUser, layout::kInitUser), ERROR_SUCCESS);
    EXPECT_EQ(initUser, 1u);
    const auto record = readBinaryValue(profile, layout::kExchangeBlob1);
    ASSERT_TRUE(record);
    EXPECT_EQ(certificateIdentity(*record).displayName, "Zo\xEB Lima") << "stored in the ANSI code page";
    EXPECT_EQ(certificateIdentity(*record).eMailId, "zoe@example.org");
    EXPECT_TRUE(readBinaryValue(profile, layout::kExchangeBlob3)) << "both providers";
    EXPECT_TRUE(verifyPassword("Kite 42", AfterVerify::DeleteContainer));
    const auto started = launches.list();
    ASSERT_EQ(started.size(), 1u) << "the applet opens after Finish";
    EXPECT_EQ(started[0].program, systemDir() + "/vlt-control");
}

}  // namespace
}  // namespace vlt::testing::qt
