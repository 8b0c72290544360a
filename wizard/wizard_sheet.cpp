#include "wizard/wizard_sheet.h"

#include "wizard/resources.h"

namespace vlt::wizard {

VLT_IMPLEMENT_DYNAMIC(CWizardSheet, ui::CPropertySheet)

CWizardSheet::CWizardSheet(WizardMode mode, DWORD startVariant)
    : ui::CPropertySheet(kSheetCaptionString, nullptr, 0), m_mode(mode), m_startVariant(startVariant) {
    SetWizardMode();
    for (CWizardPage* page : {static_cast<CWizardPage*>(&m_welcomePage), static_cast<CWizardPage*>(&m_profilePage),
                              static_cast<CWizardPage*>(&m_finishPage)})
        page->m_sheet = this;
    AddPage(&m_welcomePage);
    if (mode == WizardMode::Update) {
        // The upgrade wraps the new pair under the identity the profile already has.
        if (auto identity = readIdentity()) {
            m_profilePage.m_identity = std::move(*identity);
        } else {
            m_identityRead = false;
            MessageBoxA(nullptr, "Unable to update your profile", kAppName, MB_OK);
        }
    } else {
        AddPage(&m_profilePage);
    }
    AddPage(&m_finishPage);
}

}  // namespace vlt::wizard
