#include "shellext/workers.h"

#include <unistd.h>

#include <optional>

#include "shellext/algorithm.h"
#include "shellext/crypto_state.h"
#include "shellext/file_ops.h"
#include "shellext/messages.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"
#include "shellext/session_unlock.h"
#include "sys/files.h"

namespace vlt::shellext {
namespace {

class OpenFile {
public:
    explicit OpenFile(sys::InputFile f) : m_file(f) {}
    ~OpenFile() {
        if (m_file.fd >= 0) close(m_file.fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    const sys::InputFile& get() const { return m_file; }

private:
    sys::InputFile m_file;
};

void refuseNonRegular(HWND owner, const std::string& path) {
    const std::string text = msg::fill(msg::kNotRegularFile, {path});
    MessageBoxA(owner, text.c_str(), msg::kWarningCaption, msg::kStyleWarning);
}

// A handle held from an earlier file of the run belongs to that file's provider; a file of the
// other provider needs its own (the original reused it and then failed that file).
void dropHandleOfOtherProvider(CryptoState& state) {
    if (state.hasProvider() && state.heldProvider() != state.chosenProvider()) state.releaseAndDeleteContainer();
}

bool cancelled() { return g_cancel.load() != 0; }

enum class Opened { File, Refused, Failed };

// Opens the next file of a run. A file that is not a regular file is refused with a message of
// its own and the run goes on; any other failure gets the open message and stops the run.
Opened openInput(const OperationRequest& request, const std::string& path, const char* caption,
                 std::optional<OpenFile>& input) {
    sys::OpenError why{};
    auto opened = sys::openRegularFile(path, &why);
    if (opened) {
        input.emplace(*opened);
        return Opened::File;
    }
    if (why == sys::OpenError::NotRegular) {
        refuseNonRegular(request.owner, path);
        return Opened::Refused;
    }
    MessageBoxA(request.owner, msg::kOpenInputFailed, caption, msg::kStyleWarning);
    return Opened::Failed;
}

// One opened file of a run; false stops the run. `done` counts the files whose output was written.
using FileStep = bool (*)(const OperationRequest& request, CryptoState& state, const std::string& path,
                          const sys::InputFile& input, std::size_t& done);

bool lockFile(const OperationRequest& request, CryptoState& state, const std::string& path, const sys::InputFile& input,
              std::size_t& done) {
    if (!chooseAlgorithm(state, request.recipient, request.storeFlag)) {
        MessageBoxA(request.owner, msg::kChooseAlgorithm, msg::kWarningCaption, msg::kStyleWarning);
        return false;
    }
    dropHandleOfOtherProvider(state);
    if (!loadKey(state, request.recipient, KeyUse::Lock, request.storeFlag)) {
        // The original stopped here without a word when the person's key would not load.
        if (!request.recipient.empty()) {
            const std::string text = msg::fill(msg::kNoRecipientKey, {request.recipient});
            MessageBoxA(request.owner, text.c_str(), msg::kWarningCaption, msg::kStyleWarning);
        }
        return false;
    }
    const FileOutcome outcome = lockOneFile(path, input, state);
    if (outcome == FileOutcome::Done) ++done;
    if (outcome != FileOutcome::Failed) return true;
    MessageBoxA(request.owner, msg::kEncryptFailed, msg::kWarningCaption, msg::kStyleWarning);
    return false;
}

bool unlockFile(const OperationRequest& request, CryptoState& state, const std::string& path,
                const sys::InputFile& input, std::size_t& done) {
    // One reading of the head chooses the provider and gives the key block.
    LockedFileHead head;
    {
        sys::BufferedReader reader(input.fd, 4096);
        ReaderSource source(reader);
        head = readLockedFileHead(source, input.size);
    }
    selectProvider(head, state);
    dropHandleOfOtherProvider(state);
    if (!loadKey(state, request.recipient, KeyUse::Unlock, request.storeFlag)) return false;
    const FileOutcome outcome = unlockOneFile(path, input, head, state);
    if (outcome == FileOutcome::Done) {
        ++done;
        // The imported private key must not outlive the file.
        state.releaseAndDeleteContainer();
    } else if (outcome == FileOutcome::Failed) {
        MessageBoxA(request.owner, msg::kDecryptError, msg::kEmergencyCaption, msg::kStyleDecryptError);
    }
    return true;
}

// Each file of the selection opened in turn and given to `step`, until the run is cancelled or
// stopped; the progress view closes with the run's result.
RunReport runFiles(const OperationRequest& request, const char* openCaption, FileStep step) {
    RunReport report;
    {
        CryptoState state(request.owner);
        for (const auto& path : request.selection) {
            if (cancelled()) break;
            std::optional<OpenFile> input;
            const Opened opened = openInput(request, path, openCaption, input);
            if (opened == Opened::Refused) continue;
            if (opened == Opened::Failed || !step(request, state, path, input->get(), report.done)) break;
        }
        report.cancelled = cancelled();
    }
    report.notDone = request.selection.size() - report.done;
    closeProgress(report.result());
    return report;
}

}  // namespace

RunReport runLock(const OperationRequest& request) { return runFiles(request, msg::kWarningCaption, lockFile); }

RunReport runUnlock(const OperationRequest& request) {
    return runFiles(request, msg::kWarningCaptionPlain, unlockFile);
}

}  // namespace vlt::shellext
