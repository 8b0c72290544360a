// The shell extension's pictures, drawn in code: the product icon (a padlock, group 138), the
// list item icon (a person, 144) and the three progress clips (145 shred, 148 lock, 161 unlock).
#pragma once

#include "ui/resources.h"

namespace vlt::shellext {

inline constexpr int kProductIcon = 138;
inline constexpr int kPersonIcon = 144;
inline constexpr int kShredClip = 145;
inline constexpr int kLockClip = 148;
inline constexpr int kUnlockClip = 161;

ui::Image padlockImage(int size, bool open);
ui::Image personImage(int size);
// A sheet of paper passing a padlock (closing it, or opening it), or falling into shreds.
ui::AnimationClip lockClip(bool unlocking);
ui::AnimationClip shredClip();

// Registers the icons and clips with the module that holds them.
void registerPictures(HINSTANCE module);

}  // namespace vlt::shellext
