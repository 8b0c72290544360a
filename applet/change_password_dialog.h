// CChangePasswordDialog (template 140): old, new and confirmed password. OK stays in the dialog
// until the password was changed; every refusal clears what must be typed again.
#pragma once

#include <string>

#include "ui/framework_dialogs.h"

namespace vlt::applet {

class CChangePasswordDialog : public ui::CDialog {
    VLT_DECLARE_DYNAMIC(CChangePasswordDialog)
public:
    explicit CChangePasswordDialog(ui::CWnd* parent = nullptr);
    ~CChangePasswordDialog() override;

    void DoDataExchange(ui::CDataExchange* dx) override;
    void OnOK() override;

    std::string m_confirmation;
    std::string m_newPassword;
    std::string m_oldPassword;

private:
    // Shows the fields again and puts the focus on control `id`.
    void retypeAt(int id);
    void wipeFields();
};

}  // namespace vlt::applet
