#include "tools/gallery/demo_dialogs.h"

#include <cmath>

#include "ui/resources.h"
#include "win32/commctrl.h"

namespace vlt::gallery {
namespace {

using ui::ControlKind;
using ui::ControlTemplate;
using ui::DialogTemplate;

constexpr DWORD kTab = WS_TABSTOP;

// A ring with a bright sector at `angle` (radians): frames of the clip, and the icon.
ui::Image ring(int size, double angle) {
    ui::Image image;
    image.width = image.height = size;
    image.pixels.resize(static_cast<size_t>(size) * static_cast<size_t>(size), 0);
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = x - c, dy = y - c;
            const double r = std::sqrt(dx * dx + dy * dy);
            if (r > c || r < c * 0.55) continue;
            double d = std::atan2(dy, dx) - angle;
            while (d < -M_PI) d += 2 * M_PI;
            while (d > M_PI) d -= 2 * M_PI;
            const bool lit = std::abs(d) < M_PI / 4;
            image.pixels[static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)] =
                lit ? 0xFF2060C0u : 0xFFB0C4DEu;
        }
    }
    return image;
}

DialogTemplate passwordPrompt() {
    DialogTemplate t;
    t.resourceId = 101;
    t.cx = 228;
    t.cy = 65;
    t.style = DS_MODALFRAME | DS_CENTER | WS_POPUP;
    t.controls = {
        {-1, ControlKind::GroupBox, "Enter the password", 7, 4, 214, 54, 0, 0, 0},
        {-1, ControlKind::Icon, "", 14, 17, 21, 20, 0, 0, kDemoIcon},
        {-1, ControlKind::Static, "Password:", 42, 22, 34, 8, 0, 0, 0},
        {1000, ControlKind::Edit, "", 80, 19, 134, 14, ES_PASSWORD | ES_AUTOHSCROLL | kTab, WS_EX_CLIENTEDGE, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 110, 38, 50, 14, kTab, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 164, 38, 50, 14, kTab, 0, 0},
    };
    return t;
}

DialogTemplate listChoice() {
    DialogTemplate t;
    t.resourceId = 102;
    t.caption = "Choose a Person";
    t.cx = 210;
    t.cy = 150;
    t.style = DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD list = LVS_LIST | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING | WS_BORDER | kTab;
    t.controls = {
        {-1, ControlKind::GroupBox, "People", 7, 4, 196, 118, 0, 0, 0},
        {-1, ControlKind::Icon, "", 14, 14, 21, 20, 0, 0, kDemoIcon},
        {-1, ControlKind::Static, "Select the person who may open the file.", 40, 18, 156, 16, 0, 0, 0},
        {1001, ControlKind::ListView, "", 14, 38, 182, 34, list, WS_EX_CLIENTEDGE, 0},
        {1004, ControlKind::Separator, "", 14, 78, 182, 1, SS_SUNKEN, 0, 0},
        {-1, ControlKind::Static, "Or one of the people known on this computer.", 14, 84, 182, 8, 0, 0, 0},
        {1002, ControlKind::ListView, "", 14, 94, 182, 22, list, WS_EX_CLIENTEDGE, 0},
        {1000, ControlKind::DefPushButton, "&Lock", 98, 129, 50, 14, kTab, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 153, 129, 50, 14, kTab, 0, 0},
    };
    return t;
}

DialogTemplate progress() {
    DialogTemplate t;
    t.resourceId = 103;
    t.caption = "Working ...";
    t.cx = 250;
    t.cy = 75;
    t.style = DS_MODALFRAME | DS_SETFOREGROUND | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {106, ControlKind::Animation, "", 7, 5, 236, 24, ACS_TRANSPARENT | ACS_AUTOPLAY | ACS_CENTER, 0, 0},
        {102, ControlKind::Static, "Commencing Operation", 7, 32, 236, 8, SS_LEFT, 0, 0},
        {104, ControlKind::ProgressBar, "", 7, 43, 236, 9, WS_BORDER, 0, 0},
        {105, ControlKind::Static, "", 7, 57, 170, 8, 0, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 193, 56, 50, 14, kTab, 0, 0},
    };
    return t;
}

DialogTemplate everyControl() {
    DialogTemplate t;
    t.resourceId = 104;
    t.caption = "Every Control";
    t.cx = 240;
    t.cy = 170;
    t.style = DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {-1, ControlKind::GroupBox, "Texts", 7, 4, 110, 80, 0, 0, 0},
        {-1, ControlKind::Static, "Left text that is long enough to wrap.", 14, 15, 96, 16, SS_LEFT, 0, 0},
        {-1, ControlKind::Static, "Centred", 14, 33, 96, 8, SS_CENTER, 0, 0},
        {200, ControlKind::Edit, "Editable", 14, 44, 96, 12, ES_AUTOHSCROLL | kTab, WS_EX_CLIENTEDGE, 0},
        {201, ControlKind::Edit, "Read only", 14, 60, 60, 12, ES_READONLY, WS_EX_CLIENTEDGE, 0},
        {202, ControlKind::Edit, "42", 78, 60, 32, 12, ES_NUMBER | kTab, WS_EX_CLIENTEDGE, 0},
        {-1, ControlKind::GroupBox, "Choices", 123, 4, 110, 80, 0, 0, 0},
        {210, ControlKind::CheckBox, "&Delete after locking", 130, 15, 96, 10, kTab, 0, 0},
        {211, ControlKind::CheckBox, "Disabled check box", 130, 27, 96, 10, WS_DISABLED, 0, 0},
        {212, ControlKind::RadioButton, "&Base provider", 130, 40, 96, 10, WS_GROUP | kTab, 0, 0},
        {213, ControlKind::RadioButton, "&Enhanced provider", 130, 51, 96, 10, 0, 0, 0},
        {214, ControlKind::ComboBox, "", 130, 64, 96, 60, CBS_DROPDOWNLIST | kTab, 0, 0},
        {-1, ControlKind::Icon, "", 7, 92, 21, 20, 0, 0, kDemoIcon},
        {220, ControlKind::Animation, "", 34, 92, 24, 24, ACS_TRANSPARENT | ACS_AUTOPLAY, 0, 0},
        {221, ControlKind::ProgressBar, "", 64, 96, 169, 9, WS_BORDER, 0, 0},
        {222, ControlKind::ListView, "", 7, 118, 226, 24, LVS_LIST | LVS_SINGLESEL | kTab, WS_EX_CLIENTEDGE, 0},
        {223, ControlKind::Separator, "", 7, 146, 226, 1, SS_ETCHEDHORZ, 0, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 128, 151, 50, 14, kTab, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 183, 151, 50, 14, kTab, 0, 0},
    };
    return t;
}

// A property page: a child dialog, drawn alone and inside a sheet.
DialogTemplate page(int id, const char* caption, bool withList) {
    DialogTemplate t;
    t.resourceId = id;
    t.caption = caption;
    t.cx = 210;
    t.cy = 120;
    t.style = DS_3DLOOK | WS_CHILD | WS_CAPTION;
    t.controls = {
        {-1, ControlKind::Icon, "", 7, 7, 21, 20, 0, 0, kDemoIcon},
        {-1, ControlKind::Static, "Pages of a property sheet sit under its tabs.", 34, 10, 170, 16, 0, 0, 0},
    };
    if (withList) {
        t.controls.push_back({300, ControlKind::ListView, "", 7, 32, 196, 60, LVS_LIST | LVS_SINGLESEL | kTab,
                              WS_EX_CLIENTEDGE, 0});
        t.controls.push_back({301, ControlKind::PushButton, "&Import", 153, 99, 50, 14, kTab, 0, 0});
    } else {
        t.controls.push_back({310, ControlKind::CheckBox, "&Lock after", 7, 40, 60, 10, kTab, 0, 0});
        t.controls.push_back({311, ControlKind::Edit, "600", 70, 38, 30, 12, ES_NUMBER | kTab, WS_EX_CLIENTEDGE, 0});
        t.controls.push_back({-1, ControlKind::Static, "seconds", 104, 40, 40, 8, 0, 0, 0});
    }
    return t;
}

}  // namespace

void registerDemoDialogs(HINSTANCE module) {
    ui::registerIcon(module, kDemoIcon, ring(32, -M_PI / 2));
    ui::AnimationClip clip;
    clip.frameMs = 80;
    for (int i = 0; i < 8; ++i) clip.frames.push_back(ring(32, i * M_PI / 4));
    ui::registerAnimation(module, kDemoClip, std::move(clip));
    ui::registerDialog(module, passwordPrompt());
    ui::registerDialog(module, listChoice());
    ui::registerDialog(module, progress());
    ui::registerDialog(module, everyControl());
    ui::registerDialog(module, page(105, "People", true));
    ui::registerDialog(module, page(106, "Locking", false));
}

}  // namespace vlt::gallery
