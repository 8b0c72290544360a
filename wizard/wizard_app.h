// CWizardApp: VTInit32's application object. No window of its own: it runs the start-up
// decision, shows the wizard sheet modally when that says so, and cleans up InitState at the
// end of every run.
#pragma once

#include "ui/framework.h"
#include "wizard/profile_work.h"

namespace vlt::wizard {

class CWizardSheet;

class CWizardApp : public ui::CWinApp {
    VLT_DECLARE_DYNAMIC(CWizardApp)
public:
    explicit CWizardApp(StartupProbes probes = systemProbes());

    // The start-up decision: sets the mode and the variant; true when the wizard is shown.
    bool Decide();
    // Builds the sheet (which may refuse an upgrade it cannot read) and runs it modally.
    void ShowWizard();
    // Decide and ShowWizard, then FALSE: the program never stays.
    BOOL InitInstance() override;
    // The end-of-program cleanup of InitState, on every path; status 0.
    int ExitInstance() override;

    WizardMode m_wizardMode = WizardMode::None;
    DWORD m_startVariant = 0;
    CWizardSheet* m_sheet = nullptr;  // while it runs
    bool m_shown = false;             // the decision showed the sheet

private:
    StartupProbes m_probes;
};

// The process's wizard application, or null.
CWizardApp* wizardApp();

}  // namespace vlt::wizard
