#include "frontends/tty/tty_frontend.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "base/wipe.h"
#include "win32/winuser.h"

namespace vlt::frontends {
namespace {

bool isAffirmative(int button) { return button == IDOK || button == IDYES || button == IDRETRY; }

const char* buttonWord(int button) {
    switch (button) {
        case IDOK: return "ok";
        case IDCANCEL: return "cancel";
        case IDYES: return "yes";
        case IDNO: return "no";
        case IDABORT: return "abort";
        case IDRETRY: return "retry";
        case IDIGNORE: return "ignore";
        default: return "?";
    }
}

std::string readTerminalLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return {};
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

TtyFrontend::TtyFrontend(TtyOptions options, std::FILE* out) : m_options(std::move(options)), m_out(out) {}

int TtyFrontend::messageBox(const ui::MessageBoxRequest& request) {
    const auto icon = request.style & MB_ICONMASK;
    if (icon == MB_ICONWARNING || icon == MB_ICONERROR) ++m_warnings;
    std::fprintf(m_out, "%s: %s\n", request.caption.c_str(), request.text.c_str());

    const auto choices = ui::buttons(request.style);
    const int fallback = ui::defaultButton(request.style);
    if (choices.size() == 1) return choices.front();
    if (m_options.yes) {
        for (int b : choices)
            if (isAffirmative(b) == *m_options.yes) return b;
        return fallback;
    }
    if (!m_options.interactive) return fallback;

    std::string menu;
    for (int b : choices) {
        if (!menu.empty()) menu += "/";
        menu += b == fallback ? std::string(buttonWord(b)) + "*" : buttonWord(b);
    }
    for (;;) {
        std::fprintf(m_out, "[%s] ", menu.c_str());
        std::fflush(m_out);
        const std::string answer = readTerminalLine();
        if (answer.empty()) return fallback;
        for (int b : choices)
            if (answer == buttonWord(b) || answer == std::string(1, buttonWord(b)[0])) return b;
    }
}

ui::SaveDialogAnswer TtyFrontend::saveDialog(const ui::SaveDialogRequest& request) {
    std::string name;
    if (m_options.outputName) {
        name = *m_options.outputName;
    } else if (m_options.interactive) {
        std::fprintf(m_out, "%s\nNew name in %s (empty to cancel) [%s]: ", request.title.c_str(),
                     request.initialDir.c_str(), request.initialName.c_str());
        std::fflush(m_out);
        name = readTerminalLine();
    }
    if (name.empty()) return {};
    if (name.front() != '/') name = request.initialDir + "/" + name;
    return {true, name};
}

Result<std::string> readHiddenLine(const std::string& prompt) {
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
    (void)!write(fd, prompt.data(), prompt.size());
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') line += c;
    if (haveTermios) tcsetattr(fd, TCSAFLUSH, &old);
    close(fd);
    base::secureWipe(&c, 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

Result<std::string> readFirstStdinLine() {
    std::string line;
    char c;
    ssize_t n = 0;
    while ((n = read(STDIN_FILENO, &c, 1)) == 1 && c != '\n') line += c;
    if (n < 0) return fail("cannot read standard input");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace vlt::frontends
