#include "applet/change_password_dialog.h"

#include "applet/applet_app.h"
#include "applet/resources.h"
#include "base/wipe.h"
#include "shared/file_header.h"
#include "shared/profile_keys.h"

namespace vlt::applet {

namespace {

void wipe(std::initializer_list<std::string*> fields) {
    for (std::string* field : fields) {
        base::secureWipe(*field);
        field->clear();
    }
}

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CChangePasswordDialog, ui::CDialog)

CChangePasswordDialog::CChangePasswordDialog(ui::CWnd* parent) : ui::CDialog(kChangePasswordDialog, parent) {}

CChangePasswordDialog::~CChangePasswordDialog() { wipeFields(); }

void CChangePasswordDialog::DoDataExchange(ui::CDataExchange* dx) {
    ui::DDX_Text(dx, kConfirmPasswordEdit, m_confirmation);
    ui::DDX_Text(dx, kNewPasswordEdit, m_newPassword);
    ui::DDX_Text(dx, kOldPasswordEdit, m_oldPassword);
}

void CChangePasswordDialog::retypeAt(int id) {
    UpdateData(FALSE);
    ::SetFocus(GetDlgItem(id));
}

void CChangePasswordDialog::wipeFields() { wipe({&m_confirmation, &m_newPassword, &m_oldPassword}); }

void CChangePasswordDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    if (m_newPassword.empty() || m_oldPassword.empty()) {
        wipe({&m_confirmation});
        retypeAt(kOldPasswordEdit);
        return;
    }
    if (m_confirmation != m_newPassword) {
        MessageBox("The new and confirmed passwords do not match. Please type them again.", kStatusCaption,
                   MB_ICONEXCLAMATION);
        wipe({&m_confirmation, &m_newPassword});
        retypeAt(kNewPasswordEdit);
        return;
    }
    // A password the unlock dialog could not take would lock the user out of his own profile.
    if (auto usable = checkNewPassword(m_newPassword); !usable) {
        const std::string text = "The new VLT password cannot be used: " + usable.error().message + ".";
        MessageBox(text.c_str(), kStatusCaption, MB_ICONEXCLAMATION);
        wipe({&m_confirmation, &m_newPassword});
        retypeAt(kNewPasswordEdit);
        return;
    }
    if (changePassword(m_oldPassword, m_newPassword)) {
        wipeFields();
        appletMessageBox(m_hWnd, "Your VLT password has been successfully changed.");
        EndDialog(IDOK);
        return;
    }
    MessageBox("The VLT password you typed is incorrect.", kStatusCaption, MB_ICONEXCLAMATION);
    wipe({&m_confirmation, &m_newPassword});
    retypeAt(kOldPasswordEdit);
}

}  // namespace vlt::applet
