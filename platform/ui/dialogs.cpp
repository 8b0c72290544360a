// Dialogs from registered templates, the dialog class's procedure and the modal loop.
//
// Reproduced: the dialog procedure's TRUE means handled, and the answer to the sender is then
// DWLP_MSGRESULT (reset to 0 before each call), except for WM_INITDIALOG whose answer is the
// procedure's own; focus goes to the first enabled, visible WS_TABSTOP control when
// WM_INITDIALOG returns TRUE; an unhandled WM_CLOSE becomes WM_COMMAND(IDCANCEL) while the
// Cancel button is enabled or absent; an unhandled IDCANCEL or IDOK does nothing; a modal
// dialog disables its owner until EndDialog; EndDialog during WM_INITDIALOG ends the dialog
// before it is shown; WM_QUIT ends the modal loop and stays queued for the outer loop.
// DialogBoxParamA returns -1 (ERROR_RESOURCE_NAME_NOT_FOUND) for a template that is not
// registered. Left out: templates named by string, keyboard navigation (Tab, arrows).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "ui/internal.h"
#include "ui/loop.h"

namespace vlt::ui::detail {
namespace {

struct KindClass {
    ControlKind kind;
    const char* className;
    DWORD typeStyle;
};

const KindClass kKindClasses[] = {
    {ControlKind::Static, "Static", SS_LEFT},
    {ControlKind::Icon, "Static", SS_ICON},
    {ControlKind::GroupBox, "Button", BS_GROUPBOX},
    {ControlKind::Edit, "Edit", ES_LEFT},
    {ControlKind::PushButton, "Button", BS_PUSHBUTTON},
    {ControlKind::DefPushButton, "Button", BS_DEFPUSHBUTTON},
    {ControlKind::CheckBox, "Button", BS_AUTOCHECKBOX},
    {ControlKind::RadioButton, "Button", BS_AUTORADIOBUTTON},
    {ControlKind::ListView, WC_LISTVIEWA, 0},
    {ControlKind::ComboBox, "ComboBox", 0},
    {ControlKind::ProgressBar, PROGRESS_CLASSA, 0},
    {ControlKind::Animation, ANIMATE_CLASSA, 0},
    {ControlKind::Separator, "Static", SS_ETCHEDHORZ},
    {ControlKind::Tab, WC_TABCONTROLA, 0},
};

const KindClass& kindClass(ControlKind kind) {
    for (const auto& k : kKindClasses)
        if (k.kind == kind) return k;
    return kKindClasses[0];
}

DWORD controlStyle(const ControlTemplate& c) {
    const KindClass& k = kindClass(c.kind);
    DWORD style = c.style | WS_CHILD | WS_VISIBLE;
    switch (c.kind) {
        case ControlKind::GroupBox:
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        case ControlKind::RadioButton:
            style = (style & ~static_cast<DWORD>(BS_TYPEMASK)) | k.typeStyle;
            break;
        case ControlKind::CheckBox:
            // BS_CHECKBOX (not automatic) is kept when the template asks for it.
            if ((style & BS_TYPEMASK) != BS_CHECKBOX) style = (style & ~static_cast<DWORD>(BS_TYPEMASK)) | k.typeStyle;
            break;
        case ControlKind::Icon: style = (style & ~0x1Fu) | SS_ICON; break;
        case ControlKind::Separator:
            if (!(style & (SS_ETCHEDHORZ | SS_SUNKEN))) style |= SS_ETCHEDHORZ;
            break;
        default: break;
    }
    return style;
}

HWND firstTabStop(HWND dialog) {
    return withWindow<IfGone::Quiet>(dialog, HWND{}, [](Window& d) -> HWND {
        for (HWND h : d.children) {
            auto c = findLocked(h);
            if (c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) return h;
        }
        return nullptr;
    });
}

}  // namespace

HWND childWithIdLocked(const Window& parent, int id) {
    for (HWND h : parent.children)
        if (auto c = findLocked(h); c && c->id == id) return h;
    return nullptr;
}

HWND createFromTemplate(HINSTANCE module, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param, bool modal,
                        const ChildPlacement* child) {
    if (name == nullptr || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
    const DialogTemplate* t = findDialog(module, id);
    if (t == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    CreateParams p;
    p.dialog = true;
    p.className = "#32770";
    p.text = t->caption;
    p.style = t->style & ~static_cast<DWORD>(WS_VISIBLE);
    p.x = t->x;
    p.y = t->y;
    if (child != nullptr) {
        p.style = (p.style & ~static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU)) | WS_CHILD;
        p.x = child->x;
        p.y = child->y;
    }
    p.cx = t->cx;
    p.cy = t->cy;
    p.parent = parent;
    p.id = t->resourceId;
    p.module = module;
    p.dlgProc = proc;
    const std::vector<ControlTemplate> controls = t->controls;  // the template may be re-registered meanwhile
    const HFONT font = dialogFont(t->font, t->pointSize);
    HWND dialog = createWindow(p);
    if (dialog == nullptr) return nullptr;
    withWindow<IfGone::Quiet>(dialog, false, [&](Window& d) {
        d.modal = modal;
        d.font = font;
        return true;
    });
    for (const auto& c : controls) {
        CreateParams cp;
        cp.className = kindClass(c.kind).className;
        cp.text = c.text;
        cp.style = controlStyle(c);
        cp.exStyle = c.exStyle;
        cp.x = c.x;
        cp.y = c.y;
        cp.cx = c.cx;
        cp.cy = c.cy;
        cp.parent = dialog;
        cp.id = c.id;
        cp.module = module;
        cp.hasControlKind = true;
        cp.control = c.kind;
        cp.iconId = c.iconId;
        if (createWindow(cp) == nullptr) {
            const DWORD error = GetLastError();
            DestroyWindow(dialog);
            SetLastError(error);
            return nullptr;
        }
    }
    HWND focus = firstTabStop(dialog);
    const LRESULT init = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);
    if (!IsWindow(dialog)) return nullptr;
    if (init) {
        focus = firstTabStop(dialog);
        if (focus) SetFocus(focus);
    }
    return dialog;
}

// Makes the dialog visible and tells the front end, unless it already ended.
void showDialog(HWND dialog) {
    bool tell = false;
    withWindow<IfGone::Quiet>(dialog, false, [&](Window& d) {
        if (d.ended) return false;
        d.style |= WS_VISIBLE;
        if (!d.shown) tell = d.shown = true;
        if (d.style & DS_SETFOREGROUND) state().foreground = dialog;
        return true;
    });
    if (tell) firstPaint(dialog);
    if (tell)
        if (auto* f = fe()) f->windowShown(dialog);
}

namespace {
std::atomic<vlt::ui::MessageFilter> g_messageFilter{nullptr};
}  // namespace

INT_PTR runModal(HWND dialog, const std::function<void()>& afterShow) {
    constexpr auto Quiet = IfGone::Quiet;
    HWND owner = nullptr;
    bool ended = false;
    if (!withWindow<Quiet>(dialog, false, [&](Window& d) {
            d.modal = true;
            owner = d.parent;
            ended = d.ended;
            if (owner != nullptr && !findLocked(owner)) owner = nullptr;
            return true;
        }))
        return -1;
    if (!ended && owner != nullptr && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        withWindow<Quiet>(dialog, false, [&](Window& d) {
            d.disabledOwner = owner;
            return true;
        });
    }
    showDialog(dialog);
    if (afterShow) afterShow();

    for (;;) {
        MSG m{};
        const auto r = nextMessage(&m, nullptr, 0, 0, true, true, [&] {
            auto d = findLocked(dialog);
            return !d || d->ended;
        });
        if (r == Next::Stopped || r == Next::Invalid) break;
        if (r == Next::Quit) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (const auto filter = g_messageFilter.load(); filter != nullptr && filter(&m)) continue;
        if (!IsDialogMessageA(dialog, &m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }

    INT_PTR result = 0;
    HWND reenable = nullptr;
    if (!withWindow<Quiet>(dialog, false, [&](Window& d) {
            result = d.ended ? d.result : 0;
            reenable = std::exchange(d.disabledOwner, nullptr);
            return true;
        }))
        return 0;  // destroyed under the loop
    if (reenable) EnableWindow(reenable, TRUE);
    DestroyWindow(dialog);
    return result;
}

LRESULT dialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    constexpr auto Quiet = IfGone::Quiet;
    DLGPROC proc = nullptr;
    if (!withWindow<Quiet>(hwnd, false, [&](Window& d) {
            proc = d.dlgProc;
            if (d.extra.size() >= sizeof(LONG_PTR)) std::fill(d.extra.begin(), d.extra.begin() + sizeof(LONG_PTR), 0);
            return true;
        }))
        return 0;
    const INT_PTR handled = proc ? proc(hwnd, msg, wParam, lParam) : FALSE;
    switch (msg) {
        case WM_INITDIALOG:
        case 0x002E:  // WM_VKEYTOITEM
        case 0x002F:  // WM_CHARTOITEM
        case 0x0037:  // WM_QUERYDRAGICON
        case 0x0039:  // WM_COMPAREITEM
            return handled;
        default:
            if (msg >= 0x0132 && msg <= 0x0138) return handled;  // WM_CTLCOLOR*
            break;
    }
    if (handled) {
        return withWindow<Quiet>(hwnd, LRESULT{0}, [](Window& d) {
            LONG_PTR result = 0;
            if (d.extra.size() >= sizeof(LONG_PTR))
                std::memcpy(&result, d.extra.data() + DWLP_MSGRESULT, sizeof result);
            return result;
        });
    }
    switch (msg) {
        case WM_CLOSE: {
            const HWND cancel =
                withWindow<Quiet>(hwnd, HWND{}, [](Window& d) { return childWithIdLocked(d, IDCANCEL); });
            if (cancel == nullptr || IsWindowEnabled(cancel))
                PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case WM_INITDIALOG:
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CREATE: return 0;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;

LRESULT DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return dialogWindowProc(hDlg, Msg, wParam, lParam);
}

INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    HWND dialog = createFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, true);
    if (dialog == nullptr) return -1;
    return runModal(dialog);
}

void vlt::ui::setMessageFilter(MessageFilter filter) { g_messageFilter.store(filter); }

HWND CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    HWND dialog = createFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, false);
    if (dialog == nullptr) return nullptr;
    const vlt::ui::DialogTemplate* t =
        vlt::ui::findDialog(hInstance, static_cast<int>(reinterpret_cast<std::uintptr_t>(lpTemplateName)));
    if (t != nullptr && (t->style & WS_VISIBLE)) showDialog(dialog);
    return dialog;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    auto self = currentQueue();
    HWND owner = nullptr;
    bool wasVisible = false;
    if (!withWindow(hDlg, false, [&](Window& d) {
            d.ended = true;
            d.result = nResult;
            // From another thread (a watchdog) only the flag is set; the dialog's own loop does
            // the rest, so that no call here waits for that thread.
            if (d.queue == self) {
                owner = std::exchange(d.disabledOwner, nullptr);
                wasVisible = (d.style & WS_VISIBLE) != 0;
                d.style &= ~static_cast<DWORD>(WS_VISIBLE);
            }
            wakeLocked(*d.queue);
            return true;
        }))
        return FALSE;
    wakeFrontend();
    if (owner) EnableWindow(owner, TRUE);
    if (wasVisible) changed(hDlg, vlt::ui::Change::Visible);
    return TRUE;
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    return withWindow(hDlg, HWND{}, [&](Window& d) {
        const HWND item = childWithIdLocked(d, nIDDlgItem);
        if (item == nullptr) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
        return item;
    });
}

int GetDlgCtrlID(HWND hWnd) {
    return withWindow(hWnd, 0, [](Window& w) { return (w.style & WS_CHILD) ? w.id : 0; });
}

LRESULT SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SendMessageA(item, Msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextA(item, lpString) : FALSE;
}

UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    if (lpString != nullptr && cchMax > 0) lpString[0] = '\0';
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? static_cast<UINT>(GetWindowTextA(item, lpString, cchMax)) : 0;
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND item = GetDlgItem(hDlg, nIDButton);
    if (!item) return FALSE;
    SendMessageA(item, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    HWND item = GetDlgItem(hDlg, nIDButton);
    return item ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    if (lpMsg == nullptr || !IsWindow(hDlg)) return FALSE;
    if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)) return FALSE;
    DispatchMessageA(lpMsg);
    return TRUE;
}
