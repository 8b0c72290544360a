#include "frontends/tty/tty_frontend.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <iostream>
#include <map>
#include <mutex>

#include "base/codepage.h"
#include "base/wipe.h"
#include "frontends/tty/answer_words.h"
#include "frontends/tty/dialog_layout.h"
#include "frontends/tty/menu_prompt.h"
#include "frontends/tty/progress_bar.h"
#include "frontends/tty/sheet_prompt.h"
#include "ui/file_choice.h"
#include "ui/input.h"
#include "ui/state.h"
#include "win32/winbase.h"
#include "win32/winuser.h"

namespace vlt::frontends {

using tty::describeDialog;
using tty::encloses;
using tty::labelFor;
using tty::Layout;
using tty::plain;
namespace {

bool isAffirmative(int button) { return button == IDOK || button == IDYES || button == IDRETRY; }

std::optional<std::string> readTerminalLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// ---- Ctrl-C ---------------------------------------------------------------------------------
// The handler only counts; whoever waits next in the runtime's loop turns it into a click.
volatile std::sig_atomic_t g_interrupts = 0;

extern "C" void countInterrupt(int) { g_interrupts = g_interrupts + 1; }

bool takeInterrupt() {
    if (g_interrupts == 0) return false;
    g_interrupts = 0;
    return true;
}

// While a dialog with a Cancel button shows progress, the waits look at the counter this often.
constexpr std::chrono::milliseconds kInterruptPoll{50};

}  // namespace

// ---- dialogs in the terminal ----------------------------------------------------------------

namespace {

bool askPassword(const TtyOptions& options, std::FILE* out, const Layout& layout, int round) {
    size_t editIndex = 0;
    HWND edit = nullptr;
    for (size_t i = 0; i < layout.controls.size(); ++i)
        if (layout.controls[i].control == ui::ControlKind::Edit && (layout.controls[i].style & ES_PASSWORD)) {
            edit = layout.controls[i].hwnd;
            editIndex = i;
            break;
        }
    if (edit == nullptr) return true;

    std::string typed;
    if (options.password) {
        if (round > 0) return true;
        typed = *options.password;
    } else if (!options.interactive) {
        std::fprintf(out, "%s: no password given (use --password-stdin)\n",
                     plain(layout.dialog.text.empty() ? "Password" : layout.dialog.text).c_str());
        return true;
    } else {
        // The group box names the question, the label next to the field is the prompt
        std::string title;
        for (const auto& c : layout.controls)
            if (c.control == ui::ControlKind::GroupBox && !c.text.empty()) title = plain(c.text);
        if (title.empty()) title = plain(layout.dialog.text);
        std::string label = labelFor(layout, editIndex);
        if (label == title || label.empty()) label = "Password:";
        if (round == 0 && !title.empty()) std::fprintf(out, "%s\n", title.c_str());
        std::fflush(out);
        for (;;) {
            auto line = options.readHidden ? options.readHidden(label + " ") : readHiddenInput(label + " ");
            if (!line || line->end != HiddenInput::End::Line) {
                if (line) base::secureWipe(line->text);
                return true;  // no terminal, Ctrl-D or Ctrl-C: Cancel
            }
            if (line->text.empty()) {
                std::fputs("The password is empty.\n", out);
                continue;
            }
            typed = std::move(line->text);
            break;
        }
    }
    auto ansi = base::utf8ToAnsi(typed);
    base::secureWipe(typed);
    if (!ansi) {
        std::fprintf(out, "The password cannot be used: %s\n", ansi.error().message.c_str());
        // a preset cannot be corrected; a person is asked again
        return options.password.has_value() || !options.interactive;
    }
    ui::input::type(edit, *ansi);
    base::secureWipe(*ansi);
    ui::input::pressEnter(layout.dialog.hwnd);
    return false;
}

bool askChoice(const TtyOptions& options, std::FILE* out, const Layout& layout) {
    struct Entry {
        HWND list;
        int index;
    };
    std::vector<Entry> entries;
    std::vector<HWND> groupsShown;
    std::string text;
    if (!layout.dialog.text.empty()) text += plain(layout.dialog.text) + "\n";
    for (size_t i = 0; i < layout.controls.size(); ++i) {
        const auto& c = layout.controls[i];
        if (c.control != ui::ControlKind::ListView || !c.visible) continue;
        // the group box around the lists, once
        for (const auto& g : layout.controls)
            if (g.control == ui::ControlKind::GroupBox && !g.text.empty() && encloses(g, c) &&
                std::find(groupsShown.begin(), groupsShown.end(), g.hwnd) == groupsShown.end()) {
                groupsShown.push_back(g.hwnd);
                text += plain(g.text) + ":\n";
            }
        const std::string label = labelFor(layout, i);
        if (!label.empty()) text += label + "\n";
        if (c.items.empty()) text += "   (none)\n";
        for (size_t n = 0; n < c.items.size(); ++n) {
            entries.push_back({c.hwnd, static_cast<int>(n)});
            text += "  " + std::to_string(entries.size()) + ". " + base::ansiToUtf8(c.items[n].text) + "\n";
        }
    }
    std::fputs(text.c_str(), out);
    if (entries.empty() || !options.interactive) {
        if (!options.interactive) std::fputs("Nobody to ask: cancelled.\n", out);
        return true;
    }
    for (;;) {
        std::fprintf(out, "Number 1-%zu (empty to cancel): ", entries.size());
        std::fflush(out);
        const auto answer = options.readLine ? options.readLine() : readTerminalLine();
        if (!answer || answer->empty()) return true;
        size_t used = 0;
        int n = 0;
        try {
            n = std::stoi(*answer, &used);
        } catch (...) {
            used = 0;
        }
        if (used != answer->size() || n < 1 || static_cast<size_t>(n) > entries.size()) continue;
        const Entry chosen = entries[static_cast<size_t>(n) - 1];
        // one selection in the whole dialog, as if the other lists had been clicked empty
        for (const auto& c : layout.controls)
            if (c.control == ui::ControlKind::ListView && c.hwnd != chosen.list)
                for (const auto& item : c.items)
                    if (item.selected) {
                        ui::input::selectItem(c.hwnd, -1);
                        break;
                    }
        ui::input::selectItem(chosen.list, chosen.index);
        ui::input::pressEnter(layout.dialog.hwnd);
        return false;
    }
}

}  // namespace

struct TtyFrontend::Dialogs {
    enum class Kind { Password, Lists, Progress, Sheet, Form };

    struct Dialog {
        Kind kind = Kind::Password;
        DWORD thread = 0;       // the thread whose loop asks the questions
        int rounds = 0;         // questions asked; a dialog still there when its thread is idle
                                // again has handled the answer and stayed open: ask again
        bool gaveUp = false;    // it was told to close and stayed: asking again would spin
        std::uint64_t shown = 0;  // order of showing: the newest is the innermost modal loop's
        // Progress
        HWND cancel = nullptr;
        std::unique_ptr<TtyProgressBar> bar;
        std::map<HWND, ui::ControlKind> controls;
        std::optional<std::uint32_t> range, position;

        // Draws what changed, once
        void showProgress(const ui::WindowState& s) {
            const int span = std::max(0, s.rangeMax - s.rangeMin);
            const auto newRange = static_cast<std::uint32_t>(span);
            const auto newPosition = static_cast<std::uint32_t>(std::clamp(s.position - s.rangeMin, 0, span));
            if (range != newRange) {
                range = newRange;
                position.reset();
                bar->setRange(newRange);
            }
            if (position != newPosition) {
                position = newPosition;
                bar->setPosition(newPosition);
            }
        }
    };

    std::mutex mutex;
    std::map<HWND, Dialog> open;
    bool sigintInstalled = false;
    struct sigaction previous {};

    std::mutex wakeMutex;
    std::condition_variable wakeCv;
    std::uint64_t generation = 0;
    std::uint64_t shownCount = 0;

    bool progressShown() const {
        for (const auto& [hwnd, d] : open)
            if (d.kind == Kind::Progress && d.cancel) return true;
        return false;
    }

    void updateSigint() {
        const bool want = progressShown();
        if (want == sigintInstalled) return;
        if (want) {
            struct sigaction action {};
            action.sa_handler = countInterrupt;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            g_interrupts = 0;
            sigaction(SIGINT, &action, &previous);
        } else {
            sigaction(SIGINT, &previous, nullptr);
        }
        sigintInstalled = want;
    }
};

TtyFrontend::TtyFrontend(TtyOptions options, std::FILE* out)
    : m_options(std::move(options)), m_out(out), m_dialogs(std::make_unique<Dialogs>()) {}

TtyFrontend::~TtyFrontend() {
    {
        std::lock_guard lock(m_dialogs->mutex);
        m_dialogs->open.clear();
        m_dialogs->updateSigint();
    }
    if (m_options.password) base::secureWipe(*m_options.password);
}

int TtyFrontend::messageBox(const ui::MessageBoxRequest& request) {
    const auto icon = request.style & MB_ICONMASK;
    if (icon == MB_ICONWARNING || icon == MB_ICONERROR) ++m_warnings;
    {
        // a worker's message during progress goes on a line of its own; the bar is drawn
        // again below it with the next step
        std::lock_guard lock(m_dialogs->mutex);
        for (auto& [hwnd, d] : m_dialogs->open)
            if (d.bar) d.bar->finish();
    }
    // Message boxes are the A-functions': their texts are in the ANSI code page.
    std::fprintf(m_out, "%s: %s\n", base::ansiToUtf8(request.caption).c_str(), base::ansiToUtf8(request.text).c_str());

    const auto choices = ui::buttons(request.style);
    const int fallback = ui::defaultButton(request.style);
    if (choices.size() == 1) return choices.front();
    if (m_options.yes) {
        for (int b : choices)
            if (isAffirmative(b) == *m_options.yes) return b;
        return fallback;
    }
    if (!m_options.interactive) return fallback;

    const std::string prompt = tty::answerPrompt(choices, fallback);
    for (;;) {
        std::fputs(prompt.c_str(), m_out);
        std::fflush(m_out);
        const auto answer = m_options.readLine ? m_options.readLine() : readTerminalLine();
        if (!answer || answer->empty()) return fallback;
        if (const auto chosen = tty::buttonFor(*answer, choices)) return *chosen;
    }
}

ui::FileDialogAnswer TtyFrontend::askForFile(const ui::FileDialogRequest& request,
                                             const std::optional<std::string>& given) {
    if (given) {
        const ui::FileChoice choice = ui::chooseFile(request, *given);
        if (choice.problem.empty()) return {true, choice.path};
        std::fprintf(m_out, "%s\n", choice.problem.c_str());
        return {};
    }
    if (!m_options.interactive) return {};
    std::fprintf(m_out, "%s\n", request.title.empty() ? (request.open ? "Open" : "Save As") : request.title.c_str());
    for (;;) {
        std::fprintf(m_out, "%s in %s (empty to cancel) [%s]: ", request.open ? "File to open" : "New name",
                     request.initialDir.c_str(), request.initialName.c_str());
        std::fflush(m_out);
        const std::string name = (m_options.readLine ? m_options.readLine() : readTerminalLine()).value_or("");
        if (name.empty()) return {};
        const ui::FileChoice choice = ui::chooseFile(request, name);
        if (choice.problem.empty()) return {true, choice.path};
        std::fprintf(m_out, "%s\n", choice.problem.c_str());
    }
}

ui::FileDialogAnswer TtyFrontend::saveDialog(const ui::FileDialogRequest& request) {
    return askForFile(request, m_options.outputName);
}

ui::FileDialogAnswer TtyFrontend::openDialog(const ui::FileDialogRequest& request) {
    return askForFile(request, m_options.inputName);
}

UINT TtyFrontend::popupMenu(const ui::PopupMenuRequest& request) {
    return tty::askMenu(request.items, m_out, m_options.interactive,
                        [this] { return m_options.readLine ? m_options.readLine() : readTerminalLine(); });
}

void TtyFrontend::windowShown(HWND hwnd) {
    Layout layout;
    if (!describeDialog(hwnd, layout) || layout.dialog.kind != ui::WindowKind::Dialog) return;
    // a sheet's page is asked about through its sheet
    if (layout.dialog.style & WS_CHILD) return;
    Dialogs::Dialog d;
    bool known = false;
    if (tty::isSheet(layout)) {
        d.kind = Dialogs::Kind::Sheet;
        known = true;
    }
    for (const auto& c : layout.controls) {
        d.controls[c.hwnd] = c.control;
        if (c.control == ui::ControlKind::ProgressBar) {
            d.kind = Dialogs::Kind::Progress;
            known = true;
        }
    }
    if (d.kind == Dialogs::Kind::Progress) {
        for (const auto& c : layout.controls)
            if (c.id == IDCANCEL &&
                (c.control == ui::ControlKind::PushButton || c.control == ui::ControlKind::DefPushButton))
                d.cancel = c.hwnd;
        d.bar = std::make_unique<TtyProgressBar>(m_out);
        for (const auto& c : layout.controls)
            if (c.control == ui::ControlKind::Static && !c.text.empty()) {
                d.bar->setText(plain(c.text));
                break;
            }
        for (const auto& c : layout.controls)
            if (c.control == ui::ControlKind::ProgressBar) d.showProgress(c);
    } else if (!known) {
        for (const auto& c : layout.controls) {
            if (c.control == ui::ControlKind::Edit && (c.style & ES_PASSWORD)) {
                d.kind = Dialogs::Kind::Password;
                known = true;
                break;
            }
            if (c.control == ui::ControlKind::ListView) {
                d.kind = Dialogs::Kind::Lists;
                known = true;
            }
        }
    }
    if (!known && tty::isForm(layout)) {
        d.kind = Dialogs::Kind::Form;
        known = true;
    }
    if (!known) return;  // nothing the terminal knows how to ask: the dialog's loop goes on
    d.thread = GetWindowThreadProcessId(hwnd, nullptr);
    std::lock_guard lock(m_dialogs->mutex);
    d.shown = ++m_dialogs->shownCount;
    m_dialogs->open[hwnd] = std::move(d);
    m_dialogs->updateSigint();
}

void TtyFrontend::windowChanged(HWND hwnd, ui::Change change) {
    if (change != ui::Change::Progress && change != ui::Change::Text) return;
    std::lock_guard lock(m_dialogs->mutex);
    for (auto& [dialog, d] : m_dialogs->open) {
        if (d.kind != Dialogs::Kind::Progress || !d.bar) continue;
        auto it = d.controls.find(hwnd);
        if (it == d.controls.end()) continue;
        ui::WindowState s;
        if (!ui::describe(hwnd, s)) return;
        if (change == ui::Change::Progress && it->second == ui::ControlKind::ProgressBar) {
            d.showProgress(s);
        } else if (change == ui::Change::Text && it->second == ui::ControlKind::Static && !s.text.empty()) {
            d.bar->setText(plain(s.text));
        }
        return;
    }
}

void TtyFrontend::windowClosing(HWND hwnd) {
    std::unique_ptr<TtyProgressBar> bar;
    {
        std::lock_guard lock(m_dialogs->mutex);
        auto it = m_dialogs->open.find(hwnd);
        if (it == m_dialogs->open.end()) return;
        bar = std::move(it->second.bar);
        m_dialogs->open.erase(it);
        m_dialogs->updateSigint();
    }
    if (bar) bar->finish();
}

void TtyFrontend::wake() {
    {
        std::lock_guard lock(m_dialogs->wakeMutex);
        ++m_dialogs->generation;
    }
    m_dialogs->wakeCv.notify_all();
}

void TtyFrontend::processEvents(std::chrono::steady_clock::time_point until, const std::function<bool()>& stop) {
    const DWORD self = GetCurrentThreadId();
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard lock(m_dialogs->wakeMutex);
            seen = m_dialogs->generation;
        }
        // Ctrl-C: Cancel of the progress dialog, clicked from here and not from the handler
        bool polling = false;
        {
            HWND cancel = nullptr;
            {
                std::lock_guard lock(m_dialogs->mutex);
                polling = m_dialogs->sigintInstalled;
                if (takeInterrupt())
                    for (const auto& [hwnd, d] : m_dialogs->open)
                        if (d.kind == Dialogs::Kind::Progress && d.cancel) cancel = d.cancel;
            }
            if (cancel) {
                std::fputs("\nCancelling...\n", m_out);
                ui::input::click(cancel);
            }
        }
        if (stop()) return;

        // A dialog of this thread waiting for an answer: its thread is idle, so everything
        // injected for it has been handled
        HWND ask = nullptr;
        {
            std::lock_guard lock(m_dialogs->mutex);
            std::uint64_t newest = 0;
            for (auto& [hwnd, d] : m_dialogs->open)
                // a dialog disabled under a modal one of its own waits for that one; one that
                // has ended (EndDialog hides it) while its procedure still runs is done; of the
                // rest, the newest is the one whose modal loop this is (a card over a sheet)
                if (d.thread == self && d.kind != Dialogs::Kind::Progress && !d.gaveUp && IsWindowEnabled(hwnd) &&
                    IsWindowVisible(hwnd) && d.shown > newest) {
                    ask = hwnd;
                    newest = d.shown;
                }
        }
        if (ask) {
            converse(ask);
            continue;
        }

        auto wakeAt = until;
        if (polling) wakeAt = std::min(until, std::chrono::steady_clock::now() + kInterruptPoll);
        std::unique_lock lock(m_dialogs->wakeMutex);
        const bool woken = m_dialogs->wakeCv.wait_until(lock, wakeAt, [&] { return m_dialogs->generation != seen; });
        if (!woken && std::chrono::steady_clock::now() >= until) return;
    }
}

void TtyFrontend::converse(HWND hwnd) {
    Layout layout;
    Dialogs::Kind kind;
    int round;
    {
        std::lock_guard lock(m_dialogs->mutex);
        auto it = m_dialogs->open.find(hwnd);
        if (it == m_dialogs->open.end()) return;
        kind = it->second.kind;
        round = it->second.rounds++;
    }
    if (!describeDialog(hwnd, layout)) {
        std::lock_guard lock(m_dialogs->mutex);
        m_dialogs->open.erase(hwnd);
        return;
    }
    const bool cancel = kind == Dialogs::Kind::Password ? askPassword(m_options, m_out, layout, round)
                        : kind == Dialogs::Kind::Sheet  ? tty::askSheet(m_options, m_out, layout)
                        : kind == Dialogs::Kind::Form   ? tty::askForm(m_options, m_out, layout)
                                                        : askChoice(m_options, m_out, layout);
    if (!cancel) return;
    {
        std::lock_guard lock(m_dialogs->mutex);
        if (auto it = m_dialogs->open.find(hwnd); it != m_dialogs->open.end()) it->second.gaveUp = true;
    }
    ui::input::close(hwnd);
}

// ---- terminal input ---------------------------------------------------------------------

bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

namespace {

volatile std::sig_atomic_t g_promptInterrupted = 0;
extern "C" void noteInterrupt(int) { g_promptInterrupted = 1; }

}  // namespace

Result<HiddenInput> readHiddenInput(const std::string& prompt) {
    const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) return fail("no terminal to read the password from; use --password-stdin");
    termios old{};
    const bool haveTermios = tcgetattr(fd, &old) == 0;
    if (haveTermios) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    // Ctrl-C must not leave the terminal without echo: the read is interrupted instead
    struct sigaction quietInt {}, previousInt {};
    quietInt.sa_handler = noteInterrupt;
    sigemptyset(&quietInt.sa_mask);
    quietInt.sa_flags = 0;  // no SA_RESTART: read() returns EINTR
    g_promptInterrupted = 0;
    sigaction(SIGINT, &quietInt, &previousInt);

    (void)!write(fd, prompt.data(), prompt.size());
    HiddenInput input;
    char c = 0;
    for (;;) {
        const ssize_t n = read(fd, &c, 1);
        if (n == 1) {
            if (c == '\n') break;
            base::appendWiping(input.text, c);
            continue;
        }
        if (n < 0 && errno == EINTR && !g_promptInterrupted) continue;
        input.end = n == 0 ? HiddenInput::End::EndOfInput : HiddenInput::End::Interrupted;
        break;
    }
    sigaction(SIGINT, &previousInt, nullptr);
    if (haveTermios) tcsetattr(fd, TCSAFLUSH, &old);
    if (input.end != HiddenInput::End::Line) (void)!write(fd, "\n", 1);
    close(fd);
    base::secureWipe(&c, 1);
    if (!input.text.empty() && input.text.back() == '\r') input.text.pop_back();
    return input;
}

Result<std::string> readHiddenLine(const std::string& prompt) {
    auto input = readHiddenInput(prompt);
    if (!input) return input.error();
    if (input->end == HiddenInput::End::Interrupted) {
        // the terminal is restored: now let Ctrl-C do what it would have done
        base::secureWipe(input->text);
        raise(SIGINT);
        return fail("interrupted");
    }
    return std::move(input->text);
}

}  // namespace vlt::frontends
