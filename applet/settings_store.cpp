#include "applet/settings_store.h"

#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "win32/winuser.h"

namespace vlt::applet {
namespace {

// Missing values keep the caller's default.
bool flagOn(RegistryKey& key, const char* name) {
    DWORD value = 0;
    key.QueryDword(value, name);
    return value == 1;
}

// The entry stored for `value`: the first with that item data. A value no entry carries falls
// back to the first entry, except on the signature list, which is left without a selection.
void selectStored(AlgorithmList& list, DWORD value, bool firstWhenUnknown) {
    if (value == kNoSelection) {
        list.select(-1);
        return;
    }
    const int found = list.findData(value);
    list.select(found >= 0 ? found : (firstWhenUnknown ? 0 : -1));
}

DWORD storedData(const AlgorithmList& list) {
    const int index = list.findText(list.text());
    return index >= 0 ? list.entries[static_cast<std::size_t>(index)].data : kNoSelection;
}

}  // namespace

void loadSettings(SettingsChoices& choices, const std::function<void(const SettingsChoices&)>& saveAtOnce) {
    {
        RegistryKey profile;
        profile.Create(HKEY_CURRENT_USER, layout::kProfileKey);
        profile.QueryDword(choices.period, layout::kTimeOutPeriod);
    }
    RegistryKey settings;
    if (settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey) != ERROR_SUCCESS) return;
    choices.autoLock = flagOn(settings, layout::kAutoLock);
    if (choices.autoLock) choices.secondsEnabled = true;
    choices.deleteAfterEncrypt = flagOn(settings, layout::kDeleteAfterEncrypt);
    choices.deleteAfterDecrypt = flagOn(settings, layout::kDeleteAfterDecrypt);

    AlgorithmLists& lists = choices.lists;
    DWORD value = 0;
    if (settings.QueryDword(value, layout::kEncrypt) != ERROR_SUCCESS) {
        lists.encrypt.select(0);
        if (saveAtOnce) saveAtOnce(choices);
    } else {
        selectStored(lists.encrypt, value, true);
    }
    const struct {
        const char* name;
        AlgorithmList& list;
        bool firstWhenUnknown;
    } rest[] = {{layout::kExchange, lists.exchange, true},
                {layout::kHash, lists.hash, true},
                {layout::kSignature, lists.signature, false}};
    for (const auto& r : rest) {
        if (settings.QueryDword(value, r.name) != ERROR_SUCCESS) r.list.select(0);
        else selectStored(r.list, value, r.firstWhenUnknown);
    }
}

bool writeSettings(const SettingsChoices& choices) {
    RegistryTransaction transaction;
    if (choices.period != 0) {
        RegistryKey profile;
        if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) == ERROR_SUCCESS)
            profile.SetDword(choices.period, layout::kTimeOutPeriod);
    }
    RegistryKey settings;
    if (settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey) == ERROR_SUCCESS) {
        settings.SetDword(choices.deleteAfterEncrypt ? 1 : 0, layout::kDeleteAfterEncrypt);
        settings.SetDword(choices.deleteAfterDecrypt ? 1 : 0, layout::kDeleteAfterDecrypt);
        settings.SetDword(choices.autoLock ? 1 : 0, layout::kAutoLock);
        const AlgorithmLists& lists = choices.lists;
        settings.SetDword(storedData(lists.encrypt), layout::kEncrypt);
        settings.SetDword(storedData(lists.hash), layout::kHash);
        settings.SetDword(storedData(lists.signature), layout::kSignature);
        settings.SetDword(storedData(lists.exchange), layout::kExchange);
    }
    return transaction.Commit() == ERROR_SUCCESS;
}

void notifyTray(DWORD period) {
    if (HWND tray = FindWindowA(nullptr, kTrayWindowTitle)) SendMessageA(tray, kTrayTimeoutMessage, period, 0);
}

void saveSettings(const SettingsChoices& choices) {
    writeSettings(choices);
    notifyTray(choices.period);
}

}  // namespace vlt::applet
