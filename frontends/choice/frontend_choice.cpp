#include "frontends/choice/frontend_choice.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "base/wipe.h"
#include "frontends/headless/headless_frontend.h"
#include "frontends/tty/tty_frontend.h"
#include "ui/state.h"
#include "win32/winuser.h"

namespace vlt::frontends {
namespace {

// Passes everything to the real front end and notes what tells about the outcome.
class Observer final : public ui::Frontend {
public:
    explicit Observer(ui::Frontend& inner) : m_inner(inner) {}

    int messageBox(const ui::MessageBoxRequest& r) override {
        const int answer = m_inner.messageBox(r);
        const auto buttons = ui::buttons(r.style);
        const auto icon = r.style & MB_ICONMASK;
        std::lock_guard lock(m_mutex);
        if (buttons.size() == 1 && icon != MB_ICONINFORMATION) ++m_seen.failures;
        if (buttons.size() > 1 && answer == IDCANCEL) ++m_seen.declined;
        return answer;
    }
    ui::FileDialogAnswer saveDialog(const ui::FileDialogRequest& r) override {
        auto answer = m_inner.saveDialog(r);
        std::lock_guard lock(m_mutex);
        if (answer.accepted) m_seen.savedTo.push_back(answer.path);
        else ++m_seen.declined;
        return answer;
    }
    ui::FileDialogAnswer openDialog(const ui::FileDialogRequest& r) override {
        auto answer = m_inner.openDialog(r);
        if (!answer.accepted) {
            std::lock_guard lock(m_mutex);
            ++m_seen.declined;
        }
        return answer;
    }
    void windowShown(HWND hwnd) override {
        ui::WindowState state;
        if (ui::describe(hwnd, state) && state.kind == ui::WindowKind::Dialog) {
            std::function<bool(HWND)> preset;
            {
                std::lock_guard lock(m_mutex);
                m_seen.dialogsShown.insert(state.id);
                if (auto it = m_presets.find(state.id); it != m_presets.end()) preset = it->second;
            }
            if (preset && preset(hwnd)) {
                std::lock_guard lock(m_mutex);
                m_answered.insert(hwnd);
                return;
            }
        }
        m_inner.windowShown(hwnd);
    }
    void preset(int id, std::function<bool(HWND)> answer) {
        std::lock_guard lock(m_mutex);
        m_presets[id] = std::move(answer);
    }
    void windowChanged(HWND hwnd, ui::Change change) override {
        if (!answered(hwnd)) m_inner.windowChanged(hwnd, change);
    }
    void windowClosing(HWND hwnd) override {
        {
            std::lock_guard lock(m_mutex);
            if (m_answered.erase(hwnd) > 0) return;
        }
        m_inner.windowClosing(hwnd);
    }
    UINT popupMenu(const ui::PopupMenuRequest& r) override { return m_inner.popupMenu(r); }
    bool notifyIcon(const ui::NotifyIconRequest& r) override { return m_inner.notifyIcon(r); }
    bool showNotification(const ui::NotificationRequest& r) override { return m_inner.showNotification(r); }
    void beep(UINT type) override { m_inner.beep(type); }
    bool cursorPos(POINT& p) override { return m_inner.cursorPos(p); }
    bool runsEventLoop() const override { return m_inner.runsEventLoop(); }
    void processEvents(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) override {
        m_inner.processEvents(until, stop);
    }
    void wake() override { m_inner.wake(); }

    Observed seen() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    // A preset answered the dialog itself (or one of its controls): the front end never saw it.
    bool answered(HWND hwnd) {
        std::lock_guard lock(m_mutex);
        return m_answered.count(hwnd) > 0 || m_answered.count(GetParent(hwnd)) > 0;
    }

    ui::Frontend& m_inner;
    mutable std::mutex m_mutex;
    Observed m_seen;
    std::map<int, std::function<bool(HWND)>> m_presets;
    std::set<HWND> m_answered;
};

// The answers file. Its typed answers may be passwords: read without a stream's buffer or a
// growing string leaving copies behind. Scripts are a few lines: a larger file, or an endless
// one such as /dev/zero, is refused.
constexpr std::size_t kMaxScript = 1 << 20;

std::optional<std::string> readScript(const std::string& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, chunk, sizeof chunk)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = std::strerror(errno);
        else if (text.size() + static_cast<std::size_t>(n) > kMaxScript) why = "larger than 1 MiB";
        if (!why.empty()) break;
        for (ssize_t i = 0; i < n; ++i) base::appendWiping(text, chunk[i]);
    }
    base::secureWipe(chunk, sizeof chunk);
    ::close(fd);
    if (!why.empty()) {
        base::secureWipe(text);
        return std::nullopt;
    }
    return text;
}

}  // namespace

struct FrontendScope::Impl {
    std::unique_ptr<HeadlessFrontend> headless;
    std::unique_ptr<TtyFrontend> tty;
    std::unique_ptr<ProgramFrontend> windows;
    std::unique_ptr<Observer> observer;
    std::string transcript;
};

bool parseFrontendOption(const std::vector<std::string>& args, std::size_t& i, FrontendChoice& c) {
    const std::string& a = args[i];
    auto next = [&]() -> std::optional<std::string> {
        if (i + 1 >= args.size()) return std::nullopt;
        return args[++i];
    };
    if (a == "--qt") c.kind = FrontendChoice::Kind::Qt;
    else if (a == "--tty") c.kind = FrontendChoice::Kind::Tty;
    else if (a == "--yes") c.yes = true;
    else if (a == "--no") c.yes = false;
    else if (a == "--answers" && i + 1 < args.size()) {
        // Without its file it is no front-end option: the host names it as unknown.
        c.kind = FrontendChoice::Kind::Headless;
        c.answers = *next();
    } else if (a == "--transcript") c.transcript = next().value_or("");
    else if (a == "--output-name") c.outputName = next();
    else return false;
    return true;
}

FrontendScope::FrontendScope(const FrontendChoice& choice, int& argc, char** argv, FrontendFactory windows)
    : m_impl(std::make_unique<Impl>()) {
    ui::Frontend* inner = nullptr;
    auto kind = choice.kind;
    if (kind == FrontendChoice::Kind::Automatic) kind = windows && ui::haveDisplay() ? FrontendChoice::Kind::Qt : choice.fallback;
    switch (kind) {
        case FrontendChoice::Kind::None: return;
        case FrontendChoice::Kind::Headless: {
            m_impl->headless = std::make_unique<HeadlessFrontend>();
            if (!choice.answers.empty()) {
                std::string why;
                auto script = readScript(choice.answers, why);
                if (!script) {
                    m_error = "cannot read " + choice.answers + ": " + why;
                    return;
                }
                const auto loaded = m_impl->headless->loadScript(*script);
                base::secureWipe(*script);
                if (!loaded) {
                    m_error = loaded.error().message;
                    return;
                }
            }
            m_impl->transcript = choice.transcript;
            inner = m_impl->headless.get();
            break;
        }
        case FrontendChoice::Kind::Qt:
            if (windows) m_impl->windows = windows(argc, argv);
            if (!m_impl->windows) {
                m_error = "this program has no windows; use --tty";
                return;
            }
            inner = &m_impl->windows->frontend();
            break;
        default: {
            TtyOptions options;
            options.yes = choice.yes;
            options.outputName = choice.outputName;
            options.password = choice.password;
            options.interactive = stdinIsTerminal() && !choice.password;
            m_impl->tty = std::make_unique<TtyFrontend>(options);
            inner = m_impl->tty.get();
            break;
        }
    }
    m_impl->observer = std::make_unique<Observer>(*inner);
    ui::setFrontend(m_impl->observer.get());
}

FrontendScope::~FrontendScope() {
    ui::setFrontend(nullptr);
    if (m_impl->headless && !m_impl->transcript.empty()) {
        std::ofstream out(m_impl->transcript, std::ios::trunc);
        out << m_impl->headless->transcriptText();
    }
}

bool FrontendScope::windows() const { return m_impl->windows != nullptr; }

Observed FrontendScope::observed() const { return m_impl->observer ? m_impl->observer->seen() : Observed{}; }

void FrontendScope::presetDialog(int resourceId, std::function<bool(HWND)> answer) {
    if (m_impl->observer) m_impl->observer->preset(resourceId, std::move(answer));
}

int FrontendScope::exitStatus(int workDialog) const {
    const Observed seen = observed();
    if (seen.failures > 0 || seen.declined > 0) return 1;
    if (workDialog != 0 && !seen.dialogsShown.count(workDialog)) return 1;
    return 0;
}

}  // namespace vlt::frontends
