// Which provider and algorithm a run uses: from the settings or the recipient's certificate
// when locking, from the locked file's algorithm word when unlocking.
#pragma once

#include <string>

#include "shared/locked_file.h"
#include "shellext/crypto_state.h"

namespace vlt::shellext {

// Sets the state's provider and algorithm id from an algorithm word (bit 28: Enhanced).
void applyAlgorithmWord(CryptoState& state, DWORD word);

// Empty recipient: the Encrypt setting; otherwise the first word of the recipient's store
// entry (store flag 1 personal, 0 system). Fails when that value cannot be read.
bool chooseAlgorithm(CryptoState& state, const std::string& recipient, DWORD storeFlag);

// Sets the provider from the algorithm word of a locked file's head (0, the Base provider,
// when the head could not be read that far).
void selectProvider(const LockedFileHead& head, CryptoState& state);

}  // namespace vlt::shellext
