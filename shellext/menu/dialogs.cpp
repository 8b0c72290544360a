#include "shellext/menu/dialogs.h"

#include <atomic>
#include <cstring>

#include "base/wipe.h"
#include "shared/certificate_store.h"
#include "shellext/menu/launchers.h"
#include "shellext/menu/pictures.h"
#include "shellext/messages.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"
#include "ui/resources.h"
#include "win32/commctrl.h"
#include "win32/winbase.h"

namespace vlt::shellext {
namespace {

using ui::ControlKind;

std::atomic<ProgressKind> g_progressKind{ProgressKind::Lock};
std::atomic<HINSTANCE> g_module{nullptr};

constexpr const char* kGrantPrompt = "Select the person to  whom  you want to give acces to the file.";

ui::DialogTemplate passwordTemplate() {
    ui::DialogTemplate t;
    t.resourceId = kPasswordDialog;
    t.cx = 228;
    t.cy = 65;
    t.style = DS_MODALFRAME | DS_CENTER | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {-1, ControlKind::Icon, "", 7, 10, 21, 20, SS_ICON, 0, kProductIcon},
        {-1, ControlKind::GroupBox, "Enter VLT Password", 35, 4, 186, 36, BS_GROUPBOX, 0, 0},
        {-1, ControlKind::Static, "Password:", 43, 20, 40, 8, SS_LEFT, 0, 0},
        {kPasswordEdit, ControlKind::Edit, "", 85, 18, 128, 12, ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 113, 45, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 171, 45, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, 0, 0},
    };
    return t;
}

ui::DialogTemplate grantTemplate() {
    constexpr DWORD kListStyle =
        LVS_LIST | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING | WS_BORDER | WS_TABSTOP;
    ui::DialogTemplate t;
    t.resourceId = kGrantDialog;
    t.caption = "Grand File To";
    t.cx = 210;
    t.cy = 232;
    t.style = DS_MODALFRAME | DS_CENTER | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {kGrantGroup, ControlKind::GroupBox, "Certificate List", 7, 4, 196, 200, BS_GROUPBOX, 0, 0},
        {-1, ControlKind::Icon, "", 14, 16, 21, 20, SS_ICON, 0, kProductIcon},
        {-1, ControlKind::Static, kGrantPrompt, 40, 18, 156, 16, SS_LEFT, 0, 0},
        {kPersonalList, ControlKind::ListView, "", 14, 38, 182, 62, kListStyle, WS_EX_CLIENTEDGE, 0},
        {kGrantSeparator, ControlKind::Separator, "", 14, 105, 182, 1, SS_ETCHEDHORZ | SS_SUNKEN, 0, 0},
        {-1, ControlKind::Icon, "", 14, 110, 21, 20, SS_ICON, 0, kProductIcon},
        {-1, ControlKind::Static, kGrantPrompt, 40, 112, 156, 16, SS_LEFT, 0, 0},
        {kSystemList, ControlKind::ListView, "", 14, 132, 182, 62, kListStyle, WS_EX_CLIENTEDGE, 0},
        {kGrantLockButton, ControlKind::DefPushButton, "&Lock", 97, 211, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 153, 211, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, 0, 0},
    };
    return t;
}

ui::DialogTemplate progressTemplate() {
    ui::DialogTemplate t;
    t.resourceId = kProgressDialog;
    t.cx = 250;
    t.cy = 75;
    t.style = DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {kProgressAnimation, ControlKind::Animation, "", 7, 3, 236, 24, ACS_TRANSPARENT | ACS_AUTOPLAY | ACS_CENTER, 0, 0},
        {kProgressText, ControlKind::Static, "Commencing Operation", 7, 29, 236, 8, SS_LEFT, 0, 0},
        {kProgressBar, ControlKind::ProgressBar, "", 7, 40, 236, 10, WS_BORDER, 0, 0},
        {kProgressSubText, ControlKind::Static, "", 7, 56, 150, 8, SS_LEFT, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 193, 55, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, 0, 0},
    };
    return t;
}

// The worker's view of the open progress dialog: every call is a message sent to one of its
// controls, which the dialog's thread handles in its modal loop.
class DialogProgress final : public Progress {
public:
    void attach(HWND dialog) {
        m_dialog = dialog;
        m_bar = GetDlgItem(dialog, kProgressBar);
        m_text = GetDlgItem(dialog, kProgressText);
    }
    void reset() override { SendMessageA(m_bar, PBM_SETPOS, 0, 0); }
    void showText(const std::string& text) override { SetWindowTextA(m_text, text.c_str()); }
    void setRange(std::uint16_t maximum) override { SendMessageA(m_bar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum)); }
    void step() override { SendMessageA(m_bar, PBM_STEPIT, 0, 0); }
    void close(RunResult result) override {
        SendMessageA(m_dialog, kCloseProgressMessage, static_cast<WPARAM>(result), 0);
    }

private:
    HWND m_dialog = nullptr;
    HWND m_bar = nullptr;
    HWND m_text = nullptr;
};

DialogProgress g_dialogProgress;

void fillStoreList(HWND list, CertificateStore store) {
    const auto names = storeEntryNames(store);
    for (std::size_t index = 0; index < names.size(); ++index) {
        std::string name = names[index];
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(index);
        item.pszText = name.data();
        item.iImage = 0;
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

// The text of the selected item of a list, at most 200 characters; empty when none.
std::string selectedText(HWND list) {
    const auto index = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (index < 0) return {};
    char text[201] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

// Ends the grant dialog; with `lock`, the request passes to the worker, which locks the selection
// for the chosen person behind the progress dialog. Without, it is dropped here.
void endGrant(HWND dialog, GrantInvocation& grant, bool lock) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
    std::unique_ptr<MenuRequest> taken = std::move(grant.request);
    if (!lock) taken.reset();
    EndDialog(dialog, 1);
    if (lock) grant.result = runBehindProgressDialog(std::move(taken), WorkerKind::Lock);
}

void setRecipient(GrantInvocation& grant, const std::string& name) {
    // The request holds 100 characters: longer names are cut to 99.
    if (!name.empty()) grant.request->request.recipient = name.substr(0, 99);
}

}  // namespace

void setProgressKind(ProgressKind kind) { g_progressKind.store(kind); }

HINSTANCE resourceModule() { return g_module.load(); }

void registerDialogs(HINSTANCE module) {
    g_module.store(module);
    ui::registerDialog(module, passwordTemplate());
    ui::registerDialog(module, grantTemplate());
    ui::registerDialog(module, progressTemplate());
    registerPictures(module);
}

INT_PTR passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) {
        base::SecretBytes typed(kPasswordBufferSize);
        const auto length = SendDlgItemMessageA(dialog, kPasswordEdit, WM_GETTEXT, typed.size(),
                                                reinterpret_cast<LPARAM>(typed.data()));
        if (length != 0) {
            setPassword(reinterpret_cast<const char*>(typed.data()), static_cast<std::size_t>(length));
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

INT_PTR grantDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // The creation parameter: the command's request, taken from it when the dialog ends, and
    // where the dialog leaves how the command ended.
    auto* grant = reinterpret_cast<GrantInvocation*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
            // One image list per showing, shared by both lists: the list views destroy it with
            // the dialog, so a list kept from an earlier showing would be gone.
            HIMAGELIST images =
                ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_MASK, 1, 1);
            ImageList_AddIcon(images, LoadIconA(resourceModule(), MAKEINTRESOURCEA(kPersonIcon)));
            HWND personal = GetDlgItem(dialog, kPersonalList);
            HWND system = GetDlgItem(dialog, kSystemList);
            SendMessageA(personal, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
            fillStoreList(personal, CertificateStore::Personal);
            SendMessageA(system, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
            fillStoreList(system, CertificateStore::System);
            return TRUE;
        }
        case WM_COMMAND:
            if (grant == nullptr) return FALSE;
            if (LOWORD(wParam) == IDCANCEL) {
                endGrant(dialog, *grant, false);
                return TRUE;
            }
            if (LOWORD(wParam) == kGrantLockButton) {
                // A selection in the system store wins when both lists have one.
                OperationRequest& r = grant->request->request;
                r.storeFlag = 0;
                HWND list = GetDlgItem(dialog, kSystemList);
                if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
                    r.storeFlag = 1;
                    list = GetDlgItem(dialog, kPersonalList);
                    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
                        MessageBoxA(r.owner, "Please select a person from the list",
                                    "VLT Status Report", MB_ICONWARNING);
                        return TRUE;
                    }
                }
                setRecipient(*grant, selectedText(list));
                endGrant(dialog, *grant, true);
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (grant == nullptr || header == nullptr) return FALSE;
            const bool personal = header->idFrom == kPersonalList;
            if (!personal && header->idFrom != kSystemList) return FALSE;
            if (header->code == NM_DBLCLK) {
                const std::string name = selectedText(header->hwndFrom);
                if (name.empty()) {
                    // A double click on an empty area ends the dialog without locking anything.
                    endGrant(dialog, *grant, false);
                    return TRUE;
                }
                setRecipient(*grant, name);
                grant->request->request.storeFlag = personal ? 1 : 0;
                endGrant(dialog, *grant, true);
                return TRUE;
            }
            if (header->code == LVN_ITEMACTIVATE) {
                HWND other = GetDlgItem(dialog, personal ? kSystemList : kPersonalList);
                LVITEMA item{};
                item.stateMask = LVIS_SELECTED;
                item.state = 0;
                SendMessageA(other, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
                return TRUE;
            }
            return FALSE;
        }
        default: return FALSE;
    }
}

INT_PTR progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            g_dialogProgress.attach(dialog);
            int clip = kLockClip;
            const char* title = "Encrypt Data ...";
            switch (g_progressKind.load()) {
                case ProgressKind::Lock: break;
                case ProgressKind::Unlock:
                    title = "Decrypting Data ...";
                    clip = kUnlockClip;
                    break;
                case ProgressKind::SecureDelete:
                    title = "Secure Deleating files";
                    clip = kShredClip;
                    break;
            }
            SetWindowTextA(dialog, title);
            HWND animation = GetDlgItem(dialog, kProgressAnimation);
            SendMessageA(animation, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(clip)));
            SendMessageA(animation, ACM_PLAY, 0, -1);
            HWND bar = GetDlgItem(dialog, kProgressBar);
            SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendMessageA(bar, PBM_SETSTEP, 1, 0);
            g_progress.store(&g_dialogProgress);
            // Only now may the worker run: the controls it talks to exist.
            ResumeThread(reinterpret_cast<HANDLE>(lParam));
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                g_cancel.store(1);
                return TRUE;
            }
            return FALSE;
        case kCloseProgressMessage:
            g_progress.store(nullptr);
            SendDlgItemMessageA(dialog, kProgressAnimation, ACM_OPENA, 0, 0);
            EndDialog(dialog, static_cast<INT_PTR>(wParam));  // the run's result
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace vlt::shellext
