#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "shared/locked_file.h"
#include "shared/registry_layout.h"
#include "shellext/file_ops.h"
#include "shellext/messages.h"
#include "win32/commdlg.h"

namespace vlt::shellext {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

mode_t replacedMode(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_mode : 07777;
}

// Windows before XP SP1 scheduled Enhanced RC2 keys with 40 effective bits, and nothing in the
// file says which was used. The padding of the last block tells: decrypt it alone with a
// second copy of the session key, at 128 bits and, if that fails, at 40. A file whose padding
// fits neither is damaged. (A 40-bit file passes the 128-bit check by chance about once in 256;
// it then fails at its end like a damaged file.)
bool chooseEffectiveBits(const sys::InputFile& input, const LockedFileHead& head, CryptoState& state) {
    BYTE tail[16];
    const std::uint64_t tailLength = head.ciphertextLength >= 16 ? 16 : 8;
    const auto offset = static_cast<off_t>(head.ciphertextOffset + head.ciphertextLength - tailLength);
    if (pread(input.fd, tail, tailLength, offset) != static_cast<ssize_t>(tailLength)) return false;
    BYTE iv[8] = {};
    if (tailLength == 16) std::memcpy(iv, tail, 8);
    const BYTE* last = tail + tailLength - 8;

    const auto& blob = *state.keyBlob();
    HCRYPTKEY probe = 0;
    if (!CryptImportKey(state.provider(), blob.data(), static_cast<DWORD>(blob.size()), 0, 0, &probe)) return false;
    auto fits = [&]() {
        BYTE block[8];
        std::memcpy(block, last, 8);
        DWORD length = 8;
        return CryptSetKeyParam(probe, KP_IV, iv, 0) && CryptDecrypt(probe, 0, TRUE, 0, block, &length);
    };
    bool ok = fits();
    if (!ok && state.enhanced()) {
        const DWORD legacyBits = 40;
        if (CryptSetKeyParam(probe, KP_EFFECTIVE_KEYLEN, reinterpret_cast<const BYTE*>(&legacyBits), 0) && fits())
            ok = CryptSetKeyParam(state.sessionKey(), KP_EFFECTIVE_KEYLEN,
                                  reinterpret_cast<const BYTE*>(&legacyBits), 0) != FALSE;
    }
    CryptDestroyKey(probe);
    return ok;
}

}  // namespace

FileOutcome unlockOneFile(const std::string& path, const sys::InputFile& input, const LockedFileHead& head,
                          CryptoState& state) {
    if (head.status == HeadStatus::NotLocked) {
        MessageBoxA(nullptr, msg::kNotVltFile, msg::kEmergencyCaption, MB_OK);
        return FileOutcome::Skipped;
    }
    if (head.status != HeadStatus::Ok) return FileOutcome::Failed;

    // The output lands in the locked file's folder under the name it had when it was locked;
    // a stored name that would lead anywhere else is refused.
    const std::string sourceName = nameFromHeader(head.header.sourceName);
    if (!isPlainFileName(sourceName)) {
        const std::string text = msg::fill(msg::kUnsafeName, {path, sourceName});
        MessageBoxA(state.owner(), text.c_str(), msg::kEmergencyCaption, msg::kStyleWarning);
        return FileOutcome::Refused;
    }
    const std::string folder = sys::folderOf(path);
    std::string outputPath = folder + "/" + sourceName;

    if (exists(outputPath) &&
        MessageBoxA(state.owner(), msg::kReplaceQuestion, msg::kConfirmReplaceCaption, msg::kStyleReplace) != IDYES) {
        char file[MAX_PATH] = {};
        std::strncpy(file, sourceName.c_str(), MAX_PATH - 1);
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = state.owner();
        ofn.lpstrFilter = "All Files\0*.*\0\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrInitialDir = folder.c_str();
        ofn.lpstrTitle = msg::kSaveTitle;
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
        if (!GetSaveFileNameA(&ofn)) return FileOutcome::Skipped;
        outputPath = file;
    }
    // The user may agree to replace the locked file itself: the plain file then takes its place
    // when complete, and there is nothing left to delete afterwards.
    const bool replacesInput = sys::sameFile(outputPath, input);

    // The plain file is never more readable than the locked file, nor than the file it replaces.
    auto output = sys::AtomicFile::create(outputPath, input.mode & replacedMode(outputPath) & 0777);
    if (!output) return FileOutcome::Failed;

    if (!state.hasProvider()) return FileOutcome::Failed;
    state.destroySessionKey();
    state.freeBlob();
    if (!state.adoptBlob(head.keyBlock.blob) || !state.importSessionKey(0)) return FileOutcome::Failed;
    if (!chooseEffectiveBits(input, head, state)) return FileOutcome::Failed;

    const auto start = static_cast<off_t>(head.ciphertextOffset);
    if (lseek(input.fd, start, SEEK_SET) != start) return FileOutcome::Failed;
    const FileOutcome pass = cryptChunks(input.fd, state.sessionKey(), ChunkDirection::Unlock, head.ciphertextLength,
                                         sys::nameOf(outputPath), *output);
    if (pass == FileOutcome::Failed) return pass;

    const bool cleaned = state.destroySessionKey();
    state.freeBlob();
    if (!cleaned) return FileOutcome::Failed;
    if (pass == FileOutcome::Cancelled) return pass;

    if (!output->commit()) return FileOutcome::Failed;
    if (!replacesInput && settingIsOn(layout::kDeleteAfterDecrypt)) {
        // Only the file that was read, and only once its plain copy is safely on disk.
        if (!sys::unchangedSinceOpen(path, input) || unlink(path.c_str()) != 0 || !sys::syncParentDirectory(path))
            reportCannotRemove(path);
    }
    return FileOutcome::Done;
}

}  // namespace vlt::shellext
