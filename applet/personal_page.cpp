#include "applet/personal_page.h"

#include "applet/certificate_dialog.h"
#include "applet/certificate_fields.h"
#include "applet/change_password_dialog.h"
#include "applet/resources.h"
#include "applet/save_dialog.h"
#include "shared/backup_file.h"
#include "shared/file_header.h"
#include "shared/profile_keys.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/shellapi.h"
#include "win32/sysinfoapi.h"

namespace vlt::applet {
namespace {

constexpr UINT kPollPeriodMs = 500;
constexpr UINT kOverwriteQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;  // 0x134
constexpr const char* kOverwriteQuestion =
    "You already have a profile.\nIf you create a new profile all the files locked with the current profile will "
    "be rendered useless.\n\n Do you still want to continue?";
constexpr const char* kWizardFailed = "An Error occured while trying to create a new profile.";
constexpr const char* kWizardProgram = "VTInit32.Exe";

// InitState in the Profile key, created when missing; nothing when it cannot be.
void requestWizardMode(DWORD mode) {
    RegistryKey profile;
    if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) == ERROR_SUCCESS) profile.SetDword(mode, layout::kInitState);
}

// The machine's product key must be there before a profile is made. Only root may create it
// here, so a key an administrator made is enough for everyone else.
bool machineProductKeyPresent() {
    RegistryKey product;
    if (product.Create(HKEY_LOCAL_MACHINE, layout::kMachineProductKey) == ERROR_SUCCESS) return true;
    return product.Open(HKEY_LOCAL_MACHINE, layout::kMachineProductKey, KEY_READ) == ERROR_SUCCESS;
}

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CPersonalPage, ui::CPropertyPage)

CPersonalPage::CPersonalPage() : ui::CPropertyPage(kPersonalPage) {}

void CPersonalPage::DoDataExchange(ui::CDataExchange* dx) {
    ui::CPropertyPage::DoDataExchange(dx);
    ui::DDX_Text(dx, kNameEdit, m_displayName);
    ui::DDX_Text(dx, kEmailEdit, m_eMail);
}

BOOL CPersonalPage::readNameAndEmail() {
    CertificateFields fields;
    switch (readOwnRecord(fields)) {
        case OwnRecord::NoKey: return TRUE;
        case OwnRecord::NoValue: return FALSE;
        case OwnRecord::Read: break;
    }
    m_displayName = fields.name;
    m_eMail = fields.email;
    UpdateData(FALSE);
    return TRUE;
}

BOOL CPersonalPage::OnInitDialog() {
    ui::CPropertyPage::OnInitDialog();
    return readNameAndEmail();
}

void CPersonalPage::showProfile() {
    for (int id : {kChangePasswordButton, kViewCertificateButton, kBackupButton}) ::EnableWindow(GetDlgItem(id), TRUE);
    readNameAndEmail();
}

BOOL CPersonalPage::OnSetActive() {
    if (profileExists()) showProfile();
    UpdateData(FALSE);
    return ui::CPropertyPage::OnSetActive();
}

LRESULT CPersonalPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Any timer of the page is the poll for the wizard's profile.
    if (msg == WM_TIMER && profileExists()) {
        showProfile();
        KillTimer(kPollTimer);
    }
    return ui::CPropertyPage::WindowProc(msg, wParam, lParam);
}

BOOL CPersonalPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case kChangePasswordButton: changePassword(); return TRUE;
            case kCreateProfileButton: createProfile(); return TRUE;
            case kImportProfileButton: importProfile(); return TRUE;
            case kViewCertificateButton: viewCertificate(); return TRUE;
            case kBackupButton: backupProfile(); return TRUE;
            default: break;
        }
    }
    return ui::CPropertyPage::OnCommand(wParam, lParam);
}

void CPersonalPage::changePassword() {
    CChangePasswordDialog dialog;
    if (dialog.DoModal() == IDOK) SetModified(TRUE);
}

void CPersonalPage::createProfile() {
    SetModified(TRUE);
    if (profileExists() && MessageBox(kOverwriteQuestion, kStatusCaption, kOverwriteQuestionStyle) == IDNO) return;
    requestWizardMode(layout::kInitStateCreate);
    if (!machineProductKeyPresent()) return;
    startWizard();
}

void CPersonalPage::importProfile() {
    SetModified(TRUE);
    requestWizardMode(layout::kInitStateImport);
    startWizard();
}

void CPersonalPage::startWizard() {
    char systemDir[MAX_PATH] = {};
    GetSystemDirectoryA(systemDir, MAX_PATH);
    SHELLEXECUTEINFOA info{};
    info.cbSize = SHELLEXECUTEINFOA_WIN32_SIZE;
    info.fMask = SEE_MASK_FLAG_DDEWAIT;
    info.hwnd = m_hWnd;
    info.lpFile = kWizardProgram;
    info.lpDirectory = systemDir;
    info.nShow = SW_SHOWDEFAULT;
    if (!ShellExecuteExA(&info)) MessageBox(kWizardFailed, kStatusCaption, MB_OK);
    // The wizard replaces the keys: the cached ones must not outlive them.
    lockProfile();
    SetTimer(kPollTimer, kPollPeriodMs);
}

void CPersonalPage::viewCertificate() {
    CCertificateDialog card(static_cast<int>(CardMode::Own), "");
    card.DoModal();
}

void CPersonalPage::backupProfile() {
    const auto path = askSavePath({"Backup VLT Settings.", "Vtb", "*.Vtb", "VLT Backup (*.Vtb)|*.Vtb||"});
    if (path) writeBackup(*path);
}

}  // namespace vlt::applet
