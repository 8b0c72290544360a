// Details a user sees on a desktop: a message box is as wide as its caption needs, the save
// dialog's columns show their contents whole, and the shell's menu opens at the pointer.
#include <gtest/gtest.h>

#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdlib>

#include "frontends/qt/qt_frontend.h"
#include "hosts/shell/shell_host.h"
#include "qt_support.h"
#include "registry/hives.h"
#include "support/sandbox.h"

namespace vlt::testing::qt {
namespace {

// What a title bar needs beside its text at least: the window's icon and three buttons.
constexpr int kTitleBarButtons = 100;

class DesktopDetails : public ::testing::Test {
protected:
    frontends::QtFrontend frontend;
};

TEST_F(DesktopDetails, MessageBoxIsWideEnoughForItsCaption) {
    for (const char* caption : {"VLT Emergency Report", "Certificate Import Error.", "VLT Status Report."}) {
        int width = 0;
        int needed = 0;
        auto timer = poll([&] {
            auto* box = findTopLevel<QMessageBox>();
            if (!box) return false;
            QFont bold = box->font();
            bold.setBold(true);
            needed = QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + kTitleBarButtons;
            width = box->width();
            box->close();
            return true;
        });
        EXPECT_EQ(frontend.messageBox({nullptr, "Done.", caption, MB_OK}), IDOK);
        EXPECT_GE(width, needed) << caption;
    }
}

TEST_F(DesktopDetails, SaveDialogColumnsFitTheirContents) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath("Quarterly figures of the northern region, second draft.Vtb");
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(123456, 'x'));
    file.close();

    std::string problem = "no dialog";
    auto timer = poll(
        [&] {
            auto* dialog = findTopLevel<QFileDialog>();
            if (!dialog) return false;
            auto* view = dialog->findChild<QTreeView*>("treeView");
            if (!view || !view->model() || view->model()->rowCount(view->rootIndex()) < 1) return false;
            // fitted once the folder is read
            problem.clear();
            const QAbstractItemView* items = view;  // QTreeView hides the width of a column's contents
            for (int c = 0; c < view->header()->count(); ++c)
                if (view->header()->sectionSize(c) < items->sizeHintForColumn(c))
                    problem = "column " + std::to_string(c) + " cuts its contents";
            // the dialog grows until every column is in view, or it is as wide as the screen
            if (view->header()->length() > view->viewport()->width() &&
                dialog->width() < dialog->screen()->availableGeometry().width())
                problem += " columns out of view";
            if (!problem.empty()) return false;
            dialog->reject();
            return true;
        },
        [] {
            if (auto* dialog = findTopLevel<QFileDialog>()) dialog->reject();
        });
    ui::FileDialogRequest request;
    request.initialDir = dir.path().toStdString();
    request.filters = {{"Backup Files (*.Vtb)", "*.Vtb"}};
    frontend.saveDialog(request);
    EXPECT_EQ(problem, "");
}

TEST_F(DesktopDetails, ShellMenuOpensAtThePointer) {
    test::Sandbox box;
    registry::resetHives();
    setenv("VLT_SYSTEM_DIR", (std::string(VLT_BINARY_DIR) + "/shellext").c_str(), 1);
    const std::string path = box.path("memo.txt");
    test::writeFile(path, std::string("text"));
    ui::setFrontend(&frontend);
    const QPoint pointer(321, 234);
    QCursor::setPos(pointer);
    QPoint shownAt(-1, -1);
    auto timer = poll([&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return false;
        shownAt = menu->pos();
        menu->close();
        return true;
    });
    {
        host::ShellHost shell;
        ASSERT_TRUE(shell.load({path}));
        EXPECT_FALSE(shell.popup()) << "dismissed";
    }
    ui::setFrontend(nullptr);
    registry::resetHives();
    EXPECT_EQ(shownAt, pointer);
}

}  // namespace
}  // namespace vlt::testing::qt
