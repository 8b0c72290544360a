// CContainerSheet: the applet's property sheet, "VLT Certificate Settings.". Its pages are its
// members; the order of the tabs depends on whether the settings were ever saved.
#pragma once

#include "applet/personal_page.h"
#include "applet/settings_page.h"
#include "applet/store_page.h"
#include "ui/framework_dialogs.h"

namespace vlt::applet {

class CContainerSheet : public ui::CPropertySheet {
    VLT_DECLARE_DYNAMIC(CContainerSheet)
public:
    explicit CContainerSheet(ui::CWnd* parent = nullptr);

    // The framework's initialisation, then centred on the screen and titled.
    BOOL OnInitDialog() override;

    // Members in this order; the sheet destroys them in reverse.
    CPersonalPage m_personalPage;
    CPersonalStorePage m_personalStorePage;
    CSettingsPage m_settingsPage;
    CSystemStorePage m_systemStorePage;

private:
    void addPages();
};

// CPL_DBLCLK: a fresh sheet, run modally; its result is not used.
void runContainerSheet();

}  // namespace vlt::applet
