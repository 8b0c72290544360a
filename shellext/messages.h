// Every text, caption and style the shell extension shows, in one place.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "win32/winuser.h"

namespace vlt::shellext::msg {

inline constexpr const char* kStatusCaption = "VLT Status Report.";
inline constexpr const char* kEmergencyCaption = "VLT Emergency Report";
inline constexpr const char* kWarningCaption = "Warning!";
inline constexpr const char* kWarningCaptionPlain = "Warning";
inline constexpr const char* kConfirmReplaceCaption = "Confirm File Replace";

inline constexpr const char* kNoProfile =
    "You have not yet created a profile. \nPlease create your profile using the \"VLT Properties\" "
    "Control Panel applet.";
inline constexpr const char* kWrongPassword = "The Password is wrong. Please enter the correct Password.";
inline constexpr const char* kChooseAlgorithm =
    "Please select the Encryption Algorithm to be used for Locking the file(s) from the \"VLT Properties\" "
    "Control Panel applet.";
inline constexpr const char* kOpenInputFailed = "Failed to Open input File";
inline constexpr const char* kEncryptFailed = "Failed to Encrypt File";
inline constexpr const char* kDecryptError = "Decrypt Error\nCheck whether you are using the  correct profile";
inline constexpr const char* kNotVltFile = "This is not a VLT file";
inline constexpr const char* kCannotRemove = "File %s cannot be removed.";
inline constexpr const char* kReplaceQuestion =
    "A file with the same name exists in the current folder.\n\n\tWould you like to replace the existing file.";
inline constexpr const char* kSaveTitle = "Choose a new name for decrypting the file";

// Texts of our own, for refusals the Windows original did not have.
inline constexpr const char* kNotRegularFile = "%s is not a regular file. VLT locks and unlocks only regular files.";
inline constexpr const char* kNoRecipientKey =
    "The certificate of %s holds no key VLT can lock with. Nothing was locked.";
inline constexpr const char* kUnsafeName =
    "%s names \"%s\" as the file to unlock to, which is not a plain file name. The file was not unlocked.";

inline constexpr const char* kShredLink =
    "%s is a symbolic link. Only the link is removed; the file it points to is not touched.";
inline constexpr const char* kShredCannotOpen = "%s cannot be opened for writing. It was not destroyed.";
inline constexpr const char* kShredMissing = "%s cannot be found. It was not destroyed.";
inline constexpr const char* kShredWriteFailed =
    "%s could not be overwritten completely before it was removed; parts of it may remain on the disk.";
inline constexpr const char* kShredUntrusted =
    "%s lies on a %s file system, where overwriting a file does not reliably reach the blocks that held "
    "it. Copies of its contents may remain on the device.";

inline constexpr UINT kStyleWarning = MB_ICONWARNING;
inline constexpr UINT kStyleWarningSystemModal = MB_ICONWARNING | MB_SYSTEMMODAL;
inline constexpr UINT kStyleDecryptError = MB_ICONWARNING | MB_SETFOREGROUND;
inline constexpr UINT kStyleReplace = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;

// The format with each "%s" replaced, in turn, by the next argument.
inline std::string fill(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace vlt::shellext::msg
