#include "applet/save_dialog.h"

#include <cstring>

#include "win32/commdlg.h"

namespace vlt::applet {

std::optional<std::string> askSavePath(const SaveDialogSpec& spec) {
    // The framework's filter writes '|' where the dialog wants a zero.
    std::string filter = spec.filter;
    for (char& c : filter)
        if (c == '|') c = '\0';
    char file[MAX_PATH] = {};
    std::strncpy(file, spec.initialName, MAX_PATH - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = "C:\\";
    ofn.lpstrTitle = spec.title;
    ofn.Flags = kSaveDialogFlags;
    ofn.lpstrDefExt = spec.defaultExtension;
    if (!GetSaveFileNameA(&ofn)) return std::nullopt;
    return std::string(file);
}

}  // namespace vlt::applet
