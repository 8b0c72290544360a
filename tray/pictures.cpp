#include "tray/pictures.h"

#include "shared/padlock.h"
#include "tray/messages.h"
#include "ui/resources.h"

namespace vlt::tray {

void registerPictures(HINSTANCE module) {
    // Notification areas scale what they get; a larger picture stays sharp on dense screens.
    constexpr int kSize = 32;
    ui::registerIcon(module, kLockedIcon, padlockImage(kSize, false));
    ui::registerIcon(module, kUnlockedIcon, padlockImage(kSize, true));
}

}  // namespace vlt::tray
