#include "ui/file_choice.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "base/paths.h"
#include "win32/commdlg.h"

namespace vlt::ui {
namespace {

enum class Kind { None, File, Folder };

Kind kindOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return Kind::None;
    return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::File;
}

bool isDrivePath(const std::string& p) {
    return p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
           (p.size() == 2 || p[2] == '\\' || p[2] == '/');
}

std::string currentFolder() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string("/");
}

bool hasExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
}

}  // namespace

std::string dialogFolder(const std::string& requested) {
    if (requested.empty()) return currentFolder();
    if (isDrivePath(requested)) {
        const std::string home = base::homeDir();
        return kindOf(home) == Kind::Folder ? home : currentFolder();
    }
    return requested;
}

FileChoice chooseFile(const FileDialogRequest& request, const std::string& typed) {
    FileChoice c;
    c.path = !typed.empty() && typed.front() == '/' ? typed : dialogFolder(request.initialDir) + "/" + typed;
    if (!request.defaultExt.empty() && !hasExtension(c.path) && !(request.open && kindOf(c.path) != Kind::None))
        c.path += "." + request.defaultExt;
    const auto slash = c.path.find_last_of('/');
    const std::string folder = slash == 0 ? "/" : c.path.substr(0, slash);
    const Kind kind = kindOf(c.path);
    if (kind == Kind::Folder) c.problem = c.path + "\nThis is a folder; choose a file.";
    else if ((request.flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && kindOf(folder) != Kind::Folder)
        c.problem = c.path + "\nThere is no such folder.";
    else if (request.open && (request.flags & OFN_FILEMUSTEXIST) && kind == Kind::None)
        c.problem = c.path + "\nThere is no such file.";
    return c;
}

}  // namespace vlt::ui
