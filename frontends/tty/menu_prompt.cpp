#include "frontends/tty/menu_prompt.h"

#include "frontends/tty/dialog_layout.h"

namespace vlt::frontends::tty {
namespace {

// Appends the menu's lines to text and the ids of the numbered items to choices.
void listItems(const std::vector<ui::MenuItem>& items, int depth, std::string& text, std::vector<UINT>& choices) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    for (const auto& item : items) {
        if (item.separator) {
            text += indent + "  ----\n";
        } else if (!item.submenu.empty()) {
            text += indent + "  " + plain(item.text) + (item.grayed ? " (unavailable)" : "") + ":\n";
            if (!item.grayed) listItems(item.submenu, depth + 1, text, choices);
        } else if (item.grayed || item.id == 0) {
            text += indent + "  -. " + plain(item.text) + " (unavailable)\n";
        } else {
            choices.push_back(item.id);
            text += indent + "  " + std::to_string(choices.size()) + ". " + plain(item.text) + "\n";
        }
    }
}

}  // namespace

UINT askMenu(const std::vector<ui::MenuItem>& items, std::FILE* out, bool interactive,
             const std::function<std::optional<std::string>()>& readLine) {
    std::string text;
    std::vector<UINT> choices;
    listItems(items, 0, text, choices);
    std::fputs(text.c_str(), out);
    if (choices.empty() || !interactive) {
        std::fputs(choices.empty() ? "Nothing to choose.\n" : "Nobody to ask: nothing chosen.\n", out);
        return 0;
    }
    for (;;) {
        std::fprintf(out, "Number 1-%zu (empty for none): ", choices.size());
        std::fflush(out);
        const auto answer = readLine();
        if (!answer || answer->empty()) return 0;
        std::size_t n = 0;
        const std::size_t digits = answer->find_first_not_of("0123456789");
        if (digits == std::string::npos && answer->size() <= 9) n = std::stoul(*answer);
        if (n >= 1 && n <= choices.size()) return choices[n - 1];
    }
}

}  // namespace vlt::frontends::tty
