// Dialog templates drawn as Qt widgets, and what a user does to them, without the window
// runtime: the view reports actions to a recorder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "frontends/qt/dialog_view.h"
#include "frontends/qt/qt_text.h"
#include "qt/qt_support.h"
#include "win32/commctrl.h"
#include "win32/wingdi.h"

namespace vlt::testing::qt {
namespace {

using frontends::qt::DialogView;
using frontends::qt::modelFromTemplate;
using frontends::qt::WindowModel;
using ui::ControlKind;

// The handle modelFromTemplate gives the control at `index` of the template.
HWND controlHandle(size_t index) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(index + 2)); }
HWND dialogHandle() { return reinterpret_cast<HWND>(std::uintptr_t{1}); }

template <typename T>
T* control(DialogView& view, size_t index) {
    return qobject_cast<T*>(view.controlWidget(controlHandle(index)));
}

ui::DialogTemplate everyKind() {
    ui::DialogTemplate t;
    t.resourceId = 300;
    t.caption = "Every Kind";
    t.cx = 240;
    t.cy = 160;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {-1, ControlKind::Static, "&Lock && go", 5, 5, 60, 8, 0, 0, 0},               // 0
        {-1, ControlKind::Static, "&Lock && go", 5, 15, 60, 8, 0x80, 0, 0},           // 1 SS_NOPREFIX
        {20, ControlKind::Edit, "", 70, 5, 60, 12, ES_NUMBER | WS_TABSTOP, 0, 0},     // 2
        {21, ControlKind::Edit, "fixed", 70, 20, 60, 12, ES_READONLY, 0, 0},          // 3
        {22, ControlKind::DefPushButton, "OK", 140, 5, 50, 14, WS_TABSTOP, 0, 0},     // 4
        {23, ControlKind::PushButton, "Cancel", 140, 22, 50, 14, WS_TABSTOP, 0, 0},   // 5
        {24, ControlKind::CheckBox, "Check", 5, 40, 60, 10, WS_TABSTOP, 0, 0},        // 6
        {25, ControlKind::ListView, "", 5, 55, 120, 40, LVS_LIST | LVS_SINGLESEL, 0, 0},  // 7
        {26, ControlKind::Separator, "", 5, 100, 230, 1, SS_SUNKEN, 0, 0},            // 8
        {27, ControlKind::ComboBox, "", 130, 55, 100, 80, CBS_DROPDOWNLIST, 0, 0},    // 9
        {28, ControlKind::GroupBox, "Certificate List", 130, 75, 100, 20, 0, 0, 0},   // 10
        {29, ControlKind::ProgressBar, "", 5, 110, 230, 9, 0, 0, 0},                  // 11
        {30, ControlKind::PushButton, "Off", 5, 125, 50, 14, WS_DISABLED, 0, 0},      // 12
        {-1, ControlKind::Static, "abut", 60, 125, 33, 8, 0, 0, 0},                   // 13
        {-1, ControlKind::Static, "ting", 93, 125, 20, 8, 0, 0, 0},                   // 14
    };
    return t;
}

ui::WindowState listState(const WindowModel& model, size_t index, std::vector<std::string> texts, int selected) {
    ui::WindowState s = model.controls[index];
    for (size_t i = 0; i < texts.size(); ++i) {
        ui::ListItem item;
        item.text = texts[i];
        item.selected = static_cast<int>(i) == selected;
        item.focused = item.selected;
        s.items.push_back(item);
    }
    return s;
}

TEST(QtDialogLayout, DialogUnitsFollowTheFontsBaseUnits) {
    // Windows: MS Sans Serif 8 pt at 96 dpi has base units 6 x 13; a 50 x 14 button is 75 x 23.
    const ui::DialogUnits windows{6, 13};
    EXPECT_EQ(windows.toPixelsX(50), 75);
    EXPECT_EQ(windows.toPixelsY(14), 23);

    // Our base units: the average width of the 52 letters, rounded as Windows rounds it, and
    // the font's height.
    const QFont font = frontends::qt::dialogFont("MS Sans Serif", 8);
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const auto units = frontends::qt::dialogUnits(font);
    EXPECT_EQ(units.baseX, (letters / 26 + 1) / 2);
    EXPECT_EQ(units.baseY, metrics.ascent() + metrics.descent());

    RecordingInput input;
    DialogView view(modelFromTemplate(nullptr, passwordTemplate()), input);
    const auto& u = view.units();
    EXPECT_EQ(u.baseX, units.baseX);
    QWidget* client = view.findChild<QWidget*>("vlt_client");
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->size(), QSize(u.toPixelsX(228), u.toPixelsY(65)));
    // the edit of the password prompt at (80, 19) 134 x 14 units
    QWidget* edit = view.findChild<QLineEdit*>("vlt_control_1000");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->geometry(), QRect(u.toPixelsX(80), u.toPixelsY(19), u.toPixelsX(214) - u.toPixelsX(80),
                                      u.toPixelsY(33) - u.toPixelsY(19)));
    // without a caption the dialog draws its own modal frame around the client area
    EXPECT_GT(view.width(), client->width());
    EXPECT_TRUE(view.windowFlags() & Qt::FramelessWindowHint);
}

TEST(QtDialogLayout, FontsFallBackToTheSystemSansFont) {
    const QFont missing = frontends::qt::dialogFont("MS Sans Serif", 8);
    EXPECT_EQ(QFontInfo(missing).family(), QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family());
    EXPECT_EQ(missing.pointSize(), 8);
    const QFont present = frontends::qt::dialogFont("DejaVu Sans", 10);
    if (QFontInfo(QFont("DejaVu Sans")).family() == "DejaVu Sans") {
        EXPECT_EQ(QFontInfo(present).family(), "DejaVu Sans");
        EXPECT_EQ(present.pointSize(), 10);
    }
}

TEST(QtDialogLayout, AbuttingControlsNeitherOverlapNorLeaveAGap) {
    RecordingInput input;
    DialogView view(modelFromTemplate(nullptr, everyKind()), input);
    const QRect left = control<QLabel>(view, 13)->geometry();
    const QRect right = control<QLabel>(view, 14)->geometry();
    EXPECT_EQ(left.right() + 1, right.left());
}

TEST(QtDialogWidgets, EachKindBecomesTheMatchingWidget) {
    RecordingInput input;
    const auto model = modelFromTemplate(nullptr, everyKind());
    DialogView view(model, input);
    EXPECT_EQ(view.windowTitle(), "Every Kind");
    EXPECT_FALSE(view.windowFlags() & Qt::FramelessWindowHint);

    EXPECT_EQ(control<QLabel>(view, 0)->text(), "Lock & go");
    EXPECT_EQ(control<QLabel>(view, 1)->text(), "&Lock && go");
    EXPECT_TRUE(control<QLineEdit>(view, 3)->isReadOnly());
    EXPECT_EQ(control<QLineEdit>(view, 3)->text(), "fixed");

    auto* ok = control<QPushButton>(view, 4);
    auto* cancel = control<QPushButton>(view, 5);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());
    EXPECT_FALSE(ok->autoDefault());
    EXPECT_FALSE(control<QPushButton>(view, 12)->isEnabled());

    auto* list = control<QListWidget>(view, 7);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->viewMode(), QListView::ListMode);
    EXPECT_EQ(list->flow(), QListView::TopToBottom);  // LVS_LIST fills columns top to bottom
    EXPECT_TRUE(list->isWrapping());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);

    auto* line = control<QFrame>(view, 8);
    EXPECT_EQ(line->frameShape(), QFrame::HLine);
    EXPECT_EQ(line->frameShadow(), QFrame::Sunken);
    EXPECT_GE(line->height(), 2);  // one unit high still draws its two pixels

    auto* combo = control<QComboBox>(view, 9);
    ASSERT_NE(combo, nullptr);
    EXPECT_LT(combo->height(), view.toPixels(0, 0, 0, 80).height());  // the list drops down
    EXPECT_EQ(control<QGroupBox>(view, 10)->title(), "Certificate List");
    EXPECT_FALSE(control<QProgressBar>(view, 11)->isTextVisible());
}

TEST(QtDialogWidgets, IconsShowTheRegisteredPictureAtItsOwnSize) {
    ui::Image image;
    image.width = image.height = 32;
    image.pixels.assign(32 * 32, 0xFF336699u);
    image.pixels[0] = 0x00000000u;  // a transparent corner
    ui::registerIcon(testModule(), 7138, image);

    RecordingInput input;
    DialogView view(modelFromTemplate(testModule(), passwordTemplate(130, 7138)), input);
    QLabel* icon = control<QLabel>(view, 1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size(), QSize(32, 32));  // not the 21 x 20 units of the template
    const QImage shown = icon->pixmap().toImage();
    EXPECT_EQ(shown.pixel(5, 5), 0xFF336699u);
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
}

TEST(QtDialogWidgets, StateUpdatesReachTheWidgets) {
    RecordingInput input;
    const auto model = modelFromTemplate(nullptr, everyKind());
    DialogView view(model, input);

    ui::WindowState check = model.controls[6];
    check.check = BST_CHECKED;
    view.updateControl(check);
    EXPECT_TRUE(control<QCheckBox>(view, 6)->isChecked());

    view.updateControl(listState(model, 7, {"alice", "bob", "carol"}, 1));
    auto* list = control<QListWidget>(view, 7);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), "carol");
    EXPECT_TRUE(list->item(1)->isSelected());
    EXPECT_FALSE(list->item(0)->isSelected());

    ui::WindowState combo = listState(model, 9, {"RC2 40", "RC2 128"}, 1);
    view.updateControl(combo);
    EXPECT_EQ(control<QComboBox>(view, 9)->currentText(), "RC2 128");

    ui::WindowState bar = model.controls[11];
    bar.rangeMin = 0;
    bar.rangeMax = 0;  // an empty range: an empty bar, not Qt's busy indicator
    view.updateControl(bar);
    auto* progress = control<QProgressBar>(view, 11);
    EXPECT_GT(progress->maximum(), progress->minimum());
    EXPECT_EQ(progress->value(), progress->minimum());
    bar.rangeMax = 300;
    bar.position = 120;
    view.updateControl(bar);
    EXPECT_EQ(progress->maximum(), 300);
    EXPECT_EQ(progress->value(), 120);

    ui::WindowState text = model.controls[0];
    text.text = "caf\xE9";  // Windows-1252
    text.visible = false;
    view.updateControl(text);
    EXPECT_EQ(control<QLabel>(view, 0)->text(), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_TRUE(control<QLabel>(view, 0)->isHidden());

    // a text the user is typing comes back unchanged: the cursor stays where it is
    auto* edit = control<QLineEdit>(view, 2);
    edit->setText("1234");
    edit->setCursorPosition(2);
    ui::WindowState same = model.controls[2];
    same.text = "1234";
    view.updateControl(same);
    EXPECT_EQ(edit->cursorPosition(), 2);
}

class QtDialogInput : public ::testing::Test {
protected:
    void SetUp() override {
        model = modelFromTemplate(nullptr, everyKind());
        view = std::make_unique<DialogView>(model, input);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    const RecordingInput::Action& last() const { return input.actions.back(); }

    RecordingInput input;
    WindowModel model;
    std::unique_ptr<DialogView> view;
};

TEST_F(QtDialogInput, ButtonsAndKeysBecomeRuntimeActions) {
    QTest::mouseClick(control<QPushButton>(*view, 4), Qt::LeftButton);
    ASSERT_EQ(input.actions.size(), 1u);
    EXPECT_EQ(last().what, "click");
    EXPECT_EQ(last().hwnd, controlHandle(4));
    EXPECT_TRUE(view->isVisible());  // only the dialog procedure ends a dialog

    control<QLineEdit>(*view, 2)->setFocus();
    QTest::keyClick(control<QLineEdit>(*view, 2), Qt::Key_Return);
    EXPECT_EQ(last().what, "enter");
    EXPECT_EQ(last().hwnd, dialogHandle());

    // Enter on a focused push button presses that one
    view->activateWindow();
    control<QPushButton>(*view, 5)->setFocus();
    QTest::keyClick(control<QPushButton>(*view, 5), Qt::Key_Return);
    EXPECT_EQ(last().what, "click");
    EXPECT_EQ(last().hwnd, controlHandle(5));

    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(last().what, "close");
    EXPECT_EQ(last().hwnd, dialogHandle());
    const size_t before = input.actions.size();
    view->close();  // the close box
    EXPECT_EQ(input.actions.size(), before + 1);
    EXPECT_EQ(last().what, "close");
    EXPECT_TRUE(view->isVisible());
}

TEST_F(QtDialogInput, CheckBoxesWaitForTheRuntimesState) {
    auto* box = control<QCheckBox>(*view, 6);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(last().what, "click");
    EXPECT_EQ(last().hwnd, controlHandle(6));
    EXPECT_FALSE(box->isChecked());  // BM_CLICK toggles in the runtime, which then says so
}

TEST_F(QtDialogInput, TypingReportsAnsiTextAndRefusesWhatTheCodePageCannotHold) {
    auto* digits = control<QLineEdit>(*view, 2);

    QTest::keyClicks(digits, "4a2");
    EXPECT_EQ(digits->text(), "42");  // ES_NUMBER
    EXPECT_EQ(last().what, "type");
    EXPECT_EQ(last().text, "42");

    RecordingInput other;
    ui::DialogTemplate t = passwordTemplate();
    DialogView password(modelFromTemplate(nullptr, t), other);
    auto* edit = password.findChild<QLineEdit*>("vlt_control_1000");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    typeText(edit, QString::fromUtf8("\xC3\xA9\xE2\x82\xAC"));  // é€: both in Windows-1252
    ASSERT_FALSE(other.actions.empty());
    EXPECT_EQ(other.actions.back().text, "\xE9\x80");
    const size_t typed = other.actions.size();
    typeText(edit, QString::fromUtf8("\xD0\x96"));  // Ж is not
    EXPECT_EQ(other.actions.size(), typed);
    EXPECT_EQ(edit->text(), QString::fromUtf8("\xC3\xA9\xE2\x82\xAC"));
}

TEST_F(QtDialogInput, ListClicksSelectThroughTheRuntime) {
    view->updateControl(listState(model, 7, {"alice", "bob"}, -1));
    auto* list = control<QListWidget>(*view, 7);
    const QPoint second = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(last().what, "select");
    EXPECT_EQ(last().hwnd, controlHandle(7));
    EXPECT_EQ(last().index, 1);
    EXPECT_FALSE(list->item(1)->isSelected());  // shown once the runtime has selected it

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(list->viewport()->width() - 2,
                                                                    list->viewport()->height() - 2));
    EXPECT_EQ(last().what, "select");
    EXPECT_EQ(last().index, -1);

    const QPoint first = list->visualItemRect(list->item(0)).center();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(last().what, "activate");
    EXPECT_EQ(last().index, 0);

    view->updateControl(listState(model, 7, {"alice", "bob"}, 0));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(last().what, "select");
    EXPECT_EQ(last().index, 1);
}

TEST(QtText, MnemonicsAndPaths) {
    using frontends::qt::withoutMnemonics;
    EXPECT_EQ(withoutMnemonics("&Grand For..."), "Grand For...");
    EXPECT_EQ(withoutMnemonics("Fish && Chips&"), "Fish & Chips&");
    EXPECT_EQ(frontends::qt::toAnsi(QString::fromUtf8("\xE2\x82\xAC")), "\x80");
    EXPECT_EQ(frontends::qt::fromAnsi("\x80"), QString::fromUtf8("\xE2\x82\xAC"));
}

// A certificate card: no caption, a picture painted behind red labels and a blue link.
TEST(QtDialogWidgets, CardLooksAndLinksAsTheRuntimeSays) {
    ui::DialogTemplate t;
    t.resourceId = 7102;
    t.cx = 212;
    t.cy = 139;
    t.style = WS_POPUP | WS_BORDER | DS_CENTER;
    t.controls = {
        {1006, ControlKind::Static, "E-mail :", 10, 30, 40, 10, SS_CENTERIMAGE, 0, 0},      // 0
        {1001, ControlKind::Static, "ann@example.org", 55, 30, 80, 10, SS_NOTIFY, 0, 0},  // 1
        {2, ControlKind::PushButton, "Cancel", 150, 118, 50, 14, BS_FLAT, 0, 0},           // 2
    };
    RecordingInput input;
    auto model = modelFromTemplate(testModule(), t);
    model.window.paint = {{nullptr, 148, ui::Image{2, 1, {0xFF00FF00u, 0xFF00FF00u}}, 0, 0, 212, 139}};
    DialogView view(model, input);
    EXPECT_EQ(view.windowTitle(), "VLT");  // not the host program's name
    EXPECT_TRUE(control<QPushButton>(view, 2)->isFlat());

    ui::WindowState label = model.controls[0];
    label.hasTextColor = true;
    label.textColor = RGB(255, 0, 0);
    label.transparent = true;
    view.updateControl(label);
    ui::WindowState link = model.controls[1];
    link.hasTextColor = true;
    link.textColor = RGB(0, 0, 238);
    link.underline = true;
    link.tip = "mailto:ann@example.org";
    view.updateControl(link);

    auto* l = control<QLabel>(view, 0);
    auto* a = control<QLabel>(view, 1);
    EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(l->alignment() & Qt::AlignVCenter);
    EXPECT_EQ(a->palette().color(QPalette::WindowText), QColor(0, 0, 238));
    EXPECT_TRUE(a->font().underline());
    EXPECT_EQ(a->toolTip(), "mailto:ann@example.org");
    EXPECT_EQ(a->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(l->cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(a, Qt::LeftButton);
    QTest::mouseClick(l, Qt::LeftButton);  // without SS_NOTIFY a static reports nothing
    ASSERT_EQ(input.actions.size(), 1u);
    EXPECT_EQ(input.actions[0].what, "click");
    EXPECT_EQ(input.actions[0].hwnd, controlHandle(1));

    // the painted picture shows through the transparent statics
    const QImage shown = view.grab().toImage();
    EXPECT_EQ(shown.pixel(view.width() / 2, view.height() / 2), 0xFF00FF00u);
}

}  // namespace
}  // namespace vlt::testing::qt
