// Putting the right key into a run's crypto state for each file: the recipient's public key
// when locking, the user's private key when unlocking.
#pragma once

#include <string>

#include "shellext/crypto_state.h"

namespace vlt::shellext {

enum class KeyUse { Lock, Unlock };

// Store flag: 1 the personal store (HKEY_CURRENT_USER), 0 the system store.
// Shows its own messages on the crypto state's owner window; on success the exchange key is held.
bool loadKey(CryptoState& state, const std::string& recipient, KeyUse use, DWORD storeFlag);

// Another person's public key from a certificate store entry; no message on failure.
bool loadRecipientPublicKey(CryptoState& state, const std::string& recipient, DWORD storeFlag);

}  // namespace vlt::shellext
