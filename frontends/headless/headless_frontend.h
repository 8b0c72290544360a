// The test front end: answers every message box and dialog from a script and keeps a
// transcript of what was shown, so behaviour can be asserted without a display.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "ui/frontend.h"

namespace vlt::frontends {

struct TranscriptEntry {
    enum class Kind { MessageBox, SaveDialog };
    Kind kind = Kind::MessageBox;
    std::string caption;  // message box caption, or save dialog title
    std::string text;     // message box text, or the save dialog's initial name
    UINT style = 0;       // message box style, or the save dialog's OFN_* flags
    std::string folder;   // save dialog: initial folder
    int answer = 0;       // button pressed; save dialog: IDOK or IDCANCEL
    std::string path;     // save dialog: the chosen path
};

class HeadlessFrontend final : public ui::Frontend {
public:
    // Queues answers, used in order. Without a queued answer a message box gets its default
    // button and a save dialog is cancelled.
    void answerMessageBox(int button);
    void answerSaveDialog(std::optional<std::string> path);  // nullopt = Cancel

    // Script lines: "message IDYES" (any ID* name or number), "save PATH", "save cancel";
    // blank lines and lines starting with '#' are ignored.
    Result<void> loadScript(const std::string& text);

    int messageBox(const ui::MessageBoxRequest& request) override;
    ui::SaveDialogAnswer saveDialog(const ui::SaveDialogRequest& request) override;

    std::vector<TranscriptEntry> transcript() const;
    std::vector<TranscriptEntry> messageBoxes() const;
    // The transcript as text, one line per entry, for files and failure output.
    std::string transcriptText() const;
    void clear();

private:
    mutable std::mutex m_mutex;  // workers show message boxes from their own threads
    std::deque<int> m_buttons;
    std::deque<std::optional<std::string>> m_saves;
    std::vector<TranscriptEntry> m_transcript;
};

// "IDYES" -> 6; also accepts a decimal number. 0 when unknown.
int buttonFromName(const std::string& name);
std::string buttonName(int button);

}  // namespace vlt::frontends
