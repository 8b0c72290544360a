// The headless front end's dialog scripting: list selection by text and position, double
// clicks, script errors, and the watchdog that ends a dialog nobody closes.
#include <new>
#include <string>

#include "ui_support.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

using frontends::TranscriptEntry;
using ui::ControlKind;

struct GrantRun {
    std::string recipient;
    int store = -1;
    int activations = 0;
};

void fill(HWND list, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.pszText = const_cast<char*>(name);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

std::string selectedText(HWND list) {
    const auto index = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (index < 0) return {};
    char buffer[200] = {};
    LVITEMA item{};
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

INT_PTR grantProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<GrantRun*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, GWLP_USERDATA, lParam);
            fill(GetDlgItem(dlg, 1001), {"Tomas Reyes", "Ada"});
            fill(GetDlgItem(dlg, 1002), {"Zoe"});
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dlg, 2);
                return TRUE;
            }
            if (LOWORD(wParam) == 1000) {
                run->store = 0;
                HWND list = GetDlgItem(dlg, 1002);
                if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
                    run->store = 1;
                    list = GetDlgItem(dlg, 1001);
                    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) return TRUE;
                }
                run->recipient = selectedText(list);
                EndDialog(dlg, 1);
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
            if (hdr->code == NM_DBLCLK) {
                run->recipient = selectedText(hdr->hwndFrom);
                run->store = hdr->idFrom == 1001 ? 1 : 0;
                EndDialog(dlg, 1);
                return TRUE;
            }
            if (hdr->code == LVN_ITEMACTIVATE) {
                ++run->activations;
                LVITEMA clear{};
                clear.stateMask = LVIS_SELECTED;
                SendDlgItemMessageA(dlg, hdr->idFrom == 1001 ? 1002 : 1001, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(&clear));
                return TRUE;
            }
            return FALSE;
        }
        default: return FALSE;
    }
}

void registerGrantDialog() {
    const DWORD listStyle = LVS_LIST | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING | WS_BORDER | WS_TABSTOP;
    ui::DialogTemplate t;
    t.resourceId = 141;
    t.caption = "Grand File To";
    t.cx = 210;
    t.cy = 232;
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {control(1003, ControlKind::GroupBox, "Certificate List"),
                  control(1001, ControlKind::ListView, "", listStyle),
                  control(1002, ControlKind::ListView, "", listStyle),
                  control(1000, ControlKind::DefPushButton, "&Lock", WS_TABSTOP),
                  control(IDCANCEL, ControlKind::PushButton, "Cancel", WS_TABSTOP),
                  control(1004, ControlKind::Separator, "", SS_SUNKEN)};
    ui::registerDialog(testModule(), t);
}

INT_PTR runGrant(GrantRun& run) {
    return DialogBoxParamA(testModule(), MAKEINTRESOURCEA(141), nullptr, grantProc, reinterpret_cast<LPARAM>(&run));
}

// A typed answer is a password as often as not: an action leaves nothing of it when released.
TEST(HeadlessScript, TypedAnswersAreWipedWhenReleased) {
    alignas(frontends::DialogAction) unsigned char storage[sizeof(frontends::DialogAction)];
    auto* action = new (storage) frontends::DialogAction(frontends::DialogAction::type(1000, "hunter2"));
    action->~DialogAction();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(storage), sizeof storage).find("hunter2"), std::string::npos);
}

TEST(HeadlessScript, SelectByTextThenClick) {
    registerGrantDialog();
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.loadScript("# grant\ndialog 141 select 1001 \"Tomas Reyes\"; click 1000\n").ok());
    GrantRun run;
    EXPECT_EQ(runGrant(run), 1);
    EXPECT_EQ(run.recipient, "Tomas Reyes");
    EXPECT_EQ(run.store, 1);
    EXPECT_EQ(run.activations, 0);
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("dialog 141 [Grand File To] shown\n"), std::string::npos) << text;
    // Sorted, focused as the first tab stop when shown; the clicked item selected at the end,
    // when the button clicked has the focus.
    EXPECT_NE(text.find("  1001 ListView \"\" focused items=[\"Ada\", \"Tomas Reyes\"]\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  1001 ListView \"\" items=[\"Ada\", \"Tomas Reyes\"*]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  1000 DefPushButton \"&Lock\" focused\n"), std::string::npos) << text;
    EXPECT_NE(text.find("dialog 141 [Grand File To] closed -> IDOK\n"), std::string::npos) << text;
}

TEST(HeadlessScript, DoubleClickByPositionAndShowingsInOrder) {
    registerGrantDialog();
    HeadlessScope ui;
    ui.frontend.onDialog(141, {frontends::DialogAction::activate(1002, 0)});
    ui.frontend.onDialog(141, {frontends::DialogAction::select(1001, 0), frontends::DialogAction::select(1002, 0),
                               frontends::DialogAction::click(1000)});
    GrantRun first;
    EXPECT_EQ(runGrant(first), 1);
    EXPECT_EQ(first.recipient, "Zoe");
    EXPECT_EQ(first.store, 0);
    EXPECT_EQ(first.activations, 1) << "LVN_ITEMACTIVATE follows NM_DBLCLK even after EndDialog";
    GrantRun second;
    EXPECT_EQ(runGrant(second), 1);
    EXPECT_EQ(second.recipient, "Zoe") << "a selection in the second list wins";
    EXPECT_EQ(second.store, 0);
}

TEST(HeadlessScript, ActionsThatCannotBeDoneAreNoted) {
    registerGrantDialog();
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(141, "select 1001 \"Nobody\"; click 4711; click 1000; cancel").ok());
    GrantRun run;
    EXPECT_EQ(runGrant(run), 2);
    EXPECT_EQ(run.recipient, "");
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("note dialog 141: cannot select 1001 \"Nobody\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("note dialog 141: cannot click 4711\n"), std::string::npos) << text;
    EXPECT_NE(text.find("closed -> IDCANCEL"), std::string::npos) << text;
}

INT_PTR idleProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

TEST(HeadlessScript, WatchdogEndsAnIdleDialog) {
    ui::DialogTemplate t;
    t.resourceId = 9100;
    t.controls = {control(IDOK, ControlKind::DefPushButton, "OK")};
    ui::registerDialog(testModule(), t);
    HeadlessScope ui;
    ui.frontend.setWatchdog(std::chrono::milliseconds(150));
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(9100), nullptr, idleProc, 0), IDCANCEL);
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("note dialog 9100: timeout, ended with IDCANCEL\n"), std::string::npos) << text;
    EXPECT_NE(text.find("dialog 9100 [] closed -> IDCANCEL\n"), std::string::npos) << text;
}

INT_PTR echoProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dlg, GWLP_USERDATA, lParam);
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        GetDlgItemTextA(dlg, 1000, reinterpret_cast<char*>(GetWindowLongPtrA(dlg, GWLP_USERDATA)), 64);
        EndDialog(dlg, IDOK);
        return TRUE;
    }
    return FALSE;
}

TEST(HeadlessScript, QuotedTextsAndSyntaxErrors) {
    ui::DialogTemplate t;
    t.resourceId = 9101;
    t.controls = {control(1000, ControlKind::Edit, "", WS_TABSTOP),
                  control(IDOK, ControlKind::DefPushButton, "OK")};
    ui::registerDialog(testModule(), t);
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(9101, R"(type 1000 "say \"hi\"; now";enter)").ok());
    char typed[64] = {};
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(9101), nullptr, echoProc, reinterpret_cast<LPARAM>(typed)),
              IDOK);
    EXPECT_STREQ(typed, "say \"hi\"; now");

    frontends::HeadlessFrontend other;
    for (const char* bad :
         {"dialog 130 type 1000\n", "dialog x click 1\n", "dialog 130 frobnicate 3\n", "dialog 130 type 1000 \"open\n",
          "dialog 130 click 1 click 2\n", "menu abc\n", "dialog 141 select 1001 Tomas\n", "s3cret\n",
          "dialog 130 \"s3cret\"\n", "dialog 130 s3cret\n"}) {
        const auto r = other.loadScript(std::string("message IDOK\n") + bad);
        ASSERT_FALSE(r.ok()) << bad;
        EXPECT_NE(r.error().message.find("line 2"), std::string::npos) << r.error().message;
        EXPECT_EQ(r.error().message.find("s3cret"), std::string::npos) << "a bad line is echoed: " << r.error().message;
    }
    EXPECT_TRUE(other.loadScript("dialog 1020 cancel-after-steps 3\nmenu none\nmenu 1039\n").ok());
}

}  // namespace
}  // namespace vlt::uitest
