// The framework's dialogs, pages and sheets over DialogBoxParamA and PropertySheetA. A
// dialog or page object takes its window over (subclassing) at WM_INITDIALOG, so every later
// message reaches WindowProc, and Default() hands it to the dialog's own procedure.
#include "ui/framework_dialogs.h"


#include "ui/resources.h"

namespace vlt::ui {
namespace {

// The sheet whose PropertySheetA call is running on this thread, until its window exists.
thread_local CPropertySheet* t_sheetCreating = nullptr;

HWND ownerFor(CWnd* parent) {
    if (parent != nullptr) return parent->m_hWnd;
    CWinApp* app = AfxGetApp();
    return app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
}

// An unsigned decimal with blanks around it, at most 32 bits.
bool parseUnsigned(const std::string& text, UINT& out) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const std::size_t first = i;
    unsigned long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > 0xFFFFFFFFull) return false;
        ++i;
    }
    if (i == first) return false;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i != text.size()) return false;
    out = static_cast<UINT>(value);
    return true;
}

bool ready(const CDataExchange* dx) { return dx != nullptr && !dx->failed && dx->m_pDlgWnd != nullptr; }

}  // namespace

// ---- Data exchange --------------------------------------------------------------------------

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    if (!ready(dx)) return;
    if (dx->m_bSaveAndValidate) value = dx->m_pDlgWnd->GetDlgItemText(id);
    else dx->m_pDlgWnd->SetDlgItemText(id, value.c_str());
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
    if (!ready(dx)) return;
    if (!dx->m_bSaveAndValidate) {
        dx->m_pDlgWnd->SetDlgItemText(id, std::to_string(value).c_str());
        return;
    }
    UINT parsed = 0;
    if (parseUnsigned(dx->m_pDlgWnd->GetDlgItemText(id), parsed)) {
        value = parsed;
        return;
    }
    dx->m_pDlgWnd->MessageBox("Please enter a positive integer.", nullptr, MB_OK | MB_ICONEXCLAMATION);
    if (HWND control = dx->m_pDlgWnd->GetDlgItem(id)) SetFocus(control);
    dx->failed = true;
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    if (!ready(dx)) return;
    const HWND dialog = dx->m_pDlgWnd->m_hWnd;
    if (dx->m_bSaveAndValidate) value = static_cast<int>(IsDlgButtonChecked(dialog, id));
    else CheckDlgButton(dialog, id, static_cast<UINT>(value));
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (!ready(dx) || control.m_hWnd != nullptr) return;
    control.SubclassDlgItem(id, dx->m_pDlgWnd);
}

// ---- CDialog --------------------------------------------------------------------------------

VLT_IMPLEMENT_DYNAMIC(CDialog, CWnd)

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal() {
    if (m_hWnd != nullptr) return -1;
    installMessageFilter();
    return DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDHelp), ownerFor(m_pParentWnd),
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_INITDIALOG || FromHandlePermanent(hwnd) != nullptr) return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    return dialog ? dialog->AttachInitDialog(hwnd, wParam, lParam) : FALSE;
}

INT_PTR CDialog::AttachInitDialog(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (!SubclassWindow(hwnd)) return FALSE;
    return WndProc(hwnd, WM_INITDIALOG, wParam, lParam);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx;
    dx.m_bSaveAndValidate = saveAndValidate;
    dx.m_pDlgWnd = this;
    DoDataExchange(&dx);
    return dx.failed ? FALSE : TRUE;
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != BN_CLICKED) return FALSE;
    switch (LOWORD(wParam)) {
        case IDOK: OnOK(); return TRUE;
        case IDCANCEL: OnCancel(); return TRUE;
        default: return FALSE;
    }
}

BOOL CDialog::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (msg) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND:
            if (ReflectToChild(msg, wParam, lParam, &result)) return result;
            if (OnCommand(wParam, lParam)) return 0;
            return Default();
        case WM_NOTIFY:
            if (ReflectToChild(msg, wParam, lParam, &result)) return result;
            if (OnNotify(wParam, lParam, &result)) return result;
            return Default();
        default: return CWnd::WindowProc(msg, wParam, lParam);
    }
}

// ---- CPropertyPage --------------------------------------------------------------------------

VLT_IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId) {
    m_psp.dwSize = sizeof m_psp;
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = AfxGetResourceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
    m_psp.pfnDlgProc = &CPropertyPage::PageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CPropertyPage::PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_INITDIALOG || FromHandlePermanent(hwnd) != nullptr) return FALSE;
    const auto* psp = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
    auto* page = psp ? reinterpret_cast<CPropertyPage*>(psp->lParam) : nullptr;
    if (page == nullptr) return FALSE;
    // The sheet object owns its window before its first page initialises, so that pages can
    // reach it (wizard buttons, title) from OnInitDialog and their first OnSetActive.
    if (t_sheetCreating != nullptr && t_sheetCreating->m_hWnd == nullptr) t_sheetCreating->SubclassWindow(::GetParent(hwnd));
    page->m_bFirstSetActive = true;
    return page->AttachInitDialog(hwnd, wParam, lParam);
}

BOOL CPropertyPage::OnSetActive() {
    if (m_bFirstSetActive) m_bFirstSetActive = false;
    else UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }

BOOL CPropertyPage::OnApply() {
    OnOK();
    return TRUE;
}

void CPropertyPage::OnOK() {}
void CPropertyPage::OnCancel() {}
void CPropertyPage::OnReset() { OnCancel(); }
BOOL CPropertyPage::OnQueryCancel() { return TRUE; }
LRESULT CPropertyPage::OnWizardBack() { return 0; }
LRESULT CPropertyPage::OnWizardNext() { return 0; }
BOOL CPropertyPage::OnWizardFinish() { return TRUE; }

void CPropertyPage::SetModified(BOOL changed) {
    if (m_hWnd == nullptr) return;
    SendMessageA(::GetParent(m_hWnd), changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (hdr == nullptr) return FALSE;
    switch (hdr->code) {
        case PSN_SETACTIVE: *result = OnSetActive() ? 0 : -1; return TRUE;
        case PSN_KILLACTIVE: *result = OnKillActive() ? FALSE : TRUE; return TRUE;
        case PSN_APPLY: *result = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE; return TRUE;
        case PSN_RESET:
            OnReset();
            *result = 0;
            return TRUE;
        case PSN_QUERYCANCEL: *result = OnQueryCancel() ? FALSE : TRUE; return TRUE;
        case PSN_WIZBACK: *result = OnWizardBack(); return TRUE;
        case PSN_WIZNEXT: *result = OnWizardNext(); return TRUE;
        case PSN_WIZFINISH: *result = OnWizardFinish() ? FALSE : TRUE; return TRUE;
        default: return CDialog::OnNotify(wParam, lParam, result);
    }
}

// ---- CPropertySheet -------------------------------------------------------------------------

VLT_IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)

CPropertySheet::CPropertySheet(LPCSTR caption, CWnd* parent, UINT selectPage)
    : m_strCaption(caption ? caption : ""), m_pParentWnd(parent), m_nStartPage(selectPage) {
    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.pfnCallback = &CPropertySheet::SheetCallback;
}

CPropertySheet::CPropertySheet(UINT captionStringId, CWnd* parent, UINT selectPage)
    : CPropertySheet(static_cast<LPCSTR>(nullptr), parent, selectPage) {
    if (const std::string* text = findString(AfxGetResourceHandle(), static_cast<int>(captionStringId)))
        m_strCaption = *text;
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    if (page != nullptr) m_pages.push_back(page);
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<std::size_t>(index)] : nullptr;
}

int CPropertySheet::GetActiveIndex() const {
    if (m_hWnd == nullptr) return static_cast<int>(m_nStartPage);
    const auto current = reinterpret_cast<HWND>(::SendMessageA(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i]->m_hWnd != nullptr && m_pages[i]->m_hWnd == current) return static_cast<int>(i);
    return -1;
}

CPropertyPage* CPropertySheet::GetActivePage() const { return GetPage(GetActiveIndex()); }

BOOL CPropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= GetPageCount()) return FALSE;
    if (m_hWnd == nullptr) {
        m_nStartPage = static_cast<UINT>(index);
        return TRUE;
    }
    return static_cast<BOOL>(::SendMessageA(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(index), 0));
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* page) {
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] == page) return SetActivePage(static_cast<int>(i));
    return FALSE;
}

void CPropertySheet::SetTitle(LPCSTR text, UINT style) {
    if (m_hWnd != nullptr) {
        ::SendMessageA(m_hWnd, PSM_SETTITLEA, style, reinterpret_cast<LPARAM>(text));
        return;
    }
    m_strCaption = text ? text : "";
    if (style & PSH_PROPTITLE) m_psh.dwFlags |= PSH_PROPTITLE;
    else m_psh.dwFlags &= ~static_cast<DWORD>(PSH_PROPTITLE);
}

void CPropertySheet::SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }

void CPropertySheet::SetWizardButtons(DWORD flags) {
    if (m_hWnd != nullptr) ::SendMessageA(m_hWnd, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void CPropertySheet::SetFinishText(LPCSTR text) {
    if (m_hWnd != nullptr) ::SendMessageA(m_hWnd, PSM_SETFINISHTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

BOOL CPropertySheet::OnInitDialog() { return TRUE; }

LRESULT CPropertySheet::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) return OnInitDialog();
    return CWnd::WindowProc(msg, wParam, lParam);
}

int CPropertySheet::SheetCallback(HWND hwnd, UINT msg, LPARAM) {
    if (msg != PSCB_INITIALIZED || t_sheetCreating == nullptr) return 0;
    CPropertySheet* sheet = t_sheetCreating;
    t_sheetCreating = nullptr;
    // The sheet's own initialisation, as the framework runs it on the sheet's WM_INITDIALOG.
    if (sheet->m_hWnd == hwnd || sheet->SubclassWindow(hwnd)) WndProc(hwnd, WM_INITDIALOG, 0, 0);
    return 0;
}

INT_PTR CPropertySheet::DoModal() {
    if (m_hWnd != nullptr) return -1;
    installMessageFilter();
    std::vector<PROPSHEETPAGEA> pages;
    pages.reserve(m_pages.size());
    for (CPropertyPage* page : m_pages) pages.push_back(page->m_psp);
    m_psh.hwndParent = ownerFor(m_pParentWnd);
    m_psh.pszCaption = m_strCaption.c_str();
    m_psh.nPages = static_cast<UINT>(pages.size());
    m_psh.nStartPage = m_nStartPage;
    m_psh.ppsp = pages.data();
    CPropertySheet* const outer = t_sheetCreating;
    t_sheetCreating = this;
    const INT_PTR result = PropertySheetA(&m_psh);
    t_sheetCreating = outer;
    if (result < 0) return -1;
    if (m_psh.dwFlags & PSH_WIZARD) return result > 0 ? ID_WIZFINISH : IDCANCEL;
    return result > 0 ? IDOK : IDCANCEL;
}

}  // namespace vlt::ui
