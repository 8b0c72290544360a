#include "frontends/qt/qt_frontend.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <type_traits>
#include <vector>

#include "frontends/qt/dialog_view.h"
#include "frontends/qt/standard_dialogs.h"
#include "frontends/qt/tray_icons.h"
#include "ui/loop.h"

namespace vlt::frontends {

// ---- QtApplication ----------------------------------------------------------------------

struct QtApplication::Impl {
    std::unique_ptr<QApplication> owned;
};

QtApplication::QtApplication(int& argc, char** argv, bool offscreen) : m_impl(std::make_unique<Impl>()) {
    if (QCoreApplication::instance() != nullptr) return;
    if (offscreen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    m_impl->owned = std::make_unique<QApplication>(argc, argv);
}

QtApplication::~QtApplication() = default;

int QtApplication::exec() { return QApplication::exec(); }

void QtApplication::keepRunningWithoutWindows() { QGuiApplication::setQuitOnLastWindowClosed(false); }

void QtApplication::quit(int code) { QCoreApplication::exit(code); }

// ---- QtFrontend -------------------------------------------------------------------------

namespace {
void bringToFront(QWidget& window) {
    // platforms without a window stack (offscreen, minimal) only complain about raise()
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
    window.raise();
    window.activateWindow();
}

// Waits longer than this are cut into pieces (QTimer takes an int of milliseconds).
constexpr std::chrono::milliseconds kLongestTimer{std::chrono::hours(1)};
// A GUI thread that is never idle still lets Qt paint and apply window events this often.
constexpr std::chrono::milliseconds kStarvation{20};
// How often the runtime's messages are handled while Qt runs a modal loop of its own.
constexpr int kModalPump = 100;
}  // namespace

struct QtFrontend::Impl {
    enum class EventKind { Shown, Changed, Closing };
    struct Event {
        EventKind kind;
        HWND hwnd;
    };
    struct Wait {
        const std::function<bool()>* stop;
        QEventLoop* loop;
    };

    QObject context;  // lives on the GUI thread; queued calls run in its thread
    qt::RuntimeInput input;
    qt::TrayIcons trayIcons;
    std::map<HWND, std::unique_ptr<qt::DialogView>> views;
    std::map<HWND, HWND> controlOwner;  // control -> the window whose view draws it

    std::mutex pendingMutex;
    std::vector<Event> pending;
    std::set<HWND> pendingChanged;  // a Changed already queued after the last Shown/Closing
    bool flushScheduled = false;

    std::vector<Wait> waits;  // GUI thread: the nested processEvents calls, innermost last
    std::atomic<bool> checkScheduled{false};
    std::chrono::steady_clock::time_point lastQtPass{};

    std::mutex wakeMutex;  // other threads sleeping in processEvents
    std::condition_variable wakeCv;
    std::uint64_t generation = 0;

    bool onGui() const { return QThread::currentThread() == context.thread(); }

    // Runs a Qt modal loop asked for on the GUI thread itself; the runtime's messages of this
    // thread are handled meanwhile (its timers would otherwise stop, and senders wait).
    template <typename F>
    std::invoke_result_t<F> withRuntimeMessages(F&& f) {
        QTimer pump;
        pump.setInterval(kModalPump);
        QObject::connect(&pump, &QTimer::timeout, [] { ui::pumpMessages(); });
        pump.start();
        return f();
    }

    // Runs f on the GUI thread and returns its result; the caller waits.
    template <typename F>
    std::invoke_result_t<F> callOnGui(F&& f) {
        using R = std::invoke_result_t<F>;
        if (onGui()) return f();
        std::packaged_task<R()> task(std::forward<F>(f));
        auto result = task.get_future();
        QMetaObject::invokeMethod(&context, [&task] { task(); }, Qt::QueuedConnection);
        return result.get();
    }

    void post(EventKind kind, HWND hwnd) {
        bool schedule = false;
        {
            std::lock_guard lock(pendingMutex);
            if (kind == EventKind::Changed) {
                if (!pendingChanged.insert(hwnd).second) return;  // the queued one will read the latest state
            } else {
                pendingChanged.erase(hwnd);
            }
            pending.push_back({kind, hwnd});
            schedule = !flushScheduled;
            flushScheduled = true;
        }
        if (schedule) QMetaObject::invokeMethod(&context, [this] { flush(); }, Qt::QueuedConnection);
    }

    void flush() {
        std::vector<Event> batch;
        {
            std::lock_guard lock(pendingMutex);
            batch.swap(pending);
            pendingChanged.clear();
            flushScheduled = false;
        }
        for (const auto& e : batch) {
            switch (e.kind) {
                case EventKind::Shown: shown(e.hwnd); break;
                case EventKind::Changed: changed(e.hwnd); break;
                case EventKind::Closing: closing(e.hwnd); break;
            }
        }
    }

    qt::DialogView* viewOf(HWND hwnd) const {
        if (auto it = views.find(hwnd); it != views.end()) return it->second.get();
        if (auto it = controlOwner.find(hwnd); it != controlOwner.end()) return viewOf(it->second);
        return nullptr;
    }

    QWidget* ownerWidget(HWND owner) const {
        if (auto* view = viewOf(owner)) return view;
        return QApplication::activeWindow();
    }

    void shown(HWND hwnd) {
        qt::WindowModel model;
        if (!qt::describeWindow(hwnd, model)) {
            closing(hwnd);
            return;
        }
        if (model.window.kind == ui::WindowKind::Control) {
            changed(hwnd);
            return;
        }
        if ((model.window.style & WS_CHILD) && model.window.parent != nullptr) {
            // a page: drawn inside the view of its sheet, which picks it up when it is shown
            if (auto* sheet = viewOf(model.window.parent)) {
                addTo(*sheet, model.window);
                for (const auto& control : model.controls) addTo(*sheet, control);
            }
            return;
        }
        if (auto it = views.find(hwnd); it != views.end()) {
            refresh(*it->second, model);
            return;
        }
        auto view = std::make_unique<qt::DialogView>(model, input);
        for (const auto& control : model.controls) controlOwner[control.hwnd] = hwnd;
        if (auto* owner = viewOf(model.window.parent)) {
            view->move(owner->geometry().center() - view->rect().center());
            view->winId();
            if (view->windowHandle() && owner->windowHandle())
                view->windowHandle()->setTransientParent(owner->windowHandle());
            // DialogBoxParamA disables the owner: Qt keeps it below and out of reach too
            if (model.window.modal) view->setWindowModality(Qt::WindowModal);
        }
        auto* raw = view.get();
        views[hwnd] = std::move(view);
        raw->setVisible(model.window.visible);
        if (model.window.visible && (model.window.style & DS_SETFOREGROUND)) bringToFront(*raw);
    }

    void addTo(qt::DialogView& view, const ui::WindowState& state) {
        view.addControl(state);
        controlOwner[state.hwnd] = view.hwnd();
    }

    // A window shown again: bring the view up to date control by control.
    void refresh(qt::DialogView& view, const qt::WindowModel& model) {
        std::set<HWND> present;
        for (const auto& control : model.controls) {
            present.insert(control.hwnd);
            controlOwner[control.hwnd] = view.hwnd();
            view.updateControl(control);
        }
        for (auto it = controlOwner.begin(); it != controlOwner.end();) {
            if (it->second == view.hwnd() && !present.count(it->first)) {
                view.removeControl(it->first);
                it = controlOwner.erase(it);
            } else {
                ++it;
            }
        }
        view.updateWindow(model.window);
        view.setVisible(model.window.visible);
    }

    void changed(HWND hwnd) {
        ui::WindowState state;
        if (!ui::describe(hwnd, state)) {
            closing(hwnd);
            return;
        }
        if (auto it = views.find(hwnd); it != views.end()) {
            it->second->updateWindow(state);
            it->second->setVisible(state.visible);
            return;
        }
        if (auto it = controlOwner.find(hwnd); it != controlOwner.end()) {
            if (auto* view = viewOf(it->second)) view->updateControl(state);
            return;
        }
        if (state.kind == ui::WindowKind::Control) {
            // a control made after its window (or its page) was shown
            if (auto* view = viewOf(state.parent)) addTo(*view, state);
        } else if (state.visible) {
            shown(hwnd);  // a window made visible after it was created hidden
        }
    }

    void closing(HWND hwnd) {
        if (auto it = views.find(hwnd); it != views.end()) {
            for (auto c = controlOwner.begin(); c != controlOwner.end();)
                c = c->second == hwnd ? controlOwner.erase(c) : std::next(c);
            it->second->hide();
            views.erase(it);
            return;
        }
        if (auto it = controlOwner.find(hwnd); it != controlOwner.end()) {
            const HWND owner = it->second;
            controlOwner.erase(it);
            auto vit = views.find(owner);
            if (vit == views.end()) return;
            vit->second->removeControl(hwnd);  // a page takes its controls along
            for (auto c = controlOwner.begin(); c != controlOwner.end();)
                c = c->second == owner && !vit->second->hasControl(c->first) ? controlOwner.erase(c) : std::next(c);
        }
    }

    void checkWaits() {
        checkScheduled.store(false);
        if (!waits.empty() && (*waits.back().stop)()) waits.back().loop->quit();
    }

    void processOnGui(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) {
        using Clock = std::chrono::steady_clock;
        const auto now = Clock::now();
        if (stop() || now >= until) {
            // The runtime has work at once; Qt still gets a turn now and then so that windows
            // repaint while a worker floods the dialog with progress
            if (now - lastQtPass >= kStarvation) {
                lastQtPass = now;
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            }
            return;
        }
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        waits.push_back({&stop, &loop});
        while (!stop()) {
            const auto left = until - Clock::now();
            if (left <= Clock::duration::zero()) break;
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(std::min<Clock::duration>(left, kLongestTimer));
            deadline.start(static_cast<int>(ms.count()));
            const int code = loop.exec();
            deadline.stop();
            if (code == -1) {
                // Qt is quitting and runs no more loops: wait without it rather than spin
                processElsewhere(until, stop);
                break;
            }
        }
        waits.pop_back();
        lastQtPass = Clock::now();
    }

    void processElsewhere(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) {
        for (;;) {
            std::uint64_t seen;
            {
                std::lock_guard lock(wakeMutex);
                seen = generation;
            }
            // stop() may take the runtime's locks: never called with ours held
            if (stop()) return;
            std::unique_lock lock(wakeMutex);
            if (!wakeCv.wait_until(lock, until, [&] { return generation != seen; })) return;
        }
    }
};

QtFrontend::QtFrontend() : m_impl(std::make_unique<Impl>()) {}

QtFrontend::~QtFrontend() {
    m_impl->views.clear();
    m_impl->controlOwner.clear();
}

int QtFrontend::messageBox(const ui::MessageBoxRequest& request) {
    auto run = [this, &request] {
        m_impl->flush();  // the owner's window first
        return qt::runMessageBox(request, m_impl->ownerWidget(request.owner));
    };
    if (m_impl->onGui()) return m_impl->withRuntimeMessages(run);
    return m_impl->callOnGui(run);
}

ui::FileDialogAnswer QtFrontend::saveDialog(const ui::FileDialogRequest& request) {
    return m_impl->callOnGui([this, &request] {
        m_impl->flush();
        return qt::runFileDialog(request, m_impl->ownerWidget(request.owner));
    });
}

void QtFrontend::beep(UINT) {
    m_impl->callOnGui([] { QApplication::beep(); });
}

ui::FileDialogAnswer QtFrontend::openDialog(const ui::FileDialogRequest& request) { return saveDialog(request); }

UINT QtFrontend::popupMenu(const ui::PopupMenuRequest& request) {
    auto run = [this, &request] {
        m_impl->flush();
        return qt::runPopupMenu(request, m_impl->ownerWidget(request.owner));
    };
    if (m_impl->onGui()) return m_impl->withRuntimeMessages(run);
    return m_impl->callOnGui(run);
}

bool QtFrontend::notifyIcon(const ui::NotifyIconRequest& request) {
    return m_impl->callOnGui([this, &request] { return m_impl->trayIcons.apply(request); });
}

bool QtFrontend::showNotification(const ui::NotificationRequest& request) {
    return m_impl->callOnGui([&request] { return qt::sendDesktopNotification(request); });
}

bool QtFrontend::cursorPos(POINT& at) {
    const QPoint p = m_impl->callOnGui([] { return QCursor::pos(); });
    at = POINT{p.x(), p.y()};
    return true;
}

void QtFrontend::windowShown(HWND hwnd) { m_impl->post(Impl::EventKind::Shown, hwnd); }

void QtFrontend::windowChanged(HWND hwnd, ui::Change) { m_impl->post(Impl::EventKind::Changed, hwnd); }

void QtFrontend::windowClosing(HWND hwnd) { m_impl->post(Impl::EventKind::Closing, hwnd); }

void QtFrontend::processEvents(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) {
    if (m_impl->onGui())
        m_impl->processOnGui(until, stop);
    else
        m_impl->processElsewhere(until, stop);
}

void QtFrontend::wake() {
    {
        std::lock_guard lock(m_impl->wakeMutex);
        ++m_impl->generation;
    }
    m_impl->wakeCv.notify_all();
    if (!m_impl->checkScheduled.exchange(true))
        QMetaObject::invokeMethod(&m_impl->context, [impl = m_impl.get()] { impl->checkWaits(); }, Qt::QueuedConnection);
}

void QtFrontend::sync() {
    m_impl->callOnGui([this] { m_impl->flush(); });
}

QWidget* QtFrontend::widgetFor(HWND hwnd) const {
    if (auto it = m_impl->views.find(hwnd); it != m_impl->views.end()) return it->second.get();
    if (auto* view = m_impl->viewOf(hwnd)) return view->controlWidget(hwnd);
    return nullptr;
}

QSystemTrayIcon* QtFrontend::trayIcon(HWND owner, UINT id) const { return m_impl->trayIcons.find(owner, id); }

Result<void> QtFrontend::saveImage(HWND hwnd, const std::string& path) {
    return m_impl->callOnGui([this, hwnd, &path]() -> Result<void> {
        m_impl->flush();
        auto it = m_impl->views.find(hwnd);
        if (it == m_impl->views.end()) return fail("no window is shown for this handle");
        const QImage picture = it->second->picture();
        if (picture.isNull()) return fail("the window could not be drawn");
        if (!picture.save(QString::fromStdString(path), "PNG")) return fail("cannot write " + path);
        return {};
    });
}

}  // namespace vlt::frontends
