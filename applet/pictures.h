// The applet's pictures, drawn in code: the icons of its pages and store entries, the
// certificate card's background and the pointing hand over the card's e-mail link.
#pragma once

#include "ui/resources.h"

namespace vlt::applet {

// Registers every picture under the module's resource numbers (applet/resources.h).
void registerAppletPictures(HINSTANCE module);

// Each picture alone, for the gallery and the tests.
ui::Image profileCardIcon();   // 132: a profile card with a padlock, 32 x 32
ui::Image keyIcon();           // 139: a key, 32 x 32
ui::Image certificateIcon();   // 144: a small certificate, 16 x 16
ui::Image appletIcon();        // 1310: a padlock on a card, 32 x 32
ui::Image cardBackground();    // 148: the card, 424 x 278, sixteen colours at most
ui::Image pointingHand();      // 193: the link cursor, 32 x 32

}  // namespace vlt::applet
