// Message boxes, the save dialog and popup menus of the Qt front end, answered the way a user
// would, from the GUI thread and from worker threads.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <ctime>
#include <fstream>
#include <thread>

#include "frontends/qt/qt_frontend.h"
#include "frontends/qt/standard_dialogs.h"
#include "qt/qt_support.h"
#include "win32/commdlg.h"

namespace vlt::testing::qt {
namespace {

class QtStandardDialogs : public ::testing::Test {
protected:
    frontends::QtFrontend frontend;
};

QMessageBox* openBox() { return findTopLevel<QMessageBox>(); }

std::vector<QMessageBox::StandardButton> buttonsOf(QMessageBox* box) {
    std::vector<QMessageBox::StandardButton> out;
    for (QAbstractButton* b : box->buttons()) out.push_back(box->standardButton(b));
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(QtStandardDialogs, MessageBoxShowsStyleAndReturnsTheButtonClicked) {
    int phase = 0;
    bool escapeIgnored = false;
    auto timer = poll([&] {
        QMessageBox* box = openBox();
        if (!box) return false;
        if (phase == 0) {
            EXPECT_EQ(box->windowTitle(), "VLT Status Report.");
            EXPECT_EQ(box->text(), QString::fromUtf8("Delete r\xC3\xA9sum\xC3\xA9.doc?"));
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));  // MB_DEFBUTTON2
            EXPECT_EQ(buttonsOf(box),
                      (std::vector<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
            // Yes/No has no Cancel: Escape and the close box do nothing, as on Windows
            QTest::keyClick(box, Qt::Key_Escape);
            box->close();
            phase = 1;
            return false;
        }
        escapeIgnored = box->isVisible();
        box->button(QMessageBox::Yes)->click();
        return true;
    });
    const int answer = frontend.messageBox(
        {nullptr, "Delete r\xE9sum\xE9.doc?", "VLT Status Report.", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2});
    EXPECT_TRUE(escapeIgnored);
    EXPECT_EQ(answer, IDYES);
}

TEST_F(QtStandardDialogs, EscapeAnswersCancelOrTheOnlyButton) {
    auto escape = [&](UINT style) {
        auto timer = poll([&] {
            QMessageBox* box = openBox();
            if (!box) return false;
            QTest::keyClick(box, Qt::Key_Escape);
            return true;
        });
        return frontend.messageBox({nullptr, "text", "caption", style});
    };
    EXPECT_EQ(escape(MB_OKCANCEL | MB_ICONWARNING), IDCANCEL);
    EXPECT_EQ(escape(MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(escape(MB_YESNOCANCEL | MB_DEFBUTTON1), IDCANCEL);
    EXPECT_EQ(frontends::qt::escapeButton(MB_ABORTRETRYIGNORE), 0);
    EXPECT_EQ(frontends::qt::escapeButton(MB_RETRYCANCEL), IDCANCEL);
}

TEST_F(QtStandardDialogs, IconsFollowTheStyle) {
    const std::pair<UINT, QMessageBox::Icon> cases[] = {{MB_ICONWARNING, QMessageBox::Warning},
                                                        {MB_ICONERROR, QMessageBox::Critical},
                                                        {MB_ICONINFORMATION, QMessageBox::Information},
                                                        {0, QMessageBox::NoIcon}};
    for (const auto& [style, icon] : cases) {
        QMessageBox::Icon seen = QMessageBox::NoIcon;
        auto timer = poll([&] {
            QMessageBox* box = openBox();
            if (!box) return false;
            seen = box->icon();
            box->button(QMessageBox::Ok)->click();
            return true;
        });
        EXPECT_EQ(frontend.messageBox({nullptr, "text", "caption", style}), IDOK);
        EXPECT_EQ(seen, icon) << style;
    }
}

// A worker shows a message box while the GUI thread waits in the runtime's loop
// (processEvents): the box runs on the GUI thread and the worker gets the answer.
TEST_F(QtStandardDialogs, MessageBoxFromAWorkerWhileTheGuiThreadWaits) {
    std::atomic<int> answer{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        answer = frontend.messageBox({nullptr, "Failed to Open input File", "Warning!", MB_ICONWARNING | MB_SYSTEMMODAL});
        done = true;
        frontend.wake();
    });
    bool onGuiThread = false;
    auto timer = poll([&] {
        QMessageBox* box = openBox();
        if (!box) return false;
        onGuiThread = box->thread() == QApplication::instance()->thread();
        EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);  // MB_SYSTEMMODAL
        box->button(QMessageBox::Ok)->click();
        return true;
    });
    frontend.processEvents(std::chrono::steady_clock::now() + std::chrono::seconds(20), [&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(answer, IDOK);
}

TEST_F(QtStandardDialogs, ProcessEventsReturnsAtTheDeadlineAndOnWake) {
    const auto start = std::chrono::steady_clock::now();
    frontend.processEvents(start + std::chrono::milliseconds(50), [] { return false; });
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

    std::atomic<bool> ready{false};
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ready = true;
        frontend.wake();
    });
    const auto before = std::chrono::steady_clock::now();
    frontend.processEvents(before + std::chrono::seconds(30), [&] { return ready.load(); });
    waker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));

    // another thread waiting is woken the same way
    std::atomic<bool> flag{false};
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        frontend.processEvents(std::chrono::steady_clock::now() + std::chrono::seconds(30), [&] { return flag.load(); });
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    flag = true;
    frontend.wake();
    waiter.join();
    EXPECT_TRUE(returned);
}

TEST_F(QtStandardDialogs, ProcessEventsSleepsOnceQtIsQuitting) {
    // After QCoreApplication::exit Qt runs no more event loops; the wait must still sleep
    // until its deadline or a wake instead of spinning.
    QCoreApplication::exit(0);
    const std::clock_t cpu = std::clock();
    const auto start = std::chrono::steady_clock::now();
    frontend.processEvents(start + std::chrono::milliseconds(300), [] { return false; });
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_LT(cpuMs, 150.0);
    // let Qt run loops again for the tests after this one
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST(QtSaveDialog, FiltersAreTranslated) {
    const auto filters = frontends::qt::nameFilters(
        {{"VLT Backup File (*.Vtb)", "*.Vtb"}, {"Certificates", "*.Vtp;*.cer"}, {"All Files (*.*)", "*.*"}});
    EXPECT_EQ(filters, (QStringList{"VLT Backup File (*.Vtb)", "Certificates (*.Vtp *.cer)", "All Files (*)"}));
}

class QtSaveDialogTest : public QtStandardDialogs {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        std::ofstream(dir.filePath("exists.Vtb").toStdString()) << "old";
    }
    ui::FileDialogRequest request(const std::string& name, DWORD flags) {
        ui::FileDialogRequest r;
        r.title = "Save Profile As";
        r.filters = {{"VLT Backup File (*.Vtb)", "*.Vtb"}};
        r.initialDir = dir.path().toStdString();
        r.initialName = name;
        r.flags = flags;
        return r;
    }
    QTemporaryDir dir;
};

TEST_F(QtSaveDialogTest, AcceptsTheNameInTheInitialFolder) {
    auto timer = poll([&] {
        auto* dialog = findTopLevel<QFileDialog>();
        if (!dialog) return false;
        EXPECT_EQ(dialog->windowTitle(), "Save Profile As");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        EXPECT_EQ(dialog->nameFilters(), QStringList{"VLT Backup File (*.Vtb)"});
        static_cast<QDialog*>(dialog)->accept();  // the Save button
        return true;
    });
    const auto answer = frontend.saveDialog(request("new.Vtb", OFN_OVERWRITEPROMPT));
    ASSERT_TRUE(answer.accepted);
    EXPECT_EQ(QDir(QFileInfo(QString::fromStdString(answer.path)).absolutePath()).canonicalPath(),
              QDir(dir.path()).canonicalPath());
    EXPECT_EQ(QFileInfo(QString::fromStdString(answer.path)).fileName(), "new.Vtb");
}

TEST_F(QtSaveDialogTest, OverwritePromptIsHonoured) {
    // with OFN_OVERWRITEPROMPT an existing name asks; "No" keeps the dialog open
    int phase = 0;
    bool asked = false;
    auto timer = poll([&] {
        auto* dialog = findTopLevel<QFileDialog>();
        if (!dialog) return false;
        if (phase == 0) {
            phase = 1;
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return false;
        }
        if (phase == 1) {
            QMessageBox* question = nullptr;
            for (auto* box : dialog->findChildren<QMessageBox*>())
                if (box->isVisible()) question = box;
            if (!question) return false;
            asked = true;
            question->button(QMessageBox::No)->click();
            phase = 2;
            return false;
        }
        dialog->reject();
        return true;
    });
    EXPECT_FALSE(frontend.saveDialog(request("exists.Vtb", OFN_OVERWRITEPROMPT)).accepted);
    EXPECT_TRUE(asked);

    // without it the existing name is taken at once
    auto again = poll([&] {
        auto* dialog = findTopLevel<QFileDialog>();
        if (!dialog) return false;
        static_cast<QDialog*>(dialog)->accept();  // the Save button
        return true;
    });
    const auto answer = frontend.saveDialog(request("exists.Vtb", 0));
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(QFileInfo(QString::fromStdString(answer.path)).fileName(), "exists.Vtb");
}

TEST_F(QtSaveDialogTest, OpenDialogTakesAnExistingFileOnly) {
    auto timer = poll([&] {
        auto* dialog = findTopLevel<QFileDialog>();
        if (!dialog) return false;
        EXPECT_EQ(dialog->windowTitle(), "Open the VLT profile File.");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->defaultSuffix(), "Vtb");
        dialog->selectFile("exists.Vtb");
        static_cast<QDialog*>(dialog)->accept();
        return true;
    });
    auto r = request("", OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    r.open = true;
    r.title = "Open the VLT profile File.";
    r.defaultExt = "Vtb";
    const auto answer = frontend.openDialog(r);
    ASSERT_TRUE(answer.accepted);
    EXPECT_EQ(QFileInfo(QString::fromStdString(answer.path)).canonicalFilePath(),
              QFileInfo(dir.filePath("exists.Vtb")).canonicalFilePath());
}

std::vector<ui::MenuItem> menuItems() {
    ui::MenuItem lock{10, "&Lock File", false, false, false, {}};
    ui::MenuItem separator{0, "", true, false, false, {}};
    ui::MenuItem grant{11, "&Grand For...", false, true, false, {}};
    ui::MenuItem about{12, "&About VLT", false, false, true, {}};
    ui::MenuItem more{0, "More", false, false, false, {about}};
    return {lock, separator, grant, more};
}

QAction* actionNamed(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

TEST_F(QtStandardDialogs, PopupMenuReturnsTheCommandChosen) {
    auto timer = poll([&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return false;
        const auto actions = menu->actions();
        EXPECT_EQ(actions.size(), 4);
        if (actions.size() == 4) {
            EXPECT_TRUE(actions[1]->isSeparator());
            EXPECT_FALSE(actions[2]->isEnabled());  // MF_GRAYED
            QMenu* sub = actions[3]->menu();
            EXPECT_NE(sub, nullptr);
            if (sub) {
                QAction* about = actionNamed(sub, "&About VLT");
                EXPECT_NE(about, nullptr);
                if (about) {
                    EXPECT_TRUE(about->isChecked());
                    about->trigger();  // an item of the submenu
                    return true;
                }
            }
        }
        menu->close();
        return true;
    });
    EXPECT_EQ(frontend.popupMenu({nullptr, {40, 40}, menuItems()}), 12u);

    auto click = poll([&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return false;
        QAction* lock = actionNamed(menu, "&Lock File");
        menu->setActiveAction(lock);
        QTest::keyClick(menu, Qt::Key_Return);
        return true;
    });
    EXPECT_EQ(frontend.popupMenu({nullptr, {40, 40}, menuItems()}), 10u);

    auto dismiss = poll([&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return false;
        QTest::keyClick(menu, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(frontend.popupMenu({nullptr, {40, 40}, menuItems()}), 0u);
}

}  // namespace
}  // namespace vlt::testing::qt
