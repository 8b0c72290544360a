// The applet's own sheet in real windows: whole tab captions, and settings changed through the
// settings page's widgets reaching the registry at Apply.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <optional>

#include "applet/applet_app.h"
#include "applet/container_sheet.h"
#include "applet/resources.h"
#include "qt/qt_support.h"
#include "shared/registry_layout.h"
#include "support/world/user_values.h"
#include "support/world/world.h"
#include "win32/prsht.h"

namespace vlt::testing::qt {
namespace {

std::optional<DWORD> setting(const char* name) { return test::userDword(layout::kSettingsKey, name); }

class QtAppletTest : public QtWindowTest {
protected:
    test::World world;  // made before SetUp puts the Qt front end in its place
    applet::CAppletApp app;
};

QTabBar* tabsOf(QDialog& sheet) { return sheet.findChild<QTabBar*>("vlt_tabs"); }
void clickTab(QDialog& sheet, int index) {
    QTest::mouseClick(tabsOf(sheet), Qt::LeftButton, {}, tabsOf(sheet)->tabRect(index).center());
}

TEST_F(QtAppletTest, SettingsChangedThroughThePageReachTheRegistryAtApply) {
    using namespace applet;
    world.setSetting(layout::kDeleteAfterEncrypt, 0);
    auto settingsPage = [](QDialog& sheet) { return inside(&sheet, kSettingsPage); };
    std::optional<std::pair<int, DWORD>> choice;
    walk({[&](QDialog& sheet) {
              QTabBar* tabs = tabsOf(sheet);
              if (!tabs || tabs->count() != 4 || !inside(&sheet, kPersonalPage)) return false;
              EXPECT_EQ(sheet.windowTitle(), "VLT Certificate Settings.");
              const QString captions[] = {"Personal", "VLT Settings", "Personal Certificate Store",
                                          "System Certificate Store"};
              for (int i = 0; i < 4; ++i) {
                  EXPECT_EQ(tabs->tabText(i), captions[i]);
                  EXPECT_GE(tabs->tabRect(i).width(), tabs->fontMetrics().horizontalAdvance(captions[i]))
                      << "a shortened caption: " << captions[i].toStdString();
              }
              clickTab(sheet, 1);
              return true;
          },
          [&](QDialog& sheet) {
              QWidget* page = settingsPage(sheet);
              if (!page || !page->isVisible()) return false;
              // another algorithm than the one stored
              auto* combo = inside<QComboBox>(page, kEncryptList);
              for (int i = 0; i < combo->count() && !choice; ++i) {
                  const auto data = static_cast<DWORD>(SendMessageA(hwndOf(combo), CB_GETITEMDATA, i, 0));
                  if (data != setting(layout::kEncrypt)) choice = {i, data};
              }
              if (!choice) {
                  ADD_FAILURE() << "one algorithm only";
                  return true;
              }
              QTest::mouseClick(inside<QCheckBox>(page, kDeleteAfterEncryptBox), Qt::LeftButton);
              emit combo->activated(choice->first);
              return true;
          },
          [&](QDialog& sheet) {
              auto* apply = inside<QPushButton>(&sheet, ID_APPLY_NOW);
              if (!apply->isEnabled() || !inside<QCheckBox>(settingsPage(sheet), kDeleteAfterEncryptBox)->isChecked() ||
                  inside<QComboBox>(settingsPage(sheet), kEncryptList)->currentIndex() != choice->first)
                  return false;
              EXPECT_EQ(setting(layout::kDeleteAfterEncrypt), 0u) << "nothing saved before Apply";
              QTest::mouseClick(apply, Qt::LeftButton);
              return true;
          },
          [&](QDialog& sheet) {
              // (the page, current again, shows what was saved, which enables Apply once more)
              if (setting(layout::kDeleteAfterEncrypt) != 1u) return false;
              EXPECT_EQ(setting(layout::kEncrypt), choice->second);
              clickTab(sheet, 3);
              return true;
          },
          [&](QDialog& sheet) {
              QWidget* store = inside(&sheet, kSystemStorePage);
              if (!store || !store->isVisible() || settingsPage(sheet)->isVisible()) return false;
              QTest::mouseClick(inside<QPushButton>(&sheet, IDOK), Qt::LeftButton);
              return true;
          }},
         [] { applet::runContainerSheet(); });
    EXPECT_EQ(setting(layout::kDeleteAfterEncrypt), 1u);
}

}  // namespace
}  // namespace vlt::testing::qt
