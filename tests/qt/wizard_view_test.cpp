// A wizard sheet of the window runtime shown by the Qt front end: one page at a time with its
// picture on the left, Back / Next / Finish / Cancel under it, walked through the widgets.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include "qt/qt_support.h"
#include "win32/prsht.h"

namespace vlt::testing::qt {
namespace {

constexpr int kFirstPage = 7401;  // pages 7401, 7402, 7403

// Each page sets the buttons on arrival; the last one names its Finish button "&Close".
INT_PTR wizardPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_NOTIFY || reinterpret_cast<NMHDR*>(lParam)->code != PSN_SETACTIVE) return FALSE;
    const HWND sheet = GetParent(page);
    const int step = GetDlgCtrlID(page) - kFirstPage;
    if (step == 2) {
        SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
        PropSheet_SetFinishText(sheet, "&Close");
    } else {
        SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, step == 0 ? PSWIZB_NEXT : PSWIZB_BACK | PSWIZB_NEXT);
    }
    SetWindowTextA(sheet, ("Step " + std::to_string(step + 1) + " of 3").c_str());
    SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
    return TRUE;
}

class QtWizardTest : public QtWindowTest {
protected:
    void SetUp() override {
        QtWindowTest::SetUp();
        using ui::ControlKind;
        for (int i = 0; i < 3; ++i) {
            ui::DialogTemplate page;
            page.resourceId = kFirstPage + i;
            page.cx = 250;
            page.cy = 120;
            page.style = WS_CHILD;
            page.controls = {{300, ControlKind::Icon, "", 0, 0, 80, 120, 0, 0, 0},
                             {100, ControlKind::Edit, "", 90, 10, 120, 14, WS_TABSTOP, 0, 0}};
            ui::registerDialog(testModule(), page);
        }
    }

    INT_PTR run() {
        PROPSHEETPAGEA pages[3]{};
        for (int i = 0; i < 3; ++i) {
            pages[i].dwSize = sizeof pages[i];
            pages[i].hInstance = testModule();
            pages[i].pszTemplate = MAKEINTRESOURCEA(kFirstPage + i);
            pages[i].pfnDlgProc = wizardPageProc;
        }
        PROPSHEETHEADERA header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD;
        header.hInstance = testModule();
        header.pszCaption = "Wizard";
        header.nPages = 3;
        header.ppsp = pages;
        return PropertySheetA(&header);
    }
};

TEST_F(QtWizardTest, PagesOneAtATimeWithTheWizardButtonsUnderThem) {
    auto button = [](QDialog& sheet, int id) { return inside<QPushButton>(&sheet, id); };
    auto page = [](QDialog& sheet, int step) { return inside(&sheet, kFirstPage + step); };
    INT_PTR result = 0;
    walk({[&](QDialog& sheet) {
              QPushButton* back = button(sheet, ID_WIZBACK);
              QPushButton* next = button(sheet, ID_WIZNEXT);
              QPushButton* cancel = button(sheet, IDCANCEL);
              if (!back || !next || !cancel || !page(sheet, 0)) return false;
              if (sheet.windowTitle() != "Step 1 of 3" || back->isEnabled()) return false;
              auto* tabs = sheet.findChild<QTabBar*>("vlt_tabs");
              EXPECT_TRUE(tabs == nullptr || !tabs->isVisible()) << "no tabs on a wizard";
              EXPECT_TRUE(next->isVisible() && next->isEnabled() && next->isDefault());
              EXPECT_FALSE(button(sheet, ID_WIZFINISH)->isVisible());
              EXPECT_EQ(next->text(), "&Next >");
              // the page's picture on its left; the buttons under the page, Cancel last
              QWidget* picture = inside(&sheet, 300);
              EXPECT_EQ(picture->parentWidget(), page(sheet, 0));
              EXPECT_LT(picture->geometry().right(), inside(&sheet, 100)->geometry().left());
              EXPECT_GT(next->geometry().top(), page(sheet, 0)->geometry().bottom());
              EXPECT_LT(back->geometry().right(), next->geometry().left() + 1);
              EXPECT_LT(next->geometry().right(), cancel->geometry().left());
              QTest::mouseClick(next, Qt::LeftButton);
              return true;
          },
          [&](QDialog& sheet) {
              if (!page(sheet, 1) || !page(sheet, 1)->isVisible() || !button(sheet, ID_WIZBACK)->isEnabled())
                  return false;
              EXPECT_FALSE(page(sheet, 0)->isVisible());
              EXPECT_EQ(sheet.windowTitle(), "Step 2 of 3");
              QTest::mouseClick(button(sheet, ID_WIZNEXT), Qt::LeftButton);
              return true;
          },
          [&](QDialog& sheet) {
              QPushButton* finish = button(sheet, ID_WIZFINISH);
              if (!page(sheet, 2) || !page(sheet, 2)->isVisible() || !finish->isVisible()) return false;
              EXPECT_FALSE(button(sheet, ID_WIZNEXT)->isVisible()) << "Finish takes Next's place";
              EXPECT_FALSE(button(sheet, ID_WIZBACK)->isVisible()) << "a Finish text hides Back";
              EXPECT_EQ(finish->text(), "&Close");
              EXPECT_TRUE(finish->isEnabled() && finish->isDefault());
              EXPECT_EQ(finish->geometry(), button(sheet, ID_WIZNEXT)->geometry());
              QTest::mouseClick(finish, Qt::LeftButton);
              return true;
          }},
         [&] { result = run(); });
    EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace vlt::testing::qt
