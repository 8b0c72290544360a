#include "ui/input.h"

#include <algorithm>

#include "ui/internal.h"
#include "ui/remote.h"

namespace vlt::ui::input {
namespace {

using namespace vlt::ui::detail;

// The window as the calling thread's user sees it: exists, belongs to this thread, visible
// with its ancestors, enabled with its ancestors.
std::shared_ptr<Window> reachableLocked(HWND hwnd) {
    auto w = findLocked(hwnd);
    if (!w || w->queue->threadId != GetCurrentThreadId()) return nullptr;
    for (auto p = w; p; p = (p->style & WS_CHILD) ? findLocked(p->parent) : nullptr)
        if (!(p->style & WS_VISIBLE) || (p->style & WS_DISABLED)) return nullptr;
    return w;
}

// Keys pressed in a dialog inside a dialog (a property page) act on the outermost one.
HWND outerDialog(HWND hwnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hwnd);
    while (w && w->kind == WindowKind::Dialog && (w->style & WS_CHILD)) {
        auto parent = findLocked(w->parent);
        if (!parent || parent->kind != WindowKind::Dialog) break;
        w = parent;
    }
    return w ? w->hwnd : hwnd;
}

bool reachable(HWND hwnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return reachableLocked(hwnd) != nullptr;
}

}  // namespace

void run(HWND window, std::function<void()> action) {
    if (isRemoteHandle(window) || !action) return;
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        auto w = findLocked(window);
        if (!w || !w->queue->alive) return;
        w->queue->input.push_back(InputAction{window, std::move(action)});
        wakeLocked(*w->queue);
    }
    wakeFrontend();
}

void click(HWND button) {
    run(button, [button] { now::click(button); });
}
void type(HWND edit, const std::string& text) {
    // The queued copy of what is typed is wiped when the action is released, run or not.
    struct Typed {
        std::string text;
        ~Typed() { base::secureWipe(text); }
    };
    auto typed = std::make_shared<Typed>();
    typed->text = text;
    run(edit, [edit, typed] { now::type(edit, typed->text); });
}
void selectItem(HWND list, int index) {
    run(list, [list, index] { now::selectItem(list, index); });
}
void activateItem(HWND list, int index) {
    run(list, [list, index] { now::activateItem(list, index); });
}
void hover(HWND control) {
    run(control, [control] { now::hover(control); });
}
void close(HWND window) {
    run(window, [window] { now::close(window); });
}
void pressEnter(HWND dialog) {
    run(dialog, [dialog] { now::pressEnter(dialog); });
}

namespace now {

bool click(HWND button) { return reachable(button) && clickNow(button); }

bool type(HWND edit, const std::string& text) {
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = reachableLocked(edit);
        if (!w || w->control != ControlKind::Edit || (w->style & ES_READONLY)) return false;
        std::string typed;
        for (char c : text) {
            if ((w->style & ES_NUMBER) && (c < '0' || c > '9')) continue;  // refused keys
            if (static_cast<int>(typed.size()) >= w->textLimit) break;
            base::appendWiping(typed, c);
        }
        base::secureWipe(w->text);
        w->text = std::move(typed);
        base::secureWipe(typed);  // a short text was copied out of it
    }
    SetFocus(edit);
    changed(edit, Change::Text);
    notifyParentCommand(edit, EN_CHANGE);
    return true;
}

bool selectItem(HWND list, int index) {
    ControlKind kind{};
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = reachableLocked(list);
        if (!w) return false;
        kind = w->control;
    }
    if (kind == ControlKind::ComboBox) return comboSelectNow(list, index);
    if (kind == ControlKind::Tab) return tabSelectNow(list, index);
    return listClickNow(list, index, false);
}

bool activateItem(HWND list, int index) { return reachable(list) && listClickNow(list, index, true); }

bool hover(HWND control) {
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(control);
        if (!w || w->queue->threadId != GetCurrentThreadId()) return false;
        for (auto p = w; p; p = (p->style & WS_CHILD) ? findLocked(p->parent) : nullptr)
            if (!(p->style & WS_VISIBLE)) return false;  // disabled windows still get WM_SETCURSOR
    }
    return hoverNow(control);
}

bool close(HWND window) {
    window = outerDialog(window);
    WindowKind kind{};
    HWND cancel = nullptr;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = reachableLocked(window);
        if (!w || (w->style & WS_CHILD)) return false;
        kind = w->kind;
        cancel = childWithIdLocked(*w, IDCANCEL);
    }
    if (kind == WindowKind::Dialog)
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    else
        SendMessageA(window, WM_CLOSE, 0, 0);
    return true;
}

bool pressEnter(HWND dialog) {
    dialog = outerDialog(dialog);
    HWND def = nullptr;
    HWND ok = nullptr;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = reachableLocked(dialog);
        if (!w || w->kind != WindowKind::Dialog) return false;
        for (HWND h : w->children) {
            auto c = findLocked(h);
            if (!c) continue;
            if (c->control == ControlKind::DefPushButton && def == nullptr) def = h;
            if (c->id == IDOK && ok == nullptr) ok = h;
        }
    }
    if (def != nullptr) return click(def);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    return true;
}

}  // namespace now
}  // namespace vlt::ui::input
