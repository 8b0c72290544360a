#include "frontends/qt/dialog_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <qdrawutil.h>

#include "base/wipe.h"
#include "frontends/qt/qt_text.h"
#include "ui/input.h"
#include "win32/commctrl.h"
#include "win32/wingdi.h"

namespace vlt::frontends::qt {
namespace {

constexpr DWORD kSsRight = 0x0002;        // SS_RIGHT
constexpr DWORD kSsNoPrefix = 0x0080;     // SS_NOPREFIX: '&' is shown as it is
constexpr DWORD kSsTypeMask = 0x001F;     // SS_TYPEMASK
constexpr DWORD kSsEtchedVert = 0x0011;   // SS_ETCHEDVERT
constexpr int kSmallIcon = 16;            // SM_CXSMICON, SM_CYSMICON
constexpr int kFrameWidth = 3;            // SM_CXDLGFRAME of a modal frame without caption
const char* const kHwndProperty = "vlt_hwnd";
// What the window manager shows for a window without caption text, rather than the host
// program's name.
const char* const kProductName = "VLT";

HWND hwndOf(const QObject* object) {
    return reinterpret_cast<HWND>(object->property(kHwndProperty).value<quintptr>());
}

void tag(QObject* object, const ui::WindowState& state, const char* prefix) {
    object->setProperty(kHwndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(state.hwnd)));
    object->setObjectName(QString("%1_%2").arg(prefix).arg(state.id));
}

// Check boxes and radio buttons: the runtime decides the state (BM_CLICK toggles there and
// comes back as Change::Check); Qt must not toggle on its own first.
class RuntimeCheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

class RuntimeRadioButton final : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

// A list view: a click selects through the runtime (LVN_ITEMCHANGED, NM_CLICK reach the dialog),
// the selection drawn is the runtime's.
class RuntimeListView final : public QListWidget {
public:
    RuntimeListView(QWidget* parent, InputSink& input) : QListWidget(parent), m_input(input) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        setFocus(Qt::MouseFocusReason);
        if (event->button() != Qt::LeftButton) return;
        const QModelIndex index = indexAt(event->position().toPoint());
        m_input.selectItem(hwndOf(this), index.isValid() ? index.row() : -1);
    }
    void mouseReleaseEvent(QMouseEvent*) override {}
    void mouseMoveEvent(QMouseEvent*) override {}
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        const QModelIndex index = indexAt(event->position().toPoint());
        m_input.activateItem(hwndOf(this), index.isValid() ? index.row() : -1);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int count = this->count();
        int row = currentRow();
        switch (event->key()) {
            case Qt::Key_Up: row = row <= 0 ? 0 : row - 1; break;
            case Qt::Key_Down: row = row < 0 ? 0 : std::min(row + 1, count - 1); break;
            case Qt::Key_Home: row = 0; break;
            case Qt::Key_End: row = count - 1; break;
            default: event->ignore(); return;  // Enter and Escape belong to the dialog
        }
        if (count > 0) m_input.selectItem(hwndOf(this), row);
    }

private:
    InputSink& m_input;
};

// A tab control: the tab bar at its top over a framed body; the pages lie on the body. A click
// asks the runtime, which may refuse the change (the page being left keeps it).
class TabControl final : public QWidget {
public:
    TabControl(QWidget* parent, InputSink& input) : QWidget(parent), m_bar(new Bar(this, input)), m_body(new QFrame(this)) {
        m_bar->setObjectName("vlt_tabs");
        m_bar->setDrawBase(false);
        m_bar->setExpanding(false);
        // Whole captions always: where they do not all fit, arrows scroll the row (Windows
        // wraps them into rows, which would move the pages the runtime placed)
        m_bar->setUsesScrollButtons(true);
        m_bar->setElideMode(Qt::ElideNone);
        m_body->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        m_body->lower();
    }
    QTabBar* bar() const { return m_bar; }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int h = m_bar->sizeHint().height();
        m_bar->setGeometry(0, 0, width(), h);
        m_body->setGeometry(0, h - 1, width(), std::max(0, height() - h + 1));
    }

private:
    class Bar final : public QTabBar {
    public:
        Bar(QWidget* parent, InputSink& input) : QTabBar(parent), m_input(input) {}

    protected:
        void mousePressEvent(QMouseEvent* event) override {
            if (event->button() != Qt::LeftButton) return;
            const int index = tabAt(event->position().toPoint());
            if (index >= 0) m_input.selectItem(hwndOf(parentWidget()), index);
        }
        void mouseReleaseEvent(QMouseEvent*) override {}
        void keyPressEvent(QKeyEvent* event) override {
            const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
            if (step == 0 || count() == 0) {
                event->ignore();
                return;
            }
            m_input.selectItem(hwndOf(parentWidget()), (currentIndex() + step + count()) % count());
        }

    private:
        InputSink& m_input;
    };
    Bar* m_bar;
    QFrame* m_body;
};

// A static text; with SS_NOTIFY it reports clicks (STN_CLICKED) and asks for its cursor when
// the pointer comes onto it.
class RuntimeLabel final : public QLabel {
public:
    RuntimeLabel(QWidget* parent, InputSink& input) : QLabel(parent), m_input(input) {}
    bool notify = false;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (notify && event->button() == Qt::LeftButton) m_input.click(hwndOf(this));
        else QLabel::mousePressEvent(event);
    }
    void enterEvent(QEnterEvent* event) override {
        if (notify) m_input.hover(hwndOf(this));
        QLabel::enterEvent(event);
    }

private:
    InputSink& m_input;
};

QColor fromColorRef(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QString controlText(const ui::WindowState& state) { return fromAnsi(state.text); }

}  // namespace

// ---- the client area ----------------------------------------------------------------------

class Surface final : public QWidget {
public:
    Surface(QWidget* parent, const ui::DialogUnits& units) : QWidget(parent), m_units(units) {}
    void setPaint(const std::vector<ui::PaintOp>& ops) {
        std::vector<std::pair<QRect, QImage>> pictures;
        for (const auto& op : ops) {
            const int left = m_units.toPixelsX(op.x), top = m_units.toPixelsY(op.y);
            pictures.emplace_back(QRect(left, top, m_units.toPixelsX(op.x + op.cx) - left,
                                        m_units.toPixelsY(op.y + op.cy) - top),
                                  toQImage(op.image));
        }
        m_pictures = std::move(pictures);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_pictures.empty()) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const auto& [rect, image] : m_pictures)
            if (!image.isNull()) painter.drawImage(rect, image);
    }

private:
    ui::DialogUnits m_units;
    std::vector<std::pair<QRect, QImage>> m_pictures;
};

// ---- ui::input --------------------------------------------------------------------------

void RuntimeInput::click(HWND button) { ui::input::click(button); }
void RuntimeInput::type(HWND edit, const std::string& ansiText) { ui::input::type(edit, ansiText); }
void RuntimeInput::selectItem(HWND list, int index) { ui::input::selectItem(list, index); }
void RuntimeInput::activateItem(HWND list, int index) { ui::input::activateItem(list, index); }
void RuntimeInput::close(HWND window) { ui::input::close(window); }
void RuntimeInput::pressEnter(HWND dialog) { ui::input::pressEnter(dialog); }
void RuntimeInput::hover(HWND control) { ui::input::hover(control); }

// ---- fonts and units --------------------------------------------------------------------

QFont dialogFont(const std::string& face, int pointSize) {
    const int points = pointSize > 0 ? pointSize : 8;
    QFont font(QString::fromStdString(face), points);
    if (QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) != 0) {
        // "MS Sans Serif" and "MS Shell Dlg" are not found on Linux: the desktop's sans font
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPointSize(points);
    }
    return font;
}

ui::DialogUnits dialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    ui::DialogUnits units;
    units.baseX = std::max(1, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
    units.baseY = std::max(1, metrics.height());
    return units;
}

QImage toQImage(const ui::Image& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return {};
    QImage out(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
        std::copy_n(image.pixels.data() + static_cast<size_t>(y) * image.width, image.width, line);
    }
    return out;
}

// ---- models -----------------------------------------------------------------------------

WindowModel modelFromTemplate(HINSTANCE module, const ui::DialogTemplate& dialog) {
    WindowModel model;
    model.face = dialog.font;
    model.pointSize = dialog.pointSize;
    auto& w = model.window;
    w.hwnd = reinterpret_cast<HWND>(std::uintptr_t{1});
    w.kind = ui::WindowKind::Dialog;
    w.id = dialog.resourceId;
    w.module = module;
    w.text = dialog.caption;
    w.style = dialog.style;
    w.visible = true;
    w.x = dialog.x;
    w.y = dialog.y;
    w.cx = dialog.cx;
    w.cy = dialog.cy;
    std::uintptr_t next = 2;
    for (const auto& c : dialog.controls) {
        ui::WindowState s;
        s.hwnd = reinterpret_cast<HWND>(next++);
        s.parent = w.hwnd;
        s.kind = ui::WindowKind::Control;
        s.control = c.kind;
        s.id = c.id;
        s.module = module;
        s.text = c.text;
        s.style = c.style | WS_CHILD | WS_VISIBLE;
        s.exStyle = c.exStyle;
        s.enabled = (c.style & WS_DISABLED) == 0;
        s.visible = true;
        s.x = c.x;
        s.y = c.y;
        s.cx = c.cx;
        s.cy = c.cy;
        s.iconId = c.iconId;
        model.controls.push_back(std::move(s));
    }
    return model;
}

bool describeWindow(HWND hwnd, WindowModel& out) {
    out = WindowModel{};
    if (!ui::describe(hwnd, out.window)) return false;
    if (out.window.kind == ui::WindowKind::Dialog) {
        if (const auto* t = ui::findDialog(out.window.module, out.window.id)) {
            out.face = t->font;
            out.pointSize = t->pointSize;
        }
    }
    for (HWND child : ui::children(hwnd)) {
        ui::WindowState s;
        if (!ui::describe(child, s)) continue;
        const bool page = s.kind == ui::WindowKind::Dialog;
        out.controls.push_back(std::move(s));
        if (!page) continue;
        for (HWND grandchild : ui::children(child)) {
            ui::WindowState g;
            if (ui::describe(grandchild, g)) out.controls.push_back(std::move(g));
        }
    }
    return true;
}

// ---- the view ---------------------------------------------------------------------------

DialogView::DialogView(const WindowModel& model, InputSink& input)
    : QDialog(nullptr), m_state(model.window), m_input(input) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    tag(this, m_state, "vlt_dialog");
    const bool isDialog = m_state.kind == ui::WindowKind::Dialog;
    const bool hasCaption = (m_state.style & WS_CAPTION) == WS_CAPTION;

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (hasCaption) {
        flags |= Qt::WindowTitleHint;
        if (m_state.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    } else {
        flags |= Qt::FramelessWindowHint;
        if (m_state.style & (DS_MODALFRAME | WS_DLGFRAME)) m_frame = kFrameWidth;
        else if (m_state.style & WS_BORDER) m_frame = 1;  // a thin line
    }
    if (m_state.exStyle & WS_EX_TOOLWINDOW) flags |= Qt::Tool;
    setWindowFlags(flags);

    m_font = isDialog ? dialogFont(model.face, model.pointSize) : QApplication::font();
    // Top-level windows that are not dialogs are laid out in pixels
    m_units = isDialog ? dialogUnits(m_font) : ui::DialogUnits{4, 8};
    setFont(m_font);

    m_client = new Surface(this, m_units);
    m_client->setObjectName("vlt_client");
    const QRect client = toPixels(0, 0, m_state.cx, m_state.cy);
    m_client->setGeometry(m_frame, m_frame, client.width(), client.height());
    setFixedSize(client.width() + 2 * m_frame, client.height() + 2 * m_frame);

    for (const auto& control : model.controls) addControl(control);
    updateWindow(m_state);

    // Windows centres DS_CENTER dialogs; the others go where the template says relative to
    // their owner, which a window manager would not honour anyway: centre those too.
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

DialogView::~DialogView() {
    for (auto& [hwnd, control] : m_controls)
        if (control.timer) control.timer->stop();
}

QRect DialogView::toPixels(int x, int y, int cx, int cy) const {
    const int left = m_units.toPixelsX(x);
    const int top = m_units.toPixelsY(y);
    return {left, top, m_units.toPixelsX(x + cx) - left, m_units.toPixelsY(y + cy) - top};
}

HINSTANCE DialogView::moduleOf(const ui::WindowState& state) const {
    return state.module ? state.module : m_state.module;
}

void DialogView::updateWindow(const ui::WindowState& window) {
    m_state = window;
    setWindowTitle(window.text.empty() ? QString::fromLatin1(kProductName) : fromAnsi(window.text));
    // A disabled owner (a modal dialog over it) takes no input
    m_client->setEnabled(window.enabled);
    m_client->setPaint(window.paint);
}

QWidget* DialogView::controlWidget(HWND control) const {
    auto it = m_controls.find(control);
    return it == m_controls.end() ? nullptr : it->second.widget;
}

void DialogView::addControl(const ui::WindowState& state) {
    if (m_controls.count(state.hwnd)) {
        updateControl(state);
        return;
    }
    Control control;
    control.state = state;
    control.widget = makeWidget(state);
    tag(control.widget, state, "vlt_control");
    auto& stored = m_controls.emplace(state.hwnd, std::move(control)).first->second;
    apply(stored, state, true);
    stored.widget->show();
    stored.widget->setVisible(state.visible);
}

void DialogView::updateControl(const ui::WindowState& state) {
    auto it = m_controls.find(state.hwnd);
    if (it == m_controls.end()) {
        addControl(state);
        return;
    }
    apply(it->second, state, false);
}

void DialogView::removeControl(HWND hwnd) {
    auto it = m_controls.find(hwnd);
    if (it == m_controls.end()) return;
    delete it->second.widget;  // also deletes its timer, and a page's controls
    m_controls.erase(it);
    for (auto c = m_controls.begin(); c != m_controls.end();)
        c = c->second.state.parent == hwnd ? m_controls.erase(c) : std::next(c);
}

QWidget* DialogView::parentFor(const ui::WindowState& state) const {
    auto it = m_controls.find(state.parent);
    if (it != m_controls.end() && it->second.state.kind == ui::WindowKind::Dialog) return it->second.widget;
    return m_client;
}

QWidget* DialogView::makeWidget(const ui::WindowState& s) {
    QWidget* parent = parentFor(s);
    const HWND hwnd = s.hwnd;
    if (s.kind == ui::WindowKind::Dialog) return new Surface(parent, m_units);  // a page
    switch (s.control) {
        case ui::ControlKind::Tab: {
            auto* tabs = new TabControl(parent, m_input);
            tabs->lower();  // under the pages that lie on it
            return tabs;
        }
        case ui::ControlKind::Static: {
            auto* label = new RuntimeLabel(parent, m_input);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);  // SS_LEFT and SS_CENTER break lines at words
            Qt::Alignment align = Qt::AlignTop;
            if ((s.style & kSsTypeMask) == SS_CENTER) align |= Qt::AlignHCenter;
            else if ((s.style & kSsTypeMask) == kSsRight) align |= Qt::AlignRight;
            else align |= Qt::AlignLeft;
            label->setAlignment(align);
            if (s.style & SS_SUNKEN) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return label;
        }
        case ui::ControlKind::Icon:
        case ui::ControlKind::Animation: {
            auto* label = new QLabel(parent);
            label->setAlignment(Qt::AlignCenter);
            return label;
        }
        case ui::ControlKind::GroupBox: return new QGroupBox(parent);
        case ui::ControlKind::Edit: {
            const bool readOnly = (s.style & ES_READONLY) != 0;
            const bool bordered = (s.style & WS_BORDER) || (s.exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
            if (s.style & ES_MULTILINE) {
                auto* edit = new QPlainTextEdit(parent);
                edit->setReadOnly(readOnly);
                if (!bordered) edit->setFrameStyle(QFrame::NoFrame);
                connect(edit, &QPlainTextEdit::textChanged, this, [this, edit, hwnd] {
                    if (edit->property("vlt_applying").toBool()) return;
                    m_input.type(hwnd, toAnsi(edit->toPlainText()));
                });
                return edit;
            }
            auto* edit = new QLineEdit(parent);
            edit->setReadOnly(readOnly);
            edit->setFrame(bordered);
            if (s.style & ES_PASSWORD) edit->setEchoMode(QLineEdit::Password);
            edit->setValidator(new AnsiValidator((s.style & ES_NUMBER) != 0, edit));
            // textEdited: only what the user did, not our own setText
            // A password's converted copy is wiped once the control has it.
            const bool password = (s.style & ES_PASSWORD) != 0;
            connect(edit, &QLineEdit::textEdited, this, [this, hwnd, password](const QString& text) {
                std::string ansi = toAnsi(text);
                m_input.type(hwnd, ansi);
                if (password) base::secureWipe(ansi);
            });
            return edit;
        }
        case ui::ControlKind::PushButton:
        case ui::ControlKind::DefPushButton: {
            auto* button = new QPushButton(parent);
            button->setAutoDefault(false);  // Enter is the dialog's: it presses the default button
            button->setDefault(s.control == ui::ControlKind::DefPushButton);
            connect(button, &QPushButton::clicked, this, [this, hwnd] { m_input.click(hwnd); });
            return button;
        }
        case ui::ControlKind::CheckBox: {
            auto* box = new RuntimeCheckBox(parent);
            box->setTristate(false);
            connect(box, &QCheckBox::clicked, this, [this, hwnd] { m_input.click(hwnd); });
            return box;
        }
        case ui::ControlKind::RadioButton: {
            auto* radio = new RuntimeRadioButton(parent);
            radio->setAutoExclusive(false);  // the runtime unchecks the others of the group
            connect(radio, &QRadioButton::clicked, this, [this, hwnd] { m_input.click(hwnd); });
            return radio;
        }
        case ui::ControlKind::ListView: {
            auto* list = new RuntimeListView(parent, m_input);
            const DWORD view = s.style & 0x3;  // LVS_TYPEMASK
            list->setViewMode(QListView::ListMode);
            if (view == LVS_LIST || view == LVS_SMALLICON) {
                // LVS_LIST: columns of small icons, filled top to bottom
                list->setFlow(QListView::TopToBottom);
                list->setWrapping(true);
                list->setResizeMode(QListView::Adjust);
            }
            list->setIconSize(QSize(kSmallIcon, kSmallIcon));
            list->setSelectionMode((s.style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                              : QAbstractItemView::ExtendedSelection);
            list->setEditTriggers(QAbstractItemView::NoEditTriggers);
            list->setUniformItemSizes(true);
            return list;
        }
        case ui::ControlKind::ComboBox: {
            auto* combo = new QComboBox(parent);
            connect(combo, qOverload<int>(&QComboBox::activated), this, [this, combo, hwnd](int index) {
                // the runtime's selection comes back as Change::Items; until then show the old one
                if (auto it = m_controls.find(hwnd); it != m_controls.end()) {
                    const QSignalBlocker block(combo);
                    int current = -1;
                    for (size_t i = 0; i < it->second.state.items.size(); ++i)
                        if (it->second.state.items[i].selected) current = static_cast<int>(i);
                    combo->setCurrentIndex(current);
                }
                m_input.selectItem(hwnd, index);
            });
            return combo;
        }
        case ui::ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            return bar;
        }
        case ui::ControlKind::Separator: {
            auto* line = new QFrame(parent);
            line->setFrameShadow(QFrame::Sunken);
            return line;
        }
    }
    return new QWidget(parent);
}

void DialogView::placeControl(Control& control) {
    const auto& s = control.state;
    QRect r = toPixels(s.x, s.y, s.cx, s.cy);
    switch (s.control) {
        case ui::ControlKind::Icon: {
            // SS_ICON sizes the control to its picture
            auto* label = static_cast<QLabel*>(control.widget);
            const QPixmap pixmap = label->pixmap();
            if (!pixmap.isNull()) r.setSize(pixmap.deviceIndependentSize().toSize());
            break;
        }
        case ui::ControlKind::Animation:
            // Without ACS_CENTER the control takes the size of the clip's frames
            if (!(s.style & ACS_CENTER) && !control.frames.empty())
                r.setSize(control.frames.front().deviceIndependentSize().toSize());
            break;
        case ui::ControlKind::ComboBox:
            // the template's height includes the dropped-down list
            r.setHeight(std::min(r.height(), control.widget->sizeHint().height()));
            break;
        case ui::ControlKind::Separator: {
            auto* line = static_cast<QFrame*>(control.widget);
            const bool vertical = (s.style & kSsTypeMask) == kSsEtchedVert || r.height() > r.width();
            line->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
            // a sunken line needs two pixels
            if (vertical) r.setWidth(std::max(r.width(), 2));
            else r.setHeight(std::max(r.height(), 2));
            break;
        }
        default: break;
    }
    control.widget->setGeometry(r);
}

void DialogView::apply(Control& control, const ui::WindowState& s, bool initial) {
    QWidget* w = control.widget;
    const QString text = controlText(s);
    if (s.kind == ui::WindowKind::Dialog) {
        // a page: where it lies, what it painted, whether it is the current one
        static_cast<Surface*>(w)->setPaint(s.paint);
        control.state = s;
        placeControl(control);
        w->setEnabled(s.enabled);
        w->setVisible(s.visible);
        w->raise();
        return;
    }
    switch (s.control) {
        case ui::ControlKind::Tab: {
            QTabBar* bar = static_cast<TabControl*>(w)->bar();
            const QSignalBlocker block(bar);
            bool same = bar->count() == static_cast<int>(s.items.size());
            for (int i = 0; same && i < bar->count(); ++i)
                same = bar->tabText(i) == withoutMnemonics(fromAnsi(s.items[static_cast<size_t>(i)].text));
            if (!same) {
                while (bar->count() > 0) bar->removeTab(0);
                for (const auto& item : s.items) bar->addTab(withoutMnemonics(fromAnsi(item.text)));
            }
            bar->setCurrentIndex(s.selection);
            break;
        }
        case ui::ControlKind::Static: {
            auto* label = static_cast<RuntimeLabel*>(w);
            label->setText((s.style & kSsNoPrefix) ? text : withoutMnemonics(text));
            label->notify = (s.style & SS_NOTIFY) != 0;
            // SS_CENTERIMAGE: the text in the middle of the control's height
            if (s.style & SS_CENTERIMAGE) label->setAlignment((label->alignment() & ~Qt::AlignVertical_Mask) | Qt::AlignVCenter);
            break;
        }
        case ui::ControlKind::Icon: {
            auto* label = static_cast<QLabel*>(w);
            if (initial || s.iconId != control.state.iconId) {
                const ui::Image* image = s.iconId ? ui::findIcon(moduleOf(s), s.iconId) : nullptr;
                label->setPixmap(image ? QPixmap::fromImage(toQImage(*image)) : QPixmap());
            }
            break;
        }
        case ui::ControlKind::GroupBox: static_cast<QGroupBox*>(w)->setTitle(text); break;
        case ui::ControlKind::Edit:
            if (auto* line = qobject_cast<QLineEdit*>(w)) {
                // Text the user is typing comes back from the runtime; setting it again would
                // move the cursor
                if (line->text() != text) line->setText(text);
            } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
                if (plain->toPlainText() != text) {
                    plain->setProperty("vlt_applying", true);
                    plain->setPlainText(text);
                    plain->setProperty("vlt_applying", false);
                }
            }
            break;
        case ui::ControlKind::PushButton:
        case ui::ControlKind::DefPushButton:
            static_cast<QPushButton*>(w)->setText(text);
            static_cast<QPushButton*>(w)->setFlat((s.style & BS_FLAT) != 0);
            // a wizard moves the default between Next and Finish
            static_cast<QPushButton*>(w)->setDefault(s.control == ui::ControlKind::DefPushButton);
            break;
        case ui::ControlKind::CheckBox: {
            auto* box = static_cast<QCheckBox*>(w);
            box->setText(text);
            box->setTristate(s.check == BST_INDETERMINATE);
            box->setCheckState(s.check == BST_CHECKED         ? Qt::Checked
                               : s.check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                              : Qt::Unchecked);
            break;
        }
        case ui::ControlKind::RadioButton: {
            auto* radio = static_cast<QRadioButton*>(w);
            radio->setText(text);
            radio->setChecked(s.check == BST_CHECKED);
            break;
        }
        case ui::ControlKind::ListView: {
            auto* list = static_cast<QListWidget*>(w);
            // LVS_ICON draws the normal image list, the other views the small one
            const int which = (s.style & 0x3) == LVS_ICON ? LVSIL_NORMAL : LVSIL_SMALL;
            ui::ImageListInfo images;
            if (s.imageLists[which] == nullptr || !ui::describeImageList(s.imageLists[which], images)) images = {};
            const bool imagesChanged = initial || s.imageLists[which] != control.state.imageLists[which];
            bool same = !imagesChanged && list->count() == static_cast<int>(s.items.size());
            for (int i = 0; same && i < list->count(); ++i) {
                const auto& item = s.items[static_cast<size_t>(i)];
                same = list->item(i)->text() == fromAnsi(item.text) &&
                       list->item(i)->data(Qt::UserRole).toInt() == item.image;
            }
            const QSignalBlocker block(list);
            if (!same) {
                list->clear();
                if (images.cx > 0 && images.cy > 0) list->setIconSize(QSize(images.cx, images.cy));
                std::vector<QIcon> icons;
                for (const auto& image : images.images) icons.emplace_back(QPixmap::fromImage(toQImage(image)));
                for (const auto& item : s.items) {
                    auto* row = new QListWidgetItem(fromAnsi(item.text), list);
                    row->setData(Qt::UserRole, item.image);
                    if (item.image >= 0 && static_cast<size_t>(item.image) < icons.size())
                        row->setIcon(icons[static_cast<size_t>(item.image)]);
                }
            }
            for (int i = 0; i < list->count(); ++i) {
                const auto& item = s.items[static_cast<size_t>(i)];
                list->item(i)->setSelected(item.selected);
                if (item.focused) list->setCurrentRow(i, QItemSelectionModel::NoUpdate);
            }
            break;
        }
        case ui::ControlKind::ComboBox: {
            auto* combo = static_cast<QComboBox*>(w);
            const QSignalBlocker block(combo);
            bool same = combo->count() == static_cast<int>(s.items.size());
            for (int i = 0; same && i < combo->count(); ++i)
                same = combo->itemText(i) == fromAnsi(s.items[static_cast<size_t>(i)].text);
            if (!same) {
                combo->clear();
                for (const auto& item : s.items) combo->addItem(fromAnsi(item.text));
            }
            int current = -1;
            for (size_t i = 0; i < s.items.size(); ++i)
                if (s.items[i].selected) current = static_cast<int>(i);
            combo->setCurrentIndex(current);
            break;
        }
        case ui::ControlKind::ProgressBar: {
            auto* bar = static_cast<QProgressBar*>(w);
            // An empty range draws an empty bar on Windows; Qt would draw a busy indicator
            const int low = s.rangeMin;
            const int high = s.rangeMax > s.rangeMin ? s.rangeMax : s.rangeMin + 1;
            bar->setRange(low, high);
            bar->setValue(std::clamp(s.position, low, s.rangeMax > s.rangeMin ? high : low));
            break;
        }
        case ui::ControlKind::Animation: applyAnimation(control, s); break;
        case ui::ControlKind::Separator: break;
    }
    applyLook(control, s);
    const bool moved = initial || s.x != control.state.x || s.y != control.state.y || s.cx != control.state.cx ||
                       s.cy != control.state.cy || s.iconId != control.state.iconId;
    control.state = s;
    if (moved || s.control == ui::ControlKind::Animation) placeControl(control);
    w->setEnabled(s.enabled);
    if (!initial) w->setVisible(s.visible);
    w->setFocusPolicy((s.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    if (s.control == ui::ControlKind::Static && (s.style & SS_NOTIFY)) w->setFocusPolicy(Qt::NoFocus);
    else if (s.control == ui::ControlKind::Static || s.control == ui::ControlKind::Icon ||
        s.control == ui::ControlKind::GroupBox || s.control == ui::ControlKind::Separator ||
        s.control == ui::ControlKind::Animation || s.control == ui::ControlKind::ProgressBar)
        w->setFocusPolicy(Qt::NoFocus);
    if (s.focused && !w->hasFocus()) w->setFocus(Qt::OtherFocusReason);
}

// Tooltip, text colour, underline and cursor, as the dialog's colour answers and the control's
// cursor answer left them. A link (SS_NOTIFY, underlined) shows the hand unless it asked for
// a cursor of its own.
void DialogView::applyLook(Control& control, const ui::WindowState& s) {
    QWidget* w = control.widget;
    w->setToolTip(fromAnsi(s.tip));
    if (s.control != ui::ControlKind::Static) return;
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, s.hasTextColor ? fromColorRef(s.textColor) : this->palette().color(QPalette::WindowText));
    w->setPalette(palette);
    QFont font = w->font();
    font.setUnderline(s.underline);
    w->setFont(font);
    if (s.cursorId != 0) {
        const ui::Image* image = ui::findCursor(moduleOf(s), s.cursorId);
        const QImage picture = image ? toQImage(*image) : QImage();
        if (!picture.isNull()) w->setCursor(QCursor(QPixmap::fromImage(picture), 0, 0));
        else w->setCursor(Qt::PointingHandCursor);
    } else if ((s.style & SS_NOTIFY) && s.underline) {
        w->setCursor(Qt::PointingHandCursor);
    } else {
        w->unsetCursor();
    }
}

void DialogView::applyAnimation(Control& control, const ui::WindowState& s) {
    auto* label = static_cast<QLabel*>(control.widget);
    if (s.animationId != control.clipId) {
        control.clipId = s.animationId;
        control.frames.clear();
        control.frame = 0;
        if (s.animationId != 0) {
            if (const auto* clip = ui::findAnimation(moduleOf(s), s.animationId)) {
                for (const auto& image : clip->frames) control.frames.push_back(QPixmap::fromImage(toQImage(image)));
                if (!control.timer) {
                    control.timer = new QTimer(label);
                    HWND hwnd = s.hwnd;
                    connect(control.timer, &QTimer::timeout, this, [this, hwnd] {
                        auto it = m_controls.find(hwnd);
                        if (it == m_controls.end() || it->second.frames.empty()) return;
                        auto& c = it->second;
                        c.frame = (c.frame + 1) % static_cast<int>(c.frames.size());
                        static_cast<QLabel*>(c.widget)->setPixmap(c.frames[static_cast<size_t>(c.frame)]);
                    });
                }
                control.timer->setInterval(std::max(clip->frameMs, 10));
            }
        }
        label->setPixmap(control.frames.empty() ? QPixmap() : control.frames.front());
    }
    if (control.timer) {
        const bool run = s.playing && control.frames.size() > 1;
        if (run && !control.timer->isActive()) control.timer->start();
        if (!run) control.timer->stop();
    }
}

QImage DialogView::picture() const {
    const QPixmap body = const_cast<DialogView*>(this)->grab();
    const bool hasCaption = (m_state.style & WS_CAPTION) == WS_CAPTION;
    if (!hasCaption) return body.toImage();

    QFont titleFont = m_font;
    titleFont.setBold(true);
    const int border = 1;
    const int barHeight = QFontMetrics(titleFont).height() + 8;
    QImage out(body.width() + 2 * border, body.height() + barHeight + 2 * border, QImage::Format_ARGB32);
    out.fill(palette().color(QPalette::Window));
    QPainter painter(&out);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(out.rect().adjusted(0, 0, -1, -1));
    const QRect bar(border, border, body.width(), barHeight);
    painter.fillRect(bar, palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.setFont(titleFont);
    painter.drawText(bar.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft, windowTitle());
    if (m_state.style & WS_SYSMENU) {
        const int size = barHeight - 8;
        const QRect box(bar.right() - 4 - size, bar.top() + 4, size, size);
        painter.drawLine(box.topLeft() + QPoint(2, 2), box.bottomRight() - QPoint(2, 2));
        painter.drawLine(box.topRight() + QPoint(-2, 2), box.bottomLeft() + QPoint(2, -2));
    }
    painter.drawPixmap(border, border + barHeight, body);
    return out;
}

void DialogView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape: m_input.close(hwnd()); return;
        case Qt::Key_Enter:
        case Qt::Key_Return:
            // a focused push button is pressed itself, as Windows makes it the default button
            if (auto* button = qobject_cast<QPushButton*>(focusWidget());
                button && isAncestorOf(button))
                m_input.click(hwndOf(button));
            else
                m_input.pressEnter(hwnd());
            return;
        default: QWidget::keyPressEvent(event);
    }
}

void DialogView::closeEvent(QCloseEvent* event) {
    // The close box: the dialog procedure decides (WM_COMMAND IDCANCEL, or WM_CLOSE)
    event->ignore();
    m_input.close(hwnd());
}

void DialogView::reject() { m_input.close(hwnd()); }

void DialogView::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_frame == 1) {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    } else if (m_frame > 0) {
        QPainter painter(this);
        qDrawWinPanel(&painter, rect(), palette(), false);
    }
}

}  // namespace vlt::frontends::qt
