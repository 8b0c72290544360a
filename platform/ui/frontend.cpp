#include "ui/frontend.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "win32/commdlg.h"
#include "win32/winuser.h"

namespace vlt::ui {
namespace {
std::atomic<Frontend*> g_frontend{nullptr};
}

void setFrontend(Frontend* f) { g_frontend.store(f); }
Frontend* frontend() { return g_frontend.load(); }

bool haveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

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

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    if (ofn == nullptr || ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) return FALSE;
    vlt::ui::SaveDialogRequest request;
    request.owner = ofn->hwndOwner;
    request.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    for (const char* p = ofn->lpstrFilter; p && *p;) {
        std::string description = p;
        p += description.size() + 1;
        std::string pattern = p;
        p += pattern.size() + 1;
        request.filters.emplace_back(std::move(description), std::move(pattern));
    }
    request.initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "";
    request.initialName = ofn->lpstrFile;
    request.flags = ofn->Flags;
    auto* f = vlt::ui::frontend();
    if (f == nullptr) return FALSE;
    const auto answer = f->saveDialog(request);
    if (!answer.accepted || answer.path.size() + 1 > ofn->nMaxFile) return FALSE;
    std::memcpy(ofn->lpstrFile, answer.path.c_str(), answer.path.size() + 1);
    const auto slash = answer.path.find_last_of('/');
    ofn->nFileOffset = static_cast<WORD>(slash == std::string::npos ? 0 : slash + 1);
    return TRUE;
}
