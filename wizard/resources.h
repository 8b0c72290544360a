// The wizard's resource numbers: its three page templates, its pictures, the sheet's caption
// string and the controls of the pages.
#pragma once

namespace vlt::wizard {

inline constexpr char kAppName[] = "VTInit32";

// Dialog templates.
inline constexpr int kFinishPage = 106;
inline constexpr int kProfilePage = 107;
inline constexpr int kWelcomePage = 108;

// Pictures.
inline constexpr int kPasswordPicture = 133;  // the finish page: a card with a key
inline constexpr int kProfilePicture = 134;   // the profile page: a form
inline constexpr int kWelcomePicture = 137;   // the welcome page: a padlock

// Strings.
inline constexpr int kSheetCaptionString = 102;  // "Wizard"

// Welcome page.
inline constexpr int kCreateRadio = 1000;
inline constexpr int kWelcomeBitmap = 1001;
inline constexpr int kImportRadio = 1002;
inline constexpr int kBrowseButton = 1003;
inline constexpr int kNoShowCheck = 1019;
inline constexpr int kUsedForAllText = 1020;
inline constexpr int kEveryAgentText = 1021;
inline constexpr int kUpdateText = 1022;

// Profile page.
inline constexpr int kDisplayNameEdit = 1007;
inline constexpr int kEMailEdit = 1008;
inline constexpr int kStreetEdit = 1009;
inline constexpr int kCityEdit = 1010;
inline constexpr int kStateEdit = 1011;

// Finish page.
inline constexpr int kPasswordEdit = 1016;
inline constexpr int kConfirmEdit = 1017;

// Captions of the message boxes.
inline constexpr char kEmergencyCaption[] = "VLT Emergency Report";
inline constexpr char kStatusCaption[] = "VLT Status Report";

}  // namespace vlt::wizard
