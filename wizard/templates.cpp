#include "wizard/templates.h"

#include "wizard/pictures.h"
#include "wizard/resources.h"

namespace vlt::wizard {
namespace {

using ui::ControlKind;

constexpr DWORD kPageStyle = DS_3DLOOK | WS_CHILD | WS_CAPTION;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr int kPageWidth = 276;
constexpr int kPageHeight = 140;

// The side picture every page shows on its left.
ui::ControlTemplate picture(int id, int pictureId) {
    return {id, ControlKind::Icon, "", 7, 7, 64, 118, SS_ICON, 0, pictureId};
}

ui::DialogTemplate page(int id, const char* caption) {
    ui::DialogTemplate t;
    t.resourceId = id;
    t.caption = caption;
    t.cx = kPageWidth;
    t.cy = kPageHeight;
    t.style = kPageStyle;
    return t;
}

}  // namespace

ui::DialogTemplate welcomePageTemplate() {
    ui::DialogTemplate t = page(kWelcomePage, "");
    t.controls = {
        picture(kWelcomeBitmap, kWelcomePicture),
        {kEveryAgentText, ControlKind::Static, "Every VLT agent needs to have a profile.", 80, 10, 189, 10, SS_LEFT, 0, 0},
        {kUsedForAllText, ControlKind::Static, "This profile is used for all VLT operations.", 80, 24, 189, 10, SS_LEFT,
         0, 0},
        {kUpdateText, ControlKind::Static,
         "VLT has detected a 128 bit Encryption component in your computer.\n\nYour profile needs to be updated, if "
         "you wish to use this component with VLT",
         80, 10, 189, 50, SS_LEFT, 0, 0},
        {kCreateRadio, ControlKind::RadioButton, "Create New Profile.", 90, 50, 150, 10, WS_TABSTOP | WS_GROUP, 0, 0},
        {kImportRadio, ControlKind::RadioButton, "Import My existing Profile.", 90, 66, 120, 10, WS_TABSTOP, 0, 0},
        {kBrowseButton, ControlKind::PushButton, "Bro&wse...", 212, 64, 57, 14, WS_TABSTOP | WS_DISABLED, 0, 0},
        {kNoShowCheck, ControlKind::CheckBox, "Do not show this screen next time I login.", 80, 120, 189, 10,
         WS_TABSTOP, 0, 0},
    };
    return t;
}

ui::DialogTemplate profilePageTemplate() {
    ui::DialogTemplate t = page(kProfilePage, "Create your profile. [Step 2 of 3]");
    t.controls = {
        picture(-1, kProfilePicture),
        {-1, ControlKind::Static,
         "Enter the following information carefully as they will be included along with your certificate.", 80, 7,
         189, 20, SS_LEFT, 0, 0},
    };
    struct Field {
        int id;
        const char* label;
    };
    const Field fields[] = {{kDisplayNameEdit, "Display Name"},
                            {kEMailEdit, "E - Mail ID"},
                            {kStreetEdit, "Street"},
                            {kCityEdit, "City"},
                            {kStateEdit, "State"}};
    int y = 32;
    for (const Field& f : fields) {
        t.controls.push_back({-1, ControlKind::Static, f.label, 80, y + 2, 60, 8, SS_LEFT, 0, 0});
        t.controls.push_back({f.id, ControlKind::Edit, "", 145, y, 124, 12, kEdit, 0, 0});
        y += 18;
    }
    return t;
}

ui::DialogTemplate finishPageTemplate() {
    ui::DialogTemplate t = page(kFinishPage, "");
    t.controls = {
        picture(-1, kPasswordPicture),
        {-1, ControlKind::Static,
         "This password provides access to all VLT protected files and should be kept secret.", 80, 10, 189, 20,
         SS_LEFT, 0, 0},
        {-1, ControlKind::GroupBox, "Enter VLT password", 80, 40, 189, 60, BS_GROUPBOX, 0, 0},
        {-1, ControlKind::Static, "VLT Password :", 88, 56, 70, 8, SS_LEFT, 0, 0},
        {kPasswordEdit, ControlKind::Edit, "", 160, 54, 100, 12, kEdit | ES_PASSWORD, 0, 0},
        {-1, ControlKind::Static, "Confirm Password :", 88, 76, 70, 8, SS_LEFT, 0, 0},
        {kConfirmEdit, ControlKind::Edit, "", 160, 74, 100, 12, kEdit | ES_PASSWORD, 0, 0},
    };
    return t;
}

HINSTANCE wizardModule() { return ui::moduleOf(reinterpret_cast<const void*>(&registerWizardResources)); }

void registerWizardResources(HINSTANCE module) {
    ui::registerDialog(module, welcomePageTemplate());
    ui::registerDialog(module, profilePageTemplate());
    ui::registerDialog(module, finishPageTemplate());
    ui::registerString(module, kSheetCaptionString, "Wizard");
    registerWizardPictures(module);
}

}  // namespace vlt::wizard
