// The context-menu handler of the shell extension and its class factory.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "com/com_ptr.h"
#include "win32/objbase.h"
#include "win32/shlobj.h"

namespace vlt::shellext {

// {87b9bd00-c65c-11cd-a259-00dd010e8c28}
extern const CLSID CLSID_VaultineExtension;

// InvokeCommand's answer when the user cancelled the command: HRESULT_FROM_WIN32(ERROR_CANCELLED).
inline constexpr HRESULT kCancelledAnswer = static_cast<HRESULT>(0x800704C7UL);

struct Command {
    const char* menuText;
    const char* helpText;
};
// Offsets 0 to 4: lock, grant, unlock, secure delete, about.
inline constexpr Command kCommands[] = {
    {"&Lock File", "Lock currently selected file(s)."},
    {"&Grand For...", "Grand selected file(s) for another user."},
    {"&UnLock File", "Unlock currently selected file(s)"},
    {"Secure &Delete", "Delete the selected file(s) Permanently."},
    {"A&bout VLT", "About VLT"},
};
inline constexpr const char* kSubmenuTitle = "V L T";
inline constexpr UINT kClaimedIdentifiers = 7;

// The reference count of the objects here. Each Release deletes its own object when none is
// left: deleted as the final class, not through this base, which has no virtual destructor
// and adds nothing to the interfaces' tables.
class Counted {
protected:
    ~Counted() = default;
    ULONG addReference() { return ++m_references; }
    ULONG dropReference() { return --m_references; }

private:
    std::atomic<ULONG> m_references{0};
};

class CContextMenuFactory final : public IClassFactory, private Counted {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return addReference(); }
    ULONG Release() override {
        const ULONG left = dropReference();
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT LockServer(BOOL lock) override;
};

class CContextMenuHandler final : public IContextMenu, public IShellExtInit, private Counted {
public:
    CContextMenuHandler() = default;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return addReference(); }
    ULONG Release() override {
        const ULONG left = dropReference();
        if (left == 0) delete this;
        return left;
    }

    HRESULT Initialize(LPCITEMIDLIST folder, IDataObject* data, HKEY progId) override;
    HRESULT QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override;
    HRESULT InvokeCommand(CMINVOKECOMMANDINFO* invocation) override;
    HRESULT GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* buffer, UINT size) override;

    const std::vector<std::string>& selection() const { return m_selection; }
    bool hasLockedFile() const { return m_hasLockedFile != 0; }

private:
    ~CContextMenuHandler();
    IUnknown* self() { return static_cast<IContextMenu*>(this); }

    com::ComPtr<IDataObject> m_data;
    DWORD m_hasLockedFile = 0;
    HMENU m_submenu = nullptr;
    std::vector<std::string> m_selection;
};

}  // namespace vlt::shellext
