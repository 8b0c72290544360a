// Windows: classes, creation and destruction, the default procedure, text, enabled and
// visible state, focus, window longs, and finding top-level windows by title.
//
// Reproduced: a window belongs to the thread that made it; handles of destroyed windows are
// invalid (ERROR_INVALID_WINDOW_HANDLE) and never reused; WM_CREATE returning -1 fails the
// creation; DestroyWindow sends WM_DESTROY parent first and WM_NCDESTROY children first and
// also destroys the windows the window owns; WM_CLOSE destroys by default. Left out:
// WM_NCCREATE, painting, geometry beyond the numbers given, keyboard messages.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "ui/internal.h"
#include "ui/remote.h"

namespace vlt::ui::detail {

std::string lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool equalsNoCase(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

void changed(HWND hwnd, Change what) {
    if (Frontend* f = fe()) f->windowChanged(hwnd, what);
}

HWND createWindow(const CreateParams& p) {
    auto self = currentQueue();
    auto& s = state();
    auto w = std::make_shared<Window>();
    {
        std::lock_guard lock(s.mutex);
        const std::string lowerName = lower(p.className);
        int wndExtra = 0;
        if (p.dialog) {
            w->className = "#32770";
            w->proc = dialogWindowProc;
            w->kind = WindowKind::Dialog;
            wndExtra = DLGWINDOWEXTRA;
        } else if (auto it = s.classes.find(lowerName); it != s.classes.end()) {
            w->className = it->second.name;
            w->proc = it->second.proc;
            wndExtra = it->second.wndExtra;
        } else if (WNDPROC builtin = builtinClassProc(lowerName)) {
            w->className = p.className;
            w->proc = builtin;
            w->kind = WindowKind::Control;
            w->control = p.hasControlKind ? p.control : controlKindFor(lowerName, p.style);
        } else {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        HWND parent = p.parent;
        if (p.style & WS_CHILD) {
            if (parent == nullptr) {
                SetLastError(ERROR_TLW_WITH_WSCHILD);
                return nullptr;
            }
            if (!findLocked(parent)) return invalidWindow(nullptr);
        } else {
            if (parent == HWND_MESSAGE) {
                w->messageOnly = true;
                parent = nullptr;
            } else if (parent == desktopWindow() || ui::isRemoteHandle(parent)) {
                parent = nullptr;
            } else if (parent != nullptr) {
                auto owner = findLocked(parent);
                if (!owner) return invalidWindow(nullptr);
                // A top-level window is owned by the top-level ancestor of the window given.
                while (owner && (owner->style & WS_CHILD)) owner = findLocked(owner->parent);
                parent = owner ? owner->hwnd : nullptr;
            }
        }
        w->hwnd = reinterpret_cast<HWND>(newHandleLocked());
        w->queue = self;
        w->module = p.module;
        w->parent = parent;
        w->text = p.text;
        w->style = p.style;
        w->exStyle = p.exStyle;
        w->id = (p.style & WS_CHILD) || p.dialog ? p.id : 0;
        w->x = p.x;
        w->y = p.y;
        w->cx = p.cx;
        w->cy = p.cy;
        w->extra.assign(static_cast<std::size_t>(std::max(wndExtra, 0)), 0);
        w->iconId = p.iconId;
        w->tooltip = lowerName == "tooltips_class32" && !p.dialog;
        // Controls take the dialog's font, as its template gives it.
        if (auto owner = findLocked(parent); owner && (p.style & WS_CHILD) && owner->kind == WindowKind::Dialog)
            w->font = owner->font;
        s.windows[reinterpret_cast<std::uintptr_t>(w->hwnd)] = w;
        if (p.style & WS_CHILD) {
            findLocked(parent)->children.push_back(w->hwnd);
        } else if (!w->messageOnly) {
            s.topLevel.push_back(w->hwnd);
        }
    }
    const HWND hwnd = w->hwnd;
    if (!(p.style & WS_CHILD) && !p.text.empty()) reportTitle(hwnd);

    CREATESTRUCTA cs{};
    cs.lpCreateParams = p.createParam;
    cs.hInstance = p.module;
    cs.hMenu = (p.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<std::intptr_t>(p.id)) : nullptr;
    cs.hwndParent = p.parent;
    cs.cy = p.cy;
    cs.cx = p.cx;
    cs.y = p.y;
    cs.x = p.x;
    cs.style = static_cast<LONG>(p.style);
    cs.lpszName = p.text.c_str();
    cs.lpszClass = p.className.c_str();
    cs.dwExStyle = p.exStyle;
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (p.dialog) {
        std::lock_guard lock(s.mutex);
        if (auto d = findLocked(hwnd)) d->dlgProc = p.dlgProc;
    }
    if (p.style & WS_CHILD) refreshStaticColors(hwnd);  // only once the window it is in is shown
    if (!p.dialog && !(p.style & WS_CHILD) && (p.style & WS_VISIBLE)) {
        bool tell = false;
        {
            std::lock_guard lock(s.mutex);
            if (auto d = findLocked(hwnd); d && !d->shown && !d->messageOnly && !d->tooltip) tell = d->shown = true;
        }
        if (tell)
            if (Frontend* f = fe()) f->windowShown(hwnd);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

namespace {

void destroyTree(HWND hwnd) {
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> kids;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (auto w = findLocked(hwnd)) kids = w->children;
    }
    for (HWND child : kids) {
        {
            auto& s = state();
            std::lock_guard lock(s.mutex);
            auto c = findLocked(child);
            if (!c || c->destroying) continue;
            c->destroying = true;
        }
        destroyTree(child);
    }
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    dropTools(hwnd);
    bool reported = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hwnd);
        if (!w) return;
        reported = w->titleReported;
        if (auto parent = findLocked(w->parent); parent && (w->style & WS_CHILD)) std::erase(parent->children, hwnd);
        std::erase(s.topLevel, hwnd);
        removeTimersLocked(hwnd);
        if (w->queue->focus == hwnd) w->queue->focus = nullptr;
        if (s.foreground == hwnd) s.foreground = nullptr;
        s.windows.erase(reinterpret_cast<std::uintptr_t>(hwnd));
        wakeLocked(*w->queue);  // a modal loop waiting for this dialog looks again
    }
    if (reported) reportDestroyed(hwnd);
    dropNotifyIcons(hwnd);
}

}  // namespace
}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;
namespace ui = vlt::ui;
using vlt::ui::WindowKind;

ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr || lpWndClass->lpfnWndProc == nullptr ||
        IS_INTRESOURCE(lpWndClass->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const std::string key = lower(lpWndClass->lpszClassName);
    if (s.classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ClassInfo info;
    info.name = lpWndClass->lpszClassName;
    info.proc = lpWndClass->lpfnWndProc;
    info.module = lpWndClass->hInstance;
    info.wndExtra = lpWndClass->cbWndExtra;
    info.atom = s.nextAtom++;
    s.classes[key] = info;
    return info.atom;
}

BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    if (lpClassName == nullptr || IS_INTRESOURCE(lpClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const std::string key = lower(lpClassName);
    auto it = s.classes.find(key);
    if (it == s.classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (const auto& [h, w] : s.windows) {
        (void)h;
        if (equalsNoCase(w->className, it->second.name) && w->kind != WindowKind::Control) {
            SetLastError(1412);  // ERROR_CLASS_HAS_WINDOWS
            return FALSE;
        }
    }
    s.classes.erase(it);
    return TRUE;
}

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
    if (lpClassName == nullptr || IS_INTRESOURCE(lpClassName)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    CreateParams p;
    p.exStyle = dwExStyle;
    p.className = lpClassName;
    p.text = lpWindowName ? lpWindowName : "";
    p.style = dwStyle;
    p.x = X;
    p.y = Y;
    p.cx = nWidth;
    p.cy = nHeight;
    p.parent = hWndParent;
    p.id = static_cast<int>(reinterpret_cast<std::intptr_t>(hMenu));
    p.module = hInstance;
    p.createParam = lpParam;
    return createWindow(p);
}

BOOL DestroyWindow(HWND hWnd) {
    std::vector<HWND> owned;
    bool notify = false;
    HWND reenable = nullptr;
    {
        auto self = currentQueue();
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hWnd);
        if (!w) return invalidWindow(FALSE);
        if (w->queue != self) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        w->destroying = true;
        for (HWND h : s.topLevel) {
            auto o = findLocked(h);
            if (o && o->parent == hWnd && o->queue == self && !o->destroying) owned.push_back(h);
        }
        notify = w->shown;
        w->shown = false;
        reenable = w->disabledOwner;  // a modal dialog destroyed before it ended
        w->disabledOwner = nullptr;
    }
    for (HWND h : owned) DestroyWindow(h);
    if (notify)
        if (auto* f = fe()) f->windowClosing(hWnd);
    destroyTree(hWnd);
    if (reenable && IsWindow(reenable)) EnableWindow(reenable, TRUE);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    if (hWnd == nullptr) return FALSE;
    if (ui::isRemoteHandle(hWnd)) return remoteIsWindow(hWnd) ? TRUE : FALSE;
    if (hWnd == desktopWindow()) return TRUE;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return findLocked(hWnd) ? TRUE : FALSE;
}

BOOL IsChild(HWND hWndParent, HWND hWnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    for (auto w = findLocked(hWnd); w && (w->style & WS_CHILD); w = findLocked(w->parent))
        if (w->parent == hWndParent) return TRUE;
    return FALSE;
}

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto& s = state();
    switch (Msg) {
        case WM_NCCREATE: return TRUE;
        case WM_SETTEXT: {
            bool topLevel = false;
            {
                std::lock_guard lock(s.mutex);
                auto w = findLocked(hWnd);
                if (!w) return FALSE;
                w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
                topLevel = !(w->style & WS_CHILD);
            }
            changed(hWnd, vlt::ui::Change::Text);
            if (topLevel) reportTitle(hWnd);
            return TRUE;
        }
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(lParam);
            if (buffer == nullptr || wParam == 0) return 0;
            std::lock_guard lock(s.mutex);
            auto w = findLocked(hWnd);
            if (!w) {
                buffer[0] = '\0';
                return 0;
            }
            const std::size_t n = std::min<std::size_t>(w->text.size(), wParam - 1);
            std::memcpy(buffer, w->text.data(), n);
            buffer[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH: {
            std::lock_guard lock(s.mutex);
            auto w = findLocked(hWnd);
            return w ? static_cast<LRESULT>(w->text.size()) : 0;
        }
        case WM_CLOSE: DestroyWindow(hWnd); return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            if (BeginPaint(hWnd, &ps)) EndPaint(hWnd, &ps);
            return 0;
        }
        case WM_SETFONT: {
            std::lock_guard lock(s.mutex);
            if (auto w = findLocked(hWnd)) w->font = reinterpret_cast<HFONT>(wParam);
            return 0;
        }
        case WM_GETFONT: {
            std::lock_guard lock(s.mutex);
            auto w = findLocked(hWnd);
            return w ? reinterpret_cast<LRESULT>(w->font) : 0;
        }
        case WM_SETCURSOR: {
            // The parent may decide first; otherwise the arrow.
            HWND parent = nullptr;
            {
                std::lock_guard lock(s.mutex);
                auto w = findLocked(hWnd);
                if (w && (w->style & WS_CHILD)) parent = w->parent;
            }
            if (parent && SendMessageA(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            return FALSE;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == 0xF060) SendMessageA(hWnd, WM_CLOSE, 0, 0);  // SC_CLOSE
            return 0;
        default: return 0;
    }
}

LRESULT CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

HWND GetParent(HWND hWnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hWnd);
    if (!w) return invalidWindow(nullptr);
    if (w->style & WS_CHILD) return w->parent;
    if (w->style & WS_POPUP) return w->parent;
    return nullptr;
}

HWND GetDesktopWindow() { return desktopWindow(); }

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hWnd);
    if (!w) return invalidWindow(0);
    if (lpdwProcessId) *lpdwProcessId = static_cast<DWORD>(getpid());
    return w->queue->threadId;
}

namespace {

bool extraSlot(Window& w, int index, LONG_PTR** out) {
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w.extra.size()) return false;
    *out = reinterpret_cast<LONG_PTR*>(w.extra.data() + index);
    return true;
}

}  // namespace

LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hWnd);
    if (!w) return invalidWindow(0);
    switch (nIndex) {
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->module);
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent);
        case GWLP_ID: return w->id;
        case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
        case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
        case GWLP_USERDATA: return w->userData;
        default: break;
    }
    if (w->kind == WindowKind::Dialog && nIndex == DWLP_DLGPROC) return reinterpret_cast<LONG_PTR>(w->dlgProc);
    LONG_PTR* slot = nullptr;
    if (!extraSlot(*w, nIndex, &slot)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR value = 0;
    std::memcpy(&value, slot, sizeof value);
    return value;
}

LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hWnd);
    if (!w) return invalidWindow(0);
    SetLastError(ERROR_SUCCESS);  // tells a previous value of 0 from a failure
    LONG_PTR previous = 0;
    switch (nIndex) {
        case GWLP_WNDPROC:
            previous = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
            return previous;
        case GWLP_HINSTANCE:
            previous = reinterpret_cast<LONG_PTR>(w->module);
            w->module = reinterpret_cast<HINSTANCE>(dwNewLong);
            return previous;
        case GWLP_HWNDPARENT:
            previous = reinterpret_cast<LONG_PTR>(w->parent);
            if (!(w->style & WS_CHILD)) w->parent = reinterpret_cast<HWND>(dwNewLong);
            return previous;
        case GWLP_ID:
            previous = w->id;
            w->id = static_cast<int>(dwNewLong);
            return previous;
        case GWL_STYLE:
            previous = static_cast<LONG_PTR>(w->style);
            w->style = static_cast<DWORD>(dwNewLong);
            return previous;
        case GWL_EXSTYLE:
            previous = static_cast<LONG_PTR>(w->exStyle);
            w->exStyle = static_cast<DWORD>(dwNewLong);
            return previous;
        case GWLP_USERDATA:
            previous = w->userData;
            w->userData = dwNewLong;
            return previous;
        default: break;
    }
    if (w->kind == WindowKind::Dialog && nIndex == DWLP_DLGPROC) {
        previous = reinterpret_cast<LONG_PTR>(w->dlgProc);
        w->dlgProc = reinterpret_cast<DLGPROC>(dwNewLong);
        return previous;
    }
    LONG_PTR* slot = nullptr;
    if (!extraSlot(*w, nIndex, &slot)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    std::memcpy(&previous, slot, sizeof previous);
    std::memcpy(slot, &dwNewLong, sizeof dwNewLong);
    return previous;
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    if (!IsWindow(hWnd)) return invalidWindow(FALSE);
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    if (lpString == nullptr || nMaxCount <= 0) return 0;
    lpString[0] = '\0';
    if (!IsWindow(hWnd)) return invalidWindow(0);
    return static_cast<int>(
        SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthA(HWND hWnd) {
    if (!IsWindow(hWnd)) return invalidWindow(0);
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    bool wasDisabled = false;
    bool change = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hWnd);
        if (!w) return invalidWindow(FALSE);
        wasDisabled = (w->style & WS_DISABLED) != 0;
        change = wasDisabled == (bEnable != FALSE);
        if (bEnable) w->style &= ~static_cast<DWORD>(WS_DISABLED);
        else w->style |= WS_DISABLED;
    }
    if (change) {
        SendMessageA(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
        changed(hWnd, vlt::ui::Change::Enabled);
    }
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hWnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    bool wasVisible = false;
    bool tellShown = false;
    bool paintFirst = false;
    const bool show = nCmdShow != SW_HIDE;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hWnd);
        if (!w) return invalidWindow(FALSE);
        wasVisible = (w->style & WS_VISIBLE) != 0;
        if (show) w->style |= WS_VISIBLE;
        else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        if (show && !w->shown && !(w->style & WS_CHILD) && !w->messageOnly && !w->tooltip && !w->destroying)
            tellShown = w->shown = true;
        paintFirst = tellShown && w->kind == WindowKind::Dialog;
    }
    if (wasVisible != show) {
        SendMessageA(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        changed(hWnd, vlt::ui::Change::Visible);
    }
    if (paintFirst) firstPaint(hWnd);
    if (tellShown)
        if (auto* f = fe()) f->windowShown(hWnd);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto w = findLocked(hWnd);
    if (!w) return FALSE;
    for (; w; w = (w->style & WS_CHILD) ? findLocked(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return TRUE;
}

HWND SetFocus(HWND hWnd) {
    auto self = currentQueue();
    HWND previous = nullptr;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        previous = self->focus;
        if (previous != nullptr && !findLocked(previous)) previous = nullptr;
        if (hWnd != nullptr) {
            auto w = findLocked(hWnd);
            if (!w) return invalidWindow(nullptr);
            if (w->queue != self) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
        }
        if (previous == hWnd) return previous;
        self->focus = hWnd;
    }
    if (previous) {
        SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
        changed(previous, vlt::ui::Change::Focus);
    }
    if (hWnd) {
        SendMessageA(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
        changed(hWnd, vlt::ui::Change::Focus);
    }
    return previous;
}

HWND GetFocus() {
    auto self = currentQueue();
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return self->focus && findLocked(self->focus) ? self->focus : nullptr;
}

BOOL SetForegroundWindow(HWND hWnd) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!findLocked(hWnd)) return invalidWindow(FALSE);
    s.foreground = hWnd;
    return TRUE;
}

HWND GetForegroundWindow() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.foreground && findLocked(s.foreground) ? s.foreground : nullptr;
}

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        for (auto it = s.topLevel.rbegin(); it != s.topLevel.rend(); ++it) {  // newest first
            auto w = findLocked(*it);
            if (!w || w->destroying) continue;
            if (lpClassName != nullptr) {
                if (IS_INTRESOURCE(lpClassName)) {
                    const auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(lpClassName));
                    auto c = s.classes.find(lower(w->className));
                    if (c == s.classes.end() || c->second.atom != atom) continue;
                } else if (!equalsNoCase(w->className, lpClassName)) {
                    continue;
                }
            }
            if (lpWindowName != nullptr && !equalsNoCase(w->text, lpWindowName)) continue;
            return w->hwnd;
        }
    }
    // Class atoms mean nothing in another process.
    if (lpClassName != nullptr && IS_INTRESOURCE(lpClassName)) return nullptr;
    return remoteFind(lpClassName, lpWindowName);
}
