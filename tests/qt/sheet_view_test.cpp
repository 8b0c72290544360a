// A property sheet of the window runtime shown by the Qt front end: its tabs, its pages inside
// it and its buttons, driven through the widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include "qt/qt_support.h"
#include "support/property_sheet.h"
#include "win32/commctrl.h"
#include "win32/prsht.h"

namespace vlt::testing::qt {
namespace {

constexpr int kNamePage = 7301;
constexpr int kOptionsPage = 7302;

struct Applied {
    std::string name;
    int check = -1;
    LPARAM data = -1;
    int applies = 0;
};
Applied* g_applied = nullptr;

void changed(HWND page) { SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0); }

INT_PTR pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            if (HWND combo = GetDlgItem(page, 201)) {
                for (const char* text : {"RC2  [40]", "RC4  [128]"}) {
                    const auto at = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
                    SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), 0x6600 + at);
                }
                SendMessageA(combo, CB_SETCURSEL, 0, 0);
            }
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == CBN_SELCHANGE)
                changed(page);
            return FALSE;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
                char text[64] = {};
                if (GetDlgItemTextA(page, 100, text, sizeof text) > 0 || GetDlgItem(page, 100)) g_applied->name = text;
                if (GetDlgItem(page, 200)) {
                    g_applied->check = static_cast<int>(SendDlgItemMessageA(page, 200, BM_GETCHECK, 0, 0));
                    const auto at = SendDlgItemMessageA(page, 201, CB_GETCURSEL, 0, 0);
                    g_applied->data = SendDlgItemMessageA(page, 201, CB_GETITEMDATA, static_cast<WPARAM>(at), 0);
                }
                ++g_applied->applies;
            }
            return FALSE;
        default: return FALSE;
    }
}

class QtSheetTest : public QtWindowTest {
protected:
    void SetUp() override {
        QtWindowTest::SetUp();
        using ui::ControlKind;
        ui::DialogTemplate name;
        name.resourceId = kNamePage;
        name.caption = "Name";
        name.cx = 200;
        name.cy = 100;
        name.style = WS_CHILD | WS_CAPTION;
        name.controls = {{-1, ControlKind::Static, "Name:", 7, 10, 40, 8, 0, 0, 0},
                         {100, ControlKind::Edit, "", 50, 8, 120, 14, WS_TABSTOP, 0, 0}};
        ui::DialogTemplate options = name;
        options.resourceId = kOptionsPage;
        options.caption = "Options";
        options.controls = {{200, ControlKind::CheckBox, "Delete after", 7, 10, 100, 10, WS_TABSTOP, 0, 0},
                            {201, ControlKind::ComboBox, "", 7, 30, 120, 60, CBS_DROPDOWNLIST | WS_TABSTOP, 0, 0}};
        ui::registerDialog(testModule(), name);
        ui::registerDialog(testModule(), options);
        g_applied = &applied;
    }

    Applied applied;
};

TEST_F(QtSheetTest, TabsPagesAndApplyDrivenThroughTheWidgets) {
    auto tabs = [](QDialog& sheet) { return sheet.findChild<QTabBar*>("vlt_tabs"); };
    INT_PTR result = 0;
    walk({[&](QDialog& sheet) {
              auto* apply = inside<QPushButton>(&sheet, ID_APPLY_NOW);
              QWidget* first = inside(&sheet, kNamePage);
              if (!tabs(sheet) || !apply || !first) return false;
              EXPECT_EQ(sheet.windowTitle(), "Two Pages");
              EXPECT_EQ(tabs(sheet)->count(), 2);
              EXPECT_EQ(tabs(sheet)->tabText(1), "Options");
              EXPECT_EQ(tabs(sheet)->currentIndex(), 0);
              EXPECT_TRUE(first->isVisible());
              EXPECT_FALSE(apply->isEnabled());
              // the page's controls lie inside the page, below the tabs
              EXPECT_EQ(inside<QLineEdit>(&sheet, 100)->parentWidget(), first);
              EXPECT_GE(first->geometry().top(), tabs(sheet)->geometry().bottom());
              typeText(inside<QLineEdit>(&sheet, 100), "Ann");
              return true;
          },
          [&](QDialog& sheet) {
              if (!inside(&sheet, ID_APPLY_NOW)->isEnabled()) return false;
              QTest::mouseClick(tabs(sheet), Qt::LeftButton, {}, tabs(sheet)->tabRect(1).center());
              return true;
          },
          [&](QDialog& sheet) {
              QWidget* second = inside(&sheet, kOptionsPage);
              if (!second || !second->isVisible() || tabs(sheet)->currentIndex() != 1) return false;
              EXPECT_FALSE(inside(&sheet, kNamePage)->isVisible());
              auto* combo = inside<QComboBox>(&sheet, 201);
              EXPECT_EQ(combo->count(), 2);
              EXPECT_EQ(combo->currentIndex(), 0);
              QTest::mouseClick(inside<QCheckBox>(&sheet, 200), Qt::LeftButton);
              emit combo->activated(1);
              return true;
          },
          [&](QDialog& sheet) {
              if (!inside<QCheckBox>(&sheet, 200)->isChecked() || inside<QComboBox>(&sheet, 201)->currentIndex() != 1)
                  return false;
              QTest::mouseClick(inside<QPushButton>(&sheet, IDOK), Qt::LeftButton);
              return true;
          }},
         [&] { result = test::showPropertySheet(testModule(), "Two Pages", 0, kNamePage, 2, pageProc); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(applied.name, "Ann");
    EXPECT_EQ(applied.check, BST_CHECKED);
    EXPECT_EQ(applied.data, 0x6601);
    EXPECT_EQ(applied.applies, 2);  // OK applies every page made
}

}  // namespace
}  // namespace vlt::testing::qt
