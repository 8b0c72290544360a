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
    if (state.hasProvider() && state.heldProviderName() != state.providerName())
        state.releaseAndDeleteContainer();
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

}  // namespace

RunReport runLock(const OperationRequest& request) {
    RunReport report;
    {
        CryptoState state(request.owner);
        for (const auto& path : request.selection) {
            if (cancelled()) break;
            std::optional<OpenFile> input;
            const Opened opened = openInput(request, path, msg::kWarningCaption, input);
            if (opened == Opened::Refused) continue;
            if (opened == Opened::Failed) break;
            if (!chooseAlgorithm(state, request.recipient, request.storeFlag)) {
                MessageBoxA(request.owner, msg::kChooseAlgorithm, msg::kWarningCaption, msg::kStyleWarning);
                break;
            }
            dropHandleOfOtherProvider(state);
            if (!loadKey(state, request.recipient, KeyUse::Lock, request.storeFlag)) {
                // The original stopped here without a word when the person's key would not load.
                if (!request.recipient.empty()) {
                    const std::string text = msg::fill(msg::kNoRecipientKey, {request.recipient});
                    MessageBoxA(request.owner, text.c_str(), msg::kWarningCaption, msg::kStyleWarning);
                }
                break;
            }
            const FileOutcome outcome = lockOneFile(path, input->get(), state);
            if (outcome == FileOutcome::Done) {
                ++report.done;
            } else if (outcome == FileOutcome::Failed) {
                MessageBoxA(request.owner, msg::kEncryptFailed, msg::kWarningCaption, msg::kStyleWarning);
                break;
            }
        }
        report.cancelled = cancelled();
    }
    report.notDone = request.selection.size() - report.done;
    closeProgress(report.result());
    return report;
}

RunReport runUnlock(const OperationRequest& request) {
    RunReport report;
    {
        CryptoState state(request.owner);
        for (const auto& path : request.selection) {
            if (cancelled()) break;
            std::optional<OpenFile> input;
            const Opened opened = openInput(request, path, msg::kWarningCaptionPlain, input);
            if (opened == Opened::Refused) continue;
            if (opened == Opened::Failed) break;
            // One reading of the head chooses the provider and gives the key block.
            LockedFileHead head;
            {
                sys::BufferedReader reader(input->get().fd, 4096);
                ReaderSource source(reader);
                head = readLockedFileHead(source, input->get().size);
            }
            selectProvider(head, state);
            dropHandleOfOtherProvider(state);
            if (!loadKey(state, request.recipient, KeyUse::Unlock, request.storeFlag)) break;
            const FileOutcome outcome = unlockOneFile(path, input->get(), head, state);
            if (outcome == FileOutcome::Done) {
                ++report.done;
                // The imported private key must not outlive the file.
                state.releaseAndDeleteContainer();
            } else if (outcome == FileOutcome::Failed) {
                MessageBoxA(request.owner, msg::kDecryptError, msg::kEmergencyCaption, msg::kStyleDecryptError);
            }
        }
        report.cancelled = cancelled();
    }
    report.notDone = request.selection.size() - report.done;
    closeProgress(report.result());
    return report;
}

}  // namespace vlt::shellext
