// A dialog of the window runtime drawn with Qt Widgets: one widget per control, placed by its
// rectangle in dialog units. The runtime owns the state; the view shows it and turns what the
// user does into ui::input actions, never into calls of the dialog procedure.
#pragma once

#include <QDialog>
#include <QFont>
#include <QImage>
#include <map>
#include <string>
#include <vector>

#include "ui/resources.h"
#include "ui/state.h"

class QTimer;

namespace vlt::frontends::qt {

// A client area that draws its window's paint records under the controls.
class Surface;

// Where a user's actions go: the window runtime in programs, a recorder in some tests.
class InputSink {
public:
    virtual ~InputSink() = default;
    virtual void click(HWND button) = 0;
    virtual void type(HWND edit, const std::string& ansiText) = 0;
    virtual void selectItem(HWND list, int index) = 0;
    virtual void activateItem(HWND list, int index) = 0;
    virtual void close(HWND window) = 0;
    virtual void pressEnter(HWND dialog) = 0;
    // The pointer came to rest on a control: it says which cursor it wants (WM_SETCURSOR).
    virtual void hover(HWND) {}
};

// ui::input.
class RuntimeInput final : public InputSink {
public:
    void click(HWND button) override;
    void type(HWND edit, const std::string& ansiText) override;
    void selectItem(HWND list, int index) override;
    void activateItem(HWND list, int index) override;
    void close(HWND window) override;
    void pressEnter(HWND dialog) override;
    void hover(HWND control) override;
};

// The template's face when it is installed, else the system's sans font, at its point size.
QFont dialogFont(const std::string& face, int pointSize);
// The base units Windows derives from a dialog font: the average width of the 52 letters
// (rounded as Windows rounds it) and the character height.
ui::DialogUnits dialogUnits(const QFont& font);

QImage toQImage(const ui::Image& image);

// A window and its controls as the runtime describes them.
struct WindowModel {
    ui::WindowState window;
    std::vector<ui::WindowState> controls;
    std::string face = "MS Sans Serif";
    int pointSize = 8;
};

// What the runtime shows for a template right after creation, without running a dialog
// procedure; handles are made up (1 for the dialog, 2... for the controls in order).
WindowModel modelFromTemplate(HINSTANCE module, const ui::DialogTemplate& dialog);
// The current state of a window and its children, with the controls of child dialogs (the
// pages of a property sheet) after each page; false when hwnd is no longer a window.
bool describeWindow(HWND hwnd, WindowModel& out);

class DialogView final : public QDialog {
public:
    DialogView(const WindowModel& model, InputSink& input);
    ~DialogView() override;

    HWND hwnd() const { return m_state.hwnd; }
    const ui::DialogUnits& units() const { return m_units; }

    // The window's own state (caption, enabled, visible, what it painted); controls are
    // updated one by one. A child dialog (a page) is one of the controls: a surface at its
    // rectangle that holds its own controls and is hidden with them.
    void updateWindow(const ui::WindowState& window);
    void addControl(const ui::WindowState& control);
    bool hasControl(HWND control) const { return m_controls.count(control) != 0; }
    void updateControl(const ui::WindowState& control);
    // A page goes with its controls.
    void removeControl(HWND control);
    QWidget* controlWidget(HWND control) const;
    // Dialog units of the view's font to pixels of its client area.
    QRect toPixels(int x, int y, int cx, int cy) const;

    // The window as a picture: its client area inside the frame, under a drawn title bar when
    // it has a caption (window managers draw that part on screen).
    QImage picture() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Control {
        ui::WindowState state;
        QWidget* widget = nullptr;
        // Animation controls: the clip shown and its frames
        int clipId = -1;
        std::vector<QPixmap> frames;
        int frame = 0;
        QTimer* timer = nullptr;
    };

    QWidget* makeWidget(const ui::WindowState& state);
    QWidget* parentFor(const ui::WindowState& state) const;
    void applyLook(Control& control, const ui::WindowState& state);
    void apply(Control& control, const ui::WindowState& state, bool initial);
    void applyAnimation(Control& control, const ui::WindowState& state);
    void placeControl(Control& control);
    HINSTANCE moduleOf(const ui::WindowState& state) const;

    ui::WindowState m_state;
    InputSink& m_input;
    QFont m_font;
    ui::DialogUnits m_units;
    int m_frame = 0;  // pixels of our own frame around the client area (dialogs without caption)
    Surface* m_client = nullptr;
    std::map<HWND, Control> m_controls;
};

}  // namespace vlt::frontends::qt
