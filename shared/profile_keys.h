// The profile's key operations: creating a key pair, checking and changing the password,
// loading the own keys, and the unlock cache of plain private keys. Passwords and identity
// strings arrive as bytes in the ANSI code page; callers convert what the user typed.
// Every operation reports success as a bool and shows nothing; callers word the failures.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "shared/algorithm_word.h"
#include "shared/certificate_record.h"
#include "win32/wincrypt.h"

namespace vlt {

// The unlock dialog reads at most 99 characters (the original's buffer, in ANSI bytes) and
// takes nothing after a NUL or an empty field: a longer password, one with a NUL, or an empty
// one could never be typed again, so creation and change refuse them.
inline constexpr std::size_t kMaxPasswordLength = 99;
Result<void> checkNewPassword(std::string_view passwordAnsi);

// Whether a profile exists: InitUser reads 1 in the Profile key (created when missing, as
// every reader of the flag does).
bool profileExists();

// A key pair made for the profile, not stored yet: its certificate record and its private key
// wrapped under the password.
struct NewKeyPair {
    Provider provider;
    Bytes record;   // ExchangeBlob1 or ExchangeBlob3
    Bytes wrapped;  // ExchangeBlob2 or ExchangeBlob4
};
// Generates the key pair of one provider in the profile container, deleted at the end. A
// password checkNewPassword refuses fails at once.
std::optional<NewKeyPair> makeKeyPair(Provider provider, std::string_view passwordAnsi, const Identity& identity);
// Stores the pairs' values and InitUser = 1 in one registry transaction (joining the caller's,
// when one is open): a failure or a kill leaves the old values whole.
bool storeKeyPairs(const std::vector<NewKeyPair>& pairs);
// makeKeyPair, then storeKeyPairs.
bool createKeyPair(Provider provider, std::string_view passwordAnsi, const Identity& identity);

// Whether the password unwraps ExchangeBlob2 (Base provider). The check imports the private
// key into the profile container. Keep it when an Enhanced createKeyPair follows at once (the
// upgrade path: that creation deletes the container); otherwise Delete, so that no key stays
// behind in the container.
enum class AfterVerify { KeepContainer, DeleteContainer };
bool verifyPassword(std::string_view passwordAnsi, AfterVerify after);
// Deletes the profile container in the provider; false when there was none.
bool deleteProfileContainer(Provider provider);

// Re-wraps ExchangeBlob2 and, when present, ExchangeBlob4 under the new password. A wrong old
// password changes nothing. Nothing is written when the Enhanced provider is needed and cannot
// be acquired. When only the Enhanced blob fails to unwrap, the Base change stands and counts.
// A new password checkNewPassword refuses changes nothing.
// The writes are one registry transaction: a failure of either leaves both as they were.
bool changePassword(const std::string& oldPasswordAnsi, const std::string& newPasswordAnsi);

// The shell extension's work container: flags 0, else CRYPT_NEWKEYSET, else delete it and
// CRYPT_NEWKEYSET once more. The caller releases and deletes it.
bool acquireWorkContainer(Provider provider, HCRYPTPROV* prov);

// Imports the own public key (ExchangeBlob3 for Enhanced, else ExchangeBlob1) into prov, the
// work container already acquired in that provider.
bool loadOwnPublicKey(HCRYPTPROV prov, Provider provider, HCRYPTKEY* exchangeKey);

// Imports the own private key into prov (the work container of that provider), which makes it
// the container's key-exchange pair. From the unlock cache when it holds the provider's key
// (the password is then not used); else unwrapped with the password, after which the unlock
// cache is filled for both providers (its outcome does not change the result).
bool loadPrivateKey(HCRYPTPROV prov, Provider provider, std::string_view passwordAnsi, HCRYPTKEY* exchangeKey);

// Unwraps both private keys with the password and stores their plain exports as
// TempExchangeBlob1/2 (volatile values, never on disk). true once the Base cache container
// could be acquired, whatever was written.
bool fillUnlockCache(std::string_view passwordAnsi);

// Removes TempExchangeBlob1 and TempExchangeBlob2; missing values are no error.
bool lockProfile();

// The DisplayName of ExchangeBlob1 as a buffer of bufferSize characters holds it. Fails when
// the value is missing or too short; callers then use "Unknown".
Result<std::string> readOwnDisplayName(std::size_t bufferSize = MAX_PATH);

}  // namespace vlt
