#include "applet/templates.h"

#include "applet/new_name_dialog.h"
#include "applet/pictures.h"
#include "applet/resources.h"
#include "applet/settings_page.h"
#include "applet/store_page.h"

namespace vlt::applet {
namespace {

using ui::ControlKind;

constexpr DWORD kPageStyle = DS_3DLOOK | WS_CHILD | WS_CAPTION;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kReadOnlyEdit = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kPasswordEdit = ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kCardStatic = SS_LEFT | SS_CENTERIMAGE;

constexpr const char* kProfileExplanation =
    "Every VLT agent needs to have a profile. This profile is \nused for all encryption and decryption done by "
    "the user. Any\nmodifications to the personal profile can be done here.";
constexpr const char* kPasswordExplanation =
    "VLT uses this password to keep your profile safe. The password you provide here should be kept secret.";

}  // namespace

ui::DialogTemplate personalPageTemplate() {
    ui::DialogTemplate t;
    t.resourceId = kPersonalPage;
    t.caption = "Personal";
    t.cx = 250;
    t.cy = 231;
    t.style = kPageStyle;
    t.controls = {
        {-1, ControlKind::Icon, "", 7, 7, 21, 20, SS_ICON, 0, kProfileIcon},
        {-1, ControlKind::Static, kProfileExplanation, 35, 7, 208, 26, SS_LEFT, 0, 0},
        {-1, ControlKind::GroupBox, "Personal Details", 7, 40, 236, 76, BS_GROUPBOX, 0, 0},
        {-1, ControlKind::Icon, "", 15, 54, 21, 20, SS_ICON, 0, kAppletIcon},
        {-1, ControlKind::Static, "Name:", 45, 56, 40, 8, SS_LEFT, 0, 0},
        {kNameEdit, ControlKind::Edit, "", 90, 54, 145, 12, kReadOnlyEdit, 0, 0},
        {-1, ControlKind::Static, "E-mail ID:", 45, 74, 40, 8, SS_LEFT, 0, 0},
        {kEmailEdit, ControlKind::Edit, "", 90, 72, 145, 12, kReadOnlyEdit, 0, 0},
        {kViewCertificateButton, ControlKind::PushButton, "View Digital certificate...", 125, 93, 110, 14,
         kButton | WS_DISABLED, 0, 0},
        {-1, ControlKind::GroupBox, "VLT Password", 7, 122, 236, 62, BS_GROUPBOX, 0, 0},
        {-1, ControlKind::Icon, "", 15, 136, 21, 20, SS_ICON, 0, kPasswordIcon},
        {-1, ControlKind::Static, kPasswordExplanation, 45, 136, 190, 18, SS_LEFT, 0, 0},
        {kChangePasswordButton, ControlKind::PushButton, "Change VLT Password ...", 125, 161, 110, 14,
         kButton | WS_DISABLED, 0, 0},
        {kCreateProfileButton, ControlKind::PushButton, "Create Profile", 7, 198, 70, 14, kButton, 0, 0},
        {kImportProfileButton, ControlKind::PushButton, "&Import Profile", 90, 198, 70, 14, kButton, 0, 0},
        {kBackupButton, ControlKind::PushButton, "Backup Profile", 173, 198, 70, 14, kButton | WS_DISABLED, 0, 0},
    };
    return t;
}

ui::DialogTemplate changePasswordTemplate() {
    ui::DialogTemplate t;
    t.resourceId = kChangePasswordDialog;
    t.caption = "Change VLT Password";
    t.cx = 200;
    t.cy = 90;
    t.style = DS_MODALFRAME | DS_CENTER | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {-1, ControlKind::Static, "Old Password:", 7, 9, 80, 8, SS_LEFT, 0, 0},
        {kOldPasswordEdit, ControlKind::Edit, "", 90, 7, 103, 12, kPasswordEdit, 0, 0},
        {-1, ControlKind::Static, "New Password:", 7, 27, 80, 8, SS_LEFT, 0, 0},
        {kNewPasswordEdit, ControlKind::Edit, "", 90, 25, 103, 12, kPasswordEdit, 0, 0},
        {-1, ControlKind::Static, "Confirm New Password:", 7, 45, 80, 8, SS_LEFT, 0, 0},
        {kConfirmPasswordEdit, ControlKind::Edit, "", 90, 43, 103, 12, kPasswordEdit, 0, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 87, 69, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 143, 69, 50, 14, kButton, 0, 0},
    };
    return t;
}

ui::DialogTemplate certificateDialogTemplate() {
    ui::DialogTemplate t;
    t.resourceId = kCertificateDialog;
    t.cx = 212;
    t.cy = 139;
    t.style = DS_CENTER | DS_SETFOREGROUND | DS_3DLOOK | WS_POPUP | WS_BORDER;
    // The frame is the painting area; the card hides it when it starts.
    t.controls = {{kCardFrame, ControlKind::Static, "", 0, 0, 212, 139, SS_BLACKFRAME, 0, 0}};
    struct Row {
        int label;
        const char* text;
        int value;
    };
    const Row rows[] = {{kCardNameLabel, "Name:", kCardName},
                        {kCardEmailLabel, "E-mail :", kCardEmail},
                        {kCardStreetLabel, "Street :", kCardStreet},
                        {kCardCityLabel, "City :", kCardCity},
                        {kCardStateLabel, "State :", kCardState}};
    int y = 22;
    for (const Row& row : rows) {
        t.controls.push_back({row.label, ControlKind::Static, row.text, 16, y, 40, 12, kCardStatic, 0, 0});
        t.controls.push_back({row.value, ControlKind::Static, "", 60, y, 140, 12, kCardStatic, 0, 0});
        y += 16;
    }
    t.controls.push_back(
        {kExportButton, ControlKind::PushButton, "Export Certificate", 16, 115, 70, 14, kButton | BS_FLAT, 0, 0});
    t.controls.push_back({IDCANCEL, ControlKind::PushButton, "Cancel", 146, 115, 50, 14, kButton | BS_FLAT, 0, 0});
    return t;
}

HINSTANCE appletModule() { return ui::moduleOf(reinterpret_cast<const void*>(&registerAppletResources)); }

void registerAppletResources(HINSTANCE module) {
    ui::registerDialog(module, personalPageTemplate());
    ui::registerDialog(module, changePasswordTemplate());
    ui::registerDialog(module, certificateDialogTemplate());
    ui::registerString(module, kAppletNameString, "Vaultine Poperties.");
    ui::registerString(module, kAppletInfoString, "Change the properties of Vaultine.");
    ui::registerString(module, kSheetCaptionString, "Vaultine Properties.");
    registerAppletPictures(module);
    // The pages of the other half of the applet.
    ui::registerDialog(module, storePageTemplate(StoreKind::Personal));
    ui::registerDialog(module, storePageTemplate(StoreKind::System));
    ui::registerDialog(module, settingsPageTemplate());
    ui::registerDialog(module, newNameTemplate());
}

}  // namespace vlt::applet
