// Locking and unlocking one already opened file.
#pragma once

#include <cstdint>
#include <string>

#include "shared/locked_file.h"
#include "shellext/crypto_state.h"
#include "sys/files.h"

namespace vlt::shellext {

enum class FileOutcome {
    Done,       // output written (and the source removed when the settings ask for it)
    Skipped,    // nothing written, by the user's choice or because the file is not a locked file
    Cancelled,  // the run was cancelled; the partial output is gone
    Failed,     // the caller reports the failure
    Refused,    // refused with a message of its own; the caller adds nothing
};

// Writes path + ".Vtf" for the recipient whose exchange key the state holds. The locked file
// appears only when complete; an older one of that name is replaced then, and not before.
FileOutcome lockOneFile(const std::string& path, const sys::InputFile& input, CryptoState& state);

// Writes the plain file next to the locked one under the name stored in its header, asking
// before it replaces an existing file. The state must hold the user's private key; head is the
// file's head as readLockedFileHead gave it, the one the provider was chosen from.
FileOutcome unlockOneFile(const std::string& path, const sys::InputFile& input, const LockedFileHead& head,
                          CryptoState& state);

enum class ChunkDirection { Lock, Unlock };

// Chunks handed to one CryptEncrypt/CryptDecrypt call; Cancel is polled after each such batch.
constexpr std::size_t kChunksPerCall = 2048;

// The body of a file through the session key, in kChunk-byte chunks from fd's position into
// output, one progress unit per chunk (the bar scaled to `bytes`, showing `shown`), a batch of
// chunks per call and Cancel polled after each batch. Locking reads to the end; unlocking reads
// exactly `bytes` of ciphertext. Done, Cancelled (the output abandoned) or Failed.
FileOutcome cryptChunks(int fd, HCRYPTKEY key, ChunkDirection direction, std::uint64_t bytes, const std::string& shown,
                        sys::AtomicFile& output);

// The user's settings flag, counted as on only when it reads exactly 1.
bool settingIsOn(const char* valueName);

// "File %s cannot be removed." with the path filled in.
void reportCannotRemove(const std::string& path);

}  // namespace vlt::shellext
