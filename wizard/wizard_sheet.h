// CWizardSheet: the wizard-style property sheet with the welcome, profile and finish pages.
// In update mode the profile page is not added; it carries the identity read from the profile.
#pragma once

#include "ui/framework_dialogs.h"
#include "wizard/wizard_pages.h"

namespace vlt::wizard {

class CWizardSheet : public ui::CPropertySheet {
    VLT_DECLARE_DYNAMIC(CWizardSheet)
public:
    CWizardSheet(WizardMode mode, DWORD startVariant);

    // Update mode only: false when the identity could not be read (the user was told).
    bool identityRead() const { return m_identityRead; }

    WizardMode m_mode;
    DWORD m_startVariant;
    CWelcomePage m_welcomePage;
    CProfilePage m_profilePage;
    CFinishPage m_finishPage;

private:
    bool m_identityRead = true;
};

}  // namespace vlt::wizard
