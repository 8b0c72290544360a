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
#include <type_traits>
#include <utility>

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
    const auto kids = withWindow<IfGone::Quiet>(hwnd, std::vector<HWND>{}, [](Window& w) { return w.children; });
    for (HWND child : kids)
        if (withWindow<IfGone::Quiet>(child, false, [](Window& c) { return !std::exchange(c.destroying, true); }))
            destroyTree(child);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    dropTools(hwnd);
    bool reported = false;
    if (!withWindow<IfGone::Quiet>(hwnd, false, [&](Window& w) {
            auto& s = state();
            if (auto parent = findLocked(w.parent); parent && (w.style & WS_CHILD)) std::erase(parent->children, hwnd);
            std::erase(s.topLevel, hwnd);
            removeTimersLocked(hwnd);
            if (w.queue->focus == hwnd) w.queue->focus = nullptr;
            if (s.foreground == hwnd) s.foreground = nullptr;
            s.windows.erase(reinterpret_cast<std::uintptr_t>(hwnd));
            wakeLocked(*w.queue);  // a modal loop waiting for this dialog looks again
            reported = w.titleReported;
            return true;
        }))
        return;
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
    bool begun = false;
    HWND reenable = nullptr;
    auto self = currentQueue();
    const BOOL ok = withWindow(hWnd, FALSE, [&](Window& w) -> BOOL {
        if (w.queue != self) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w.destroying) return TRUE;
        begun = w.destroying = true;
        for (HWND h : state().topLevel) {
            auto o = findLocked(h);
            if (o && o->parent == hWnd && o->queue == self && !o->destroying) owned.push_back(h);
        }
        notify = std::exchange(w.shown, false);
        reenable = std::exchange(w.disabledOwner, nullptr);  // a modal dialog destroyed before it ended
        return TRUE;
    });
    if (!begun) return ok;
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
    constexpr auto Quiet = IfGone::Quiet;
    switch (Msg) {
        case WM_NCCREATE: return TRUE;
        case WM_SETTEXT: {
            bool topLevel = false;
            if (!withWindow<Quiet>(hWnd, false, [&](Window& w) {
                    vlt::base::secureWipe(w.text);  // the old text may be a password; nothing of it stays
                    w.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
                    topLevel = !(w.style & WS_CHILD);
                    return true;
                }))
                return FALSE;
            changed(hWnd, vlt::ui::Change::Text);
            if (topLevel) reportTitle(hWnd);
            return TRUE;
        }
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(lParam);
            if (buffer == nullptr || wParam == 0) return 0;
            buffer[0] = '\0';
            return withWindow<Quiet>(hWnd, LRESULT{0}, [&](Window& w) {
                const std::size_t n = std::min<std::size_t>(w.text.size(), wParam - 1);
                std::memcpy(buffer, w.text.data(), n);
                buffer[n] = '\0';
                return static_cast<LRESULT>(n);
            });
        }
        case WM_GETTEXTLENGTH:
            return withWindow<Quiet>(hWnd, LRESULT{0}, [](Window& w) { return static_cast<LRESULT>(w.text.size()); });
        case WM_CLOSE: DestroyWindow(hWnd); return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            if (BeginPaint(hWnd, &ps)) EndPaint(hWnd, &ps);
            return 0;
        }
        case WM_SETFONT:
            return withWindow<Quiet>(hWnd, LRESULT{0}, [&](Window& w) {
                w.font = reinterpret_cast<HFONT>(wParam);
                return LRESULT{0};
            });
        case WM_GETFONT:
            return withWindow<Quiet>(hWnd, LRESULT{0}, [](Window& w) { return reinterpret_cast<LRESULT>(w.font); });
        case WM_SETCURSOR: {
            // The parent may decide first; otherwise the arrow.
            const HWND parent =
                withWindow<Quiet>(hWnd, HWND{}, [](Window& w) { return (w.style & WS_CHILD) ? w.parent : nullptr; });
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
    return withWindow(hWnd, HWND{}, [](Window& w) { return (w.style & (WS_CHILD | WS_POPUP)) ? w.parent : nullptr; });
}

HWND GetDesktopWindow() { return desktopWindow(); }

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    return withWindow(hWnd, DWORD{0}, [&](Window& w) {
        if (lpdwProcessId) *lpdwProcessId = static_cast<DWORD>(getpid());
        return w.queue->threadId;
    });
}

namespace {

template <typename T>
LONG_PTR exchangeLong(T& field, const LONG_PTR* value) {
    const T before = field;
    if constexpr (std::is_pointer_v<T>) {
        if (value) field = reinterpret_cast<T>(*value);
        return reinterpret_cast<LONG_PTR>(before);
    } else {
        if (value) field = static_cast<T>(*value);
        return static_cast<LONG_PTR>(before);
    }
}

// A window long as it was, replaced by *value when one is given.
LONG_PTR windowLong(Window& w, int index, const LONG_PTR* value) {
    switch (index) {
        case GWLP_WNDPROC: return exchangeLong(w.proc, value);
        case GWLP_HINSTANCE: return exchangeLong(w.module, value);
        case GWLP_HWNDPARENT: return exchangeLong(w.parent, (w.style & WS_CHILD) ? nullptr : value);
        case GWLP_ID: return exchangeLong(w.id, value);
        case GWL_STYLE: return exchangeLong(w.style, value);
        case GWL_EXSTYLE: return exchangeLong(w.exStyle, value);
        case GWLP_USERDATA: return exchangeLong(w.userData, value);
        default: break;
    }
    if (w.kind == WindowKind::Dialog && index == DWLP_DLGPROC) return exchangeLong(w.dlgProc, value);
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w.extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR before = 0;
    std::memcpy(&before, w.extra.data() + index, sizeof before);
    if (value) std::memcpy(w.extra.data() + index, value, sizeof *value);
    return before;
}

}  // namespace

LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
    return withWindow(hWnd, LONG_PTR{0}, [&](Window& w) { return windowLong(w, nIndex, nullptr); });
}

LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return withWindow(hWnd, LONG_PTR{0}, [&](Window& w) {
        SetLastError(ERROR_SUCCESS);  // tells a previous value of 0 from a failure
        return windowLong(w, nIndex, &dwNewLong);
    });
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
    if (!withWindow(hWnd, false, [&](Window& w) {
            wasDisabled = (w.style & WS_DISABLED) != 0;
            if (bEnable) w.style &= ~static_cast<DWORD>(WS_DISABLED);
            else w.style |= WS_DISABLED;
            return true;
        }))
        return FALSE;
    if (wasDisabled == (bEnable != FALSE)) {
        SendMessageA(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
        changed(hWnd, vlt::ui::Change::Enabled);
    }
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
    return withWindow<IfGone::Quiet>(hWnd, FALSE, [](Window& w) { return (w.style & WS_DISABLED) ? FALSE : TRUE; });
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    bool wasVisible = false;
    bool tellShown = false;
    bool paintFirst = false;
    const bool show = nCmdShow != SW_HIDE;
    if (!withWindow(hWnd, false, [&](Window& w) {
            wasVisible = (w.style & WS_VISIBLE) != 0;
            if (show) w.style |= WS_VISIBLE;
            else w.style &= ~static_cast<DWORD>(WS_VISIBLE);
            if (show && !w.shown && !(w.style & WS_CHILD) && !w.messageOnly && !w.tooltip && !w.destroying)
                tellShown = w.shown = true;
            paintFirst = tellShown && w.kind == WindowKind::Dialog;
            return true;
        }))
        return FALSE;
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
    return withWindow<IfGone::Quiet>(hWnd, FALSE, [](Window& w) {
        for (const Window* at = &w; at; at = (at->style & WS_CHILD) ? findLocked(at->parent).get() : nullptr)
            if (!(at->style & WS_VISIBLE)) return FALSE;
        return TRUE;
    });
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
    return withWindow(hWnd, FALSE, [&](Window&) {
        state().foreground = hWnd;
        return TRUE;
    });
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
