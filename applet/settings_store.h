// The settings page's state without its window, and the rules that load it from the registry
// and save it back; the page and `vlt settings` run the same code.
#pragma once

#include <functional>

#include "applet/algorithm_lists.h"
#include "win32/windef.h"

namespace vlt::applet {

struct SettingsChoices {
    AlgorithmLists lists;
    bool autoLock = false;
    bool deleteAfterEncrypt = false;
    bool deleteAfterDecrypt = false;
    bool secondsEnabled = false;  // the seconds box starts disabled
    DWORD period = 0;             // "TimeOut Period", seconds
};

// Load after a fill. When the Settings key has no "Encrypt", selects the first encryption
// entry and calls saveAtOnce before the other three lists are loaded (the page saves there, so
// that from then on every value exists).
void loadSettings(SettingsChoices& choices, const std::function<void(const SettingsChoices&)>& saveAtOnce);

// Writes the choices: the period (unless 0), the three flags and the four lists' values (the
// item data of the first entry with the current text, kNoSelection when none), as one
// registry transaction. false when it could not be committed.
bool writeSettings(const SettingsChoices& choices);

// Sends TrayTimeoutMessage with the period to the window titled "Vaultine Tray", if there is one.
void notifyTray(DWORD period);

// writeSettings, then notifyTray: the page's save.
void saveSettings(const SettingsChoices& choices);

}  // namespace vlt::applet
