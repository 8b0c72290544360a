// The window runtime with the Qt front end: dialogs from templates shown as Qt windows, used
// through Qt, and what the dialog procedures see.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "frontends/qt/qt_frontend.h"
#include "qt/qt_support.h"
#include "ui/loop.h"
#include "ui/state.h"
#include "win32/commctrl.h"
#include "win32/prsht.h"

namespace vlt::testing::qt {
namespace {

constexpr UINT kCloseProgress = WM_USER + 100;
constexpr int kClip = 7148;
constexpr int kPerson = 7144;

ui::Image solid(int size, std::uint32_t argb) {
    ui::Image image;
    image.width = image.height = size;
    image.pixels.assign(static_cast<size_t>(size) * static_cast<size_t>(size), argb);
    return image;
}

class QtFrontendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::registerDialog(testModule(), passwordTemplate(130));
        ui::registerDialog(testModule(), progressTemplate(1020));
        ui::AnimationClip clip;
        clip.frameMs = 20;
        clip.frames = {solid(16, 0xFFFF0000u), solid(16, 0xFF00FF00u), solid(16, 0xFF0000FFu)};
        ui::registerAnimation(testModule(), kClip, clip);
        ui::registerIcon(testModule(), kPerson, solid(16, 0xFF804020u));
        ui::setFrontend(&frontend);
    }
    void TearDown() override { ui::setFrontend(nullptr); }

    frontends::QtFrontend frontend;
};

// ---- the password prompt -----------------------------------------------------------------

struct PasswordRun {
    HWND dialog = nullptr;
    std::string password;
    int okWithEmpty = 0;
};
PasswordRun* g_password = nullptr;

INT_PTR passwordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: g_password->dialog = dialog; return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                char buffer[100] = {};
                if (GetDlgItemTextA(dialog, 1000, buffer, sizeof buffer) == 0) {
                    ++g_password->okWithEmpty;  // stays open
                    return TRUE;
                }
                g_password->password = buffer;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}

// Ends a dialog the test could not finish, so that a failure does not hang the run.
std::function<void()> endDialog(HWND* dialog) {
    return [dialog] {
        if (*dialog) EndDialog(*dialog, -2);
    };
}

TEST_F(QtFrontendTest, PasswordTypedAndConfirmedThroughQt) {
    PasswordRun run;
    g_password = &run;
    int phase = 0;
    bool focusInEdit = false;
    bool stayedOpen = false;
    auto timer = poll(
        [&] {
            auto* dialog = findTopLevel<QDialog>("vlt_dialog_130");
            if (!dialog) return false;
            auto* edit = dialog->findChild<QLineEdit*>("vlt_control_1000");
            auto* ok = dialog->findChild<QPushButton*>("vlt_control_1");
            if (!edit || !ok) return false;
            switch (phase) {
                case 0:
                    // WM_INITDIALOG returned TRUE: the first tab stop has the focus
                    focusInEdit = dialog->focusWidget() == edit;
                    QTest::mouseClick(ok, Qt::LeftButton);  // empty: the procedure keeps it open
                    phase = 1;
                    return false;
                case 1:
                    if (run.okWithEmpty == 0) return false;
                    stayedOpen = dialog->isVisible();
                    typeText(edit, QString::fromUtf8("s3cret p\xC3\xA4ss"));
                    QTest::mouseClick(ok, Qt::LeftButton);
                    return true;
            }
            return true;
        },
        endDialog(&run.dialog));
    const INT_PTR result = DialogBoxParamA(testModule(), MAKEINTRESOURCEA(130), nullptr, passwordProc, 0);
    g_password = nullptr;
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(focusInEdit);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(run.okWithEmpty, 1);
    EXPECT_EQ(run.password, "s3cret p\xE4ss");  // Windows-1252, as the suite reads it
    frontend.sync();
    EXPECT_EQ(findTopLevel<QDialog>("vlt_dialog_130"), nullptr);
    EXPECT_EQ(frontend.widgetFor(run.dialog), nullptr);
}

TEST_F(QtFrontendTest, EnterAndEscapeEndThePasswordPrompt) {
    for (const bool enter : {true, false}) {
        PasswordRun run;
        g_password = &run;
        auto timer = poll(
            [&] {
                auto* dialog = findTopLevel<QDialog>("vlt_dialog_130");
                auto* edit = dialog ? dialog->findChild<QLineEdit*>("vlt_control_1000") : nullptr;
                if (!edit) return false;
                QTest::keyClicks(edit, "pw");
                QTest::keyClick(edit, enter ? Qt::Key_Return : Qt::Key_Escape);
                return true;
            },
            endDialog(&run.dialog));
        const INT_PTR result = DialogBoxParamA(testModule(), MAKEINTRESOURCEA(130), nullptr, passwordProc, 0);
        g_password = nullptr;
        EXPECT_EQ(result, enter ? IDOK : IDCANCEL);
        EXPECT_EQ(run.password, enter ? "pw" : "");
    }
}

// ---- progress from a worker thread -------------------------------------------------------

struct ProgressRun {
    HWND dialog = nullptr;
    std::thread worker;
    std::atomic<bool> cancel{false};
    std::atomic<bool> sawCancel{false};
    std::atomic<int> boxAnswer{0};
    bool askFirst = false;
};
ProgressRun* g_progress = nullptr;

void progressWorker(HWND dialog, ProgressRun* run) {
    if (run->askFirst) {
        // a worker's message box while the dialog's thread is in its modal loop
        run->boxAnswer = MessageBoxA(dialog, "Decrypt Error\nCheck whether you are using the  correct profile",
                                     "VLT Emergency Report", MB_ICONWARNING | MB_SETFOREGROUND);
    }
    HWND bar = GetDlgItem(dialog, 104);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 10));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    for (int i = 0; i < 7; ++i) SendMessageA(bar, PBM_STEPIT, 0, 0);
    SetWindowTextA(GetDlgItem(dialog, 102), "/home/user/report.doc");
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!run->cancel && !run->askFirst && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    run->sawCancel = run->cancel.load();
    SendMessageA(dialog, kCloseProgress, 0, 0);
}

INT_PTR progressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            g_progress->dialog = dialog;
            HWND animation = GetDlgItem(dialog, 106);
            SendMessageA(animation, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(kClip)));
            SendMessageA(animation, ACM_PLAY, 0, -1);
            g_progress->worker = std::thread(progressWorker, dialog, g_progress);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) g_progress->cancel = true;  // the worker ends the dialog
            return TRUE;
        case kCloseProgress: EndDialog(dialog, 1); return TRUE;
        default: return FALSE;
    }
}

TEST_F(QtFrontendTest, ProgressFromAWorkerAndCancelThroughQt) {
    ProgressRun run;
    g_progress = &run;
    bool sawProgress = false;
    QString title;
    std::set<qint64> frames;
    auto timer = poll(
        [&] {
            auto* dialog = findTopLevel<QDialog>("vlt_dialog_1020");
            if (!dialog) return false;
            auto* bar = dialog->findChild<QProgressBar*>("vlt_control_104");
            auto* text = dialog->findChild<QLabel*>("vlt_control_102");
            auto* animation = dialog->findChild<QLabel*>("vlt_control_106");
            auto* cancel = dialog->findChild<QPushButton*>("vlt_control_2");
            if (!bar || !text || !animation || !cancel) return false;
            if (!animation->pixmap().isNull()) frames.insert(animation->pixmap().cacheKey());
            if (bar->maximum() != 10 || bar->value() != 7 || text->text() != "/home/user/report.doc") return false;
            if (frames.size() < 2) return false;  // the clip plays
            sawProgress = true;
            title = dialog->windowTitle();
            QTest::mouseClick(cancel, Qt::LeftButton);
            return true;
        },
        [&] { run.cancel = true; });
    const INT_PTR result = DialogBoxParamA(testModule(), MAKEINTRESOURCEA(1020), nullptr, progressProc, 0);
    if (run.worker.joinable()) run.worker.join();
    g_progress = nullptr;
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(title, "Encrypt Data ...");
    EXPECT_TRUE(run.sawCancel);
}

TEST_F(QtFrontendTest, WorkersMessageBoxDuringTheModalLoop) {
    ProgressRun run;
    run.askFirst = true;
    g_progress = &run;
    QString caption;
    auto timer = poll(
        [&] {
            QMessageBox* box = findTopLevel<QMessageBox>();
            if (!box) return false;
            caption = box->windowTitle();
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            // owned by the progress dialog: Qt puts it over that window
            EXPECT_EQ(box->parentWidget(), findTopLevel<QDialog>("vlt_dialog_1020"));
            box->button(QMessageBox::Ok)->click();
            return true;
        },
        [&] {
            if (QMessageBox* box = findTopLevel<QMessageBox>()) box->button(QMessageBox::Ok)->click();
        });
    const INT_PTR result = DialogBoxParamA(testModule(), MAKEINTRESOURCEA(1020), nullptr, progressProc, 0);
    if (run.worker.joinable()) run.worker.join();
    g_progress = nullptr;
    EXPECT_EQ(result, 1);
    EXPECT_EQ(caption, "VLT Emergency Report");
    EXPECT_EQ(run.boxAnswer, IDOK);
}

// ---- a modeless dialog changed by its program and by the user ----------------------------

INT_PTR quietProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

ui::DialogTemplate settingsTemplate() {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = 7200;
    t.caption = "Settings";
    t.cx = 200;
    t.cy = 150;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {10, ControlKind::Static, "Label", 5, 5, 100, 8, 0, 0, 0},
        {11, ControlKind::Edit, "", 5, 15, 100, 12, WS_TABSTOP, WS_EX_CLIENTEDGE, 0},
        {12, ControlKind::CheckBox, "Delete after locking", 5, 30, 100, 10, WS_TABSTOP, 0, 0},
        {15, ControlKind::ListView, "", 5, 45, 150, 40, LVS_LIST | LVS_SINGLESEL | WS_TABSTOP, 0, 0},
        {17, ControlKind::ComboBox, "", 5, 90, 100, 50, CBS_DROPDOWNLIST | WS_TABSTOP, 0, 0},
        {18, ControlKind::PushButton, "Apply", 140, 130, 50, 14, WS_TABSTOP, 0, 0},
    };
    return t;
}

TEST_F(QtFrontendTest, ProgramChangesAndUserActionsMeetInTheRuntime) {
    ui::registerDialog(testModule(), settingsTemplate());
    HWND dialog = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(7200), nullptr, quietProc, 0);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    frontend.sync();
    auto* view = qobject_cast<QDialog*>(frontend.widgetFor(dialog));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->windowTitle(), "Settings");

    // the program changes its controls
    SetDlgItemTextA(dialog, 10, "&Timeout in minutes");
    EnableWindow(GetDlgItem(dialog, 18), FALSE);
    CheckDlgButton(dialog, 12, BST_CHECKED);
    HWND list = GetDlgItem(dialog, 15);
    HIMAGELIST images = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR32, 1, 1);
    ImageList_AddIcon(images, LoadIconA(testModule(), MAKEINTRESOURCEA(kPerson)));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    const char* const people[] = {"alice", "bob", "carol"};
    for (int i = 0; i < 3; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = const_cast<char*>(people[i]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    HWND combo = GetDlgItem(dialog, 17);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("RC2 40"));
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("RC2 128"));
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    frontend.sync();

    EXPECT_EQ(view->findChild<QLabel*>("vlt_control_10")->text(), "Timeout in minutes");
    EXPECT_FALSE(view->findChild<QPushButton*>("vlt_control_18")->isEnabled());
    auto* check = view->findChild<QCheckBox*>("vlt_control_12");
    EXPECT_TRUE(check->isChecked());
    auto* qlist = view->findChild<QListWidget*>("vlt_control_15");
    ASSERT_EQ(qlist->count(), 3);
    EXPECT_EQ(qlist->item(1)->text(), "bob");
    const QImage icon = qlist->item(1)->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(icon.pixel(8, 8), 0xFF804020u);  // the image list's picture
    EXPECT_EQ(view->findChild<QComboBox*>("vlt_control_17")->currentText(), "RC2 128");

    // the user acts through Qt; the runtime handles it in this thread's loop
    QTest::keyClicks(view->findChild<QLineEdit*>("vlt_control_11"), "15");
    QTest::mouseClick(check, Qt::LeftButton);
    QTest::mouseClick(qlist->viewport(), Qt::LeftButton, {}, qlist->visualItemRect(qlist->item(2)).center());
    auto* qcombo = view->findChild<QComboBox*>("vlt_control_17");
    QMetaObject::invokeMethod(qcombo, "activated", Q_ARG(int, 0));
    ui::pumpMessages();
    frontend.sync();

    char text[16] = {};
    GetDlgItemTextA(dialog, 11, text, sizeof text);
    EXPECT_STREQ(text, "15");
    EXPECT_EQ(IsDlgButtonChecked(dialog, 12), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
    EXPECT_TRUE(qlist->item(2)->isSelected());
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(qcombo->currentText(), "RC2 40");

    // a hidden control, then the window closes
    ShowWindow(GetDlgItem(dialog, 10), SW_HIDE);
    frontend.sync();
    EXPECT_TRUE(view->findChild<QLabel*>("vlt_control_10")->isHidden());
    DestroyWindow(dialog);
    frontend.sync();
    EXPECT_EQ(frontend.widgetFor(dialog), nullptr);
    EXPECT_EQ(findTopLevel<QDialog>("vlt_dialog_7200"), nullptr);
    ImageList_Destroy(images);
}

TEST_F(QtFrontendTest, ModalDialogKeepsItsOwnerOutOfReach) {
    ui::registerDialog(testModule(), settingsTemplate());
    HWND owner = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(7200), nullptr, quietProc, 0);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
    frontend.sync();
    QWidget* ownerView = frontend.widgetFor(owner);
    ASSERT_NE(ownerView, nullptr);
    QWidget* ownerClient = ownerView->findChild<QWidget*>("vlt_client");
    ASSERT_NE(ownerClient, nullptr);

    PasswordRun run;
    g_password = &run;
    bool ownerBlocked = false;
    Qt::WindowModality modality = Qt::NonModal;
    auto timer = poll(
        [&] {
            auto* dialog = findTopLevel<QDialog>("vlt_dialog_130");
            if (!dialog) return false;
            ownerBlocked = !ownerClient->isEnabled();
            modality = dialog->windowModality();
            QTest::keyClick(dialog, Qt::Key_Escape);
            return true;
        },
        endDialog(&run.dialog));
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(130), owner, passwordProc, 0), IDCANCEL);
    g_password = nullptr;
    frontend.sync();
    EXPECT_TRUE(ownerBlocked);
    EXPECT_EQ(modality, Qt::WindowModal);
    EXPECT_TRUE(ownerClient->isEnabled());  // EndDialog gave it back
    DestroyWindow(owner);
    frontend.sync();
}

TEST_F(QtFrontendTest, MessageBoxGoesAwayWithItsOwnersWindow) {
    HWND owner = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(130), nullptr, quietProc, 0);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
    std::atomic<bool> done{false};
    std::atomic<int> answer{0};
    std::thread worker([&] {
        answer = MessageBoxA(owner, "Failed to Encrypt File", "Warning!", MB_OKCANCEL | MB_ICONWARNING);
        done = true;
        frontend.wake();
    });
    bool boxWasOwned = false;
    auto timer = poll([&] {
        QMessageBox* box = findTopLevel<QMessageBox>();
        if (!box) return false;
        boxWasOwned = box->parentWidget() == frontend.widgetFor(owner);
        DestroyWindow(owner);  // the window goes while its question is open
        frontend.sync();
        return true;
    });
    frontend.processEvents(std::chrono::steady_clock::now() + std::chrono::seconds(20), [&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(boxWasOwned);
    EXPECT_EQ(answer, IDCANCEL);  // as if Escape had been pressed
    EXPECT_EQ(findTopLevel<QMessageBox>(), nullptr);
}

TEST_F(QtFrontendTest, PicturesOfShownWindows) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HWND progress = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(1020), nullptr, quietProc, 0);
    HWND password = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(130), nullptr, quietProc, 0);
    ASSERT_NE(progress, nullptr);
    ASSERT_NE(password, nullptr);
    ShowWindow(progress, SW_SHOW);
    ShowWindow(password, SW_SHOW);
    const std::string withCaption = dir.filePath("1020.png").toStdString();
    const std::string without = dir.filePath("130.png").toStdString();
    ASSERT_TRUE(frontend.saveImage(progress, withCaption));
    ASSERT_TRUE(frontend.saveImage(password, without));
    const QImage a(QString::fromStdString(withCaption));
    const QImage b(QString::fromStdString(without));
    const QSize client = frontend.widgetFor(progress)->size();
    // a drawn title bar above the client area
    EXPECT_EQ(a.width(), client.width() + 2);
    EXPECT_GT(a.height(), client.height() + 10);
    EXPECT_EQ(b.size(), frontend.widgetFor(password)->size());
    EXPECT_FALSE(frontend.saveImage(reinterpret_cast<HWND>(std::uintptr_t{0x7777}), withCaption));
    DestroyWindow(progress);
    DestroyWindow(password);
    frontend.sync();
}

// ---- a property sheet: its pages are dialogs inside a dialog ---------------------------------

HWND g_sheet = nullptr;

int rememberSheet(HWND sheet, UINT msg, LPARAM) {
    if (msg == PSCB_INITIALIZED) g_sheet = sheet;
    return 0;
}

TEST_F(QtFrontendTest, PropertySheetWithPagesEndsThroughItsOkButton) {
    ui::registerDialog(testModule(), passwordTemplate(9301));
    ui::registerDialog(testModule(), passwordTemplate(9302));
    PROPSHEETPAGEA pages[2]{};
    for (int i = 0; i < 2; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = testModule();
        pages[i].pszTemplate = MAKEINTRESOURCEA(9301 + i);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.pszCaption = "Sheet";
    header.nPages = 2;
    header.ppsp = pages;
    header.pfnCallback = &rememberSheet;
    g_sheet = nullptr;
    bool pageDrawn = false;
    auto timer = poll(
        [&] {
            QWidget* sheet = g_sheet ? frontend.widgetFor(g_sheet) : nullptr;
            auto* ok = sheet ? sheet->findChild<QPushButton*>("vlt_control_1") : nullptr;
            const HWND page = g_sheet ? PropSheet_GetCurrentPageHwnd(g_sheet) : nullptr;
            if (!ok || !page || !frontend.widgetFor(page)) return false;
            pageDrawn = true;
            QTest::mouseClick(ok, Qt::LeftButton);
            return true;
        },
        endDialog(&g_sheet));
    EXPECT_EQ(PropertySheetA(&header), 1);
    EXPECT_TRUE(pageDrawn);
    frontend.sync();
}

}  // namespace
}  // namespace vlt::testing::qt
