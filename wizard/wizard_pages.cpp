#include "wizard/wizard_pages.h"

#include <fcntl.h>
#include <unistd.h>

#include "base/wipe.h"
#include "shared/applet_start.h"
#include "shared/backup_file.h"
#include "ui/file_dialog.h"
#include "win32/commdlg.h"
#include "wizard/resources.h"
#include "wizard/wizard_sheet.h"

namespace vlt::wizard {
namespace {

constexpr char kUpdateWelcomeTitle[] = "Update your profile. [Step 1 of 2]";
constexpr char kCreateWelcomeTitle[] = "Create your profile. [Step 1 of 3]";
constexpr char kImportWelcomeTitle[] = "Import your profile. [Step 1 of 1]";
constexpr char kUpdateFinishTitle[] = "Update your profile. [Step 2 of 2]";
constexpr char kCreateFinishTitle[] = "Create your profile. [Step 3 of 3]";
constexpr char kCloseText[] = "&Close";

constexpr DWORD kImportDialogFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXTENSIONDIFFERENT |
                                     OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN;
static_assert(kImportDialogFlags == 0x9C06);

void show(HWND control, bool visible) { ::ShowWindow(control, visible ? SW_SHOW : SW_HIDE); }

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CWizardPage, ui::CPropertyPage)
VLT_IMPLEMENT_DYNAMIC(CWelcomePage, CWizardPage)
VLT_IMPLEMENT_DYNAMIC(CProfilePage, CWizardPage)
VLT_IMPLEMENT_DYNAMIC(CFinishPage, CWizardPage)

bool CWizardPage::updateMode() const { return m_sheet && m_sheet->m_mode == WizardMode::Update; }
DWORD CWizardPage::startVariant() const { return m_sheet ? m_sheet->m_startVariant : 0; }
// Through the page's parent window: the first page is initialised before the sheet's object
// is attached to its window.
void CWizardPage::setButtons(DWORD flags) { ::SendMessageA(::GetParent(m_hWnd), PSM_SETWIZBUTTONS, 0, flags); }
void CWizardPage::setFinishText(const char* text) {
    ::SendMessageA(::GetParent(m_hWnd), PSM_SETFINISHTEXTA, 0, reinterpret_cast<LPARAM>(text));
}
void CWizardPage::setTitle(const char* title) { ::SetWindowTextA(::GetParent(m_hWnd), title); }

// --- welcome ------------------------------------------------------------------------------

CWelcomePage::CWelcomePage() : CWizardPage(kWelcomePage) {}

void CWelcomePage::DoDataExchange(ui::CDataExchange* dx) {
    CWizardPage::DoDataExchange(dx);
    ui::DDX_Control(dx, kBrowseButton, m_browse);
    ui::DDX_Check(dx, kNoShowCheck, m_noShow);
}

void CWelcomePage::setVariantTitle() {
    if (updateMode()) return setTitle(kUpdateWelcomeTitle);
    switch (startVariant()) {
        case 0:
        case 2: setTitle(kCreateWelcomeTitle); break;
        case 1: setTitle(kImportWelcomeTitle); break;
        default: break;
    }
}

BOOL CWelcomePage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    // The template's hidden controls: the upgrade text and the no-show box.
    show(GetDlgItem(kUpdateText), false);
    show(GetDlgItem(kNoShowCheck), false);
    setButtons(PSWIZB_NEXT);
    if (updateMode()) {
        for (int id : {kCreateRadio, kImportRadio, kNoShowCheck, kBrowseButton, kEveryAgentText, kUsedForAllText})
            show(GetDlgItem(id), false);
        show(GetDlgItem(kUpdateText), true);
    } else if (startVariant() == 0) {
        show(GetDlgItem(kNoShowCheck), true);
    } else if (startVariant() == 1) {
        m_browse.EnableWindow(TRUE);
        setButtons(PSWIZB_DISABLEDFINISH);
        ::EnableWindow(GetDlgItem(kCreateRadio), FALSE);
        ::CheckDlgButton(m_hWnd, kImportRadio, BST_CHECKED);
    } else if (startVariant() == 2) {
        ::CheckDlgButton(m_hWnd, kCreateRadio, BST_CHECKED);
    }
    setVariantTitle();
    return TRUE;
}

BOOL CWelcomePage::OnSetActive() {
    const BOOL result = CWizardPage::OnSetActive();
    setVariantTitle();
    return result;
}

BOOL CWelcomePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case kCreateRadio:
                m_browse.EnableWindow(FALSE);
                setButtons(PSWIZB_NEXT);
                return TRUE;
            case kImportRadio:
                m_browse.EnableWindow(TRUE);
                setButtons(PSWIZB_DISABLEDFINISH);
                return TRUE;
            case kNoShowCheck:
                UpdateData(TRUE);
                // Ticked, the wizard can only be closed.
                setButtons(m_noShow ? PSWIZB_FINISH : PSWIZB_NEXT);
                return TRUE;
            case kBrowseButton: importBackup(); return TRUE;
            default: break;
        }
    }
    return CWizardPage::OnCommand(wParam, lParam);
}

void CWelcomePage::importBackup() {
    ui::CFileDialog dialog(TRUE, "Vtb", "*.Vtb", kImportDialogFlags, "VLT Profile Backup (*.Vtb)|*.Vtb||", this);
    dialog.m_ofn.lpstrInitialDir = "C:\\";
    dialog.m_ofn.lpstrTitle = "Open the VLT profile bakup File.";
    if (dialog.DoModal() != IDOK) {
        if (CommDlgExtendedError() == 0) {
            setButtons(PSWIZB_FINISH);
        } else if (MessageBox("Error opening file dialog", kEmergencyCaption, MB_OKCANCEL | MB_ICONQUESTION) ==
                   IDCANCEL) {
            setFinishText(kCloseText);
            setButtons(PSWIZB_FINISH);
        }
        return;
    }
    const std::string path = dialog.GetPathName();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        MessageBox("Cannot open file. Try Again", kEmergencyCaption, MB_ICONEXCLAMATION);
    } else {
        const int restored = RestoreBackup(fd, m_hWnd);
        ::close(fd);
        if (!restored) {
            setFinishText(kCloseText);
            setButtons(PSWIZB_FINISH);
            MessageBox("An Error occured", kEmergencyCaption, MB_ICONEXCLAMATION);
        }
    }
    setButtons(PSWIZB_FINISH);
}

LRESULT CWelcomePage::OnWizardNext() {
    setButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnWizardNext();
}

BOOL CWelcomePage::OnWizardFinish() {
    UpdateData(TRUE);
    if (m_noShow) rememberNoShow();
    return TRUE;
}

// --- profile ------------------------------------------------------------------------------

CProfilePage::CProfilePage() : CWizardPage(kProfilePage) {}

void CProfilePage::DoDataExchange(ui::CDataExchange* dx) {
    CWizardPage::DoDataExchange(dx);
    ui::DDX_Text(dx, kDisplayNameEdit, m_identity.displayName);
    ui::DDX_Text(dx, kEMailEdit, m_identity.eMailId);
    ui::DDX_Text(dx, kStreetEdit, m_identity.street);
    ui::DDX_Text(dx, kCityEdit, m_identity.city);
    ui::DDX_Text(dx, kStateEdit, m_identity.state);
}

BOOL CProfilePage::OnSetActive() {
    const BOOL result = CWizardPage::OnSetActive();
    // The page's title is its caption, which the sheet shows while the page is current.
    setTitle("Create your profile. [Step 2 of 3]");
    UpdateData(TRUE);
    if (m_identity.displayName.empty()) setButtons(PSWIZB_BACK);
    return result;
}

BOOL CProfilePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == kDisplayNameEdit) {
        UpdateData(TRUE);
        // Only the name is needed; the other fields may stay empty.
        setButtons(m_identity.displayName.empty() ? PSWIZB_BACK : PSWIZB_BACK | PSWIZB_NEXT);
        return TRUE;
    }
    return CWizardPage::OnCommand(wParam, lParam);
}

LRESULT CProfilePage::OnWizardBack() {
    setButtons(PSWIZB_NEXT);
    return CWizardPage::OnWizardBack();
}

LRESULT CProfilePage::OnWizardNext() {
    UpdateData(TRUE);
    setButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CWizardPage::OnWizardNext();
}

// --- finish -------------------------------------------------------------------------------

CFinishPage::CFinishPage() : CWizardPage(kFinishPage) {}

CFinishPage::~CFinishPage() {
    base::secureWipe(m_password);
    base::secureWipe(m_confirmation);
}

void CFinishPage::DoDataExchange(ui::CDataExchange* dx) {
    CWizardPage::DoDataExchange(dx);
    ui::DDX_Text(dx, kPasswordEdit, m_password);
    ui::DDX_Text(dx, kConfirmEdit, m_confirmation);
}

void CFinishPage::retype() {
    base::secureWipe(m_password);
    base::secureWipe(m_confirmation);
    m_password.clear();
    m_confirmation.clear();
    UpdateData(FALSE);
}

BOOL CFinishPage::OnSetActive() {
    const BOOL result = CWizardPage::OnSetActive();
    setButtons(PSWIZB_BACK | PSWIZB_DISABLEDFINISH);
    setTitle(updateMode() ? kUpdateFinishTitle : kCreateFinishTitle);
    retype();
    return result;
}

BOOL CFinishPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == kConfirmEdit) {
        UpdateData(TRUE);
        // Once enabled, Finish stays so; the checks at Finish catch emptied fields.
        if (!m_password.empty()) setButtons(PSWIZB_BACK | PSWIZB_FINISH);
        return TRUE;
    }
    return CWizardPage::OnCommand(wParam, lParam);
}

void CFinishPage::OnCancel() {
    // Only a page that was shown has a window to be told: the profile the user walked away
    // from is forgotten, so that the next logon creates one.
    forgetProfile();
    CWizardPage::OnCancel();
}

LRESULT CFinishPage::OnWizardBack() {
    setButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnWizardBack();
}

BOOL CFinishPage::OnWizardFinish() {
    UpdateData(TRUE);
    if (m_password.empty()) {
        MessageBox("The passwords cannot be blank. Please type again.", kStatusCaption, MB_ICONEXCLAMATION);
        ::SetFocus(GetDlgItem(kPasswordEdit));
        return FALSE;
    }
    if (m_password != m_confirmation) {
        retype();
        ::SetFocus(GetDlgItem(kPasswordEdit));
        MessageBox("The new and confirmed passwords do not match. Please type them again.", kStatusCaption,
                   MB_ICONEXCLAMATION);
        return FALSE;
    }
    const bool update = updateMode();
    const bool applied =
        applyProfile(update ? WizardMode::Update : WizardMode::Create, m_password, m_sheet->m_profilePage.m_identity);
    if (!applied) {
        retype();
        ::SetFocus(GetDlgItem(kPasswordEdit));
        MessageBox(update ? "The password you provided is not correct.\n\nVaultine could not update your profile."
                          : "An error occured wile creating the profile.\n VLT will attempt to create your profile "
                            "when you login the next time.",
                   kStatusCaption, MB_ICONEXCLAMATION);
        return FALSE;
    }
    retype();
    if (!vlt::startApplet(m_hWnd)) MessageBox("An Error occured while trying to load settings.", kStatusCaption, MB_OK);
    return TRUE;
}

}  // namespace vlt::wizard
