#include "frontends/tty/answer_words.h"

#include <algorithm>
#include <cctype>

#include "win32/winuser.h"

namespace vlt::frontends::tty {
namespace {

std::string buttonWord(int button) {
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

bool has(const std::vector<int>& buttons, int button) {
    return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
}

// The one letter shown for a button: y and n where people expect them (OK/Cancel too).
char shortcut(int button, const std::vector<int>& buttons) {
    if (button == IDOK) return 'y';
    if (button == IDCANCEL && has(buttons, IDOK) && !has(buttons, IDNO)) return 'n';
    return buttonWord(button)[0];
}

}  // namespace

std::optional<int> buttonFor(const std::string& answer, const std::vector<int>& buttons) {
    std::string word;
    for (char c : answer)
        if (!std::isspace(static_cast<unsigned char>(c)))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word.empty()) return std::nullopt;
    for (int b : buttons) {
        const std::string own = buttonWord(b);
        const char letter = shortcut(b, buttons);
        if (word == own || word == std::string(1, own[0]) || word == std::string(1, letter)) return b;
        if ((letter == 'y' && word == "yes") || (letter == 'n' && word == "no")) return b;
    }
    return std::nullopt;
}

std::string answerPrompt(const std::vector<int>& buttons, int fallback) {
    std::string words, letters;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (i > 0) {
            words += i + 1 == buttons.size() ? " or " : ", ";
            letters += '/';
        }
        words += buttonWord(buttons[i]);
        letters += shortcut(buttons[i], buttons);
    }
    return "Answer " + words + " (" + letters + ", Enter for " + buttonWord(fallback) + "): ";
}

}  // namespace vlt::frontends::tty
