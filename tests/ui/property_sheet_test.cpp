// PropertySheetA driven step by step on the sheet's own thread: page order and start page,
// lazy pages, refusals, Apply, OK, Cancel and titles; wizards: their buttons, moves and ends.
#include <functional>
#include <string>
#include <vector>

#include "ui/input.h"
#include "ui/state.h"
#include "ui_support.h"
#include "win32/prsht.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

using ui::ControlKind;

constexpr int kFirst = 9101, kSecond = 9102, kThird = 9103;
constexpr int kTab = 0x3020;

struct PageBehaviour {
    int number = 0;
    bool refuseKill = false;
    bool refuseSet = false;
    LRESULT applyAnswer = PSNRET_NOERROR;
    bool refuseCancel = false;
    LRESULT backAnswer = 0, nextAnswer = 0, finishAnswer = 0;
};

class PropertySheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui.frontend.setWatchdog(std::chrono::milliseconds(5000));
        registerPage(kFirst, "First", 200, 100);
        registerPage(kSecond, "Second", 240, 80);
        registerPage(kThird, "Third", 120, 60);
        for (int i = 0; i < 3; ++i) pages[i].number = i + 1;
        s_current = this;
    }
    void TearDown() override { s_current = nullptr; }

    static void registerPage(int id, const char* caption, int cx, int cy) {
        ui::DialogTemplate t;
        t.resourceId = id;
        t.caption = caption;
        t.cx = cx;
        t.cy = cy;
        t.style = WS_CHILD | WS_CAPTION;
        t.controls = {control(1000, ControlKind::Edit, "", WS_TABSTOP)};
        ui::registerDialog(testModule(), t);
    }

    static INT_PTR pageProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* page = reinterpret_cast<PageBehaviour*>(GetWindowLongPtrA(dlg, DWLP_USER));
        if (msg == WM_INITDIALOG) {
            SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
            return TRUE;
        }
        if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
            PropSheet_Changed(GetParent(dlg), dlg);
            return TRUE;
        }
        if (msg != WM_NOTIFY || page == nullptr) return FALSE;
        const auto* nm = reinterpret_cast<const PSHNOTIFY*>(lParam);
        LRESULT answer = 0;
        std::string name;
        switch (nm->hdr.code) {
            case PSN_SETACTIVE: name = "set"; answer = page->refuseSet ? -1 : 0; break;
            case PSN_KILLACTIVE: name = "kill"; answer = page->refuseKill; break;
            case PSN_APPLY: name = nm->lParam ? "apply-ok" : "apply"; answer = page->applyAnswer; break;
            case PSN_QUERYCANCEL: name = "query"; answer = page->refuseCancel; break;
            case PSN_RESET: name = "reset"; break;
            case PSN_WIZBACK: name = "back"; answer = page->backAnswer; break;
            case PSN_WIZNEXT: name = "next"; answer = page->nextAnswer; break;
            case PSN_WIZFINISH: name = "finish"; answer = page->finishAnswer; break;
            default: return FALSE;
        }
        s_current->log.push_back(std::to_string(page->number) + ":" + name);
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, answer);
        return TRUE;
    }

    static int sheetCallback(HWND sheet, UINT msg, LPARAM) {
        if (msg != PSCB_INITIALIZED) return 0;
        for (auto& step : s_current->steps) ui::input::run(sheet, [sheet, &step] { step(sheet); });
        return 0;
    }

    INT_PTR run(DWORD flags = 0, UINT start = 0, const char* caption = "Options") {
        PROPSHEETPAGEA psp[3]{};
        const int ids[3] = {kFirst, kSecond, kThird};
        for (int i = 0; i < 3; ++i) {
            psp[i].dwSize = sizeof psp[i];
            psp[i].hInstance = testModule();
            psp[i].pszTemplate = MAKEINTRESOURCEA(ids[i]);
            psp[i].pfnDlgProc = &pageProc;
            psp[i].lParam = reinterpret_cast<LPARAM>(&pages[i]);
        }
        psp[2].dwFlags = PSP_USETITLE;
        psp[2].pszTitle = "Custom";
        PROPSHEETHEADERA h{};
        h.dwSize = sizeof h;
        h.dwFlags = flags | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
        h.hInstance = testModule();
        h.pszCaption = caption;
        h.nPages = 3;
        h.nStartPage = start;
        h.ppsp = psp;
        h.pfnCallback = &sheetCallback;
        return PropertySheetA(&h);
    }

    static ui::WindowState stateOf(HWND hwnd) {
        ui::WindowState s;
        ui::describe(hwnd, s);
        return s;
    }
    static int currentPage(HWND sheet) { return stateOf(PropSheet_GetCurrentPageHwnd(sheet)).id; }
    static int pageWindows(HWND sheet) {
        int n = 0;
        for (HWND h : ui::children(sheet)) n += stateOf(h).kind == ui::WindowKind::Dialog;
        return n;
    }
    static void press(HWND sheet, int id) { EXPECT_TRUE(ui::input::now::click(GetDlgItem(sheet, id))) << id; }
    static bool enabled(HWND sheet, int id) { return IsWindowEnabled(GetDlgItem(sheet, id)) != FALSE; }
    static bool visible(HWND sheet, int id) { return IsWindowVisible(GetDlgItem(sheet, id)) != FALSE; }
    // Which of Back, Next, Finish are visible and enabled: e.g. "B n -" (Back usable, Next
    // disabled, Finish hidden).
    static std::string wizardButtons(HWND sheet) {
        std::string out;
        const char* names[3] = {"b", "n", "f"};
        const int ids[3] = {ID_WIZBACK, ID_WIZNEXT, ID_WIZFINISH};
        for (int i = 0; i < 3; ++i) {
            if (i > 0) out += ' ';
            if (!visible(sheet, ids[i])) out += '-';
            else out += enabled(sheet, ids[i]) ? static_cast<char>(names[i][0] - 32) : names[i][0];
        }
        return out;
    }
    static void setWizardButtons(HWND sheet, DWORD flags) { SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, flags); }

    HeadlessScope ui;
    PageBehaviour pages[3];
    std::vector<std::string> log;
    std::vector<std::function<void(HWND)>> steps;
    static PropertySheetTest* s_current;
};

PropertySheetTest* PropertySheetTest::s_current = nullptr;

TEST_F(PropertySheetTest, TabsInOrderStartPageLazyPagesAndCancel) {
    steps = {[&](HWND sheet) {
        const auto tab = stateOf(GetDlgItem(sheet, kTab));
        ASSERT_EQ(tab.items.size(), 3u);
        EXPECT_EQ(tab.items[0].text, "First");
        EXPECT_EQ(tab.items[1].text, "Second");
        EXPECT_EQ(tab.items[2].text, "Custom") << "PSP_USETITLE wins over the template";
        EXPECT_EQ(tab.selection, 1);
        EXPECT_EQ(currentPage(sheet), kSecond);
        EXPECT_EQ(pageWindows(sheet), 1) << "only the start page is made";
        EXPECT_GE(tab.cx, 240);
        EXPECT_GE(tab.cy, 100) << "as large as the largest page";
        EXPECT_EQ(stateOf(sheet).text, "Options");
        EXPECT_FALSE(enabled(sheet, ID_APPLY_NOW));
        EXPECT_TRUE(ui::input::now::selectItem(GetDlgItem(sheet, kTab), 2));
        EXPECT_EQ(currentPage(sheet), kThird);
        for (HWND h : ui::children(sheet))
            if (stateOf(h).id == kSecond) {
                EXPECT_FALSE(IsWindowVisible(h)) << "the page left is hidden";
            }
        press(sheet, IDCANCEL);
    }};
    EXPECT_EQ(run(0, 1), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"2:set", "2:kill", "3:set", "3:query", "2:reset", "3:reset"}));
}

TEST_F(PropertySheetTest, PagesRefusingToBeLeftOrEnteredKeepTheCurrentPage) {
    pages[0].refuseKill = true;
    pages[1].refuseSet = true;
    steps = {[&](HWND sheet) {
        const HWND tab = GetDlgItem(sheet, kTab);
        ui::input::now::selectItem(tab, 1);
        EXPECT_EQ(currentPage(sheet), kFirst);
        EXPECT_EQ(stateOf(tab).selection, 0);
        EXPECT_EQ(PropSheet_SetCurSel(sheet, nullptr, 2), FALSE);
        pages[0].refuseKill = false;
        ui::input::now::selectItem(tab, 1);
        EXPECT_EQ(currentPage(sheet), kFirst) << "the second page refused";
        EXPECT_EQ(stateOf(tab).selection, 0);
        EXPECT_TRUE(IsWindowVisible(PropSheet_GetCurrentPageHwnd(sheet)));
        EXPECT_EQ(PropSheet_SetCurSel(sheet, nullptr, 2), TRUE);
        EXPECT_EQ(currentPage(sheet), kThird);
        EXPECT_EQ(stateOf(tab).selection, 2);
        ui::input::now::close(sheet);
    }};
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"1:set", "1:kill", "1:kill", "1:kill", "2:set", "1:kill", "3:set",
                                             "3:query", "1:reset", "2:reset", "3:reset"}));
}

TEST_F(PropertySheetTest, ApplyIsEnabledOnlyWhileAPageIsModified) {
    steps = {[&](HWND sheet) {
        const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        EXPECT_FALSE(enabled(sheet, ID_APPLY_NOW));
        ui::input::now::type(GetDlgItem(page, 1000), "x");
        EXPECT_TRUE(enabled(sheet, ID_APPLY_NOW));
        PropSheet_UnChanged(sheet, page);
        EXPECT_FALSE(enabled(sheet, ID_APPLY_NOW));
        ui::input::now::type(GetDlgItem(page, 1000), "y");
        log.clear();
        press(sheet, ID_APPLY_NOW);
        EXPECT_EQ(log, (std::vector<std::string>{"1:kill", "1:apply", "1:set"}));
        EXPECT_FALSE(enabled(sheet, ID_APPLY_NOW));
        EXPECT_TRUE(IsWindowVisible(sheet)) << "Apply keeps the sheet open";
        press(sheet, IDCANCEL);
    }};
    EXPECT_EQ(run(), 1) << "changes were applied before the cancel";
}

TEST_F(PropertySheetTest, OkAppliesEveryPageMadeAndAnInvalidPageKeepsTheSheetOpen) {
    pages[1].applyAnswer = PSNRET_INVALID;
    steps = {[&](HWND sheet) {
                 ui::input::now::selectItem(GetDlgItem(sheet, kTab), 1);
                 ui::input::now::selectItem(GetDlgItem(sheet, kTab), 0);
                 log.clear();
                 press(sheet, IDOK);
                 EXPECT_EQ(log, (std::vector<std::string>{"1:kill", "1:apply-ok", "2:apply-ok", "2:set"}));
                 EXPECT_EQ(currentPage(sheet), kSecond) << "PSNRET_INVALID shows the page that refused";
                 pages[1].applyAnswer = PSNRET_INVALID_NOCHANGEPAGE;
                 pages[0].applyAnswer = PSNRET_NOERROR;
                 ui::input::now::selectItem(GetDlgItem(sheet, kTab), 0);
                 press(sheet, IDOK);
                 EXPECT_EQ(currentPage(sheet), kFirst);
                 pages[1].applyAnswer = PSNRET_NOERROR;
                 log.clear();
                 EXPECT_TRUE(ui::input::now::pressEnter(PropSheet_GetCurrentPageHwnd(sheet))) << "Enter in a page";
             },
             [&](HWND) { ADD_FAILURE() << "the sheet should have ended"; }};
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"1:kill", "1:apply-ok", "2:apply-ok"})) << "the third page was never made";
}

TEST_F(PropertySheetTest, CancelAsksTheCurrentPageFirst) {
    pages[0].refuseCancel = true;
    steps = {[&](HWND sheet) {
        press(sheet, IDCANCEL);
        EXPECT_TRUE(IsWindowVisible(sheet));
        pages[0].refuseCancel = false;
        EXPECT_TRUE(ui::input::now::close(PropSheet_GetCurrentPageHwnd(sheet))) << "Escape in a page";
    }};
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"1:set", "1:query", "1:query", "1:reset"}));
}

TEST_F(PropertySheetTest, TitlesWithAndWithoutPropTitleAndNoApplyButton) {
    steps = {[&](HWND sheet) {
        EXPECT_EQ(stateOf(sheet).text, "Properties for Report.txt");
        EXPECT_EQ(GetDlgItem(sheet, ID_APPLY_NOW), nullptr);
        PropSheet_SetTitle(sheet, 0, "Plain");
        EXPECT_EQ(stateOf(sheet).text, "Plain");
        PropSheet_SetTitle(sheet, PSH_PROPTITLE, "Other");
        EXPECT_EQ(stateOf(sheet).text, "Properties for Other");
        press(sheet, IDOK);
    }};
    EXPECT_EQ(run(PSH_PROPTITLE | PSH_NOAPPLYNOW, 0, "Report.txt"), 1);
}

TEST_F(PropertySheetTest, HeadlessScriptsSelectTabsAndPressTheSheetsButtons) {
    ASSERT_TRUE(ui.frontend.loadScript("dialog 9102 type 1000 \"typed\"\n"
                                       "sheet tab \"Second\"; click 12321; tab 0; click 1\n"));
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"1:set", "1:kill", "2:set", "2:kill", "1:apply", "2:apply", "2:set",
                                             "2:kill", "1:set", "1:kill", "1:apply-ok", "2:apply-ok"}));
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("sheet [Options] shown\n"), std::string::npos) << text;
    EXPECT_NE(text.find("12320 Tab \"\" items=[\"First\"*, \"Second\", \"Custom\"]"), std::string::npos) << text;
    EXPECT_NE(text.find("dialog 9102 [Second] shown"), std::string::npos) << text;
    EXPECT_EQ(text.find("note"), std::string::npos) << text;
}

TEST_F(PropertySheetTest, WizardButtonsFollowTheFlagsAndPagesChooseWhereBackAndNextGo) {
    pages[2].backAnswer = kFirst;
    pages[2].finishAnswer = TRUE;
    steps = {[&](HWND sheet) {
        EXPECT_FALSE(visible(sheet, kTab)) << "a wizard shows no tabs";
        EXPECT_EQ(GetDlgItem(sheet, IDOK), nullptr);
        EXPECT_EQ(GetDlgItem(sheet, ID_APPLY_NOW), nullptr);
        EXPECT_EQ(wizardButtons(sheet), "B N -");
        const auto page = stateOf(PropSheet_GetCurrentPageHwnd(sheet));
        EXPECT_LT(page.y + page.cy, stateOf(GetDlgItem(sheet, ID_WIZNEXT)).y) << "the buttons lie under the page";
        press(sheet, ID_WIZNEXT);
        EXPECT_EQ(currentPage(sheet), kSecond);
        pages[1].nextAnswer = -1;
        press(sheet, ID_WIZNEXT);
        EXPECT_EQ(currentPage(sheet), kSecond) << "-1 stays";
        pages[1].nextAnswer = 0;
        EXPECT_TRUE(ui::input::now::pressEnter(PropSheet_GetCurrentPageHwnd(sheet))) << "Enter presses Next";
        EXPECT_EQ(currentPage(sheet), kThird);
        setWizardButtons(sheet, PSWIZB_BACK | PSWIZB_DISABLEDFINISH);
        EXPECT_EQ(wizardButtons(sheet), "B - f") << "Finish takes Next's place";
        EXPECT_EQ(stateOf(GetDlgItem(sheet, ID_WIZFINISH)).x, stateOf(GetDlgItem(sheet, ID_WIZNEXT)).x);
        log.clear();
        ui::input::now::pressEnter(sheet);
        EXPECT_TRUE(log.empty()) << "a disabled Finish is not pressed";
        setWizardButtons(sheet, PSWIZB_FINISH);
        EXPECT_EQ(wizardButtons(sheet), "b - F");
        ui::input::now::pressEnter(sheet);
        EXPECT_TRUE(IsWindowVisible(sheet)) << "a page refusing Finish keeps the wizard open";
        setWizardButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT);
        press(sheet, ID_WIZBACK);
        EXPECT_EQ(currentPage(sheet), kFirst) << "the page named by PSN_WIZBACK";
        PropSheet_SetFinishText(sheet, "&Close");
        EXPECT_EQ(wizardButtons(sheet), "- - F");
        EXPECT_EQ(stateOf(GetDlgItem(sheet, ID_WIZFINISH)).text, "&Close");
        SetWindowTextA(sheet, "Step 1 of 3");
        EXPECT_EQ(stateOf(sheet).text, "Step 1 of 3");
        log.clear();
        press(sheet, ID_WIZFINISH);
    }};
    EXPECT_EQ(run(PSH_WIZARD), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"1:finish"})) << "Finish applies nothing and resets nothing";
}

TEST_F(PropertySheetTest, WizardSkipsRefusingPagesAndCancelReachesEveryPageMade) {
    pages[1].refuseSet = true;
    steps = {[&](HWND sheet) {
        press(sheet, ID_WIZNEXT);
        EXPECT_EQ(currentPage(sheet), kThird) << "a page refusing PSN_SETACTIVE is skipped";
        pages[1].refuseSet = false;
        press(sheet, ID_WIZBACK);
        EXPECT_EQ(currentPage(sheet), kSecond);
        pages[1].refuseKill = true;
        press(sheet, ID_WIZNEXT);
        EXPECT_EQ(currentPage(sheet), kSecond) << "PSN_KILLACTIVE refusing keeps the page";
        EXPECT_TRUE(ui::input::now::close(sheet)) << "Escape";
    }};
    EXPECT_EQ(run(PSH_WIZARD), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"1:set", "1:next", "1:kill", "2:set", "3:set", "3:back", "3:kill",
                                             "2:set", "2:next", "2:kill", "2:query", "1:reset", "2:reset",
                                             "3:reset"}));
}

TEST(PropertySheetA, RefusesWhatItCannotShow) {
    PROPSHEETHEADERA h{};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_MODELESS;
    EXPECT_EQ(PropertySheetA(&h), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    PROPSHEETPAGEA psp{};
    psp.dwSize = sizeof psp;
    psp.hInstance = testModule();
    psp.pszTemplate = MAKEINTRESOURCEA(9999);  // not registered
    h.dwFlags = PSH_PROPSHEETPAGE;
    h.nPages = 1;
    h.ppsp = &psp;
    EXPECT_EQ(PropertySheetA(&h), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
}  // namespace vlt::uitest
