// The suite's padlock, drawn in code: the product icon of the shell extension and the tray's
// locked and unlocked icons are this picture, closed or open.
#pragma once

#include "ui/resources.h"

namespace vlt {

// A size x size picture of the padlock on a clear background.
ui::Image padlockImage(int size, bool open);
// Draws the padlock into a picture that holds other things too (animation frames), with its
// top left corner at (x, y); pixels outside the picture are left out.
void drawPadlock(ui::Image& picture, int x, int y, int size, bool open);

}  // namespace vlt
