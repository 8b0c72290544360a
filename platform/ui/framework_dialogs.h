// The framework's dialogs over the window runtime: a modal dialog from a template with data
// exchange between its controls and member fields, property pages and the property sheet
// that holds them. Failures are results and flags, never exceptions.
#pragma once

#include <string>
#include <vector>

#include "base/export.h"
#include "ui/framework.h"
#include "win32/prsht.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

class CDialog;

// One exchange between a dialog's controls and its fields. Once an exchange fails (a bad
// number), the DDX_ calls that follow do nothing.
struct CDataExchange {
    BOOL m_bSaveAndValidate = FALSE;  // TRUE: controls -> fields
    CWnd* m_pDlgWnd = nullptr;
    bool failed = false;
};

void DDX_Text(CDataExchange* dx, int id, std::string& value);
// On save, anything but an unsigned decimal number (blanks around it allowed) shows "Please
// enter a positive integer." as the framework's message box, puts the focus on the control
// and fails the exchange; value is left as it was.
void DDX_Text(CDataExchange* dx, int id, UINT& value);
// BST_UNCHECKED, BST_CHECKED (or BST_INDETERMINATE).
void DDX_Check(CDataExchange* dx, int id, int& value);
// Subclasses the control with `control` the first time; afterwards nothing.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

// A dialog from the template `templateId` of AfxGetResourceHandle(). Its messages reach
// WindowProc from WM_INITDIALOG on; IDOK and IDCANCEL commands go to OnOK and OnCancel.
class CDialog : public CWnd {
    VLT_DECLARE_DYNAMIC(CDialog)
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally; the value given to EndDialog, or -1 when it could not be made.
    // Without a parent the application's main window owns it.
    virtual INT_PTR DoModal();
    // Default: UpdateData(FALSE); TRUE (the focus goes to the first control).
    virtual BOOL OnInitDialog();
    // Default: UpdateData(TRUE), then EndDialog(IDOK); nothing when the exchange failed.
    virtual void OnOK();
    // Default: EndDialog(IDCANCEL).
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);
    // FALSE when the exchange failed.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result);

    UINT m_nIDHelp = 0;  // the template's resource number
    CWnd* m_pParentWnd = nullptr;

protected:
    // WM_INITDIALOG to OnInitDialog; after reflection, WM_COMMAND to OnCommand and WM_NOTIFY
    // to OnNotify; what they leave to Default().
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // TRUE = handled. Default: IDOK to OnOK, IDCANCEL to OnCancel.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // TRUE = handled, *result the answer. Default: not handled.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);

    // The procedure the runtime calls for the framework's dialogs and pages: it attaches the
    // object on WM_INITDIALOG and from then on leaves everything to the subclassed window.
    static INT_PTR DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Attaches to hwnd (already a dialog) and runs its WM_INITDIALOG through WindowProc.
    INT_PTR AttachInitDialog(HWND hwnd, WPARAM wParam, LPARAM lParam);
};

class CPropertySheet;

// A page of a CPropertySheet; its tab caption is its template's caption. It answers the
// sheet's notifications through the virtual functions below.
class CPropertyPage : public CDialog {
    VLT_DECLARE_DYNAMIC(CPropertyPage)
public:
    explicit CPropertyPage(UINT templateId);

    // Becoming current. Default: UpdateData(FALSE) except the first time (OnInitDialog did
    // it); TRUE. FALSE refuses the activation.
    virtual BOOL OnSetActive();
    // Being left (another page, OK, Apply). Default: UpdateData(TRUE). FALSE keeps the page.
    virtual BOOL OnKillActive();
    // OK or Apply. Default: OnOK(), TRUE. FALSE keeps the sheet open on this page.
    virtual BOOL OnApply();
    // Pages do not end the sheet: nothing by default.
    void OnOK() override;
    void OnCancel() override;
    // The sheet was cancelled. Default: OnCancel().
    virtual void OnReset();
    // Cancel pressed. Default TRUE; FALSE keeps the sheet open.
    virtual BOOL OnQueryCancel();
    // Wizards: Back or Next pressed. 0 goes to the neighbour, -1 stays, a page's template id
    // goes to that page. Default 0.
    virtual LRESULT OnWizardBack();
    virtual LRESULT OnWizardNext();
    // Wizards: Finish pressed. TRUE closes the wizard, FALSE keeps it open. Default TRUE.
    virtual BOOL OnWizardFinish();
    // Marks the page changed (PSM_CHANGED) or unchanged (PSM_UNCHANGED); the sheet's Apply
    // button is enabled while some page is marked.
    void SetModified(BOOL changed = TRUE);

    PROPSHEETPAGEA m_psp{};

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    friend class CPropertySheet;
    static INT_PTR PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool m_bFirstSetActive = true;
};

// A modal property sheet of the pages added, in that order. The pages stay the caller's.
class CPropertySheet : public CWnd {
    VLT_DECLARE_DYNAMIC(CPropertySheet)
public:
    // The caption is string captionStringId of AfxGetResourceHandle().
    explicit CPropertySheet(UINT captionStringId, CWnd* parent = nullptr, UINT selectPage = 0);
    explicit CPropertySheet(LPCSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);

    void AddPage(CPropertyPage* page);
    // IDOK when changes were applied, IDCANCEL when none were, -1 when the sheet could not
    // be made.
    virtual INT_PTR DoModal();
    // The sheet's window has its pages' tabs and its start page. Default: TRUE.
    virtual BOOL OnInitDialog();
    // style PSH_PROPTITLE shows "Properties for <text>". Before DoModal it sets the caption
    // the sheet opens with.
    void SetTitle(LPCSTR text, UINT style = 0);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    // Before DoModal, the start page.
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    BOOL SetActivePage(int index);
    BOOL SetActivePage(CPropertyPage* page);
    // Before DoModal: the sheet becomes a wizard (Back, Next, Finish, Cancel; no tabs). A
    // wizard's DoModal returns ID_WIZFINISH when finished, IDCANCEL when cancelled.
    void SetWizardMode();
    // PSWIZB_BACK, PSWIZB_NEXT, PSWIZB_FINISH, PSWIZB_DISABLEDFINISH.
    void SetWizardButtons(DWORD flags);
    // The Finish button's text; Back is hidden and Finish replaces Next.
    void SetFinishText(LPCSTR text);

    PROPSHEETHEADERA m_psh{};
    std::string m_strCaption;
    CWnd* m_pParentWnd = nullptr;

protected:
    // WM_INITDIALOG (sent once the sheet has its start page) to OnInitDialog.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static int SheetCallback(HWND hwnd, UINT msg, LPARAM lParam);
    std::vector<CPropertyPage*> m_pages;
    UINT m_nStartPage = 0;
};

}  // namespace vlt::ui

VLT_EXPORT_END
