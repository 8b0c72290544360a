// The Qt front end: dialogs of the window runtime as real windows (Qt Widgets), message boxes,
// the save dialog, popup menus, notification-area icons and desktop notifications. Programs
// include only this header (and session_watch.h); it names no Qt type
// beyond a forward declaration, so code outside frontends/qt stays free of Qt.
//
// Threads: Qt's widgets live on the GUI thread, the thread that made the QApplication (the
// program's main thread). Every Frontend method may be called from any thread: window events
// are queued and applied on the GUI thread; message boxes, the save dialog and menus called
// elsewhere wait for the GUI thread to run them. The GUI thread must therefore keep running
// Qt's event loop: the window runtime's modal loops do (processEvents), and so does
// QtApplication::exec(). A message box or menu asked for on the GUI thread runs Qt's own modal
// loop; meanwhile the window runtime's messages of that thread (timers, messages sent by other
// threads and programs) keep being handled, as Windows' modal loops handle them.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "ui/frontend.h"

class QSystemTrayIcon;
class QWidget;

namespace vlt::frontends {

// A QApplication for programs that do not include Qt: made on the calling thread, which
// becomes the GUI thread, unless one exists already (then it is only used).
class QtApplication {
public:
    // offscreen: no display needed (QT_QPA_PLATFORM=offscreen unless the caller set a platform)
    QtApplication(int& argc, char** argv, bool offscreen = false);
    ~QtApplication();
    QtApplication(const QtApplication&) = delete;
    QtApplication& operator=(const QtApplication&) = delete;

    // Runs the event loop until quit().
    int exec();
    // A program that lives without windows (a tray icon) keeps running when its last window,
    // say a message box, closes.
    void keepRunningWithoutWindows();
    static void quit(int code = 0);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class QtFrontend final : public ui::Frontend {
public:
    // On the GUI thread, after the QApplication exists.
    QtFrontend();
    ~QtFrontend() override;
    QtFrontend(const QtFrontend&) = delete;
    QtFrontend& operator=(const QtFrontend&) = delete;

    int messageBox(const ui::MessageBoxRequest& request) override;
    ui::FileDialogAnswer saveDialog(const ui::FileDialogRequest& request) override;
    // The desktop's bell, whatever the type.
    void beep(UINT type) override;
    // One Qt dialog serves both; the request says which.
    ui::FileDialogAnswer openDialog(const ui::FileDialogRequest& request) override;
    UINT popupMenu(const ui::PopupMenuRequest& request) override;
    // QSystemTrayIcon; false where the desktop has no notification area.
    bool notifyIcon(const ui::NotifyIconRequest& request) override;
    // org.freedesktop.Notifications on the session bus.
    bool showNotification(const ui::NotificationRequest& request) override;
    bool cursorPos(POINT& at) override;

    void windowShown(HWND hwnd) override;
    void windowChanged(HWND hwnd, ui::Change change) override;
    void windowClosing(HWND hwnd) override;

    bool runsEventLoop() const override { return true; }
    // On the GUI thread: runs Qt's event loop until stop() or the deadline. On any other
    // thread: sleeps until wake(), stop() or the deadline.
    void processEvents(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) override;
    void wake() override;

    // Applies the queued window events now (windows appear, controls update). Any thread.
    void sync();
    // The window drawn for hwnd (a dialog or top-level window, or a control), nullptr when
    // none is shown. GUI thread; call sync() first to see the latest state.
    QWidget* widgetFor(HWND hwnd) const;
    // The notification-area icon (owner, id) as shown, nullptr when none. GUI thread.
    QSystemTrayIcon* trayIcon(HWND owner, UINT id) const;
    // Saves a picture (PNG) of a shown window, with a drawn title bar when it has a caption.
    Result<void> saveImage(HWND hwnd, const std::string& path);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vlt::frontends
