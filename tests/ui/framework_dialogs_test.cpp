// The framework's dialogs over the runtime: data exchange and its message, subclassed
// controls and reflected notifications, pages and sheets, string resources.
#include <string>
#include <vector>

#include "ui/framework_dialogs.h"
#include "ui/state.h"
#include "ui_support.h"
#include "win32/prsht.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

using ui::ControlKind;

constexpr int kExchange = 9201, kAlpha = 9211, kBeta = 9212;

void registerTemplates() {
    ui::DialogTemplate t;
    t.resourceId = kExchange;
    t.caption = "Exchange";
    t.cx = 200;
    t.cy = 100;
    t.controls = {control(1000, ControlKind::Edit, "", WS_TABSTOP), control(1001, ControlKind::Edit, "", WS_TABSTOP),
                  control(1002, ControlKind::CheckBox, "Check", WS_TABSTOP),
                  control(1003, ControlKind::PushButton, "Reflect", WS_TABSTOP),
                  control(IDOK, ControlKind::DefPushButton, "OK", WS_TABSTOP),
                  control(IDCANCEL, ControlKind::PushButton, "Cancel", WS_TABSTOP)};
    ui::registerDialog(testModule(), t);
    for (auto [id, caption] : {std::pair{kAlpha, "Alpha"}, std::pair{kBeta, "Beta"}}) {
        ui::DialogTemplate p;
        p.resourceId = id;
        p.caption = caption;
        p.cx = 150;
        p.cy = 80;
        p.style = WS_CHILD | WS_CAPTION;
        p.controls = {control(1000, ControlKind::Edit, "", WS_TABSTOP)};
        ui::registerDialog(testModule(), p);
    }
}

// A control that handles its own clicks (reflection) and sees its messages first.
class ReflectingButton : public ui::CWnd {
public:
    int clicks = 0;
    int setTexts = 0;

protected:
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) override {
        if (msg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
        ++clicks;
        *result = 0;
        return TRUE;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SETTEXT) ++setTexts;
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

class ExchangeDialog : public ui::CDialog {
public:
    ExchangeDialog() : CDialog(kExchange) {}
    std::string name = "initial";
    UINT number = 7;
    int check = BST_UNCHECKED;
    ReflectingButton button;
    std::vector<int> commands;

protected:
    void DoDataExchange(ui::CDataExchange* dx) override {
        ui::DDX_Text(dx, 1000, name);
        ui::DDX_Text(dx, 1001, number);
        ui::DDX_Check(dx, 1002, check);
        ui::DDX_Control(dx, 1003, button);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == BN_CLICKED) commands.push_back(LOWORD(wParam));
        return CDialog::OnCommand(wParam, lParam);
    }
};

class FrameworkDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        registerTemplates();
        ui.frontend.setWatchdog(std::chrono::milliseconds(5000));
    }
    HeadlessScope ui;
    ui::CWinApp app{"TestApp", testModule()};
};

TEST_F(FrameworkDialogs, DataExchangeLoadsSavesAndRefusesBadNumbers) {
    ASSERT_TRUE(ui.frontend.loadScript("dialog 9201 type 1000 \"typed\"; type 1001 \"12x\"; click 1; type 1001 \" 42 \"; "
                                       "click 1002; click 1003; click 1\n"));
    ExchangeDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.name, "typed");
    EXPECT_EQ(dialog.number, 42u);
    EXPECT_EQ(dialog.check, BST_CHECKED);
    EXPECT_EQ(dialog.button.clicks, 1) << "the button's click is reflected to it";
    EXPECT_EQ(dialog.commands, (std::vector<int>{IDOK, 1002, IDOK})) << "and the dialog does not see it";
    const auto boxes = ui.frontend.messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please enter a positive integer.");
    EXPECT_EQ(boxes[0].caption, "TestApp");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("1000 Edit \"initial\""), std::string::npos) << "OnInitDialog loads the fields\n" << text;
    EXPECT_NE(text.find("1001 Edit \"7\""), std::string::npos) << text;
}

// Parses each text in one run of a dialog.
class NumberDialog : public ui::CDialog {
public:
    NumberDialog() : CDialog(kExchange) {}
    struct Case {
        const char* text;
        bool ok;
        UINT value;
    };
    std::vector<Case> cases;
    UINT number = 99;

protected:
    void DoDataExchange(ui::CDataExchange* dx) override { ui::DDX_Text(dx, 1001, number); }
    BOOL OnInitDialog() override {
        for (const auto& c : cases) {
            number = 99;
            SetDlgItemText(1001, c.text);
            EXPECT_EQ(UpdateData(TRUE), c.ok ? TRUE : FALSE) << '"' << c.text << '"';
            EXPECT_EQ(number, c.ok ? c.value : 99u) << '"' << c.text << '"';
            if (!c.ok) {
                EXPECT_EQ(GetFocus(), GetDlgItem(1001)) << "the bad field has the focus";
            }
        }
        EndDialog(IDOK);
        return TRUE;
    }
};

TEST_F(FrameworkDialogs, UnsignedNumbers) {
    NumberDialog dialog;
    dialog.cases = {{"0", true, 0},          {"4294967295", true, 4294967295u}, {"\t5 ", true, 5},
                    {"", false, 0},          {"-1", false, 0},                  {"4294967296", false, 0},
                    {"1 2", false, 0},       {"+3", false, 0},                  {"0x10", false, 0}};
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(ui.frontend.messageBoxes().size(), 6u);
}

class TextPage : public ui::CPropertyPage {
public:
    explicit TextPage(UINT id) : CPropertyPage(id) {}
    std::string text;
    int applies = 0;
    int resets = 0;
    bool refuseApply = false;

protected:
    void DoDataExchange(ui::CDataExchange* dx) override { ui::DDX_Text(dx, 1000, text); }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == EN_CHANGE) SetModified();
        return CPropertyPage::OnCommand(wParam, lParam);
    }
    BOOL OnApply() override {
        ++applies;
        return !refuseApply;
    }
    void OnReset() override { ++resets; }
};

class RenamingSheet : public ui::CPropertySheet {
public:
    using CPropertySheet::CPropertySheet;
    int inits = 0;
    ui::CPropertyPage* activeAtInit = nullptr;
    ui::WindowState centred;

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CPropertySheet::OnInitDialog();
        ++inits;
        activeAtInit = GetActivePage();
        CenterWindow();
        ui::describe(m_hWnd, centred);
        SetTitle("Renamed");
        return result;
    }
};

TEST_F(FrameworkDialogs, SheetOfPagesAppliesThroughThePages) {
    ui::registerString(testModule(), 57347, "Vaultine Properties.");
    ui::AfxSetResourceHandle(testModule());
    TextPage alpha(kAlpha), beta(kBeta);
    alpha.text = "start";
    RenamingSheet sheet(57347U);
    EXPECT_EQ(sheet.m_strCaption, "Vaultine Properties.");
    sheet.AddPage(&alpha);
    sheet.AddPage(&beta);
    EXPECT_EQ(sheet.GetPageCount(), 2);
    EXPECT_TRUE(sheet.SetActivePage(1));
    EXPECT_EQ(sheet.GetActivePage(), &beta);
    ASSERT_TRUE(ui.frontend.loadScript("dialog 9211 type 1000 \"hello\"\n"
                                       "sheet tab \"Alpha\"; click 12321; tab 1; click 1\n"));
    EXPECT_EQ(sheet.DoModal(), IDOK);
    ui::AfxSetResourceHandle(nullptr);
    EXPECT_EQ(sheet.inits, 1);
    EXPECT_EQ(sheet.activeAtInit, &beta) << "the sheet initialises once its start page is there";
    // The 1920 x 1080 screen in the default font's dialog units is 1280 x 664.
    EXPECT_EQ(sheet.centred.x, (1280 - sheet.centred.cx) / 2);
    EXPECT_EQ(sheet.centred.y, (664 - sheet.centred.cy) / 2);
    EXPECT_EQ(alpha.text, "hello") << "leaving the page saved its field";
    EXPECT_EQ(alpha.applies, 2);
    EXPECT_EQ(beta.applies, 2);
    EXPECT_EQ(alpha.resets + beta.resets, 0);
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("sheet [Renamed] shown"), std::string::npos) << text;
    EXPECT_NE(text.find("items=[\"Alpha\", \"Beta\"*]"), std::string::npos) << text;
    EXPECT_EQ(text.find("note"), std::string::npos) << text;
}

TEST_F(FrameworkDialogs, CancelResetsThePagesMadeAndARefusedApplyKeepsTheSheet) {
    TextPage alpha(kAlpha), beta(kBeta);
    alpha.refuseApply = true;
    ui::CPropertySheet sheet("Plain");
    sheet.AddPage(&alpha);
    sheet.AddPage(&beta);
    sheet.SetTitle("Doc", PSH_PROPTITLE);
    ASSERT_TRUE(ui.frontend.loadScript("sheet click 1; click 2\n"));
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(alpha.applies, 1);
    EXPECT_EQ(alpha.resets, 1);
    EXPECT_EQ(beta.resets, 0) << "never made";
    EXPECT_NE(ui.frontend.transcriptText().find("sheet [Properties for Doc] shown"), std::string::npos);
}

// A wizard page: sets the buttons and the sheet's title on arrival, refuses Finish once.
class StepPage : public TextPage {
public:
    StepPage(UINT id, DWORD flags, const char* caption) : TextPage(id), buttons(flags), title(caption) {}
    DWORD buttons;
    const char* title;
    LRESULT nextAnswer = 0;
    int finishes = 0;

protected:
    BOOL OnSetActive() override {
        auto* sheet = static_cast<ui::CPropertySheet*>(GetParent());
        sheet->SetWizardButtons(buttons);
        sheet->SetWindowText(title);
        return TextPage::OnSetActive();
    }
    LRESULT OnWizardNext() override { return nextAnswer; }
    BOOL OnWizardFinish() override { return ++finishes > 1; }
};

TEST_F(FrameworkDialogs, WizardPagesSetButtonsAndTitlesAndAnswerNextAndFinish) {
    StepPage alpha(kAlpha, PSWIZB_NEXT, "Step 1 of 2"), beta(kBeta, PSWIZB_BACK | PSWIZB_FINISH, "Step 2 of 2");
    ui::CPropertySheet sheet("Wizard");
    sheet.AddPage(&alpha);
    sheet.AddPage(&beta);
    sheet.SetWizardMode();
    ASSERT_TRUE(ui.frontend.loadScript("dialog 9212 type 1000 \"typed\"\n"
                                       "sheet click 12324; click 12325; click 12325\n"));
    EXPECT_EQ(sheet.DoModal(), ID_WIZFINISH);
    EXPECT_EQ(beta.finishes, 2) << "the first Finish was refused";
    EXPECT_EQ(beta.text, "") << "Finish leaves reading the fields to the page";
    EXPECT_EQ(alpha.resets + beta.resets, 0);
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("sheet [Step 1 of 2] shown\n  12320 Tab \"\" hidden"), std::string::npos) << text;
    EXPECT_NE(text.find("12323 PushButton \"< &Back\" disabled\n  12324 DefPushButton \"&Next >\"\n"
                        "  12325 PushButton \"Finish\" hidden\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("sheet [Step 2 of 2] closed"), std::string::npos) << text;
    EXPECT_NE(text.find("12325 DefPushButton \"Finish\" focused"), std::string::npos) << text;
}

TEST_F(FrameworkDialogs, CancelledWizardResetsEveryPageMade) {
    StepPage alpha(kAlpha, PSWIZB_NEXT, "One"), beta(kBeta, PSWIZB_BACK, "Two");
    ui::CPropertySheet sheet("Wizard");
    sheet.AddPage(&alpha);
    sheet.AddPage(&beta);
    sheet.SetWizardMode();
    ASSERT_TRUE(ui.frontend.loadScript("sheet click 12324; click 12323; click 2\n"));
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(alpha.resets, 1);
    EXPECT_EQ(beta.resets, 1);
}

// Posts three messages to itself and a control; eats the first two before dispatch.
class FilterDialog : public ui::CDialog {
public:
    FilterDialog() : CDialog(kExchange) {}
    std::vector<UINT> filtered, handled;

    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message < WM_APP || msg->message > WM_APP + 2) return FALSE;
        filtered.push_back(msg->message);
        return msg->message != WM_APP + 2;
    }

protected:
    BOOL OnInitDialog() override {
        PostMessage(WM_APP);
        PostMessageA(GetDlgItem(1000), WM_APP + 1, 0, 0);
        PostMessage(WM_APP + 2);
        return TRUE;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg >= WM_APP && msg <= WM_APP + 2) {
            handled.push_back(msg);
            EndDialog(IDOK);
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

TEST_F(FrameworkDialogs, ModalLoopsOfferMessagesToPreTranslateMessage) {
    FilterDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.filtered, (std::vector<UINT>{WM_APP, WM_APP + 1, WM_APP + 2})) << "a child's message too";
    EXPECT_EQ(dialog.handled, (std::vector<UINT>{WM_APP + 2}));
}

TEST(LoadString, CopiesWhatFitsAndReportsMissingStrings) {
    ui::registerString(testModule(), 4000, "Hello");
    char buffer[4] = "xx";
    EXPECT_EQ(LoadStringA(testModule(), 4000, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "Hel");
    EXPECT_EQ(LoadStringA(testModule(), 4001, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
}  // namespace vlt::uitest
