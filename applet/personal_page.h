// CPersonalPage (template 130, "Personal"): the own certificate's name and e-mail, and the
// profile operations: view the certificate, change the password, create or import a profile
// through the wizard program, back up the profile.
#pragma once

#include <string>

#include "ui/framework_dialogs.h"

namespace vlt::applet {

class CPersonalPage : public ui::CPropertyPage {
    VLT_DECLARE_DYNAMIC(CPersonalPage)
public:
    CPersonalPage();

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void DoDataExchange(ui::CDataExchange* dx) override;

    std::string m_displayName;
    std::string m_eMail;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    // Name and e-mail from ExchangeBlob1 into the fields and the edits. FALSE when the Profile
    // key opens but the value cannot be read.
    BOOL readNameAndEmail();
    // A profile exists: the buttons that need one are enabled and its name shown.
    void showProfile();
    void changePassword();
    void createProfile();
    void importProfile();
    void viewCertificate();
    void backupProfile();
    // Starts VTInit32, which reads InitState, then locks the profile and polls InitUser.
    void startWizard();
};

}  // namespace vlt::applet
