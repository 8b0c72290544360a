#include "frontends/headless/headless_frontend.h"

#include <cstdio>
#include <sstream>

#include "win32/winuser.h"

namespace vlt::frontends {
namespace {

const std::pair<const char*, int> kButtons[] = {{"IDOK", IDOK},       {"IDCANCEL", IDCANCEL}, {"IDABORT", IDABORT},
                                                {"IDRETRY", IDRETRY}, {"IDIGNORE", IDIGNORE}, {"IDYES", IDYES},
                                                {"IDNO", IDNO}};

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

}  // namespace

int buttonFromName(const std::string& name) {
    for (const auto& [text, id] : kButtons)
        if (name == text) return id;
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) return std::stoi(name);
    return 0;
}

std::string buttonName(int button) {
    for (const auto& [text, id] : kButtons)
        if (id == button) return text;
    return std::to_string(button);
}

void HeadlessFrontend::answerMessageBox(int button) {
    std::lock_guard lock(m_mutex);
    m_buttons.push_back(button);
}

void HeadlessFrontend::answerSaveDialog(std::optional<std::string> path) {
    std::lock_guard lock(m_mutex);
    m_saves.push_back(std::move(path));
}

Result<void> HeadlessFrontend::loadScript(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "message" && buttonFromName(arg) != 0) {
            answerMessageBox(buttonFromName(arg));
        } else if (verb == "save" && !arg.empty()) {
            answerSaveDialog(arg == "cancel" ? std::nullopt : std::optional<std::string>(arg));
        } else {
            return fail("answers line " + std::to_string(number) + " is not understood: " + line);
        }
    }
    return {};
}

int HeadlessFrontend::messageBox(const ui::MessageBoxRequest& request) {
    std::lock_guard lock(m_mutex);
    int answer = ui::defaultButton(request.style);
    if (!m_buttons.empty()) {
        answer = m_buttons.front();
        m_buttons.pop_front();
    }
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::MessageBox;
    e.caption = request.caption;
    e.text = request.text;
    e.style = request.style;
    e.answer = answer;
    m_transcript.push_back(std::move(e));
    return answer;
}

ui::SaveDialogAnswer HeadlessFrontend::saveDialog(const ui::SaveDialogRequest& request) {
    std::lock_guard lock(m_mutex);
    ui::SaveDialogAnswer answer;
    if (!m_saves.empty()) {
        if (m_saves.front()) {
            answer.accepted = true;
            answer.path = *m_saves.front();
            if (answer.path.front() != '/') answer.path = request.initialDir + "/" + answer.path;
        }
        m_saves.pop_front();
    }
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::SaveDialog;
    e.caption = request.title;
    e.text = request.initialName;
    e.style = request.flags;
    e.folder = request.initialDir;
    e.answer = answer.accepted ? IDOK : IDCANCEL;
    e.path = answer.path;
    m_transcript.push_back(std::move(e));
    return answer;
}

std::vector<TranscriptEntry> HeadlessFrontend::transcript() const {
    std::lock_guard lock(m_mutex);
    return m_transcript;
}

std::vector<TranscriptEntry> HeadlessFrontend::messageBoxes() const {
    std::lock_guard lock(m_mutex);
    std::vector<TranscriptEntry> out;
    for (const auto& e : m_transcript)
        if (e.kind == TranscriptEntry::Kind::MessageBox) out.push_back(e);
    return out;
}

std::string HeadlessFrontend::transcriptText() const {
    std::lock_guard lock(m_mutex);
    std::string out;
    char style[16];
    for (const auto& e : m_transcript) {
        std::snprintf(style, sizeof style, "0x%X", e.style);
        if (e.kind == TranscriptEntry::Kind::MessageBox)
            out += "message [" + escape(e.caption) + "] " + escape(e.text) + " style=" + style +
                   " -> " + buttonName(e.answer) + "\n";
        else
            out += "save [" + escape(e.caption) + "] name=" + e.text + " folder=" + e.folder + " flags=" + style +
                   " -> " + (e.answer == IDOK ? e.path : std::string("cancel")) + "\n";
    }
    return out;
}

void HeadlessFrontend::clear() {
    std::lock_guard lock(m_mutex);
    m_transcript.clear();
    m_buttons.clear();
    m_saves.clear();
}

}  // namespace vlt::frontends
