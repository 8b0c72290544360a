// The wizard's resources: its three page templates, the sheet's caption and the pictures,
// registered with the module holding the wizard's code.
#pragma once

#include "ui/resources.h"
#include "win32/windef.h"

namespace vlt::wizard {

// The program that links the wizard's logic (VTInit32, vlt, the tests).
HINSTANCE wizardModule();
// Registers every template, string and picture of the wizard with `module`. Idempotent.
void registerWizardResources(HINSTANCE module);

ui::DialogTemplate welcomePageTemplate();
ui::DialogTemplate profilePageTemplate();
ui::DialogTemplate finishPageTemplate();

}  // namespace vlt::wizard
