#include "qt/qt_support.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QKeyEvent>

#include "ui/input.h"
#include "win32/commctrl.h"

namespace vlt::testing::qt {

std::unique_ptr<QTimer> poll(std::function<bool()> step, std::function<void()> onTimeout, int timeoutMs) {
    auto timer = std::make_unique<QTimer>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QTimer* raw = timer.get();
    QObject::connect(raw, &QTimer::timeout, raw, [raw, clock, step = std::move(step), onTimeout = std::move(onTimeout),
                                                  timeoutMs] {
        if (step()) {
            raw->stop();
        } else if (clock->elapsed() > timeoutMs) {
            raw->stop();
            ADD_FAILURE() << "the window did not come up as expected in time";
            if (onTimeout) onTimeout();
        }
    });
    raw->start(10);
    return timer;
}

void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

ui::DialogTemplate passwordTemplate(int resourceId, int iconId) {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = resourceId;
    t.cx = 228;
    t.cy = 65;
    t.style = DS_MODALFRAME | DS_CENTER | WS_POPUP;
    t.controls = {
        {-1, ControlKind::GroupBox, "Enter VLT Password", 7, 4, 214, 54, 0, 0, 0},
        {-1, ControlKind::Icon, "", 14, 17, 21, 20, 0, 0, iconId},
        {-1, ControlKind::Static, "Password:", 42, 22, 34, 8, 0, 0, 0},
        {1000, ControlKind::Edit, "", 80, 19, 134, 14, ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 110, 38, 50, 14, WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 164, 38, 50, 14, WS_TABSTOP, 0, 0},
    };
    return t;
}

ui::DialogTemplate progressTemplate(int resourceId) {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = resourceId;
    t.caption = "Encrypt Data ...";
    t.cx = 250;
    t.cy = 75;
    t.style = DS_MODALFRAME | DS_SETFOREGROUND | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {106, ControlKind::Animation, "", 7, 5, 236, 24, ACS_TRANSPARENT | ACS_AUTOPLAY | ACS_CENTER, 0, 0},
        {102, ControlKind::Static, "Commencing Operation", 7, 32, 236, 8, 0, 0, 0},
        {104, ControlKind::ProgressBar, "", 7, 43, 236, 9, WS_BORDER, 0, 0},
        {105, ControlKind::Static, "", 7, 57, 170, 8, 0, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 193, 56, 50, 14, WS_TABSTOP, 0, 0},
    };
    return t;
}

HINSTANCE testModule() { return ui::moduleOf(reinterpret_cast<const void*>(&testModule)); }

HWND hwndOf(const QWidget* widget) { return reinterpret_cast<HWND>(widget->property("vlt_hwnd").value<quintptr>()); }

size_t QtWindowTest::walk(const std::vector<Step>& steps, const std::function<void()>& show,
                          const QString& objectName) {
    size_t done = 0;
    QDialog* window = nullptr;
    // One step per tick, so that what a step did reaches the runtime and comes back first.
    auto timer = poll(
        [&] {
            window = findTopLevel<QDialog>(objectName);
            if (window && done < steps.size() && steps[done](*window)) ++done;
            return done == steps.size();
        },
        [&] {
            if (window) ui::input::close(hwndOf(window));
        });
    show();
    EXPECT_EQ(done, steps.size()) << "the walk stopped before step " << done + 1;
    return done;
}

}  // namespace vlt::testing::qt
