// Helpers for driving Qt windows from a test while the window runtime's modal loop runs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontends/qt/dialog_view.h"
#include "frontends/qt/qt_frontend.h"
#include "ui/resources.h"

namespace vlt::testing::qt {

// Calls `step` every 10 ms on the GUI thread (inside whatever event loop runs) until it
// returns true, or gives up after `timeoutMs` and calls `onTimeout` (which should end the
// loop the test is waiting in). Returns the timer; keep it alive for the test.
std::unique_ptr<QTimer> poll(std::function<bool()> step, std::function<void()> onTimeout = {}, int timeoutMs = 10000);

// Types text as key presses carrying each character (QTest's key clicks take ASCII only).
void typeText(QWidget* widget, const QString& text);

// The visible top-level widget of that class and object name, or nullptr.
template <typename T = QWidget>
T* findTopLevel(const QString& objectName = {}) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* t = qobject_cast<T*>(w);
        if (t && w->isVisible() && (objectName.isEmpty() || w->objectName() == objectName)) return t;
    }
    return nullptr;
}

// A user's actions as the view reports them.
struct RecordingInput final : frontends::qt::InputSink {
    struct Action {
        std::string what;
        HWND hwnd;
        std::string text;
        int index;
    };
    std::vector<Action> actions;
    void click(HWND h) override { actions.push_back({"click", h, {}, 0}); }
    void type(HWND h, const std::string& t) override { actions.push_back({"type", h, t, 0}); }
    void selectItem(HWND h, int i) override { actions.push_back({"select", h, {}, i}); }
    void activateItem(HWND h, int i) override { actions.push_back({"activate", h, {}, i}); }
    void close(HWND h) override { actions.push_back({"close", h, {}, 0}); }
    void pressEnter(HWND h) override { actions.push_back({"enter", h, {}, 0}); }
};

// The layout of the shell extension's password prompt (resource 130, 228 x 65 units), kept
// here so that the front end is tested on a real-sized dialog.
ui::DialogTemplate passwordTemplate(int resourceId = 130, int iconId = 0);
// A progress dialog like resource 1020: animation 106, text 102, bar 104, text 105, Cancel.
ui::DialogTemplate progressTemplate(int resourceId = 1020);

// The module handle of the test program.
HINSTANCE testModule();

// The window handle a view or a control widget stands for.
HWND hwndOf(const QWidget* widget);

// The control (or page) `id` inside a window shown by the Qt front end.
template <typename T = QWidget>
T* inside(QWidget* window, int id) {
    return window->findChild<T*>(QString("vlt_control_%1").arg(id));
}

// The Qt front end installed for one test, and a walk through the window the code under test
// shows: property sheets, wizards, the applet and VTInit32 are driven the same way.
class QtWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ui::setFrontend(&frontend); }
    void TearDown() override { ui::setFrontend(nullptr); }

    // One step, on the GUI thread: false while the window is not yet as the step expects it,
    // true once the step has acted on it.
    using Step = std::function<bool(QDialog& window)>;
    // Runs `show` (which returns when the window has closed) while the steps run one after the
    // other on the visible window of that object name; a walk that stalls closes the window.
    // The number of steps done.
    size_t walk(const std::vector<Step>& steps, const std::function<void()>& show,
                const QString& objectName = "vlt_dialog_0");

    frontends::QtFrontend frontend;
};

}  // namespace vlt::testing::qt
