// Where the suite keeps its state: every key and value under the product key, in one table,
// plus the names the code uses. The table drives declareVolatileValues() and
// docs/registry-layout.md follows it.
#pragma once

#include <span>

#include "win32/windef.h"
#include "win32/winreg.h"

namespace vlt::layout {

// Key paths as the call sites spell them. The platform compares names without regard to case,
// so the spellings below that differ only in case name one key.
inline constexpr char kProductKey[] = "Software\\Quillon Softworks\\Vaultine\\1.00";
inline constexpr char kProfileKey[] = "Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";
// The certificate viewer and the wizard's upgrade check open the Profile key spelt this way.
inline constexpr char kProfileKeyUpper[] = "SOFTWARE\\Quillon Softworks\\Vaultine\\1.00\\Profile";
inline constexpr char kSettingsKey[] = "Software\\Quillon Softworks\\Vaultine\\1.00\\Settings";
// Personal store (HKEY_CURRENT_USER); the backup and the shell extension also reach the system
// store (HKEY_LOCAL_MACHINE) with this spelling.
inline constexpr char kCertificateKey[] = "Software\\Quillon Softworks\\Vaultine\\1.00\\Certificate";
// System store, HKEY_LOCAL_MACHINE.
inline constexpr char kMachineCertificateKey[] = "SOFTWARE\\Quillon Softworks\\Vaultine\\1.00\\Certificate";
// HKEY_LOCAL_MACHINE product key: holds no value; the applet creates it before profile creation.
inline constexpr char kMachineProductKey[] = "SOFTWARE\\Quillon Softworks\\Vaultine\\1.00";

// Profile key values.
inline constexpr char kExchangeBlob1[] = "ExchangeBlob1";
inline constexpr char kExchangeBlob2[] = "ExchangeBlob2";
inline constexpr char kExchangeBlob3[] = "ExchangeBlob3";
inline constexpr char kExchangeBlob4[] = "ExchangeBlob4";
inline constexpr char kTempExchangeBlob1[] = "TempExchangeBlob1";
inline constexpr char kTempExchangeBlob2[] = "TempExchangeBlob2";
inline constexpr char kTempExchangeBlob[] = "TempExchangeBlob";  // never written; the wizard deletes it
inline constexpr char kInitUser[] = "InitUser";
inline constexpr char kInitState[] = "InitState";
inline constexpr char kDisableSplash[] = "DisableSplash";
inline constexpr char kTimeOutPeriod[] = "TimeOut Period";

// Settings key values.
inline constexpr char kEncrypt[] = "Encrypt";
inline constexpr char kHash[] = "Hash";
inline constexpr char kSignature[] = "Signature";
inline constexpr char kExchange[] = "Exchange";
inline constexpr char kDeleteAfterEncrypt[] = "DeleteAfterEncrypt";
inline constexpr char kDeleteAfterDecrypt[] = "DeleteAfterDecrypt";
inline constexpr char kAutoLock[] = "AutoLock";
// Ours, not in the Windows original: when the tray program locks besides its countdown. Missing
// or any non-zero value counts as on; 0 is off.
inline constexpr char kLockOnScreenLock[] = "LockOnScreenLock";
inline constexpr char kLockOnSuspend[] = "LockOnSuspend";
inline constexpr char kLockOnLogout[] = "LockOnLogout";

// InitState modes.
inline constexpr DWORD kInitStateImport = 1;
inline constexpr DWORD kInitStateCreate = 2;
// "TimeOut Period" when missing: what the backup stores, and what the tray program uses
// (also for a stored 0).
inline constexpr DWORD kBackupDefaultTimeOutPeriod = 300;
inline constexpr DWORD kTrayDefaultTimeOutPeriod = 600;

enum class EntryKind {
    Key,                  // the key itself
    Value,                // one named value
    ValuePerCertificate,  // one value per stored certificate, named by the holder
};

struct LayoutEntry {
    HKEY hive;
    const char* keyPath;
    const char* valueName;  // null for Key and ValuePerCertificate rows
    EntryKind kind;
    DWORD type;  // REG_NONE for keys and for "any"
    const char* meaning;
    const char* whenMissing;
    const char* writtenBy;
    const char* readBy;
    bool isVolatile;  // kept out of persistent storage
};

std::span<const LayoutEntry> registryLayout();

// Declares the volatile values of the table (the unlock cache, which holds plain private keys)
// to the registry, so that they never reach persistent storage. Idempotent; call at start-up,
// before anything writes them.
void declareVolatileValues();

}  // namespace vlt::layout
