// The applet's resource numbers: dialogs, their controls, pictures and strings. Hosts, tools
// and tests that name an applet resource take the number from here.
#pragma once

namespace vlt::applet {

inline constexpr const char* kModuleName = "VTCert32";
// Its file in the system directory, which the control-panel runner opens.
inline constexpr const char* kAppletFileName = "VTCert32.Cpl";

// Dialog templates.
inline constexpr int kCertificateDialog = 102;    // the certificate card
inline constexpr int kSystemStorePage = 108;      // "System Certificate Store"
inline constexpr int kPersonalPage = 130;         // "Personal"
inline constexpr int kPersonalStorePage = 136;    // "Personal Certificate Store"
inline constexpr int kChangePasswordDialog = 140; // "Change VLT Password"
inline constexpr int kSettingsPage = 141;         // "VLT Settings"
inline constexpr int kNewNameDialog = 151;        // "New Name"

// Pictures.
inline constexpr int kProfileIcon = 132;       // beside the pages' explanations
inline constexpr int kPasswordIcon = 139;      // "VLT Password" group
inline constexpr int kCertificateIcon = 144;   // every store entry
inline constexpr int kAppletIcon = 1310;       // the applet, "Personal Details" group
inline constexpr int kCardBitmap = 148;        // the card's background, 424 x 278
inline constexpr int kLinkCursor = 193;        // over the e-mail link

// Strings.
inline constexpr int kAppletNameString = 57345;   // "Vaultine Poperties."
inline constexpr int kAppletInfoString = 57346;   // "Change the properties of Vaultine."
inline constexpr int kSheetCaptionString = 57347; // "Vaultine Properties."

// Personal page (130).
inline constexpr int kNameEdit = 1001;
inline constexpr int kEmailEdit = 1002;
inline constexpr int kChangePasswordButton = 1008;
inline constexpr int kCreateProfileButton = 1009;
inline constexpr int kImportProfileButton = 1010;
inline constexpr int kViewCertificateButton = 1011;
inline constexpr int kBackupButton = 4;
inline constexpr int kPollTimer = 1;

// Change-password dialog (140).
inline constexpr int kOldPasswordEdit = 1005;
inline constexpr int kNewPasswordEdit = 1006;
inline constexpr int kConfirmPasswordEdit = 1007;

// Certificate card (102).
inline constexpr int kCardName = 1000;
inline constexpr int kCardEmail = 1001;
inline constexpr int kCardStreet = 1002;
inline constexpr int kCardCity = 1003;
inline constexpr int kCardState = 1009;
inline constexpr int kCardNameLabel = 1005;
inline constexpr int kCardEmailLabel = 1006;
inline constexpr int kCardStreetLabel = 1007;
inline constexpr int kCardCityLabel = 1008;
inline constexpr int kCardStateLabel = 1010;
inline constexpr int kCardFrame = 1004;
inline constexpr int kExportButton = 1015;

// Store pages (136, 108).
inline constexpr int kStoreDeleteButton = 1011;
inline constexpr int kStoreViewButton = 1012;
inline constexpr int kStoreImportButton = 1013;
inline constexpr int kStoreList = 1014;

// New-name dialog (151).
inline constexpr int kNewNameEdit = 1017;

// Settings page (141).
inline constexpr int kDeleteAfterEncryptBox = 1001;
inline constexpr int kEncryptList = 1002;
inline constexpr int kHashList = 1003;
inline constexpr int kSignatureList = 1004;
inline constexpr int kExchangeList = 1005;
inline constexpr int kDeleteAfterDecryptBox = 1006;
inline constexpr int kAutoLockBox = 1007;
inline constexpr int kSecondsEdit = 1010;

}  // namespace vlt::applet
