#include "frontends/headless/headless_frontend.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string_view>

#include "base/wipe.h"
#include "ui/file_choice.h"
#include "ui/input.h"
#include "win32/commctrl.h"
#include "win32/prsht.h"
#include "win32/wingdi.h"
#include "win32/winuser.h"

namespace vlt::frontends {
namespace {

// The tab control of a property sheet: a dialog that has one is a sheet.
constexpr int kSheetTab = 0x3020;

const std::pair<const char*, int> kButtons[] = {{"IDOK", IDOK},       {"IDCANCEL", IDCANCEL}, {"IDABORT", IDABORT},
                                                {"IDRETRY", IDRETRY}, {"IDIGNORE", IDIGNORE}, {"IDYES", IDYES},
                                                {"IDNO", IDNO}};

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Token {
    std::string text;
    bool quoted = false;
    ~Token() { base::secureWipe(text); }  // the words of a type action are answers too
};

Result<std::vector<Token>> tokenize(std::string_view line) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == ';') {
            out.push_back(Token{";", false});
            ++i;
        } else if (c == '"') {
            Token t{"", true};
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\' && i < line.size()) {
                    d = line[i++];
                    if (d == 'n') d = '\n';
                    else if (d == 't') d = '\t';
                }
                t.text += d;
            }
            if (!closed) return fail("unterminated quote");
            out.push_back(std::move(t));
        } else {
            Token t;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != ';') t.text += line[i++];
            out.push_back(std::move(t));
        }
    }
    return out;
}

bool parseNumber(const Token& t, int& out) {
    if (t.quoted || t.text.empty()) return false;
    std::size_t used = 0;
    try {
        out = std::stoi(t.text, &used);
    } catch (...) {
        return false;
    }
    return used == t.text.size();
}

Result<std::vector<DialogAction>> parseActions(const std::vector<Token>& tokens, std::size_t start) {
    std::vector<DialogAction> actions;
    std::size_t i = start;
    auto need = [&](std::size_t n) { return i + n <= tokens.size(); };
    while (i < tokens.size()) {
        if (tokens[i].text == ";" && !tokens[i].quoted) {
            ++i;
            continue;
        }
        const std::string verb = tokens[i].quoted ? std::string() : tokens[i].text;
        ++i;
        int control = 0;
        int n = 0;
        if (verb == "type") {
            if (!need(2) || !parseNumber(tokens[i], control)) return fail("type needs a control id and a text");
            actions.push_back(DialogAction::type(control, tokens[i + 1].text));
            i += 2;
        } else if (verb == "click" || verb == "hover") {
            if (!need(1) || !parseNumber(tokens[i], control)) return fail(verb + " needs a control id");
            actions.push_back(verb == "click" ? DialogAction::click(control) : DialogAction::hover(control));
            i += 1;
        } else if (verb == "select" || verb == "activate") {
            if (!need(2) || !parseNumber(tokens[i], control)) return fail(verb + " needs a control id and an item");
            const Token& item = tokens[i + 1];
            if (parseNumber(item, n))
                actions.push_back(verb == "select" ? DialogAction::select(control, n) : DialogAction::activate(control, n));
            else if (item.quoted)
                actions.push_back(verb == "select" ? DialogAction::select(control, item.text)
                                                   : DialogAction::activate(control, item.text));
            else
                return fail(verb + " needs an item number or a \"quoted\" text");
            i += 2;
        } else if (verb == "tab") {
            if (!need(1)) return fail("tab needs a page number or a \"quoted\" caption");
            if (parseNumber(tokens[i], n)) actions.push_back(DialogAction::tab(n));
            else if (tokens[i].quoted) actions.push_back(DialogAction::tab(tokens[i].text));
            else return fail("tab needs a page number or a \"quoted\" caption");
            i += 1;
        } else if (verb == "enter") {
            actions.push_back(DialogAction::enter());
        } else if (verb == "cancel") {
            actions.push_back(DialogAction::cancel());
        } else if (verb == "wait-steps" || verb == "cancel-after-steps") {
            if (!need(1) || !parseNumber(tokens[i], n) || n < 0) return fail(verb + " needs a count");
            actions.push_back(DialogAction::waitSteps(n));
            if (verb == "cancel-after-steps") actions.push_back(DialogAction::click(IDCANCEL));
            i += 1;
        } else {
            // A stray word may be a password typed in the wrong place: say where, never what.
            return fail("word " + std::to_string(i) + " after the first is not a dialog action");
        }
        if (i < tokens.size() && !(tokens[i].text == ";" && !tokens[i].quoted))
            return fail("expected ';' after " + verb);
    }
    return actions;
}

std::string describeAction(const DialogAction& a) {
    switch (a.kind) {
        case DialogAction::Kind::Type: return "type " + std::to_string(a.control) + " " + quote(a.text);
        case DialogAction::Kind::Click: return "click " + std::to_string(a.control);
        case DialogAction::Kind::Hover: return "hover " + std::to_string(a.control);
        case DialogAction::Kind::Select:
        case DialogAction::Kind::Activate:
            return std::string(a.kind == DialogAction::Kind::Select ? "select " : "activate ") +
                   std::to_string(a.control) + " " + (a.byText ? quote(a.text) : std::to_string(a.index));
        case DialogAction::Kind::Enter: return "enter";
        case DialogAction::Kind::Cancel: return "cancel";
        case DialogAction::Kind::WaitSteps: return "wait-steps " + std::to_string(a.count);
        case DialogAction::Kind::Tab: return "tab " + (a.byText ? quote(a.text) : std::to_string(a.index));
    }
    return "?";
}

ControlRecord recordControl(const ui::WindowState& c) {
    ControlRecord r;
    r.id = c.id;
    r.kind = c.control;
    r.text = c.text;
    if (c.control == ui::ControlKind::Edit && (c.style & ES_PASSWORD)) r.text.assign(c.text.size(), '*');
    r.enabled = c.enabled;
    r.visible = c.visible;
    r.focused = c.focused;
    r.check = c.check;
    r.items = c.items;
    r.rangeMin = c.rangeMin;
    r.rangeMax = c.rangeMax;
    r.position = c.position;
    r.iconId = c.iconId;
    r.animationId = c.animationId;
    r.playing = c.playing;
    r.tip = c.tip;
    r.hasTextColor = c.hasTextColor;
    r.textColor = c.textColor;
    r.transparent = c.transparent;
    r.underline = c.underline;
    r.cursorId = c.cursorId;
    return r;
}

std::string controlLine(const ControlRecord& c) {
    std::string out = "  " + std::to_string(c.id) + " " + controlKindName(c.kind) + " " + quote(escape(c.text));
    if (!c.enabled) out += " disabled";
    if (!c.visible) out += " hidden";
    if (c.focused) out += " focused";
    if (c.kind == ui::ControlKind::CheckBox || c.kind == ui::ControlKind::RadioButton)
        out += c.check == BST_CHECKED ? " checked" : (c.check == BST_INDETERMINATE ? " indeterminate" : " unchecked");
    if (c.kind == ui::ControlKind::ListView || c.kind == ui::ControlKind::ComboBox || c.kind == ui::ControlKind::Tab) {
        out += " items=[";
        for (std::size_t i = 0; i < c.items.size(); ++i) {
            if (i) out += ", ";
            out += quote(escape(c.items[i].text));
            if (c.items[i].selected) out += "*";
        }
        out += "]";
    }
    if (c.kind == ui::ControlKind::ProgressBar)
        out += " pos=" + std::to_string(c.position) + " range=" + std::to_string(c.rangeMin) + ".." +
               std::to_string(c.rangeMax);
    if (c.kind == ui::ControlKind::Icon) out += " icon=" + std::to_string(c.iconId);
    if (c.kind == ui::ControlKind::Animation)
        out += " clip=" + std::to_string(c.animationId) + (c.playing ? " playing" : "");
    if (c.hasTextColor) {
        char colour[16];
        std::snprintf(colour, sizeof colour, " color=#%02X%02X%02X", GetRValue(c.textColor), GetGValue(c.textColor),
                      GetBValue(c.textColor));
        out += colour;
    }
    if (c.transparent) out += " transparent";
    if (c.underline) out += " underline";
    if (c.cursorId) out += " cursor=" + std::to_string(c.cursorId);
    if (!c.tip.empty()) out += " tip=" + quote(escape(c.tip));
    return out + "\n";
}

std::string paintLine(const ui::PaintOp& p) {
    return "  paint bitmap " + std::to_string(p.bitmapId) + " -> " + std::to_string(p.x) + "," + std::to_string(p.y) +
           " " + std::to_string(p.cx) + "x" + std::to_string(p.cy) + "\n";
}

std::string menuText(const std::vector<ui::MenuItem>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += "|";
        const auto& m = items[i];
        if (m.separator) {
            out += "-";
            continue;
        }
        std::string label = escape(m.text);
        if (!m.submenu.empty()) label += " {" + menuText(m.submenu) + "}";
        else label += "=" + std::to_string(m.id);
        if (m.checked) label = "*" + label;
        out += m.grayed ? "(" + label + ")" : label;
    }
    return out;
}

bool menuHas(const std::vector<ui::MenuItem>& items, UINT id) {
    for (const auto& m : items) {
        if (m.separator || m.grayed) continue;
        if (!m.submenu.empty() ? menuHas(m.submenu, id) : m.id == id) return true;
    }
    return false;
}

}  // namespace

// ---- Actions ----------------------------------------------------------------------------------

DialogAction::~DialogAction() { base::secureWipe(text); }

DialogAction DialogAction::type(int control, std::string text) {
    DialogAction a;
    a.kind = Kind::Type;
    a.control = control;
    a.text = std::move(text);
    base::secureWipe(text);  // a short text was copied out of it
    return a;
}
DialogAction DialogAction::click(int control) {
    DialogAction a;
    a.kind = Kind::Click;
    a.control = control;
    return a;
}

DialogAction DialogAction::hover(int control) {
    DialogAction a = click(control);
    a.kind = Kind::Hover;
    return a;
}
DialogAction DialogAction::select(int control, int index) {
    DialogAction a;
    a.kind = Kind::Select;
    a.control = control;
    a.index = index;
    return a;
}
DialogAction DialogAction::select(int control, std::string itemText) {
    DialogAction a = select(control, -1);
    a.text = std::move(itemText);
    a.byText = true;
    return a;
}
DialogAction DialogAction::activate(int control, int index) {
    DialogAction a = select(control, index);
    a.kind = Kind::Activate;
    return a;
}
DialogAction DialogAction::activate(int control, std::string itemText) {
    DialogAction a = select(control, std::move(itemText));
    a.kind = Kind::Activate;
    return a;
}
DialogAction DialogAction::enter() {
    DialogAction a;
    a.kind = Kind::Enter;
    return a;
}
DialogAction DialogAction::cancel() {
    DialogAction a;
    a.kind = Kind::Cancel;
    return a;
}
DialogAction DialogAction::tab(int index) {
    DialogAction a;
    a.kind = Kind::Tab;
    a.control = kSheetTab;
    a.index = index;
    return a;
}
DialogAction DialogAction::tab(std::string caption) {
    DialogAction a = tab(-1);
    a.text = std::move(caption);
    a.byText = true;
    return a;
}
DialogAction DialogAction::waitSteps(int count) {
    DialogAction a;
    a.kind = Kind::WaitSteps;
    a.count = count;
    return a;
}

// ---- Shared state -------------------------------------------------------------------------------

struct HeadlessFrontend::Core : std::enable_shared_from_this<HeadlessFrontend::Core> {
    struct Open {
        int resourceId = 0;
        bool modal = false;
        bool sheet = false;
        std::deque<DialogAction> pending;
        std::uint64_t activity = 0;
        std::chrono::steady_clock::time_point since;
    };

    mutable std::mutex mutex;
    std::condition_variable stopChanged;
    bool stopping = false;
    bool watchdogRunning = false;
    std::chrono::milliseconds watchdog{30000};
    std::deque<int> buttons;
    std::deque<std::optional<std::string>> saves;
    std::deque<std::optional<std::string>> opens;
    std::deque<UINT> menus;
    std::map<int, std::deque<std::vector<DialogAction>>> scripts;
    std::deque<std::vector<DialogAction>> sheetScripts;
    std::map<HWND, Open> open;
    std::vector<TranscriptEntry> transcript;
    bool trayAvailable = true;
    std::vector<TrayIconRecord> trayIcons;  // oldest first
    std::deque<ui::IconClick> trayClicks;   // from the script, for the next icon shown

    // Posts the mouse messages of the clicks to the newest icon. No lock held.
    static bool click(const TrayIconRecord& icon, const std::vector<ui::IconClick>& clicks) {
        bool ok = true;
        for (auto c : clicks)
            for (UINT m : ui::mouseMessagesFor(c)) ok = ui::notifyIconEvent(icon.owner, icon.id, m) && ok;
        return ok;
    }

    void note(std::string text) {
        TranscriptEntry e;
        e.kind = TranscriptEntry::Kind::Note;
        e.text = std::move(text);
        std::lock_guard lock(mutex);
        transcript.push_back(std::move(e));
    }

    static TranscriptEntry snapshot(HWND dialog, TranscriptEntry::Kind kind) {
        TranscriptEntry e;
        e.kind = kind;
        ui::WindowState d;
        if (!ui::describe(dialog, d)) return e;
        e.resourceId = d.id;
        e.sheet = isSheet(dialog);
        e.caption = d.text;
        e.answer = static_cast<int>(d.result);
        for (HWND h : ui::children(dialog)) {
            ui::WindowState c;
            if (ui::describe(h, c) && c.kind == ui::WindowKind::Control) e.controls.push_back(recordControl(c));
        }
        for (auto& p : d.paint) {
            p.image.pixels.clear();  // the transcript names the picture; its size stays
            e.paint.push_back(std::move(p));
        }
        return e;
    }

    static bool isSheet(HWND dialog) {
        ui::WindowState tab;
        const HWND h = GetDlgItem(dialog, kSheetTab);
        return h != nullptr && ui::describe(h, tab) && tab.control == ui::ControlKind::Tab;
    }

    // The progress bar steps of a dialog (the sum over its bars).
    static int steps(HWND dialog) {
        int total = 0;
        for (HWND h : ui::children(dialog)) {
            ui::WindowState c;
            if (ui::describe(h, c) && c.control == ui::ControlKind::ProgressBar) total += c.steps;
        }
        return total;
    }

    // Queues the dialog's next actions up to a wait that is not satisfied yet.
    void advance(HWND dialog) {
        std::vector<DialogAction> ready;
        bool sheet = false;
        {
            std::lock_guard lock(mutex);
            auto it = open.find(dialog);
            if (it == open.end()) return;
            auto& pending = it->second.pending;
            sheet = it->second.sheet;
            if (sheet && !pending.empty()) {
                ready.push_back(pending.front());
                pending.pop_front();
            }
            while (!sheet && !pending.empty()) {
                if (pending.front().kind == DialogAction::Kind::WaitSteps) {
                    if (steps(dialog) < pending.front().count) break;
                    pending.pop_front();
                    continue;
                }
                ready.push_back(pending.front());
                pending.pop_front();
            }
        }
        std::weak_ptr<Core> self = weak_from_this();
        if (sheet) {
            // A sheet's actions go one at a time, each after what the pages shown by the one
            // before asked for (the start page's actions come before the first).
            for (auto& action : ready)
                ui::input::run(dialog, [self, dialog, action] {
                    ui::input::run(dialog, [self, dialog, action] {
                        if (auto core = self.lock()) {
                            core->perform(dialog, action);
                            core->advance(dialog);
                        }
                    });
                });
            return;
        }
        for (auto& action : ready)
            ui::input::run(dialog, [self, dialog, action] {
                if (auto core = self.lock()) core->perform(dialog, action);
            });
    }

    // On the dialog's thread.
    void perform(HWND dialog, const DialogAction& a) {
        HWND target = a.control != 0 ? GetDlgItem(dialog, a.control) : dialog;
        bool ok = target != nullptr;
        int index = a.index;
        if (ok && a.byText) {
            ui::WindowState list;
            index = -2;
            if (ui::describe(target, list))
                for (std::size_t i = 0; i < list.items.size(); ++i)
                    if (list.items[i].text == a.text) {
                        index = static_cast<int>(i);
                        break;
                    }
            ok = index != -2;
        }
        if (ok) {
            switch (a.kind) {
                case DialogAction::Kind::Type: ok = ui::input::now::type(target, a.text); break;
                case DialogAction::Kind::Click: ok = ui::input::now::click(target); break;
                case DialogAction::Kind::Hover: ok = ui::input::now::hover(target); break;
                case DialogAction::Kind::Select: ok = ui::input::now::selectItem(target, index); break;
                case DialogAction::Kind::Activate: ok = ui::input::now::activateItem(target, index); break;
                case DialogAction::Kind::Enter: ok = ui::input::now::pressEnter(dialog); break;
                case DialogAction::Kind::Cancel: ok = ui::input::now::close(dialog); break;
                case DialogAction::Kind::Tab: ok = ui::input::now::selectItem(target, index); break;
                case DialogAction::Kind::WaitSteps: break;
            }
        }
        if (!ok) {
            ui::WindowState d;
            const int id = ui::describe(dialog, d) ? d.id : 0;
            note("dialog " + std::to_string(id) + ": cannot " + describeAction(a));
        }
    }

    void watch() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            stopChanged.wait_for(lock, std::chrono::milliseconds(100));
            if (stopping) break;
            const auto now = std::chrono::steady_clock::now();
            std::vector<std::pair<HWND, int>> expired;
            for (auto& [hwnd, o] : open) {
                if (!o.modal) continue;
                ui::WindowState d;
                if (!ui::describe(hwnd, d) || d.ended) continue;
                if (d.activity != o.activity) {
                    o.activity = d.activity;
                    o.since = now;
                } else if (now - o.since >= watchdog) {
                    expired.emplace_back(hwnd, o.resourceId);
                    o.since = now;
                }
            }
            if (expired.empty()) continue;
            lock.unlock();
            for (const auto& [hwnd, id] : expired) {
                note("dialog " + std::to_string(id) + ": timeout, ended with IDCANCEL");
                EndDialog(hwnd, IDCANCEL);
            }
            lock.lock();
        }
    }
};

// ---- Front end ----------------------------------------------------------------------------------

HeadlessFrontend::HeadlessFrontend() : m_core(std::make_shared<Core>()) {}

HeadlessFrontend::~HeadlessFrontend() {
    {
        std::lock_guard lock(m_core->mutex);
        m_core->stopping = true;
    }
    m_core->stopChanged.notify_all();
    if (m_watchdog.joinable()) m_watchdog.join();
}

int buttonFromName(const std::string& name) {
    for (const auto& [text, id] : kButtons)
        if (name == text) return id;
    if (!name.empty() && name.size() < 9 && name.find_first_not_of("0123456789") == std::string::npos)
        return std::stoi(name);
    return 0;
}

std::string buttonName(int button) {
    for (const auto& [text, id] : kButtons)
        if (id == button) return text;
    return std::to_string(button);
}

std::string controlKindName(ui::ControlKind kind) {
    switch (kind) {
        case ui::ControlKind::Static: return "Static";
        case ui::ControlKind::Icon: return "Icon";
        case ui::ControlKind::GroupBox: return "GroupBox";
        case ui::ControlKind::Edit: return "Edit";
        case ui::ControlKind::PushButton: return "PushButton";
        case ui::ControlKind::DefPushButton: return "DefPushButton";
        case ui::ControlKind::CheckBox: return "CheckBox";
        case ui::ControlKind::RadioButton: return "RadioButton";
        case ui::ControlKind::ListView: return "ListView";
        case ui::ControlKind::ComboBox: return "ComboBox";
        case ui::ControlKind::ProgressBar: return "ProgressBar";
        case ui::ControlKind::Animation: return "Animation";
        case ui::ControlKind::Separator: return "Separator";
        case ui::ControlKind::Tab: return "Tab";
    }
    return "?";
}

void HeadlessFrontend::answerMessageBox(int button) {
    std::lock_guard lock(m_core->mutex);
    m_core->buttons.push_back(button);
}

void HeadlessFrontend::answerSaveDialog(std::optional<std::string> path) {
    std::lock_guard lock(m_core->mutex);
    m_core->saves.push_back(std::move(path));
}

void HeadlessFrontend::answerOpenDialog(std::optional<std::string> path) {
    std::lock_guard lock(m_core->mutex);
    m_core->opens.push_back(std::move(path));
}

void HeadlessFrontend::answerMenu(UINT command) {
    std::lock_guard lock(m_core->mutex);
    m_core->menus.push_back(command);
}

void HeadlessFrontend::onDialog(int resourceId, std::vector<DialogAction> actions) {
    std::lock_guard lock(m_core->mutex);
    m_core->scripts[resourceId].push_back(std::move(actions));
}

void HeadlessFrontend::onSheet(std::vector<DialogAction> actions) {
    std::lock_guard lock(m_core->mutex);
    m_core->sheetScripts.push_back(std::move(actions));
}

Result<void> HeadlessFrontend::scriptDialog(int resourceId, const std::string& actions) {
    auto tokens = tokenize(actions);
    if (!tokens) return tokens.error();
    auto parsed = parseActions(*tokens, 0);
    if (!parsed) return parsed.error();
    onDialog(resourceId, std::move(*parsed));
    return {};
}

void HeadlessFrontend::setWatchdog(std::chrono::milliseconds period) {
    std::lock_guard lock(m_core->mutex);
    m_core->watchdog = period;
}

Result<void> HeadlessFrontend::loadScript(const std::string& text) {
    // Lines are views into the text, never copies: a typed answer may be a password, and only
    // the tokens made of it (wiped when released) hold it elsewhere.
    std::string_view rest = text;
    int number = 0;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find(' ');
        const std::string_view verb = line.substr(0, space);
        const std::string_view arg = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        const std::string where = "answers line " + std::to_string(number);
        if (verb == "message" && buttonFromName(std::string(arg)) != 0) {
            answerMessageBox(buttonFromName(std::string(arg)));
        } else if (verb == "save" && !arg.empty()) {
            answerSaveDialog(arg == "cancel" ? std::nullopt : std::optional<std::string>(arg));
        } else if (verb == "open" && !arg.empty()) {
            answerOpenDialog(arg == "cancel" ? std::nullopt : std::optional<std::string>(arg));
        } else if (verb == "menu" && !arg.empty()) {
            if (arg == "none") {
                answerMenu(0);
            } else {
                const int id = buttonFromName(std::string(arg));
                if (id <= 0) return fail(where + ": menu needs a command id or none");
                answerMenu(static_cast<UINT>(id));
            }
        } else if (verb == "tray" && arg == "none") {
            setTrayAvailable(false);
        } else if (verb == "tray" && arg.rfind("click ", 0) == 0) {
            const std::string_view which = arg.substr(6);
            ui::IconClick click;
            if (which == "left") click = ui::IconClick::Left;
            else if (which == "right") click = ui::IconClick::Right;
            else if (which == "middle") click = ui::IconClick::Middle;
            else if (which == "double") click = ui::IconClick::Double;
            else return fail(where + ": tray click needs left, right, middle or double");
            std::optional<TrayIconRecord> shown;
            {
                std::lock_guard lock(m_core->mutex);
                if (m_core->trayIcons.empty()) m_core->trayClicks.push_back(click);
                else shown = m_core->trayIcons.back();
            }
            if (shown) Core::click(*shown, {click});
        } else if (verb == "sheet") {
            auto tokens = tokenize(arg);
            if (!tokens) return fail(where + ": " + tokens.error().message);
            auto actions = parseActions(*tokens, 0);
            if (!actions) return fail(where + ": " + actions.error().message);
            onSheet(std::move(*actions));
        } else if (verb == "dialog") {
            auto tokens = tokenize(arg);
            if (!tokens) return fail(where + ": " + tokens.error().message);
            int id = 0;
            if (tokens->empty() || !parseNumber((*tokens)[0], id)) return fail(where + ": dialog needs a resource id");
            auto actions = parseActions(*tokens, 1);
            if (!actions) return fail(where + ": " + actions.error().message);
            onDialog(id, std::move(*actions));
        } else {
            // Not echoed: a line that is not understood may be a typed answer.
            return fail(where +
                        " is not understood: it starts with none of message, save, open, menu, tray, sheet, "
                        "dialog");
        }
    }
    return {};
}

int HeadlessFrontend::messageBox(const ui::MessageBoxRequest& request) {
    std::lock_guard lock(m_core->mutex);
    int answer = ui::defaultButton(request.style);
    if (!m_core->buttons.empty()) {
        answer = m_core->buttons.front();
        m_core->buttons.pop_front();
    }
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::MessageBox;
    e.caption = request.caption;
    e.text = request.text;
    e.style = request.style;
    e.answer = answer;
    m_core->transcript.push_back(std::move(e));
    return answer;
}

namespace {

// Takes queued answers until one the dialog accepts; refused ones are noted as the dialog's
// complaint, as a user would see it before typing again.
ui::FileDialogAnswer answerFileDialog(const ui::FileDialogRequest& request,
                                      std::deque<std::optional<std::string>>& queue,
                                      std::vector<TranscriptEntry>& transcript) {
    ui::FileDialogAnswer answer;
    while (!queue.empty()) {
        const std::optional<std::string> typed = std::move(queue.front());
        queue.pop_front();
        if (!typed) break;
        const ui::FileChoice choice = ui::chooseFile(request, *typed);
        if (choice.problem.empty()) {
            answer = {true, choice.path};
            break;
        }
        TranscriptEntry refused;
        refused.kind = TranscriptEntry::Kind::Note;
        refused.text = choice.problem;
        transcript.push_back(std::move(refused));
    }
    TranscriptEntry e;
    e.kind = request.open ? TranscriptEntry::Kind::OpenDialog : TranscriptEntry::Kind::SaveDialog;
    e.caption = request.title;
    e.text = request.initialName;
    e.style = request.flags;
    e.folder = request.initialDir;
    e.answer = answer.accepted ? IDOK : IDCANCEL;
    e.path = answer.path;
    transcript.push_back(std::move(e));
    return answer;
}

}  // namespace

ui::FileDialogAnswer HeadlessFrontend::saveDialog(const ui::FileDialogRequest& request) {
    std::lock_guard lock(m_core->mutex);
    return answerFileDialog(request, m_core->saves, m_core->transcript);
}

ui::FileDialogAnswer HeadlessFrontend::openDialog(const ui::FileDialogRequest& request) {
    std::lock_guard lock(m_core->mutex);
    return answerFileDialog(request, m_core->opens, m_core->transcript);
}

void HeadlessFrontend::windowShown(HWND hwnd) {
    ui::WindowState d;
    if (!ui::describe(hwnd, d) || d.kind != ui::WindowKind::Dialog) return;
    TranscriptEntry shown = Core::snapshot(hwnd, TranscriptEntry::Kind::DialogShown);
    shown.answer = 0;
    const bool shownSheet = shown.sheet;
    {
        std::lock_guard lock(m_core->mutex);
        m_core->transcript.push_back(std::move(shown));
        Core::Open o;
        o.resourceId = d.id;
        o.modal = d.modal;
        o.sheet = shownSheet;
        o.activity = d.activity;
        o.since = std::chrono::steady_clock::now();
        auto script = m_core->scripts.find(d.id);
        if (o.sheet) {
            if (!m_core->sheetScripts.empty()) {
                o.pending.assign(m_core->sheetScripts.front().begin(), m_core->sheetScripts.front().end());
                m_core->sheetScripts.pop_front();
            }
        } else if (script != m_core->scripts.end() && !script->second.empty()) {
            o.pending.assign(script->second.front().begin(), script->second.front().end());
            script->second.pop_front();
        }
        m_core->open[hwnd] = std::move(o);
        if (d.modal && !m_core->watchdogRunning) {
            m_core->watchdogRunning = true;
            m_watchdog = std::thread([core = m_core] { core->watch(); });
        }
    }
    m_core->advance(hwnd);
}

void HeadlessFrontend::windowChanged(HWND hwnd, ui::Change what) {
    if (what != ui::Change::Progress) return;
    HWND dialog = GetParent(hwnd);
    {
        std::lock_guard lock(m_core->mutex);
        auto it = m_core->open.find(dialog);
        if (it == m_core->open.end() || it->second.pending.empty()) return;
    }
    m_core->advance(dialog);
}

void HeadlessFrontend::beep(UINT type) {
    char text[24];
    std::snprintf(text, sizeof text, "beep 0x%X", type);
    m_core->note(text);
}

void HeadlessFrontend::windowClosing(HWND hwnd) {
    {
        std::lock_guard lock(m_core->mutex);
        if (m_core->open.erase(hwnd) == 0) return;
    }
    TranscriptEntry closed = Core::snapshot(hwnd, TranscriptEntry::Kind::DialogClosed);
    std::lock_guard lock(m_core->mutex);
    m_core->transcript.push_back(std::move(closed));
}

UINT HeadlessFrontend::popupMenu(const ui::PopupMenuRequest& request) {
    std::lock_guard lock(m_core->mutex);
    UINT answer = 0;
    if (!m_core->menus.empty()) {
        answer = m_core->menus.front();
        m_core->menus.pop_front();
    }
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::PopupMenu;
    e.menu = request.items;
    if (answer != 0 && !menuHas(request.items, answer)) {
        TranscriptEntry n;
        n.kind = TranscriptEntry::Kind::Note;
        n.text = "menu: command " + std::to_string(answer) + " cannot be chosen";
        m_core->transcript.push_back(std::move(n));
        answer = 0;
    }
    e.answer = static_cast<int>(answer);
    m_core->transcript.push_back(std::move(e));
    return answer;
}

void HeadlessFrontend::setTrayAvailable(bool available) {
    std::lock_guard lock(m_core->mutex);
    m_core->trayAvailable = available;
}

std::vector<TrayIconRecord> HeadlessFrontend::trayIcons() const {
    std::lock_guard lock(m_core->mutex);
    return m_core->trayIcons;
}

bool HeadlessFrontend::clickTrayIcon(ui::IconClick click) {
    TrayIconRecord icon;
    {
        std::lock_guard lock(m_core->mutex);
        if (m_core->trayIcons.empty()) return false;
        icon = m_core->trayIcons.back();
    }
    return Core::click(icon, {click});
}

bool HeadlessFrontend::trayMouse(UINT mouseMessage) {
    TrayIconRecord icon;
    {
        std::lock_guard lock(m_core->mutex);
        if (m_core->trayIcons.empty()) return false;
        icon = m_core->trayIcons.back();
    }
    return ui::notifyIconEvent(icon.owner, icon.id, mouseMessage);
}

bool HeadlessFrontend::notifyIcon(const ui::NotifyIconRequest& request) {
    using Action = ui::NotifyIconRequest::Action;
    std::optional<TrayIconRecord> clickNow;
    std::vector<ui::IconClick> clicks;
    bool shown = false;
    {
        std::lock_guard lock(m_core->mutex);
        auto& icons = m_core->trayIcons;
        auto it = std::find_if(icons.begin(), icons.end(),
                               [&](const TrayIconRecord& r) { return r.owner == request.owner && r.id == request.id; });
        shown = request.action == Action::Delete || m_core->trayAvailable;
        if (shown) {
            if (request.action == Action::Delete) {
                if (it != icons.end()) icons.erase(it);
            } else {
                TrayIconRecord record{request.owner, request.id, request.callbackMessage, request.iconId, request.tip};
                if (it != icons.end()) *it = record;
                else icons.push_back(record);
                if (request.action == Action::Add && !m_core->trayClicks.empty()) {
                    clickNow = record;
                    clicks.assign(m_core->trayClicks.begin(), m_core->trayClicks.end());
                    m_core->trayClicks.clear();
                }
            }
        }
        TranscriptEntry e;
        e.kind = TranscriptEntry::Kind::TrayIcon;
        e.caption = request.action == Action::Add ? "add" : request.action == Action::Modify ? "modify" : "delete";
        e.text = request.tip;
        e.resourceId = request.iconId;
        e.style = request.id;
        e.answer = shown ? 1 : 0;
        auto& t = m_core->transcript;
        if (request.action == Action::Modify && !t.empty() && t.back().kind == TranscriptEntry::Kind::TrayIcon &&
            t.back().caption == "modify" && t.back().style == request.id && t.back().resourceId == request.iconId)
            t.back() = std::move(e);
        else
            t.push_back(std::move(e));
    }
    if (clickNow) Core::click(*clickNow, clicks);
    return shown;
}

bool HeadlessFrontend::showNotification(const ui::NotificationRequest& request) {
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::Notification;
    e.caption = request.summary;
    e.text = request.body;
    std::lock_guard lock(m_core->mutex);
    m_core->transcript.push_back(std::move(e));
    return true;
}

std::vector<TranscriptEntry> HeadlessFrontend::transcript() const {
    std::lock_guard lock(m_core->mutex);
    return m_core->transcript;
}

std::vector<TranscriptEntry> HeadlessFrontend::messageBoxes() const {
    std::lock_guard lock(m_core->mutex);
    std::vector<TranscriptEntry> out;
    for (const auto& e : m_core->transcript)
        if (e.kind == TranscriptEntry::Kind::MessageBox) out.push_back(e);
    return out;
}

std::string HeadlessFrontend::transcriptText() const {
    std::lock_guard lock(m_core->mutex);
    std::string out;
    char style[16];
    for (const auto& e : m_core->transcript) {
        std::snprintf(style, sizeof style, "0x%X", e.style);
        switch (e.kind) {
            case TranscriptEntry::Kind::MessageBox:
                out += "message [" + escape(e.caption) + "] " + escape(e.text) + " style=" + style + " -> " +
                       buttonName(e.answer) + "\n";
                break;
            case TranscriptEntry::Kind::SaveDialog:
            case TranscriptEntry::Kind::OpenDialog:
                out += std::string(e.kind == TranscriptEntry::Kind::OpenDialog ? "open [" : "save [") + escape(e.caption) + "] name=" + e.text + " folder=" + e.folder + " flags=" + style +
                       " -> " + (e.answer == IDOK ? e.path : std::string("cancel")) + "\n";
                break;
            case TranscriptEntry::Kind::DialogShown:
            case TranscriptEntry::Kind::DialogClosed:
                out += (e.sheet ? std::string("sheet") : "dialog " + std::to_string(e.resourceId)) + " [" +
                       escape(e.caption) + "] " +
                       (e.kind == TranscriptEntry::Kind::DialogShown ? std::string("shown")
                                                                     : "closed -> " + buttonName(e.answer)) +
                       "\n";
                for (const auto& c : e.controls) out += controlLine(c);
                for (const auto& p : e.paint) out += paintLine(p);
                break;
            case TranscriptEntry::Kind::PopupMenu:
                out += "menu [" + menuText(e.menu) + "] -> " + (e.answer ? std::to_string(e.answer) : "none") + "\n";
                break;
            case TranscriptEntry::Kind::Note: out += "note " + escape(e.text) + "\n"; break;
            case TranscriptEntry::Kind::TrayIcon:
                out += "tray " + e.caption + " icon=" + std::to_string(e.resourceId) + " tip=" + quote(escape(e.text)) +
                       (e.answer ? "" : " (no tray)") + "\n";
                break;
            case TranscriptEntry::Kind::Notification:
                out += "notification [" + escape(e.caption) + "] " + escape(e.text) + "\n";
                break;
        }
    }
    return out;
}

void HeadlessFrontend::clear() {
    std::lock_guard lock(m_core->mutex);
    m_core->transcript.clear();
    m_core->buttons.clear();
    m_core->saves.clear();
    m_core->opens.clear();
    m_core->menus.clear();
    m_core->scripts.clear();
    m_core->sheetScripts.clear();
    m_core->trayClicks.clear();
}

}  // namespace vlt::frontends
