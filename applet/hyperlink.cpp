#include "applet/hyperlink.h"

#include <cstdio>

#include "applet/applet_app.h"
#include "win32/shellapi.h"
#include "win32/winreg.h"

namespace vlt::applet {
namespace {

// The default value of HKEY_CLASSES_ROOT\subKey as a buffer of 260 characters holds it.
bool classesDefault(const std::string& subKey, std::string& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return false;
    buffer[MAX_PATH - 1] = '\0';
    out = buffer;
    return true;
}

}  // namespace

UINT_PTR openHyperlink(const std::string& target, int showCommand) {
    const auto shell = reinterpret_cast<UINT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr,
                                                                 showCommand));
    if (shell > 32) return shell;
    std::string browserClass;
    std::string command;
    if (!classesDefault(".htm", browserClass)) return shell;
    if (!classesDefault(browserClass + "\\shell\\open\\command", command)) return shell;
    // The browser's own placeholder goes; the target takes its place at the end.
    if (auto quoted = command.find("\"%1\""); quoted != std::string::npos) command.resize(quoted);
    else if (auto bare = command.find("%1"); bare != std::string::npos) command.resize(bare);
    command += " " + target;
    return WinExec(command.c_str(), static_cast<UINT>(showCommand));
}

std::string hyperlinkErrorText(UINT_PTR code) {
    const char* message = nullptr;
    switch (code) {
        case 0: message = "The operating system is out\nof memory or resources."; break;
        case SE_ERR_FNF: message = "The specified file was not found."; break;
        case SE_ERR_PNF: message = "The specified path was not found."; break;
        case SE_ERR_ACCESSDENIED: message = "The operating system denied\naccess to the specified file."; break;
        case SE_ERR_OOM: message = "There was not enough memory to complete the operation."; break;
        case 11: message = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
        case SE_ERR_SHARE: message = "A sharing violation occurred. "; break;
        case SE_ERR_ASSOCINCOMPLETE: message = "The filename association is\nincomplete or invalid."; break;
        case SE_ERR_DDETIMEOUT:
            message = "The DDE transaction could not\nbe completed because the request timed out.";
            break;
        case SE_ERR_DDEFAIL: message = "The DDE transaction failed."; break;
        case SE_ERR_DDEBUSY:
            message = "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
            break;
        case SE_ERR_NOASSOC: message = "There is no application associated\nwith the given filename extension."; break;
        case SE_ERR_DLLNOTFOUND: message = "The specified dynamic-link library was not found."; break;
        default: break;
    }
    std::string text = "Unable to open hyperlink:\n\n";
    if (message != nullptr) return text + message;
    char unknown[64];
    std::snprintf(unknown, sizeof unknown, "Unknown Error (%d) occurred.", static_cast<int>(code));
    return text + unknown;
}

void reportHyperlinkError(UINT_PTR code) {
    MessageBeep(MB_ICONEXCLAMATION);
    appletMessageBox(nullptr, hyperlinkErrorText(code).c_str());
}

}  // namespace vlt::applet
