// The save dialog of the backup and of the certificate export: no owner, initial folder "C:\",
// the flags of the original (0x9C06).
#pragma once

#include <optional>
#include <string>

namespace vlt::applet {

struct SaveDialogSpec {
    const char* title;
    const char* defaultExtension;  // "Vtb"
    const char* initialName;       // "*.Vtb"
    const char* filter;            // "VLT Backup (*.Vtb)|*.Vtb||", as the framework writes it
};

inline constexpr unsigned kSaveDialogFlags = 0x9C06;

// The chosen full path, or nothing when the user cancelled or the dialog failed.
std::optional<std::string> askSavePath(const SaveDialogSpec& spec);

}  // namespace vlt::applet
