#include "ui/frontend.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include <strings.h>

#include "ui/file_choice.h"
#include "win32/commdlg.h"
#include "win32/winuser.h"

namespace vlt::ui {
namespace {
std::atomic<Frontend*> g_frontend{nullptr};
}

void setFrontend(Frontend* f) { g_frontend.store(f); }
Frontend* frontend() { return g_frontend.load(); }

std::vector<int> buttons(UINT style) {
    switch (style & MB_TYPEMASK) {
        case MB_OKCANCEL: return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO: return {IDYES, IDNO};
        case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
        default: return {IDOK};
    }
}

int defaultButton(UINT style) {
    const auto list = buttons(style);
    const size_t index = (style & MB_DEFMASK) >> 8;
    return index < list.size() ? list[index] : list.front();
}

}  // namespace vlt::ui

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    vlt::ui::MessageBoxRequest request{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType};
    if (auto* f = vlt::ui::frontend()) return f->messageBox(request);
    return vlt::ui::defaultButton(uType);
}

namespace {

// OPENFILENAMEA in, the front end's answer out. A pattern given as the initial name ("*.Vtb")
// only repeats the filter, so the dialog starts without a name.
// The reason the calling thread's last file dialog could not be shown; 0 when it was.
thread_local DWORD lastFileDialogError = 0;

BOOL failFileDialog(DWORD error) {
    lastFileDialogError = error;
    return FALSE;
}

BOOL runFileDialog(LPOPENFILENAMEA ofn, bool open) {
    lastFileDialogError = 0;
    if (ofn == nullptr || ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) return failFileDialog(CDERR_INITIALIZATION);
    vlt::ui::FileDialogRequest request;
    request.owner = ofn->hwndOwner;
    request.open = open;
    request.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    for (const char* p = ofn->lpstrFilter; p && *p;) {
        std::string description = p;
        p += description.size() + 1;
        std::string pattern = p;
        p += pattern.size() + 1;
        request.filters.emplace_back(std::move(description), std::move(pattern));
    }
    request.initialDir = vlt::ui::dialogFolder(ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "");
    request.initialName = ofn->lpstrFile;
    if (request.initialName.find_first_of("*?") != std::string::npos) request.initialName.clear();
    request.defaultExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
    request.flags = ofn->Flags;
    auto* f = vlt::ui::frontend();
    if (f == nullptr) return failFileDialog(CDERR_DIALOGFAILURE);
    const auto answer = open ? f->openDialog(request) : f->saveDialog(request);
    if (!answer.accepted || answer.path.empty()) return failFileDialog(answer.accepted ? 0 : answer.error);
    // what a front end lets through is checked once more here
    const auto chosen = vlt::ui::chooseFile(request, answer.path);
    if (!chosen.problem.empty() || chosen.path.size() + 1 > ofn->nMaxFile) return FALSE;
    const std::string& path = chosen.path;
    std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    const auto slash = path.find_last_of('/');
    ofn->nFileOffset = static_cast<WORD>(slash == std::string::npos ? 0 : slash + 1);
    const auto dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && dot > ofn->nFileOffset;
    ofn->nFileExtension = static_cast<WORD>(hasExt ? dot + 1 : path.size());
    const std::string ext = hasExt ? path.substr(dot + 1) : "";
    if (!request.defaultExt.empty() && strcasecmp(ext.c_str(), request.defaultExt.c_str()) != 0)
        ofn->Flags |= OFN_EXTENSIONDIFFERENT;
    else
        ofn->Flags &= ~static_cast<DWORD>(OFN_EXTENSIONDIFFERENT);
    return TRUE;
}

}  // namespace

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) { return runFileDialog(ofn, false); }
BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) { return runFileDialog(ofn, true); }
DWORD CommDlgExtendedError() { return lastFileDialogError; }
