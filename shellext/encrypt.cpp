#include <unistd.h>

#include <cstdio>

#include "shared/locked_file.h"
#include "shared/profile_keys.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shellext/file_ops.h"
#include "shellext/messages.h"

namespace vlt::shellext {

bool settingIsOn(const char* valueName) {
    RegistryKey settings;
    if (settings.Open(HKEY_CURRENT_USER, layout::kSettingsKey) != ERROR_SUCCESS) return false;
    DWORD value = 0;
    return settings.QueryDword(value, valueName) == ERROR_SUCCESS && value == 1;
}

void reportCannotRemove(const std::string& path) {
    const std::string text = msg::fill(msg::kCannotRemove, {path});
    MessageBoxA(nullptr, text.c_str(), msg::kWarningCaption, msg::kStyleWarning);
}

FileOutcome lockOneFile(const std::string& path, const sys::InputFile& input, CryptoState& state) {
    const std::string outputPath = path + kLockedExtension;
    auto output = sys::AtomicFile::create(outputPath, input.mode & 0777);
    if (!output) return FileOutcome::Failed;

    auto displayName = readOwnDisplayName();
    const std::string sender = displayName ? *displayName : std::string("Unknown");
    const auto header = buildHeader(sender, nameToHeader(path), nameToHeader(sys::nameOf(path)));
    if (!output->write(header.data(), header.size())) return FileOutcome::Failed;

    // Every file gets a session key of its own, RC2 whatever the algorithm word says.
    if (!state.hasProvider()) return FileOutcome::Failed;
    if (!state.hasSessionKey() && !state.generateSessionKey(CALG_RC2, CRYPT_EXPORTABLE))
        return FileOutcome::Failed;
    if (!state.exportSessionKey()) return FileOutcome::Failed;
    const DWORD word = state.algorithm() | (state.enhanced() ? kEnhancedBit : 0);
    const auto keyBlock = buildKeyBlock(word, *state.keyBlob());
    if (!output->write(keyBlock.data(), keyBlock.size())) return FileOutcome::Failed;

    const FileOutcome pass =
        cryptChunks(input.fd, state.sessionKey(), ChunkDirection::Lock, input.size, path, *output);
    if (pass == FileOutcome::Failed) return pass;

    // Both keys go whatever the first destroy gave.
    const bool sessionGone = state.destroySessionKey();
    const bool exchangeGone = state.destroyExchangeKey();
    const bool cleaned = sessionGone && exchangeGone;
    state.freeBlob();
    if (!cleaned) return FileOutcome::Failed;
    if (pass == FileOutcome::Cancelled) return pass;

    if (!output->commit()) return FileOutcome::Failed;
    // The locked file and its folder entry are on disk: only now may the source go.
    if (settingIsOn(layout::kDeleteAfterEncrypt)) {
        // A source written to while it was read is not what was locked: it stays.
        if (!sys::unchangedSinceOpen(path, input) || unlink(path.c_str()) != 0 || !sys::syncParentDirectory(path))
            reportCannotRemove(path);
    }
    return FileOutcome::Done;
}

}  // namespace vlt::shellext
