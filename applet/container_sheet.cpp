#include "applet/container_sheet.h"

#include "applet/resources.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"

namespace vlt::applet {

VLT_IMPLEMENT_DYNAMIC(CContainerSheet, ui::CPropertySheet)

CContainerSheet::CContainerSheet(ui::CWnd* parent) : ui::CPropertySheet(kSheetCaptionString, parent, 0) {
    addPages();
}

void CContainerSheet::addPages() {
    RegistryKey settings;
    if (settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey) != ERROR_SUCCESS) return;
    // Settings never saved: the sheet opens on the settings page so that they are.
    DWORD encrypt = 0;
    const bool saved = settings.QueryDword(encrypt, layout::kEncrypt) == ERROR_SUCCESS;
    if (saved) {
        AddPage(&m_personalPage);
        AddPage(&m_settingsPage);
    } else {
        AddPage(&m_settingsPage);
        AddPage(&m_personalPage);
    }
    AddPage(&m_personalStorePage);
    AddPage(&m_systemStorePage);
}

BOOL CContainerSheet::OnInitDialog() {
    const BOOL result = ui::CPropertySheet::OnInitDialog();
    CenterWindow();
    SetTitle("VLT Certificate Settings.", 0);
    return result;
}

void runContainerSheet() {
    CContainerSheet sheet;
    sheet.DoModal();
}

}  // namespace vlt::applet
