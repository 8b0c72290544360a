// The wizard's three pages: welcome (create, import or update), the identity of the new
// profile, and the password that finishes the work.
#pragma once

#include <string>

#include "shared/certificate_record.h"
#include "ui/framework_dialogs.h"
#include "wizard/profile_work.h"

namespace vlt::wizard {

class CWizardSheet;

// The sheet the page belongs to: it carries the mode, the start variant and the other pages.
class CWizardPage : public ui::CPropertyPage {
    VLT_DECLARE_DYNAMIC(CWizardPage)
public:
    explicit CWizardPage(UINT templateId) : ui::CPropertyPage(templateId) {}
    CWizardSheet* m_sheet = nullptr;

protected:
    bool updateMode() const;
    DWORD startVariant() const;
    void setButtons(DWORD flags);
    void setFinishText(const char* text);
    void setTitle(const char* title);
};

class CWelcomePage : public CWizardPage {
    VLT_DECLARE_DYNAMIC(CWelcomePage)
public:
    CWelcomePage();
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::CDataExchange* dx) override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    BOOL OnWizardFinish() override;

    int m_noShow = 0;
    ui::CWnd m_browse;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void setVariantTitle();
    void importBackup();
};

class CProfilePage : public CWizardPage {
    VLT_DECLARE_DYNAMIC(CProfilePage)
public:
    CProfilePage();
    void DoDataExchange(ui::CDataExchange* dx) override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;

    Identity m_identity;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
};

class CFinishPage : public CWizardPage {
    VLT_DECLARE_DYNAMIC(CFinishPage)
public:
    CFinishPage();
    ~CFinishPage() override;
    void DoDataExchange(ui::CDataExchange* dx) override;
    BOOL OnSetActive() override;
    void OnCancel() override;
    LRESULT OnWizardBack() override;
    BOOL OnWizardFinish() override;

    std::string m_password;
    std::string m_confirmation;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void retype();
};

}  // namespace vlt::wizard
