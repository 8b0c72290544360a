// Helpers for driving Qt windows from a test while the window runtime's modal loop runs.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontends/qt/dialog_view.h"
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

}  // namespace vlt::testing::qt
