// Dialogs in the terminal: a password prompt, lists to choose from and a progress dialog with
// Ctrl-C, shown through the window runtime with the terminal front end. Answers come from
// scripts instead of the terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <deque>
#include <thread>

#include "frontends/tty/tty_frontend.h"
#include "support/property_sheet.h"
#include "ui/resources.h"
#include "ui/state.h"
#include "win32/commctrl.h"
#include "win32/prsht.h"
#include "win32/winuser.h"

namespace vlt::frontends {
namespace {

HINSTANCE testModule() { return ui::moduleOf(reinterpret_cast<const void*>(&testModule)); }

ui::DialogTemplate passwordTemplate() {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = 8130;
    t.cx = 228;
    t.cy = 65;
    t.style = DS_MODALFRAME | DS_CENTER | WS_POPUP;
    t.controls = {
        {-1, ControlKind::GroupBox, "Enter VLT Password", 7, 4, 214, 54, 0, 0, 0},
        {-1, ControlKind::Static, "Password:", 42, 22, 34, 8, 0, 0, 0},
        {1000, ControlKind::Edit, "", 80, 19, 134, 14, ES_PASSWORD | WS_TABSTOP, 0, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 110, 38, 50, 14, WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 164, 38, 50, 14, WS_TABSTOP, 0, 0},
    };
    return t;
}

ui::DialogTemplate listsTemplate() {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = 8141;
    t.caption = "Grand File To";
    t.cx = 210;
    t.cy = 232;
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD list = LVS_LIST | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING | WS_TABSTOP;
    t.controls = {
        {1003, ControlKind::GroupBox, "Certificate List", 7, 7, 196, 196, 0, 0, 0},
        {-1, ControlKind::Static, "Personal people", 40, 20, 150, 8, 0, 0, 0},
        {1001, ControlKind::ListView, "", 14, 40, 182, 60, list, 0, 0},
        {1004, ControlKind::Separator, "", 14, 106, 182, 1, SS_SUNKEN, 0, 0},
        {-1, ControlKind::Static, "People of this computer", 40, 112, 150, 8, 0, 0, 0},
        {1002, ControlKind::ListView, "", 14, 130, 182, 60, list, 0, 0},
        {1000, ControlKind::DefPushButton, "&Lock", 98, 210, 50, 14, WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 153, 210, 50, 14, WS_TABSTOP, 0, 0},
    };
    return t;
}

ui::DialogTemplate progressTemplate() {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = 8020;
    t.caption = "Encrypt Data ...";
    t.cx = 250;
    t.cy = 75;
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {102, ControlKind::Static, "Commencing Operation", 7, 32, 236, 8, 0, 0, 0},
        {104, ControlKind::ProgressBar, "", 7, 43, 236, 9, 0, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 193, 56, 50, 14, WS_TABSTOP, 0, 0},
    };
    return t;
}

// What the dialog procedures saw.
struct Seen {
    std::string password;
    int emptyOks = 0;
    int refusals = 0;
    std::string accepted = "right";  // the password procedure ends only on this one, "" for any
    int chosenList = 0;
    std::string chosenName;
    bool bothSelected = false;
    bool refuseSystemList = false;
};
Seen* g_seen = nullptr;

INT_PTR passwordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
    if (LOWORD(wParam) == IDOK) {
        char buffer[100] = {};
        if (GetDlgItemTextA(dialog, 1000, buffer, sizeof buffer) == 0) {
            ++g_seen->emptyOks;
            return TRUE;
        }
        g_seen->password = buffer;
        if (!g_seen->accepted.empty() && g_seen->password != g_seen->accepted) {
            ++g_seen->refusals;  // a dialog that stays open after the answer
            return TRUE;
        }
        EndDialog(dialog, IDOK);
    }
    return TRUE;
}

void fill(HWND list, std::initializer_list<const char*> names) {
    int i = 0;
    for (const char* name : names) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = i++;
        item.pszText = const_cast<char*>(name);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

std::string selectedText(HWND list) {
    const auto index = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (index < 0) return {};
    char text[201] = {};
    LVITEMA item{};
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

INT_PTR listsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        fill(GetDlgItem(dialog, 1001), {"alice", "bob"});
        fill(GetDlgItem(dialog, 1002), {"carol"});
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
    if (LOWORD(wParam) == 1000) {
        const std::string system = selectedText(GetDlgItem(dialog, 1002));
        const std::string personal = selectedText(GetDlgItem(dialog, 1001));
        g_seen->bothSelected = g_seen->bothSelected || (!system.empty() && !personal.empty());
        if (!system.empty() && g_seen->refuseSystemList) {
            ++g_seen->refusals;
            return TRUE;
        }
        if (system.empty() && personal.empty()) {
            ++g_seen->refusals;
            return TRUE;
        }
        g_seen->chosenList = system.empty() ? 1001 : 1002;
        g_seen->chosenName = system.empty() ? personal : system;
        EndDialog(dialog, 1);
    }
    return TRUE;
}

class TtyDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ui::registerDialog(testModule(), passwordTemplate());
        ui::registerDialog(testModule(), listsTemplate());
        ui::registerDialog(testModule(), progressTemplate());
        g_seen = &seen;
        out = std::tmpfile();
        ASSERT_NE(out, nullptr);
    }
    void TearDown() override {
        ui::setFrontend(nullptr);
        tty.reset();
        g_seen = nullptr;
        std::fclose(out);
    }
    void start(TtyOptions options) {
        ui::setFrontend(nullptr);
        tty = std::make_unique<TtyFrontend>(std::move(options), out);
        ui::setFrontend(tty.get());
    }
    // Scripted terminal: hidden lines and answer lines, in order.
    void script(TtyOptions& options) {
        options.interactive = true;
        options.readHidden = [this](const std::string& prompt) -> Result<HiddenInput> {
            prompts.push_back(prompt);
            if (hidden.empty()) return HiddenInput{"", HiddenInput::End::EndOfInput};
            auto next = hidden.front();
            hidden.pop_front();
            return next;
        };
        options.readLine = [this]() -> std::optional<std::string> {
            if (lines.empty()) return std::nullopt;
            auto next = lines.front();
            lines.pop_front();
            return next;
        };
    }
    std::string output() const {
        std::string text;
        std::rewind(out);
        char buffer[512];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0) text.append(buffer, n);
        return text;
    }
    INT_PTR show(int id, DLGPROC proc) { return DialogBoxParamA(testModule(), MAKEINTRESOURCEA(id), nullptr, proc, 0); }

    Seen seen;
    std::FILE* out = nullptr;
    std::unique_ptr<TtyFrontend> tty;
    std::deque<HiddenInput> hidden;
    std::deque<std::string> lines;
    std::vector<std::string> prompts;
};

TEST_F(TtyDialogs, PasswordFromStdinAnswersThePrompt) {
    TtyOptions options;
    options.password = "p\xC3\xA4ssword";  // UTF-8 from the terminal
    start(options);
    seen.accepted.clear();
    EXPECT_EQ(show(8130, passwordProc), IDOK);
    EXPECT_EQ(seen.password, "p\xE4ssword");  // the ANSI code page, as the suite stores it
}

TEST_F(TtyDialogs, PresetThatLeavesTheDialogOpenIsNotRetried) {
    TtyOptions options;
    options.password = "wrong";
    start(options);
    EXPECT_EQ(show(8130, passwordProc), IDCANCEL);
    EXPECT_EQ(seen.refusals, 1);

    options.password = "";
    start(options);
    EXPECT_EQ(show(8130, passwordProc), IDCANCEL);
    EXPECT_EQ(seen.emptyOks, 1);
}

TEST_F(TtyDialogs, WithoutAPersonOrPresetThePromptIsCancelled) {
    start(TtyOptions{});
    EXPECT_EQ(show(8130, passwordProc), IDCANCEL);
    EXPECT_NE(output().find("--password-stdin"), std::string::npos);
}

TEST_F(TtyDialogs, PasswordAskedWithoutEchoUntilTheDialogTakesIt) {
    TtyOptions options;
    script(options);
    start(options);
    hidden = {{"", HiddenInput::End::Line}, {"wrong", HiddenInput::End::Line}, {"right", HiddenInput::End::Line}};
    EXPECT_EQ(show(8130, passwordProc), IDOK);
    EXPECT_EQ(seen.password, "right");
    EXPECT_EQ(seen.refusals, 1);   // "wrong" reached the dialog, which stayed open
    EXPECT_EQ(seen.emptyOks, 0);   // the empty line never did
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_EQ(prompts.front(), "Password: ");
    const std::string text = output();
    EXPECT_NE(text.find("Enter VLT Password"), std::string::npos);
    EXPECT_EQ(text.find("right"), std::string::npos);
}

TEST_F(TtyDialogs, EndOfInputOrInterruptCancelsThePrompt) {
    for (const auto end : {HiddenInput::End::EndOfInput, HiddenInput::End::Interrupted}) {
        TtyOptions options;
        script(options);
        start(options);
        hidden = {{"typed", end}};
        EXPECT_EQ(show(8130, passwordProc), IDCANCEL);
        EXPECT_TRUE(seen.password.empty());
    }
}

TEST_F(TtyDialogs, ListsAreNumberedAndTheChoiceSelected) {
    TtyOptions options;
    script(options);
    start(options);
    lines = {"x", "9", "3"};  // not a number, out of range, then carol
    EXPECT_EQ(show(8141, listsProc), 1);
    EXPECT_EQ(seen.chosenList, 1002);
    EXPECT_EQ(seen.chosenName, "carol");
    EXPECT_TRUE(lines.empty());
    const std::string text = output();
    EXPECT_NE(text.find("Grand File To\nCertificate List:\nPersonal people\n  1. alice\n  2. bob\n"),
              std::string::npos);
    EXPECT_NE(text.find("People of this computer\n  3. carol\n"), std::string::npos);
}

TEST_F(TtyDialogs, AskedAgainWithOneSelectionWhenTheDialogStaysOpen) {
    TtyOptions options;
    script(options);
    start(options);
    seen.refuseSystemList = true;
    lines = {"3", "2"};  // carol is refused; then bob, and carol's selection is gone
    EXPECT_EQ(show(8141, listsProc), 1);
    EXPECT_EQ(seen.refusals, 1);
    EXPECT_EQ(seen.chosenList, 1001);
    EXPECT_EQ(seen.chosenName, "bob");
    EXPECT_FALSE(seen.bothSelected);
}

TEST_F(TtyDialogs, EmptyAnswerOrNobodyToAskCancelsTheChoice) {
    TtyOptions options;
    script(options);
    start(options);
    lines = {""};
    EXPECT_EQ(show(8141, listsProc), IDCANCEL);

    start(TtyOptions{});
    EXPECT_EQ(show(8141, listsProc), IDCANCEL);
    EXPECT_NE(output().find("3. carol"), std::string::npos);  // still shown
}

// A dialog that asks for a name, as the applet's import does.
INT_PTR nameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return message == WM_INITDIALOG;
    if (LOWORD(wParam) == IDOK) {
        char buffer[100] = {};
        GetDlgItemTextA(dialog, 1000, buffer, sizeof buffer);
        g_seen->chosenName = buffer;
    }
    if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
    return TRUE;
}

TEST_F(TtyDialogs, NameTypedIntoAFormThenOkOrCancelled) {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = 8150;
    t.caption = "New Name";
    t.cx = 186;
    t.cy = 60;
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {-1, ControlKind::Static, "Type a new Name here:", 7, 7, 172, 8, 0, 0, 0},
        {1000, ControlKind::Edit, "", 7, 18, 172, 14, ES_AUTOHSCROLL | WS_TABSTOP, 0, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 75, 39, 50, 14, WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 129, 39, 50, 14, WS_TABSTOP, 0, 0},
    };
    ui::registerDialog(testModule(), t);
    const struct {
        bool interactive;
        std::deque<std::string> lines;
        INT_PTR result;
        const char* name;
    } cases[] = {
        {true, {"J\xC3\xBCrgen"}, IDOK, "J\xFCrgen"},  // the edit holds the ANSI code page
        {true, {""}, IDCANCEL, ""},
        {false, {"unread"}, IDCANCEL, ""},
    };
    for (const auto& c : cases) {
        TtyOptions options;
        script(options);
        options.interactive = c.interactive;
        lines = c.lines;
        seen.chosenName.clear();
        start(options);
        EXPECT_EQ(show(8150, nameProc), c.result) << c.name;
        EXPECT_EQ(seen.chosenName, c.name);
    }
    const std::string text = output();
    EXPECT_NE(text.find("== New Name ==\nType a new Name here: (empty to cancel): "), std::string::npos) << text;
    EXPECT_NE(text.find("Nobody to ask: cancelled."), std::string::npos) << text;
}

// A card: texts and buttons but nothing to type. Its buttons are offered, so that its modal
// loop is never left waiting for an answer the terminal cannot give.
INT_PTR endWithCommandProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return message == WM_INITDIALOG;
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
}

void registerCard() {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = 8151;
    t.cx = 186;
    t.cy = 60;
    t.style = WS_POPUP;
    t.controls = {
        {-1, ControlKind::Static, "Name: Zoe", 7, 7, 172, 8, 0, 0, 0},
        {1001, ControlKind::PushButton, "Export Certificate", 7, 39, 70, 14, WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 129, 39, 50, 14, WS_TABSTOP, 0, 0},
    };
    ui::registerDialog(testModule(), t);
}

TEST_F(TtyDialogs, CardOffersItsButtons) {
    registerCard();
    const struct {
        std::deque<std::string> lines;
        INT_PTR result;
    } cases[] = {{{"1"}, 1001}, {{"2"}, IDCANCEL}, {{""}, IDCANCEL}};
    for (const auto& c : cases) {
        TtyOptions options;
        script(options);
        lines = c.lines;
        start(options);
        EXPECT_EQ(show(8151, endWithCommandProc), c.result) << c.lines.front();
    }
    EXPECT_NE(output().find("   Name: Zoe\n  1. Export Certificate\n  2. Cancel\n  cancel\n"), std::string::npos)
        << output();
}

// A card opened from a dialog that stays enabled (a sheet's page owns the card, not the sheet):
// the card's own loop asks the card, not the dialog under it.
INT_PTR openCardProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return message == WM_INITDIALOG;
    const INT_PTR card = LOWORD(wParam) == 1001
                             ? DialogBoxParamA(testModule(), MAKEINTRESOURCEA(8151), nullptr, endWithCommandProc, 0)
                             : 0;
    EndDialog(dialog, 100 * LOWORD(wParam) + card);
    return TRUE;
}

TEST_F(TtyDialogs, NewestDialogIsAskedFirst) {
    registerCard();
    TtyOptions options;
    script(options);
    lines = {"1", "1"};  // the outer's Export opens the card; the card's Export ends it
    start(options);
    EXPECT_EQ(show(8151, openCardProc), 100 * 1001 + 1001) << output();
}

std::thread g_worker;  // joined by the test: it waits in the front end, which the test then deletes

// A chooser that, like the grant dialog, ends itself and then runs a modal dialog of its own
// (the progress of the lock) before its procedure returns.
INT_PTR endThenWorkProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG && lParam == 1) {
        // the nested dialog is ended from another thread after a while, as a worker ends it
        g_worker = std::thread([dialog] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            SendMessageA(dialog, WM_USER + 100, 0, 0);
        });
        return TRUE;
    }
    if (message == WM_USER + 100) return EndDialog(dialog, 1);
    if (message == WM_COMMAND && LOWORD(wParam) == 1000) {
        EndDialog(dialog, 1);
        DialogBoxParamA(testModule(), MAKEINTRESOURCEA(8020), nullptr, endThenWorkProc, 1);
        return TRUE;
    }
    return listsProc(dialog, message, wParam, lParam);
}

TEST_F(TtyDialogs, AChoiceThatEndedTheDialogIsNotAskedAgain) {
    TtyOptions options;
    script(options);
    lines = {"1", "2"};  // only the first may be read
    int reads = 0;
    options.readLine = [&]() -> std::optional<std::string> {
        if (lines.empty()) return std::nullopt;
        ++reads;
        auto next = lines.front();
        lines.pop_front();
        return next;
    };
    start(options);
    EXPECT_EQ(show(8141, endThenWorkProc), 1);
    ASSERT_TRUE(g_worker.joinable());
    g_worker.join();
    EXPECT_EQ(reads, 1);
    const std::string text = output();
    EXPECT_EQ(text.find("1. alice"), text.rfind("1. alice")) << text;  // the list shown once
}

TEST_F(TtyDialogs, QuestionsTakeYesNoAndTheButtonsWordsAndSaySo) {
    const struct {
        UINT style;
        std::vector<std::string> typed;
        int answer;
    } cases[] = {
        {MB_YESNO, {"Y"}, IDYES},
        {MB_YESNO, {" No "}, IDNO},
        {MB_YESNO | MB_DEFBUTTON2, {""}, IDNO},
        {MB_OKCANCEL, {"yes"}, IDOK},
        {MB_OKCANCEL, {"n"}, IDCANCEL},
        {MB_OKCANCEL, {"OK"}, IDOK},
        {MB_YESNOCANCEL, {"maybe", "C"}, IDCANCEL},
        {MB_ABORTRETRYIGNORE, {"y", "retry"}, IDRETRY},  // no yes among them
    };
    for (const auto& c : cases) {
        TtyOptions options;
        script(options);
        start(options);
        lines.assign(c.typed.begin(), c.typed.end());
        EXPECT_EQ(tty->messageBox({nullptr, "Replace it?", "Question", c.style}), c.answer) << c.typed.front();
        EXPECT_TRUE(lines.empty()) << c.typed.front();
    }
    const std::string text = output();
    EXPECT_NE(text.find("Question: Replace it?\nAnswer yes or no (y/n, Enter for no): "), std::string::npos) << text;
    EXPECT_NE(text.find("Answer ok or cancel (y/n, Enter for ok): "), std::string::npos) << text;
    EXPECT_NE(text.find("Answer yes, no or cancel (y/n/c, Enter for yes): "), std::string::npos) << text;
}

// ---- progress and Ctrl-C ------------------------------------------------------------------

struct ProgressRun {
    std::thread worker;
    std::atomic<bool> cancel{false};
    std::atomic<bool> handlerWhileShown{false};
    std::atomic<bool> sawCancel{false};
};
ProgressRun* g_run = nullptr;

bool sigintIsDefault() {
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

INT_PTR progressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            g_run->worker = std::thread([dialog, run = g_run] {
                HWND bar = GetDlgItem(dialog, 104);
                SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
                SendMessageA(bar, PBM_SETPOS, 30, 0);
                SetWindowTextA(GetDlgItem(dialog, 102), "/home/user/report.doc");
                run->handlerWhileShown = !sigintIsDefault();
                if (run->handlerWhileShown) raise(SIGINT);  // Ctrl-C
                const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (!run->cancel && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                run->sawCancel = run->cancel.load();
                SendMessageA(dialog, WM_USER + 100, 0, 0);
            });
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) g_run->cancel = true;
            return TRUE;
        case WM_USER + 100: EndDialog(dialog, 1); return TRUE;
        default: return FALSE;
    }
}

TEST_F(TtyDialogs, CtrlCPressesCancelOfTheProgressDialog) {
    ASSERT_TRUE(sigintIsDefault());
    start(TtyOptions{});
    ProgressRun run;
    g_run = &run;
    EXPECT_EQ(show(8020, progressProc), 1);
    if (run.worker.joinable()) run.worker.join();
    g_run = nullptr;
    EXPECT_TRUE(run.handlerWhileShown);
    EXPECT_TRUE(run.sawCancel);
    EXPECT_TRUE(sigintIsDefault());  // only while the dialog was shown
}

// ---- property sheets ------------------------------------------------------------------------

struct SheetSeen {
    std::string name;
    int check = -1;
    int pick = -1;
    int applies = 0;
};
SheetSeen* g_sheet = nullptr;

INT_PTR sheetPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        for (const char* text : {"RC2  [40]", "RC4  [128]"}) SendDlgItemMessageA(page, 201, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) != 0)
        SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
        char text[64] = {};
        if (GetDlgItemTextA(page, 100, text, sizeof text) > 0) g_sheet->name = text;
        if (GetDlgItem(page, 200)) {
            g_sheet->check = static_cast<int>(SendDlgItemMessageA(page, 200, BM_GETCHECK, 0, 0));
            g_sheet->pick = static_cast<int>(SendDlgItemMessageA(page, 201, CB_GETCURSEL, 0, 0));
        }
        ++g_sheet->applies;
    }
    return FALSE;
}

TEST_F(TtyDialogs, SheetShowsPagesAndTheCurrentPagesControlsAsChoices) {
    using ui::ControlKind;
    ui::DialogTemplate name;
    name.resourceId = 8301;
    name.caption = "Name";
    name.cx = 200;
    name.cy = 80;
    name.style = WS_CHILD;
    name.controls = {{-1, ControlKind::Static, "Every agent needs a name.", 7, 2, 180, 8, 0, 0, 0},
                     {-1, ControlKind::Static, "Name:", 7, 12, 40, 8, 0, 0, 0},
                     {100, ControlKind::Edit, "", 50, 10, 120, 14, WS_TABSTOP, 0, 0}};
    ui::DialogTemplate options = name;
    options.resourceId = 8302;
    options.caption = "Options";
    options.controls = {{200, ControlKind::CheckBox, "Delete after", 7, 10, 100, 10, WS_TABSTOP, 0, 0},
                        {-1, ControlKind::Static, "Encryption:", 7, 30, 40, 8, 0, 0, 0},
                        {201, ControlKind::ComboBox, "", 50, 28, 120, 60, CBS_DROPDOWNLIST, 0, 0}};
    ui::registerDialog(testModule(), name);
    ui::registerDialog(testModule(), options);
    SheetSeen sheetSeen;
    g_sheet = &sheetSeen;

    TtyOptions o;
    script(o);
    lines = {"1", "Ann", "p2", "1", "2", "2", "apply", "ok"};
    start(std::move(o));
    EXPECT_EQ(test::showPropertySheet(testModule(), "Two Pages", 0, 8301, 2, sheetPageProc), 1);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(sheetSeen.name, "Ann");
    EXPECT_EQ(sheetSeen.check, BST_CHECKED);
    EXPECT_EQ(sheetSeen.pick, 1);
    EXPECT_EQ(sheetSeen.applies, 4);  // Apply, then OK, each to both pages made

    const std::string shown = output();
    EXPECT_NE(shown.find("== Two Pages ==\nPages: p1. Name*, p2. Options\n-- Name --\n   Every agent needs a name.\n"
                         "   Name:\n  1. Name: \"\"\n  pN: another page; ok; cancel\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Pages: p1. Name, p2. Options*\n-- Options --\n  1. [x] Delete after\n"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("  2. Encryption: RC4  [128]\n  pN: another page; ok; apply; cancel\n"), std::string::npos)
        << shown;
}

// Wizard pages: the first allows Next, the second Back and Finish; typing on the second
// renames Finish to "&Close".
INT_PTR wizardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND sheet = GetParent(page);
    if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) PropSheet_SetFinishText(sheet, "&Close");
    if (message != WM_NOTIFY || reinterpret_cast<NMHDR*>(lParam)->code != PSN_SETACTIVE) return FALSE;
    const bool first = GetDlgItem(page, 100) == nullptr;
    SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, first ? PSWIZB_NEXT : PSWIZB_BACK | PSWIZB_FINISH);
    SetWindowTextA(sheet, first ? "Create. [Step 1 of 2]" : "Create. [Step 2 of 2]");
    return FALSE;
}

TEST_F(TtyDialogs, WizardWalksItsPagesWithBackNextAndFinish) {
    using ui::ControlKind;
    ui::DialogTemplate welcome;
    welcome.resourceId = 8311;
    welcome.cx = 200;
    welcome.cy = 80;
    welcome.style = WS_CHILD;
    welcome.controls = {{-1, ControlKind::Static, "Every agent needs a profile.", 7, 2, 180, 8, 0, 0, 0}};
    ui::DialogTemplate name = welcome;
    name.resourceId = 8312;
    name.controls = {{-1, ControlKind::Static, "Name:", 7, 12, 40, 8, 0, 0, 0},
                     {100, ControlKind::Edit, "", 50, 10, 120, 14, WS_TABSTOP, 0, 0}};
    ui::registerDialog(testModule(), welcome);
    ui::registerDialog(testModule(), name);

    TtyOptions o;
    script(o);
    lines = {"back", "next", "back", "next", "1", "Bob", "finish"};
    start(std::move(o));
    EXPECT_EQ(test::showPropertySheet(testModule(), "Wizard", PSH_WIZARD, 8311, 2, wizardPageProc), 1);
    EXPECT_TRUE(lines.empty());

    const std::string shown = output();
    EXPECT_NE(shown.find("== Create. [Step 1 of 2] ==\n   Every agent needs a profile.\n  next; cancel\n"
                         "Choice: Choose a number, back, next, finish or cancel.\n"),
              std::string::npos)
        << "a disabled Back is not offered\n"
        << shown;
    EXPECT_NE(shown.find("== Create. [Step 2 of 2] ==\n   Name:\n  1. Name: \"\"\n  back; finish; cancel\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("  1. Name: \"Bob\"\n  finish (Close); cancel\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Pages:"), std::string::npos) << shown;
}

}  // namespace
}  // namespace vlt::frontends
