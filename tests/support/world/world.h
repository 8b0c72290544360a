// A sandboxed user for the tests of the shell extension and its menu: the interop fixtures'
// owner installed as the profile, optional settings and certificate-store entries, and a
// headless front end with hooks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "frontends/headless/headless_frontend.h"
#include "shellext/workers.h"
#include "support/sandbox.h"
#include "ui/frontend.h"
#include "win32/windef.h"

namespace vlt::test {

struct ProfileOptions {
    bool enhanced = true;       // install ExchangeBlob3/4
    bool legacyEnhanced = false;  // ExchangeBlob4 wrapped with 40 effective RC2 bits
};

// The headless front end, with hooks called before it sees each event. Hooks run on whatever
// thread the event comes from; set them before the action that fires them.
class SpyFrontend final : public ui::Frontend {
public:
    frontends::HeadlessFrontend headless;
    std::function<void(const ui::MessageBoxRequest&)> onMessageBox;
    std::function<void(HWND dialog, int resourceId)> onShown;    // after the script was queued
    std::function<void(HWND control, ui::Change)> onChanged;
    std::function<void(HWND dialog, int resourceId)> onClosing;
    DWORD openDialogError = 0;  // open dialogs cannot be shown for this reason (CDERR_*)

    int messageBox(const ui::MessageBoxRequest& request) override;
    ui::FileDialogAnswer saveDialog(const ui::FileDialogRequest& request) override;
    ui::FileDialogAnswer openDialog(const ui::FileDialogRequest& request) override;
    void windowShown(HWND hwnd) override;
    void windowChanged(HWND hwnd, ui::Change what) override;
    void windowClosing(HWND hwnd) override;
    UINT popupMenu(const ui::PopupMenuRequest& request) override;
    void beep(UINT type) override { headless.beep(type); }
};

class World {
public:
    explicit World(ProfileOptions options = {});
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Owner profile of the fixtures (password "Lantern-Frost 1984"), as the applet and the
    // wizard leave it.
    void installOwnerProfile(ProfileOptions options = {});
    void removeProfile();
    void setSetting(const char* name, DWORD value);
    void deleteSetting(const char* name);
    // The plain private keys of a fixture profile ("profile" or "contact") as the unlock
    // cache holds them.
    void fillCache(const std::string& profile = "profile");
    void clearCache();
    bool cachePresent() const;
    // A person in the personal (storeFlag 1) or system (0) store, from a fixture profile.
    void addToStore(const std::string& name, const std::string& profile, DWORD algorithmWord, DWORD storeFlag);

    // Runs straight on the worker code, without menu or dialogs; unlock with the unlock cache
    // or the password given (empty: the one typed last, if any).
    shellext::RunReport lock(const std::vector<std::string>& files, const std::string& recipient = "",
                             DWORD storeFlag = 1);
    shellext::RunReport unlock(const std::vector<std::string>& files, const std::string& password = "");

    Sandbox& sandbox() { return m_sandbox; }
    SpyFrontend& spy() { return m_spy; }
    frontends::HeadlessFrontend& ui() { return m_spy.headless; }
    const frontends::HeadlessFrontend& ui() const { return m_spy.headless; }
    std::string path(const std::string& name) const { return m_sandbox.path(name); }
    // Message-box texts shown so far, in order.
    std::vector<std::string> messages() const;

private:
    Sandbox m_sandbox;
    SpyFrontend m_spy;
};

inline constexpr DWORD kEnhancedRc2 = 0x10006602;
inline constexpr DWORD kBaseRc2 = 0x6602;
inline constexpr const char* kOwnerPassword = "Lantern-Frost 1984";

}  // namespace vlt::test
