#include "shellext/menu/context_menu.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shellext/menu/dialogs.h"
#include "shellext/menu/launchers.h"
#include "shellext/process_state.h"
#include "win32/fileapi.h"
#include "win32/shellapi.h"
#include "win32/winstr.h"

namespace vlt::shellext {

const CLSID CLSID_VaultineExtension = {0x87b9bd00, 0xc65c, 0x11cd, {0xa2, 0x59, 0x00, 0xdd, 0x01, 0x0e, 0x8c, 0x28}};

namespace {

constexpr const char* kBusyText = "Currently one VLT operation is in progress. \nAccess denied for another operation.";
constexpr const char* kConfirmDelete = "The selected file(s) will be permanently destroyed.\n\n\tDo you want to continue?";
constexpr const char* kAboutText =
    "VLT 1.0.0.1\n\nLocks your files with your own key or another person's, so that only the key's "
    "owner can unlock them.";

// QueryInterface's answer: the interface found, with a reference, or none.
HRESULT answer(IUnknown* found, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = found;
    if (found == nullptr) return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

// What InvokeCommand answers for a command that ended so: the shell may ignore it, but a host
// that runs one command learns from it whether every file was done.
HRESULT answerFor(RunResult result) {
    switch (result) {
        case RunResult::Done: return S_OK;
        case RunResult::Cancelled: return kCancelledAnswer;
        case RunResult::Failed: break;
    }
    return E_FAIL;
}

}  // namespace

// ---- Class factory ----------------------------------------------------------------------------

HRESULT CContextMenuFactory::QueryInterface(REFIID riid, void** object) {
    const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory);
    return answer(known ? static_cast<IClassFactory*>(this) : nullptr, object);
}

HRESULT CContextMenuFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* handler = new (std::nothrow) CContextMenuHandler;
    if (handler == nullptr) return E_OUTOFMEMORY;
    handler->AddRef();
    const HRESULT hr = handler->QueryInterface(riid, object);
    handler->Release();  // the object lives on through the interface given out, if any
    return hr;
}

HRESULT CContextMenuFactory::LockServer(BOOL) { return S_OK; }

// ---- Handler ----------------------------------------------------------------------------------

CContextMenuHandler::~CContextMenuHandler() {
    m_selection.clear();
    if (m_submenu) DestroyMenu(m_submenu);
}

HRESULT CContextMenuHandler::QueryInterface(REFIID riid, void** object) {
    IUnknown* found = nullptr;
    if (IsEqualIID(riid, IID_IShellExtInit) || IsEqualIID(riid, IID_IUnknown))
        found = static_cast<IShellExtInit*>(this);
    if (IsEqualIID(riid, IID_IContextMenu)) found = static_cast<IContextMenu*>(this);
    return answer(found, object);
}

HRESULT CContextMenuHandler::Initialize(LPCITEMIDLIST, IDataObject* data, HKEY) {
    m_hasLockedFile = 0;
    m_data = com::share(data);
    if (!m_data) return S_OK;

    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(m_data->GetData(&format, &medium)) || medium.hGlobal == nullptr) return S_OK;
    auto drop = reinterpret_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    m_selection.clear();
    // From the highest index down: the list holds the selection in reverse order.
    for (UINT i = count; i-- > 0;) {
        // Paths here may be longer than MAX_PATH; one cut to the buffer could name another file.
        std::string path(DragQueryFileA(drop, i, nullptr, 0), '\0');
        if (path.empty()) continue;
        if (DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size() + 1)) != path.size()) continue;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        char tail[5] = {};
        const std::size_t n = std::min<std::size_t>(path.size(), 4);
        std::memcpy(tail, path.data() + path.size() - n, n);
        CharUpperA(tail);
        if (lstrcmpA(tail, ".VTF") == 0) m_hasLockedFile = 1;
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            m_selection.push_back(std::move(path));
    }
    ReleaseStgMedium(&medium);
    return S_OK;
}

HRESULT CContextMenuHandler::QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) {
    constexpr UINT kLowBits = CMF_DEFAULTONLY | CMF_VERBSONLY | CMF_EXPLORE | CMF_NOVERBS;
    if ((flags & kLowBits) != 0 && (flags & CMF_EXPLORE) == 0) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);

    if (m_submenu) DestroyMenu(m_submenu);
    m_submenu = CreatePopupMenu();
    UINT id = first;
    bool exhausted = false;
    auto item = [&](int command, UINT state) {
        if (exhausted || id > last) {
            exhausted = true;
            return;
        }
        AppendMenuA(m_submenu, MF_STRING | state, id++, kCommands[command].menuText);
    };
    item(0, MF_ENABLED);
    item(1, MF_ENABLED);
    item(2, m_hasLockedFile == 1 ? MF_ENABLED : MF_GRAYED);
    AppendMenuA(m_submenu, MF_SEPARATOR, 0, nullptr);
    item(3, MF_ENABLED);
    item(4, MF_ENABLED);
    InsertMenuA(menu, index, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(m_submenu), kSubmenuTitle);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, kClaimedIdentifiers);
}

HRESULT CContextMenuHandler::InvokeCommand(CMINVOKECOMMANDINFO* invocation) {
    if (invocation == nullptr) return E_INVALIDARG;
    const HWND owner = invocation->hwnd;
    BusyGuard busy = takeBusyFlag();
    if (!busy) {
        MessageBoxA(owner, kBusyText, "VLT Status Report", MB_ICONWARNING);
        return E_FAIL;
    }
    auto request = [&] { return makeRequest(self(), m_selection, owner, std::move(busy)); };
    const auto verb = reinterpret_cast<ULONG_PTR>(invocation->lpVerb);
    HRESULT outcome = E_INVALIDARG;  // a verb this handler does not have
    // A verb given as a string is a pointer: all bits above the low word count, not only the
    // next sixteen.
    if (IS_INTRESOURCE(invocation->lpVerb)) {
        switch (LOWORD(verb)) {
            case 0: outcome = answerFor(launch(WorkerKind::Lock, request())); break;
            case 1: {
                // The dialog hands the request on to the worker or drops it; if the dialog cannot
                // be made, it goes here.
                GrantInvocation grant{request()};
                if (DialogBoxParamA(resourceModule(), MAKEINTRESOURCEA(kGrantDialog), owner, grantDialogProc,
                                    reinterpret_cast<LPARAM>(&grant)) == -1)
                    grant.result = RunResult::Failed;
                outcome = answerFor(grant.result);
                break;
            }
            case 2: {
                RegistryKey profile;
                profile.Create(HKEY_CURRENT_USER, layout::kProfileKey);
                DWORD size = 0;
                const bool unlocked = RegQueryValueExA(profile.Handle(), layout::kTempExchangeBlob1, nullptr, nullptr,
                                                       nullptr, &size) == ERROR_SUCCESS;
                const INT_PTR typed = unlocked ? IDOK
                                               : DialogBoxParamA(resourceModule(), MAKEINTRESOURCEA(kPasswordDialog),
                                                                 owner, passwordDialogProc, 0);
                outcome = typed == IDOK       ? answerFor(launch(WorkerKind::Unlock, request()))
                          : typed == IDCANCEL ? answerFor(RunResult::Cancelled)
                                              : answerFor(RunResult::Failed);
                profile.Close();
                break;
            }
            case 3:
                outcome = MessageBoxA(owner, kConfirmDelete, "Confirm File Delete",
                                      MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2) == IDOK
                              ? answerFor(launch(WorkerKind::SecureDelete, request()))
                              : answerFor(RunResult::Cancelled);
                break;
            case 4:
                MessageBoxA(owner, kAboutText, "About VLT", MB_OK | MB_ICONINFORMATION);
                outcome = S_OK;
                break;
            default: break;
        }
    }
    busy.reset();
    PostMessageA(owner, WM_KILLFOCUS, 0, 0);
    PostMessageA(owner, WM_SETFOCUS, 0, 0);
    return outcome;
}

HRESULT CContextMenuHandler::GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* buffer, UINT size) {
    if (command >= std::size(kCommands) || buffer == nullptr || size == 0) return S_OK;
    const char* text = kCommands[command].helpText;
    if (type & GCS_UNICODE) {
        // The same text, widened: the help texts are plain ASCII.
        auto* wide = reinterpret_cast<char16_t*>(buffer);
        UINT i = 0;
        for (; text[i] != '\0' && i + 1 < size; ++i) wide[i] = static_cast<char16_t>(text[i]);
        wide[i] = 0;
    } else {
        std::strncpy(buffer, text, size - 1);
        buffer[size - 1] = '\0';
    }
    return S_OK;
}

}  // namespace vlt::shellext
