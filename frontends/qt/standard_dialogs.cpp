#include "frontends/qt/standard_dialogs.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <map>

#include "frontends/qt/qt_text.h"
#include "ui/file_choice.h"
#include "win32/commdlg.h"

namespace vlt::frontends::qt {
namespace {

QMessageBox::StandardButton standardButton(int id) {
    switch (id) {
        case IDOK: return QMessageBox::Ok;
        case IDCANCEL: return QMessageBox::Cancel;
        case IDABORT: return QMessageBox::Abort;
        case IDRETRY: return QMessageBox::Retry;
        case IDIGNORE: return QMessageBox::Ignore;
        case IDYES: return QMessageBox::Yes;
        case IDNO: return QMessageBox::No;
        default: return QMessageBox::NoButton;
    }
}

QMessageBox::Icon boxIcon(UINT style) {
    switch (style & MB_ICONMASK) {
        case MB_ICONERROR: return QMessageBox::Critical;
        case MB_ICONQUESTION: return QMessageBox::Question;
        case MB_ICONWARNING: return QMessageBox::Warning;
        case MB_ICONINFORMATION: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// A dialog made for one question, parented to its owner's window: deleted afterwards, unless
// the owner's window (and with it the dialog) was destroyed while the question was open.
template <typename T>
class Owned {
public:
    explicit Owned(T* object) : m_object(object) {}
    ~Owned() { delete m_object.data(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* operator->() const { return m_object.data(); }
    T* get() const { return m_object.data(); }
    bool alive() const { return !m_object.isNull(); }

private:
    QPointer<T> m_object;
};

// A box without a Cancel button (Yes/No, Abort/Retry/Ignore) cannot be escaped or closed, as
// on Windows; Qt would otherwise pick No or Abort.
class MessageBox final : public QMessageBox {
public:
    MessageBox(QWidget* parent, bool escapable) : QMessageBox(parent), m_escapable(escapable) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!m_escapable && event->key() == Qt::Key_Escape) return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (!m_escapable) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

private:
    bool m_escapable;
};

// Every menu of the tree reports its chosen item to `chosen`.
void addItems(QMenu& menu, const std::vector<ui::MenuItem>& items, const std::function<void(QAction*)>& chosen) {
    QObject::connect(&menu, &QMenu::triggered, &menu, chosen);
    for (const auto& item : items) {
        if (item.separator) {
            menu.addSeparator();
        } else if (!item.submenu.empty()) {
            QMenu* sub = menu.addMenu(fromAnsi(item.text));
            sub->setEnabled(!item.grayed);
            addItems(*sub, item.submenu, chosen);
        } else {
            QAction* action = menu.addAction(fromAnsi(item.text));
            action->setData(item.id);
            action->setEnabled(!item.grayed);
            if (item.checked) {
                action->setCheckable(true);
                action->setChecked(true);
            }
        }
    }
}

// Room a window manager takes beside the title: the window's icon and its buttons.
constexpr int kTitleBarExtras = 120;

// Qt sizes a message box by its text alone, and the window manager cuts a longer caption
// ("VLT Emergency Report" over "Done."): the box is made at least as wide as its title bar
// needs, measured in a bold font as most title bars draw it.
void fitCaption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) return;
    QFont bold = box.font();
    bold.setBold(true);
    const int wanted = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + kTitleBarExtras;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

// Qt's own file dialog (where the desktop offers none) gives its list view fixed columns that
// cut names, sizes and dates: each column takes its contents' width once a folder is read, and
// the dialog grows (up to the screen's width) until every column is in view.
void fitColumns(QFileDialog& dialog) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (model == nullptr) return;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, [&dialog] {
        for (QTreeView* view : dialog.findChildren<QTreeView*>()) {
            view->header()->resizeSections(QHeaderView::ResizeToContents);
            const int missing = view->header()->length() - view->viewport()->width();
            if (!view->isVisible() || missing <= 0) continue;
            const int widest = dialog.screen() ? dialog.screen()->availableGeometry().width() : dialog.width();
            dialog.resize(std::min(dialog.width() + missing, std::max(widest, dialog.width())), dialog.height());
        }
    });
}

}  // namespace

int escapeButton(UINT style) {
    const auto list = ui::buttons(style);
    for (int id : list)
        if (id == IDCANCEL) return IDCANCEL;
    return list.size() == 1 ? list.front() : 0;
}

int runMessageBox(const ui::MessageBoxRequest& request, QWidget* owner) {
    const int escape = escapeButton(request.style);
    Owned<MessageBox> box(new MessageBox(owner, escape != 0));
    box->setWindowTitle(fromAnsi(request.caption));
    box->setTextFormat(Qt::PlainText);
    box->setText(fromAnsi(request.text));
    box->setIcon(boxIcon(request.style));
    fitCaption(*box.get());

    std::map<QAbstractButton*, int> ids;
    const int fallback = ui::defaultButton(request.style);
    for (int id : ui::buttons(request.style)) {
        QPushButton* button = box->addButton(standardButton(id));
        ids[button] = id;
        if (id == fallback) box->setDefaultButton(button);
        if (id == escape) box->setEscapeButton(button);
    }
    box->setWindowModality(Qt::ApplicationModal);  // before the flags: it resets them
    if (escape == 0) box->setWindowFlag(Qt::WindowCloseButtonHint, false);
    if (request.style & (MB_SYSTEMMODAL | MB_TOPMOST)) box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (request.style & (MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST)) {
        box->show();
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) {
            box->raise();
            box->activateWindow();
        }
    }
    box->exec();
    // gone with its owner's window meanwhile: as if Escape, else the default button
    if (box.alive()) {
        auto it = ids.find(box->clickedButton());
        if (it != ids.end()) return it->second;
    }
    return escape != 0 ? escape : fallback;
}

QStringList nameFilters(const std::vector<std::pair<std::string, std::string>>& filters) {
    QStringList out;
    for (const auto& [description, pattern] : filters) {
        QStringList patterns;
        for (const QString& p : fromAnsi(pattern).split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = p.trimmed();
            patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);  // "*.*" is every file
        }
        QString text = fromAnsi(description).trimmed();
        // Qt reads the patterns from the last parentheses; descriptions often show them already
        if (text.endsWith(u')') && text.contains(u'(')) text = text.left(text.lastIndexOf(u'(')).trimmed();
        out << QStringLiteral("%1 (%2)").arg(text, patterns.join(u' '));
    }
    return out;
}

ui::FileDialogAnswer runFileDialog(const ui::FileDialogRequest& request, QWidget* owner) {
    const QString title = !request.title.empty() ? fromAnsi(request.title)
                          : request.open         ? QStringLiteral("Open")
                                                 : QStringLiteral("Save As");
    Owned<QFileDialog> dialog(new QFileDialog(owner, title));
    if (request.open) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode((request.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        if (!(request.flags & OFN_OVERWRITEPROMPT)) dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    }
    if (!request.defaultExt.empty()) dialog->setDefaultSuffix(fromAnsi(request.defaultExt));
    const QStringList filters = nameFilters(request.filters);
    if (!filters.isEmpty()) dialog->setNameFilters(filters);
    if (!request.initialDir.empty()) dialog->setDirectory(fromPath(request.initialDir));
    if (!request.initialName.empty()) dialog->selectFile(fromPath(request.initialName));
    fitColumns(*dialog.get());
    // Qt's own checks differ by platform theme: what the suite relies on is checked here, and
    // the dialog comes back until the user picks a file it takes or cancels
    for (;;) {
        if (dialog->exec() != QDialog::Accepted || !dialog.alive()) return {};
        const QStringList chosen = dialog->selectedFiles();
        if (chosen.isEmpty()) return {};
        const std::string path = toPath(QDir::cleanPath(QFileInfo(chosen.front()).absoluteFilePath()));
        const ui::FileChoice choice = ui::chooseFile(request, path);
        if (choice.problem.empty()) return {true, choice.path};
        QMessageBox::warning(dialog.get(), title, fromAnsi(choice.problem));
        if (!dialog.alive()) return {};
    }
}

UINT runPopupMenu(const ui::PopupMenuRequest& request, QWidget* owner) {
    Owned<QMenu> menu(new QMenu(owner));
    UINT chosen = 0;
    bool picked = false;
    QMenu* top = menu.get();
    addItems(*top, request.items, [&chosen, &picked, top](QAction* action) {
        if (picked) return;
        picked = true;
        chosen = action->data().toUInt();
        top->hide();  // also when the item was triggered without a click
    });
    QAction* result = menu->exec(QPoint(request.at.x, request.at.y));
    if (!picked && result && menu.alive()) chosen = result->data().toUInt();
    return chosen;
}

}  // namespace vlt::frontends::qt
