#include "frontends/tty/sheet_prompt.h"

#include <functional>
#include <iostream>
#include <optional>

#include "base/codepage.h"
#include "base/wipe.h"
#include "ui/input.h"
#include "win32/prsht.h"

namespace vlt::frontends::tty {
namespace {

constexpr int kTabId = 0x3020;

struct Choice {
    enum class What { Click, Type, Pick };
    What what = What::Click;
    const ui::WindowState* control = nullptr;
    std::string label;
};

std::optional<std::string> readLine(const TtyOptions& options) {
    if (options.readLine) return options.readLine();
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// A number from 1 to count, else 0.
size_t numberIn(const std::string& text, size_t count) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    const size_t n = std::stoul(text);
    return n >= 1 && n <= count ? n : 0;
}

const ui::WindowState* byId(const Layout& layout, int id) {
    for (const auto& c : layout.controls)
        if (c.id == id && c.kind == ui::WindowKind::Control) return &c;
    return nullptr;
}

std::string shownValue(const ui::WindowState& c) {
    if (c.control == ui::ControlKind::Edit)
        return (c.style & ES_PASSWORD) ? std::string(c.text.size(), '*') : "\"" + base::ansiToUtf8(c.text) + "\"";
    for (const auto& item : c.items)
        if (item.selected) return base::ansiToUtf8(item.text);
    return "(none)";
}

// What the page shows and what can be done on it, in template order.
std::vector<Choice> describePage(const Layout& page, std::string& text) {
    std::vector<Choice> choices;
    for (size_t i = 0; i < page.controls.size(); ++i) {
        const auto& c = page.controls[i];
        if (!c.visible) continue;
        const bool live = c.enabled;
        Choice choice{Choice::What::Click, &c, plain(c.text)};
        switch (c.control) {
            case ui::ControlKind::Static:
            case ui::ControlKind::GroupBox:
                if (!c.text.empty()) text += "   " + plain(c.text) + "\n";
                continue;
            case ui::ControlKind::Edit:
                choice.what = Choice::What::Type;
                choice.label = labelFor(page, i);
                if (!live || (c.style & ES_READONLY)) {
                    text += "   " + choice.label + " " + shownValue(c) + "\n";
                    continue;
                }
                break;
            case ui::ControlKind::CheckBox:
            case ui::ControlKind::RadioButton:
                choice.label = std::string(c.check == BST_CHECKED ? "[x] " : "[ ] ") + choice.label;
                break;
            case ui::ControlKind::ComboBox:
            case ui::ControlKind::ListView:
                choice.what = Choice::What::Pick;
                choice.label = labelFor(page, i);
                break;
            case ui::ControlKind::PushButton:
            case ui::ControlKind::DefPushButton: break;
            default: continue;
        }
        if (!live) continue;
        if (choice.what != Choice::What::Click) choice.label += " " + shownValue(c);
        choices.push_back(std::move(choice));
        text += "  " + std::to_string(choices.size()) + ". " + choices.back().label + "\n";
    }
    return choices;
}

// The terminal's UTF-8 into the edit, in the ANSI code page the dialogs read; false when
// the text has no ANSI form (said on `out`).
bool typeInto(std::FILE* out, HWND edit, std::string& typed) {
    auto ansi = base::utf8ToAnsi(typed);
    base::secureWipe(typed);
    if (!ansi) {
        std::fprintf(out, "The text cannot be used: %s\n", ansi.error().message.c_str());
        return false;
    }
    ui::input::type(edit, *ansi);
    base::secureWipe(*ansi);
    return true;
}

bool editable(const ui::WindowState& c) {
    return c.control == ui::ControlKind::Edit && c.visible && c.enabled && !(c.style & (ES_PASSWORD | ES_READONLY));
}

// false when the user gave no answer.
bool act(const TtyOptions& options, std::FILE* out, const Choice& choice) {
    const ui::WindowState& c = *choice.control;
    if (choice.what == Choice::What::Click) {
        ui::input::click(c.hwnd);
        return true;
    }
    if (choice.what == Choice::What::Pick) {
        for (size_t n = 0; n < c.items.size(); ++n)
            std::fprintf(out, "    %zu. %s\n", n + 1, base::ansiToUtf8(c.items[n].text).c_str());
        std::fprintf(out, "Number 1-%zu (empty to keep): ", c.items.size());
        std::fflush(out);
        const size_t n = numberIn(readLine(options).value_or(""), c.items.size());
        if (n != 0) ui::input::selectItem(c.hwnd, static_cast<int>(n) - 1);
        return true;
    }
    const std::string prompt = (choice.label.empty() ? std::string("Text") : plain(choice.label)) + " ";
    std::string typed;
    if (c.style & ES_PASSWORD) {
        auto line = options.readHidden ? options.readHidden(prompt) : readHiddenInput(prompt);
        if (!line || line->end != HiddenInput::End::Line) {
            if (line) base::secureWipe(line->text);
            return false;
        }
        typed = std::move(line->text);
    } else {
        std::fprintf(out, "%s(new text): ", prompt.c_str());
        std::fflush(out);
        auto line = readLine(options);
        if (!line) return false;
        typed = std::move(*line);
    }
    typeInto(out, c.hwnd, typed);
    return true;
}

}  // namespace

bool isSheet(const Layout& layout) {
    const auto* tab = byId(layout, kTabId);
    return tab != nullptr && tab->control == ui::ControlKind::Tab;
}

namespace {

// The current page's text and choices under `text`.
std::vector<Choice> describeCurrentPage(const Layout& sheet, Layout& page, std::string& text) {
    for (const auto& c : sheet.controls)
        if (c.kind == ui::WindowKind::Dialog && c.visible && describeDialog(c.hwnd, page)) break;
    return page.dialog.hwnd ? describePage(page, text) : std::vector<Choice>{};
}

// Shows `text`, then reads answers until one does something: a choice's number, or a word
// `word` handles (true = done). true when the user gave up.
bool converse(const TtyOptions& options, std::FILE* out, const std::string& text, const std::vector<Choice>& choices,
              const std::function<bool(const std::string&)>& word, const char* help) {
    std::fputs(text.c_str(), out);
    if (!options.interactive) {
        std::fputs("Nobody to ask: cancelled.\n", out);
        return true;
    }
    for (;;) {
        std::fputs("Choice: ", out);
        std::fflush(out);
        const auto answer = readLine(options);
        if (!answer || answer->empty() || *answer == "cancel") return true;
        if (word(*answer)) return false;
        if (const size_t n = numberIn(*answer, choices.size())) return !act(options, out, choices[n - 1]);
        std::fputs(help, out);
    }
}

// A wizard: its caption names the step; the page, then Back, Next and Finish as they can be
// pressed (Finish under its own text when a page renamed it).
bool askWizard(const TtyOptions& options, std::FILE* out, const Layout& sheet) {
    std::string text = "== " + plain(sheet.dialog.text) + " ==\n";
    Layout page;
    const std::vector<Choice> choices = describeCurrentPage(sheet, page, text);
    const std::pair<const char*, int> buttons[] = {{"back", ID_WIZBACK}, {"next", ID_WIZNEXT}, {"finish", ID_WIZFINISH}};
    std::vector<std::pair<std::string, HWND>> usable;
    text += " ";
    for (const auto& [name, id] : buttons) {
        const auto* button = byId(sheet, id);
        if (button == nullptr || !button->visible || !button->enabled) continue;
        usable.emplace_back(name, button->hwnd);
        const std::string label = plain(button->text);
        text += std::string(" ") + name + (id == ID_WIZFINISH && label != "Finish" ? " (" + label + ")" : "") + ";";
    }
    text += " cancel\n";
    return converse(
        options, out, text, choices,
        [&](const std::string& answer) {
            for (const auto& [name, hwnd] : usable)
                if (answer == name) {
                    ui::input::click(hwnd);
                    return true;
                }
            return false;
        },
        "Choose a number, back, next, finish or cancel.\n");
}

// A dialog that asks for one line: a single editable field with OK and Cancel. The index of
// the field in the layout's controls, if the dialog is one.
std::optional<size_t> formField(const Layout& layout) {
    if (byId(layout, IDOK) == nullptr || byId(layout, IDCANCEL) == nullptr) return std::nullopt;
    std::optional<size_t> field;
    for (size_t i = 0; i < layout.controls.size(); ++i) {
        if (!editable(layout.controls[i])) continue;
        if (field) return std::nullopt;  // one line answers one field only
        field = i;
    }
    return field;
}

}  // namespace

bool isForm(const Layout& layout) {
    if (formField(layout)) return true;
    for (const auto& c : layout.controls)
        if ((c.control == ui::ControlKind::PushButton || c.control == ui::ControlKind::DefPushButton) && c.visible &&
            c.enabled)
            return true;
    return false;
}

bool askForm(const TtyOptions& options, std::FILE* out, const Layout& form) {
    const auto field = formField(form);
    const auto* ok = byId(form, IDOK);
    std::string text = form.dialog.text.empty() ? std::string() : "== " + plain(form.dialog.text) + " ==\n";
    if (!field || ok == nullptr) {
        const std::vector<Choice> choices = describePage(form, text);
        text += "  cancel\n";
        return converse(
            options, out, text, choices, [](const std::string&) { return false; }, "Choose a number or cancel.\n");
    }
    std::fputs(text.c_str(), out);
    if (!options.interactive) {
        std::fputs("Nobody to ask: cancelled.\n", out);
        return true;
    }
    const std::string label = labelFor(form, *field);
    std::fprintf(out, "%s (empty to cancel): ", label.empty() ? "Text" : label.c_str());
    std::fflush(out);
    auto line = readLine(options);
    if (!line || line->empty()) return true;
    if (!typeInto(out, form.controls[*field].hwnd, *line)) return false;  // asked again
    ui::input::click(ok->hwnd);
    return false;
}

bool askSheet(const TtyOptions& options, std::FILE* out, const Layout& sheet) {
    if (byId(sheet, ID_WIZNEXT) != nullptr) return askWizard(options, out, sheet);
    const auto* tab = byId(sheet, kTabId);
    if (tab == nullptr) return true;
    std::string text = "== " + plain(sheet.dialog.text) + " ==\nPages:";
    for (size_t n = 0; n < tab->items.size(); ++n)
        text += " p" + std::to_string(n + 1) + ". " + plain(tab->items[n].text) +
                (static_cast<int>(n) == tab->selection ? "*" : "") + (n + 1 < tab->items.size() ? "," : "");
    text += "\n";
    if (tab->selection >= 0 && static_cast<size_t>(tab->selection) < tab->items.size())
        text += "-- " + plain(tab->items[static_cast<size_t>(tab->selection)].text) + " --\n";
    Layout page;
    const std::vector<Choice> choices = describeCurrentPage(sheet, page, text);
    const auto* apply = byId(sheet, ID_APPLY_NOW);
    const bool canApply = apply && apply->enabled && apply->visible;
    text += std::string("  pN: another page; ok") + (canApply ? "; apply" : "") + "; cancel\n";
    return converse(
        options, out, text, choices,
        [&](const std::string& answer) {
            if (answer == "ok" || (answer == "apply" && canApply)) {
                if (const auto* button = byId(sheet, answer == "ok" ? IDOK : ID_APPLY_NOW))
                    ui::input::click(button->hwnd);
                return true;
            }
            if (answer[0] == 'p') {
                if (const size_t n = numberIn(answer.substr(1), tab->items.size())) {
                    ui::input::selectItem(tab->hwnd, static_cast<int>(n) - 1);
                    return true;
                }
            }
            return false;
        },
        "Choose a number, pN, ok, apply or cancel.\n");
}

}  // namespace vlt::frontends::tty
