// Dialogs from templates driven through the headless front end: the modal loop, the dialog
// procedure's return conventions, owner disabling, notifications and the transcript.
#include <cstring>

#include "ui/state.h"
#include "ui_support.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

using frontends::TranscriptEntry;
using ui::ControlKind;

constexpr int kPasswordDialog = 130;

void registerPasswordDialog() {
    ui::DialogTemplate t;
    t.resourceId = kPasswordDialog;
    t.cx = 228;
    t.cy = 65;
    t.style = DS_MODALFRAME | DS_CENTER | WS_POPUP;
    t.controls = {control(-1, ControlKind::GroupBox, "Enter VLT Password"),
                  control(-1, ControlKind::Static, "Password:"),
                  control(1000, ControlKind::Edit, "", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER),
                  control(IDOK, ControlKind::DefPushButton, "OK", WS_TABSTOP),
                  control(IDCANCEL, ControlKind::PushButton, "Cancel", WS_TABSTOP),
                  control(-1, ControlKind::Icon, "")};
    t.controls.back().iconId = 138;
    ui::registerDialog(testModule(), t);
}

struct PasswordRun {
    char buffer[100] = "untouched";
    int changes = 0;
    int okPresses = 0;
    HWND focusAtInit = nullptr;
};

INT_PTR passwordProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<PasswordRun*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG: SetWindowLongPtrA(dlg, DWLP_USER, lParam); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == 1000 && HIWORD(wParam) == EN_CHANGE) {
                ++run->changes;
                return TRUE;
            }
            if (LOWORD(wParam) == IDOK) {
                ++run->okPresses;
                char typed[100];
                if (SendDlgItemMessageA(dlg, 1000, WM_GETTEXT, sizeof typed, reinterpret_cast<LPARAM>(typed)) != 0) {
                    std::memcpy(run->buffer, typed, sizeof typed);
                    EndDialog(dlg, IDOK);
                }
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}

const TranscriptEntry* find(const std::vector<TranscriptEntry>& t, TranscriptEntry::Kind kind, int id) {
    for (const auto& e : t)
        if (e.kind == kind && e.resourceId == id) return &e;
    return nullptr;
}

const frontends::ControlRecord* controlOf(const TranscriptEntry& e, int id) {
    for (const auto& c : e.controls)
        if (c.id == id) return &c;
    return nullptr;
}

TEST(DialogBox, PasswordDialogAcceptsTypedTextAndIgnoresOkOnEmptyField) {
    registerPasswordDialog();
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(kPasswordDialog, "click 1; type 1000 secret; click 1").ok());
    PasswordRun run;
    const INT_PTR result = DialogBoxParamA(testModule(), MAKEINTRESOURCEA(kPasswordDialog), nullptr, passwordProc,
                                           reinterpret_cast<LPARAM>(&run));
    EXPECT_EQ(result, IDOK);
    EXPECT_STREQ(run.buffer, "secret");
    EXPECT_EQ(run.okPresses, 2);  // the first OK found an empty field and left the dialog open
    EXPECT_EQ(run.changes, 1);

    const auto t = ui.frontend.transcript();
    const auto* shown = find(t, TranscriptEntry::Kind::DialogShown, kPasswordDialog);
    const auto* closed = find(t, TranscriptEntry::Kind::DialogClosed, kPasswordDialog);
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(closed, nullptr);
    ASSERT_EQ(shown->controls.size(), 6u);
    EXPECT_EQ(shown->controls[0].kind, ControlKind::GroupBox);
    EXPECT_EQ(shown->controls[0].text, "Enter VLT Password");
    ASSERT_NE(controlOf(*shown, 1000), nullptr);
    EXPECT_EQ(controlOf(*shown, 1000)->text, "");
    EXPECT_TRUE(controlOf(*shown, 1000)->focused) << "WM_INITDIALOG returned TRUE: focus on the first tab stop";
    EXPECT_EQ(shown->controls[5].iconId, 138);
    EXPECT_EQ(controlOf(*closed, 1000)->text, "******") << "password edits are masked in the transcript";
    EXPECT_EQ(closed->answer, IDOK);
    EXPECT_TRUE(controlOf(*closed, IDOK)->focused);
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("dialog 130 [] shown\n"), std::string::npos) << text;
    EXPECT_NE(text.find("dialog 130 [] closed -> IDOK\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  1000 Edit \"******\"\n"), std::string::npos) << text;
}

TEST(DialogBox, EscapeSendsIdCancelToTheProcedure) {
    registerPasswordDialog();
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(kPasswordDialog, "type 1000 abc; cancel").ok());
    PasswordRun run;
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(kPasswordDialog), nullptr, passwordProc,
                              reinterpret_cast<LPARAM>(&run)),
              IDCANCEL);
    EXPECT_STREQ(run.buffer, "untouched");
}

// A procedure that handles only IDOK: Escape reaches it as WM_COMMAND(IDCANCEL) and, unhandled,
// does nothing.
INT_PTR okOnlyProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* rec = reinterpret_cast<Recorder*>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        return FALSE;
    }
    if (msg == WM_COMMAND) {
        rec->add(received(msg, wParam, lParam));
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dlg, 77);
            return TRUE;
        }
    }
    return FALSE;
}

TEST(DialogBox, UnhandledCancelLeavesTheDialogOpen) {
    ui::DialogTemplate t;
    t.resourceId = 9002;
    t.caption = "Plain";
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {control(IDOK, ControlKind::DefPushButton, "OK", WS_TABSTOP),
                  control(IDCANCEL, ControlKind::PushButton, "Cancel", WS_TABSTOP)};
    ui::registerDialog(testModule(), t);
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(9002, "cancel; enter").ok());
    Recorder rec;
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(9002), nullptr, okOnlyProc, reinterpret_cast<LPARAM>(&rec)),
              77);
    const auto commands = rec.of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].wParam, static_cast<WPARAM>(IDCANCEL));
    EXPECT_NE(commands[0].lParam, 0) << "Escape names the Cancel button";
    EXPECT_EQ(commands[1].wParam, MAKEWPARAM(IDOK, BN_CLICKED)) << "Enter clicks the default button";
    const auto t2 = ui.frontend.transcript();
    const auto* shown = find(t2, TranscriptEntry::Kind::DialogShown, 9002);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->caption, "Plain");
    EXPECT_FALSE(shown->controls[0].focused) << "WM_INITDIALOG returned FALSE: no focus set";
}

TEST(DialogBox, MissingTemplateFails) {
    SetLastError(0);
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(4242), nullptr, okOnlyProc, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(DialogBoxParamA(testModule(), "NAMED", nullptr, okOnlyProc, 0), -1);
    EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kPasswordDialog), nullptr, okOnlyProc, 0), nullptr)
        << "templates are found per module";
}

struct OwnerRun {
    HWND owner = nullptr;
    bool ownerEnabledDuring = true;
    bool ownerEnabledAfterEnd = false;
    HWND parentOfDialog = nullptr;
};

INT_PTR ownerProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<OwnerRun*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dlg, GWLP_USERDATA, lParam);
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        run->ownerEnabledDuring = IsWindowEnabled(run->owner) != FALSE;
        run->parentOfDialog = GetParent(dlg);
        EndDialog(dlg, IDOK);
        run->ownerEnabledAfterEnd = IsWindowEnabled(run->owner) != FALSE;
        return TRUE;
    }
    return FALSE;
}

LRESULT plainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcA(hwnd, msg, wParam, lParam); }

TEST(DialogBox, DisablesItsOwnerWhileModal) {
    ui::DialogTemplate t;
    t.resourceId = 9003;
    t.style = WS_POPUP | WS_CAPTION;
    t.controls = {control(IDOK, ControlKind::DefPushButton, "OK")};
    ui::registerDialog(testModule(), t);
    registerClassOnce("VltTestPlain", plainProc);
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(9003, "click 1").ok());
    HWND owner = CreateWindowExA(0, "VltTestPlain", "Explorer", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 testModule(), nullptr);
    HWND child = CreateWindowExA(0, "Button", "inner", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, owner,
                                 reinterpret_cast<HMENU>(5), testModule(), nullptr);
    ASSERT_NE(child, nullptr);
    OwnerRun run;
    run.owner = owner;
    // Given a child window, the dialog is owned by its top-level window.
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(9003), child, ownerProc, reinterpret_cast<LPARAM>(&run)),
              IDOK);
    EXPECT_FALSE(run.ownerEnabledDuring);
    EXPECT_TRUE(run.ownerEnabledAfterEnd) << "EndDialog gives the owner back at once";
    EXPECT_EQ(run.parentOfDialog, owner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(child)) << "children go with their parent";
}

INT_PTR destroyingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        DestroyWindow(dlg);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

TEST(DialogBox, DestroyedInsteadOfEndedStillGivesTheOwnerBack) {
    ui::DialogTemplate t;
    t.resourceId = 9007;
    t.style = WS_POPUP;
    t.controls = {control(IDOK, ControlKind::DefPushButton, "OK")};
    ui::registerDialog(testModule(), t);
    registerClassOnce("VltTestPlain", plainProc);
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(9007, "click 1").ok());
    HWND owner = CreateWindowExA(0, "VltTestPlain", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(9007), owner, destroyingProc, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(owner));
    const auto t2 = ui.frontend.transcript();
    EXPECT_NE(find(t2, TranscriptEntry::Kind::DialogClosed, 9007), nullptr);
    DestroyWindow(owner);
}

INT_PTR endAtInitProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        EndDialog(dlg, 55);
        return TRUE;
    }
    return FALSE;
}

TEST(DialogBox, EndDialogDuringInitialisationNeverShowsIt) {
    ui::DialogTemplate t;
    t.resourceId = 9004;
    t.controls = {control(IDOK, ControlKind::DefPushButton, "OK")};
    ui::registerDialog(testModule(), t);
    HeadlessScope ui;
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(9004), nullptr, endAtInitProc, 0), 55);
    EXPECT_EQ(find(ui.frontend.transcript(), TranscriptEntry::Kind::DialogShown, 9004), nullptr);
}

INT_PTR quitProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        PostQuitMessage(5);
        return TRUE;
    }
    (void)dlg;
    return msg == WM_INITDIALOG;
}

TEST(DialogBox, QuitEndsTheModalLoopAndStaysQueued) {
    ui::DialogTemplate t;
    t.resourceId = 9005;
    t.controls = {control(IDOK, ControlKind::DefPushButton, "OK")};
    ui::registerDialog(testModule(), t);
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.scriptDialog(9005, "click 1").ok());
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(9005), nullptr, quitProc, 0), 0);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

// ---- Modeless dialogs and the dialog procedure's conventions ------------------------------------

INT_PTR conventionsProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* rec = reinterpret_cast<Recorder*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
    switch (msg) {
        case WM_INITDIALOG: SetWindowLongPtrA(dlg, GWLP_USERDATA, lParam); return 1234;
        case WM_NOTIFY: SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 42); return TRUE;
        case WM_USER + 2: SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 7); return FALSE;  // not handled after all
        case WM_USER + 3: return TRUE;  // handled; DWLP_MSGRESULT was reset to 0 before the call
        case WM_COMMAND: rec->add(received(msg, wParam, lParam)); return TRUE;
        default: return FALSE;
    }
}

class ModelessDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ui::DialogTemplate t;
        t.resourceId = 9006;
        t.caption = "Modeless";
        t.style = WS_POPUP | WS_VISIBLE | WS_CAPTION;
        t.controls = {control(1001, ControlKind::Edit, "start", WS_TABSTOP),
                      control(1002, ControlKind::CheckBox, "&Remember"),
                      control(IDCANCEL, ControlKind::PushButton, "Cancel")};
        ui::registerDialog(testModule(), t);
        dialog = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(9006), nullptr, conventionsProc,
                                    reinterpret_cast<LPARAM>(&rec));
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        if (IsWindow(dialog)) DestroyWindow(dialog);
        ui::pumpMessages();
    }
    HeadlessScope ui;
    Recorder rec;
    HWND dialog = nullptr;
};

TEST_F(ModelessDialog, MessageResultAndDefaultHandling) {
    NMHDR hdr{GetDlgItem(dialog, 1001), 1001, 0};
    EXPECT_EQ(SendMessageA(dialog, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&hdr)), 42);
    EXPECT_EQ(SendMessageA(dialog, WM_USER + 2, 0, 0), 0);
    EXPECT_EQ(SendMessageA(dialog, WM_USER + 3, 0, 0), 0);
    EXPECT_EQ(SendMessageA(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&rec)), 1234)
        << "WM_INITDIALOG answers with the procedure's own value";
    EXPECT_EQ(GetWindowLongPtrA(dialog, 48), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
}

TEST_F(ModelessDialog, CloseBecomesCancelWhileTheCancelButtonIsEnabled) {
    rec.clear();
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    ui::pumpMessages();
    auto commands = rec.of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, static_cast<WPARAM>(IDCANCEL));
    EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lParam), GetDlgItem(dialog, IDCANCEL));
    EXPECT_TRUE(IsWindow(dialog)) << "a dialog is not destroyed by WM_CLOSE";

    rec.clear();
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    ui::pumpMessages();
    EXPECT_TRUE(rec.of(WM_COMMAND).empty());
}

TEST_F(ModelessDialog, ItemsTextChecksAndIds) {
    HWND edit = GetDlgItem(dialog, 1001);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetDlgCtrlID(edit), 1001);
    EXPECT_EQ(GetParent(edit), dialog);
    EXPECT_EQ(GetDlgItem(dialog, 4711), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));

    char buffer[4] = "xyz";
    EXPECT_EQ(GetDlgItemTextA(dialog, 1001, buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "sta") << "cut to the buffer, terminated";
    rec.clear();
    EXPECT_TRUE(SetDlgItemTextA(dialog, 1001, "changed"));
    ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u) << "a single-line edit reports EN_CHANGE for WM_SETTEXT";
    EXPECT_EQ(rec.of(WM_COMMAND)[0].wParam, MAKEWPARAM(1001, EN_CHANGE));
    EXPECT_EQ(GetWindowTextLengthA(edit), 7);

    EXPECT_EQ(IsDlgButtonChecked(dialog, 1002), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_TRUE(CheckDlgButton(dialog, 1002, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1002), static_cast<UINT>(BST_CHECKED));
    EXPECT_FALSE(CheckDlgButton(dialog, 4711, BST_CHECKED));

    ui::WindowState d;
    ASSERT_TRUE(ui::describe(dialog, d));
    EXPECT_EQ(d.kind, ui::WindowKind::Dialog);
    EXPECT_EQ(d.id, 9006);
    EXPECT_EQ(d.className, "#32770");
    EXPECT_FALSE(d.modal);
    EXPECT_EQ(ui::children(dialog).size(), 3u);
}

TEST_F(ModelessDialog, ShownAndClosedWhenDestroyed) {
    DestroyWindow(dialog);
    const auto t = ui.frontend.transcript();
    ASSERT_NE(find(t, TranscriptEntry::Kind::DialogShown, 9006), nullptr) << "WS_VISIBLE in the template shows it";
    ASSERT_NE(find(t, TranscriptEntry::Kind::DialogClosed, 9006), nullptr);
    EXPECT_EQ(find(t, TranscriptEntry::Kind::DialogShown, 9006)->caption, "Modeless");
}

}  // namespace
}  // namespace vlt::uitest
