// The wizard's work behind its pages: the start-up decision, the profile's creation and
// upgrade, the identity read for an upgrade, and the registry bookkeeping around them
// (InitState, InitUser, DisableSplash). Nothing here shows a window.
#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "shared/certificate_record.h"
#include "shared/profile_keys.h"
#include "win32/windef.h"

namespace vlt::wizard {

enum class WizardMode : DWORD { None = 0, Create = 1, Update = 2 };

struct StartupDecision {
    WizardMode mode = WizardMode::None;
    DWORD variant = 0;  // InitState as read: 0 first run, 1 import, 2 create
    bool show = false;
};

// What the decision asks of the system; tests replace them.
struct StartupProbes {
    std::function<bool()> userKnown;          // a non-empty logged-on user name
    std::function<bool()> enhancedAvailable;  // the Enhanced provider gives a context
};
StartupProbes systemProbes();

// The user's name through WNetGetUserA: false when it fails or is empty.
bool logonUserKnown();
// The user's default container in the Enhanced provider, acquired with flags 0, else with
// CRYPT_NEWKEYSET, and released at once.
bool enhancedProviderAvailable();

// Reads (and consumes InitState of) the Profile key and says whether and how the wizard runs.
StartupDecision decideStartup(const StartupProbes& probes);

// At the end of every run: any InitState left is deleted.
void cleanUpInitState();
// The welcome page's "do not show" box: DisableSplash = 1.
bool rememberNoShow();
// Cancel after the password page was shown: InitUser goes, so the next start creates.
bool forgetProfile();

// The pairs applyProfile stores, made before anything is written: create, the Base pair and,
// when its provider can make one, the Enhanced pair; update, after the password was verified
// against the Base pair, the Enhanced pair when it can be made (else none). Nothing when the
// Base pair cannot be made or the password is wrong.
std::optional<std::vector<NewKeyPair>> makeProfilePairs(WizardMode mode, std::string_view passwordAnsi,
                                                        const Identity& identity);
// Stores them in one registry transaction (joining the caller's). A failed store of an
// upgrade's Enhanced pair is ignored, as its creation failing is.
bool storeProfilePairs(WizardMode mode, const std::vector<NewKeyPair>& pairs);

// Create: both key pairs (Enhanced when its provider can make one) stored in one registry
// transaction, after the Base pair was made. Update: the password is verified against the Base
// pair, then an Enhanced pair is added; its failure is ignored. false when nothing was stored.
bool applyProfile(WizardMode mode, std::string_view passwordAnsi, const Identity& identity);

// The identity strings of ExchangeBlob1, each cut to 259 characters; nothing when the value
// cannot be read.
std::optional<Identity> readIdentity();

}  // namespace vlt::wizard
