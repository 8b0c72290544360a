// The applet's resources: its dialog templates, strings and pictures, registered with the
// module that holds the applet's code.
#pragma once

#include "ui/resources.h"
#include "win32/windef.h"

namespace vlt::applet {

// The module the applet's resources belong to: the plug-in when loaded as VTCert32.Cpl, the
// program that links the applet's logic otherwise.
HINSTANCE appletModule();

// Registers every dialog template, string and picture of the applet with `module`. Idempotent.
void registerAppletResources(HINSTANCE module);

// The templates this part of the applet declares.
ui::DialogTemplate personalPageTemplate();
ui::DialogTemplate changePasswordTemplate();
ui::DialogTemplate certificateDialogTemplate();

}  // namespace vlt::applet
