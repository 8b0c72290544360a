// A sandboxed user at the Explorer: the interop fixtures' owner as the profile, a shell window
// that invokes the commands, a headless front end with hooks, and the context-menu handler of
// this process (the logic linked in) or of libVTMenu32.so.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "frontends/headless/headless_frontend.h"
#include "shellext/workers.h"
#include "support/sandbox.h"
#include "ui/frontend.h"
#include "ui/state.h"
#include "win32/objbase.h"
#include "win32/shlobj.h"

namespace vlt::vtmtest {

inline constexpr DWORD kEnhancedRc2 = 0x10006602;
inline constexpr DWORD kBaseRc2 = 0x6602;
inline constexpr const char* kOwnerPassword = "Lantern-Frost 1984";

inline constexpr UINT kLock = 0, kGrant = 1, kUnlock = 2, kShred = 3, kAbout = 4;

// The headless front end, with hooks called before it sees each event. Hooks run on whatever
// thread the event comes from; set them before the action that fires them.
class SpyFrontend final : public ui::Frontend {
public:
    frontends::HeadlessFrontend headless;
    std::function<void(const ui::MessageBoxRequest&)> onMessageBox;
    std::function<void(HWND dialog, int resourceId)> onShown;    // after the script was queued
    std::function<void(HWND control, ui::Change)> onChanged;
    std::function<void(HWND dialog, int resourceId)> onClosing;

    int messageBox(const ui::MessageBoxRequest& request) override;
    ui::SaveDialogAnswer saveDialog(const ui::SaveDialogRequest& request) override;
    void windowShown(HWND hwnd) override;
    void windowChanged(HWND hwnd, ui::Change what) override;
    void windowClosing(HWND hwnd) override;
    UINT popupMenu(const ui::PopupMenuRequest& request) override;
};

// The two interfaces of one handler object, released at the end.
struct HandlerRef {
    IShellExtInit* init = nullptr;
    IContextMenu* menu = nullptr;
    HandlerRef() = default;
    HandlerRef(const HandlerRef&) = delete;
    HandlerRef& operator=(const HandlerRef&) = delete;
    HandlerRef(HandlerRef&& other) noexcept;
    ~HandlerRef();
    explicit operator bool() const { return init != nullptr && menu != nullptr; }
};

struct Posted {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool operator==(const Posted&) const = default;
};

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Profile, settings and stores, as the applet and the wizard leave them.
    void installOwnerProfile();
    void removeProfile();
    void setSetting(const char* name, DWORD value);
    // The plain private keys of a fixture profile ("profile" or "contact") as the unlock
    // cache holds them.
    void fillCache(const std::string& profile = "profile");
    void clearCache();
    bool cachePresent() const;
    // A person's entry in the personal (storeFlag 1) or system (0) store, from a fixture profile.
    void addToStore(const std::string& name, const std::string& profile, DWORD algorithmWord, DWORD storeFlag);

    // A lock run straight on the worker code, without menu or dialogs (to prepare files).
    shellext::RunReport lockDirect(const std::vector<std::string>& files, const std::string& recipient = "",
                                   DWORD storeFlag = 1);
    // An unlock run straight on the worker code, with the unlock cache or the password given.
    shellext::RunReport unlockDirect(const std::vector<std::string>& files, const std::string& password = "");

    // A handler of this process, initialised with the files in the shell's order.
    HandlerRef handler(const std::vector<std::string>& files);
    // A handler made through a class factory (the library's), initialised the same way.
    HandlerRef handlerFrom(IClassFactory* factory, const std::vector<std::string>& files);
    // InvokeCommand with the command offset, from the shell window.
    HRESULT invoke(IContextMenu* menu, UINT offset);

    // WM_KILLFOCUS and WM_SETFOCUS posted to the shell window since the last call, in order.
    std::vector<Posted> takeFocusMessages();

    HWND shellWindow() const { return m_window; }
    test::Sandbox& sandbox() { return m_sandbox; }
    SpyFrontend& spy() { return m_spy; }
    frontends::HeadlessFrontend& ui() { return m_spy.headless; }
    std::string path(const std::string& name) const { return m_sandbox.path(name); }

    // From the transcript.
    std::vector<frontends::TranscriptEntry> messageBoxes() const { return m_spy.headless.messageBoxes(); }
    std::vector<std::string> messages() const;
    std::vector<frontends::TranscriptEntry> shown(int resourceId) const;
    std::vector<frontends::TranscriptEntry> closed(int resourceId) const;
    std::vector<std::string> notes() const;
    std::string transcript() const { return m_spy.headless.transcriptText(); }

private:
    test::Sandbox m_sandbox;
    SpyFrontend m_spy;
    HWND m_window = nullptr;
};

// One control of a recorded dialog; fails the test when it is missing.
const frontends::ControlRecord& control(const frontends::TranscriptEntry& dialog, int id);

std::vector<unsigned char> pattern(std::size_t n, unsigned seed = 7);
// The entries of a folder (names only), sorted.
std::vector<std::string> namesIn(const std::string& dir);
// "x/y/name" -> "name".
std::string baseName(const std::string& path);
// The process's module, for registering this program's dialogs.
HINSTANCE testModule();

}  // namespace vlt::vtmtest
