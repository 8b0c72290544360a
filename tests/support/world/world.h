// A sandboxed user for the shell extension's tests: the interop fixtures' owner installed as
// the profile, optional settings and certificate-store entries, and a headless front end.
#pragma once

#include <string>
#include <vector>

#include "frontends/headless/headless_frontend.h"
#include "shellext/workers.h"
#include "support/sandbox.h"
#include "win32/windef.h"

namespace vlt::test {

struct ProfileOptions {
    bool enhanced = true;       // install ExchangeBlob3/4
    bool legacyEnhanced = false;  // ExchangeBlob4 wrapped with 40 effective RC2 bits
};

class World {
public:
    explicit World(ProfileOptions options = {});
    ~World();

    // Owner profile of the fixtures (password "Lantern-Frost 1984").
    void installOwnerProfile(ProfileOptions options);
    void removeProfile();
    void setSetting(const char* name, DWORD value);
    void deleteSetting(const char* name);
    // The plain private keys of the owner as the unlock cache holds them.
    void fillCacheFromFixtures();
    bool cachePresent() const;
    // A person in the personal (storeFlag 1) or system (0) store, from a fixture profile.
    void addToStore(const std::string& name, const std::string& profile, DWORD algorithmWord, DWORD storeFlag);

    // Runs with the password the user typed last (empty: none typed).
    shellext::RunReport lock(const std::vector<std::string>& files, const std::string& recipient = "",
                             DWORD storeFlag = 1);
    shellext::RunReport unlock(const std::vector<std::string>& files, const std::string& password = "");

    Sandbox& sandbox() { return m_sandbox; }
    frontends::HeadlessFrontend& ui() { return m_ui; }
    std::string path(const std::string& name) const { return m_sandbox.path(name); }
    // Message-box texts shown so far, in order.
    std::vector<std::string> messages() const;

private:
    Sandbox m_sandbox;
    frontends::HeadlessFrontend m_ui;
};

inline constexpr DWORD kEnhancedRc2 = 0x10006602;
inline constexpr DWORD kBaseRc2 = 0x6602;
inline constexpr const char* kOwnerPassword = "Lantern-Frost 1984";

}  // namespace vlt::test
