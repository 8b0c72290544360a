// The wizard's side pictures, drawn in code: a padlock welcoming the user, a profile form, and
// a card with a key over the password fields.
#pragma once

#include "ui/resources.h"

namespace vlt::wizard {

// Registers each picture as a bitmap (LoadBitmap) and as the picture control's image under its
// number (wizard/resources.h).
void registerWizardPictures(HINSTANCE module);

ui::Image welcomePicture();   // 137
ui::Image profilePicture();   // 134
ui::Image passwordPicture();  // 133

}  // namespace vlt::wizard
