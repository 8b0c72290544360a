// vlt unlock without a tray: nothing will lock the profile again by itself, so say so.
#pragma once

namespace vlt::cli {

// Whether the unlock cache is there: the next unlock asks no password.
bool profileUnlocked();
// When the profile is unlocked and no tray program runs (whose countdown would lock it),
// tells on standard error that it stays unlocked until `vlt profile lock` or a tray starts.
void tellWhenUnlockedWithoutTray();

}  // namespace vlt::cli
