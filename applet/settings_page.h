// "VLT Settings": the algorithms, the delete options and automatic locking, shown from and
// saved to the registry through SettingsChoices.
#pragma once

#include "applet/settings_store.h"
#include "ui/framework_dialogs.h"
#include "ui/resources.h"

namespace vlt::applet {

class CSettingsPage : public ui::CPropertyPage {
    VLT_DECLARE_DYNAMIC(CSettingsPage)
public:
    CSettingsPage();

    ui::CWnd m_autoLockBox;            // 1007
    ui::CWnd m_deleteAfterDecryptBox;  // 1006
    ui::CWnd m_deleteAfterEncryptBox;  // 1001
    ui::CWnd m_secondsBox;             // 1010
    ui::CWnd m_signatureList;          // 1004
    ui::CWnd m_hashList;               // 1003
    ui::CWnd m_exchangeList;           // 1005
    ui::CWnd m_encryptList;            // 1002
    UINT m_period = 0;                 // "TimeOut Period", seconds

protected:
    void DoDataExchange(ui::CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnApply() override;
    BOOL OnSetActive() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    SettingsChoices readControls();
    void showChoices(const SettingsChoices& choices);
    void save(const SettingsChoices& choices);
};

ui::DialogTemplate settingsPageTemplate();

}  // namespace vlt::applet
