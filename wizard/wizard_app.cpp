#include "wizard/wizard_app.h"

#include "wizard/resources.h"
#include "wizard/templates.h"
#include "wizard/wizard_sheet.h"

namespace vlt::wizard {

VLT_IMPLEMENT_DYNAMIC(CWizardApp, ui::CWinApp)

CWizardApp::CWizardApp(StartupProbes probes) : ui::CWinApp(kAppName, wizardModule()), m_probes(std::move(probes)) {
    registerWizardResources(m_hInstance);
}

CWizardApp* wizardApp() { return dynamic_cast<CWizardApp*>(ui::AfxGetApp()); }

bool CWizardApp::Decide() {
    Enable3dControls();
    const StartupDecision decision = decideStartup(m_probes);
    m_wizardMode = decision.mode;
    m_startVariant = decision.variant;
    return decision.show;
}

void CWizardApp::ShowWizard() {
    CWizardSheet sheet(m_wizardMode, m_startVariant);
    if (!sheet.identityRead()) return;
    // Not the main window: its end would post WM_QUIT, and the program ends by returning anyway.
    m_sheet = &sheet;
    m_shown = true;
    sheet.DoModal();
    m_sheet = nullptr;
}

BOOL CWizardApp::InitInstance() {
    if (Decide()) ShowWizard();
    return FALSE;
}

int CWizardApp::ExitInstance() {
    cleanUpInitState();
    return 0;
}

}  // namespace vlt::wizard
