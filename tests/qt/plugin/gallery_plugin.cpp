// A plug-in whose dialog registers itself when the library is loaded, as the deliverables' do;
// vlt-gallery loads it with dlopen and draws the dialog.
#include "ui/resources.h"

namespace {

__attribute__((constructor)) void registerOnLoad() {
    using vlt::ui::ControlKind;
    vlt::ui::DialogTemplate t;
    t.resourceId = 900;
    t.caption = "Plug-in Dialog";
    t.cx = 160;
    t.cy = 50;
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {-1, ControlKind::Static, "Registered while loading.", 7, 7, 146, 8, 0, 0, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 103, 29, 50, 14, WS_TABSTOP, 0, 0},
    };
    vlt::ui::registerDialog(vlt::ui::moduleOf(reinterpret_cast<const void*>(&registerOnLoad)), t);
}

}  // namespace
