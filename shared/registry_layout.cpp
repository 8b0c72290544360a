#include "shared/registry_layout.h"

#include "registry/hives.h"

namespace vlt::layout {
namespace {

const HKEY kCurrentUser = HKEY_CURRENT_USER;
const HKEY kLocalMachine = HKEY_LOCAL_MACHINE;

const LayoutEntry kLayout[] = {
    // Product key (current user).
    {kCurrentUser, kProductKey, nullptr, EntryKind::Key, REG_NONE, "holds the Profile, Settings and Certificate keys",
     "created with its first subkey", "every deliverable (through its subkeys)", "every deliverable", false},

    // Profile key.
    {kCurrentUser, kProfileKey, nullptr, EntryKind::Key, REG_NONE, "the user's profile, unlock cache and wizard markers",
     "counts as empty: no profile", "VTInit32, VTCert32, VTMenu32", "all four", false},
    {kCurrentUser, kProfileKey, kExchangeBlob1, EntryKind::Value, REG_BINARY,
     "own certificate record, Base provider", "the user has no profile",
     "VTInit32 creation and restore; VTCert32 ImportProfile",
     "VTCert32 personal page, viewer, certificate export, backup, settings page (presence); VTInit32 upgrade; "
     "VTMenu32",
     false},
    {kCurrentUser, kProfileKey, kExchangeBlob2, EntryKind::Value, REG_BINARY,
     "own private key, Base provider, wrapped under the password key", "no profile",
     "VTInit32 creation and restore; VTCert32 change of password and ImportProfile",
     "VTInit32 password check; VTCert32 change of password and backup; VTMenu32 unlock", false},
    {kCurrentUser, kProfileKey, kExchangeBlob3, EntryKind::Value, REG_BINARY,
     "own certificate record, Enhanced provider", "the profile has no 128-bit support",
     "VTInit32 creation, upgrade and restore",
     "VTInit32 start (presence: no upgrade needed); VTCert32 certificate export, backup, settings page "
     "(presence: list the enhanced algorithms); VTMenu32",
     false},
    {kCurrentUser, kProfileKey, kExchangeBlob4, EntryKind::Value, REG_BINARY,
     "own private key, Enhanced provider, wrapped under the password key", "no 128-bit support",
     "VTInit32 creation and restore; VTCert32 change of password",
     "VTCert32 change of password and backup; VTMenu32 unlock", false},
    {kCurrentUser, kProfileKey, kTempExchangeBlob1, EntryKind::Value, REG_BINARY,
     "unlock cache: the plain Base private key", "the session is locked", "VTMenu32 unlock",
     "VTMenu32; VTTray32 (presence); deleted by VTTray32 and VTCert32", true},
    {kCurrentUser, kProfileKey, kTempExchangeBlob2, EntryKind::Value, REG_BINARY,
     "unlock cache: the plain Enhanced private key", "the session is locked (enhanced)", "VTMenu32 unlock",
     "VTMenu32; VTTray32 (presence); deleted by VTTray32 and VTCert32", true},
    {kCurrentUser, kProfileKey, kTempExchangeBlob, EntryKind::Value, REG_NONE, "never written (any type)", "normal state",
     "none", "none; VTInit32 deletes it at every start", false},
    {kCurrentUser, kProfileKey, kInitUser, EntryKind::Value, REG_DWORD, "1 once a profile exists",
     "anything but 1 means no profile",
     "VTInit32 creation (1) and restore (value from the backup); VTInit32 deletes it when the wizard is "
     "cancelled on its password page",
     "VTInit32 start; VTCert32 personal page and backup; VTMenu32", false},
    {kCurrentUser, kProfileKey, kInitState, EntryKind::Value, REG_DWORD, "mode VTInit32 is to open in: 1 import, 2 create",
     "VTInit32 chooses from InitUser and ExchangeBlob3", "VTCert32 personal page, just before it starts VTInit32",
     "VTInit32 at start, which deletes it at once and again at exit", false},
    {kCurrentUser, kProfileKey, kDisableSplash, EntryKind::Value, REG_DWORD,
     "1: VTInit32 ends at once without showing anything", "0",
     "VTInit32 (only when its check box is checked)", "VTInit32 at start", false},
    {kCurrentUser, kProfileKey, kTimeOutPeriod, EntryKind::Value, REG_DWORD, "automatic-lock period in seconds",
     "settings page shows 0; backup stores 300; VTTray32 uses 600 (also for a stored 0)",
     "settings page (only a non-zero period); VTInit32 restore", "settings page; backup; VTTray32", false},

    // Settings key: every value written by the settings page in one pass.
    {kCurrentUser, kSettingsKey, nullptr, EntryKind::Key, REG_NONE, "the user's settings", "counts as empty",
     "VTCert32 settings page", "VTCert32, VTMenu32, VTTray32", false},
    {kCurrentUser, kSettingsKey, kEncrypt, EntryKind::Value, REG_DWORD,
     "AlgorithmWord of the file-encryption algorithm (bit 28: Enhanced provider)",
     "VTCert32 opens on the settings page; certificate export fails; VTMenu32 refuses to lock",
     "VTCert32 settings page",
     "VTCert32 sheet, settings page, certificate export; VTMenu32", false},
    {kCurrentUser, kSettingsKey, kHash, EntryKind::Value, REG_DWORD, "ALG_ID of the chosen hash algorithm",
     "settings page selects the first entry", "VTCert32 settings page", "settings page only", false},
    {kCurrentUser, kSettingsKey, kSignature, EntryKind::Value, REG_DWORD, "ALG_ID of the chosen signature algorithm",
     "settings page selects the first entry", "VTCert32 settings page", "settings page only", false},
    {kCurrentUser, kSettingsKey, kExchange, EntryKind::Value, REG_DWORD, "ALG_ID of the chosen key-exchange algorithm",
     "settings page selects the first entry", "VTCert32 settings page", "settings page only", false},
    {kCurrentUser, kSettingsKey, kDeleteAfterEncrypt, EntryKind::Value, REG_DWORD,
     "1: the plain file is deleted after it has been locked", "0", "VTCert32 settings page",
     "settings page; VTMenu32 (only 1 counts as on)", false},
    {kCurrentUser, kSettingsKey, kDeleteAfterDecrypt, EntryKind::Value, REG_DWORD,
     "1: the locked file is deleted after it has been unlocked", "0", "VTCert32 settings page",
     "settings page; VTMenu32 (only 1 counts as on)", false},
    {kCurrentUser, kSettingsKey, kAutoLock, EntryKind::Value, REG_DWORD,
     "1: the session locks itself after \"TimeOut Period\" seconds without use", "0", "VTCert32 settings page",
     "settings page (only 1 counts as on); VTTray32 (any non-zero counts as on)", false},
    {kCurrentUser, kSettingsKey, kLockOnScreenLock, EntryKind::Value, REG_DWORD,
     "0: VTTray32 does not lock when the screen locks (ours, not in the Windows original)",
     "on: VTTray32 locks at once when the screen locks", "the user (e.g. vlt reg import)",
     "VTTray32 (any non-zero counts as on)", false},
    {kCurrentUser, kSettingsKey, kLockOnSuspend, EntryKind::Value, REG_DWORD,
     "0: VTTray32 does not lock before the machine suspends or hibernates (ours)",
     "on: VTTray32 locks before suspend and hibernation", "the user (e.g. vlt reg import)",
     "VTTray32 (any non-zero counts as on)", false},
    {kCurrentUser, kSettingsKey, kLockOnLogout, EntryKind::Value, REG_DWORD,
     "0: VTTray32 does not lock when the session ends (ours)", "on: VTTray32 locks when the session ends",
     "the user (e.g. vlt reg import)", "VTTray32 (any non-zero counts as on)", false},

    // Personal certificate store.
    {kCurrentUser, kCertificateKey, nullptr, EntryKind::Key, REG_NONE, "personal certificate store; no subkeys",
     "counts as empty", "VTCert32 store import; VTInit32 restore", "VTCert32 store pages, viewer, backup; VTMenu32 grant",
     false},
    {kCurrentUser, kCertificateKey, nullptr, EntryKind::ValuePerCertificate, REG_BINARY,
     "one CertificateStoreEntry per certificate, named by the holder's display name (or a name chosen on "
     "import)",
     "not in the store", "VTCert32 store import; VTInit32 restore; deleted by the store page",
     "VTCert32 store page, viewer, backup; VTMenu32 grant", false},

    // System certificate store, shared by all users of the machine.
    {kLocalMachine, kMachineCertificateKey, nullptr, EntryKind::Key, REG_NONE,
     "system certificate store; no subkeys (also reached as Software\\...\\Certificate)",
     "counts as empty; without full access nothing is listed or written", "VTCert32 store import; VTInit32 restore",
     "VTCert32 store pages, viewer, backup; VTMenu32 grant", false},
    {kLocalMachine, kMachineCertificateKey, nullptr, EntryKind::ValuePerCertificate, REG_BINARY,
     "one CertificateStoreEntry per certificate, named by the holder's display name", "not in the store",
     "VTCert32 store import; VTInit32 restore; deleted by the store page",
     "VTCert32 store page, viewer, backup; VTMenu32 grant", false},

    // Machine product key.
    {kLocalMachine, kMachineProductKey, nullptr, EntryKind::Key, REG_NONE, "holds no value",
     "VTCert32 does not start VTInit32 to create a profile when it cannot create it",
     "VTCert32 (created with full access before profile creation)", "none", false},
};

}  // namespace

std::span<const LayoutEntry> registryLayout() { return kLayout; }

void declareVolatileValues() {
    for (const auto& entry : kLayout)
        if (entry.isVolatile && entry.kind == EntryKind::Value)
            registry::declareVolatileValue(entry.hive, entry.keyPath, entry.valueName);
}

}  // namespace vlt::layout
