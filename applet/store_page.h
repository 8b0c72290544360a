// The certificate-store pages: twins over one class, differing only in their StoreTraits.
#pragma once

#include <string>

#include "applet/certificate_store.h"
#include "ui/framework_dialogs.h"
#include "ui/resources.h"

namespace vlt::applet {

class CStorePage : public ui::CPropertyPage {
    VLT_DECLARE_DYNAMIC(CStorePage)
public:
    explicit CStorePage(StoreKind kind);

    const StoreTraits& m_store;
    ui::CWnd m_list;                // 1014
    std::string m_strSelectedName;  // the item last clicked; empty when none
    int m_nSelectedIndex = -1;      // its index; -1 when none

protected:
    void DoDataExchange(ui::CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void insertItem(const std::string& name);
    void takeSelection();
    void onImport();
    void onView();
    void onDelete();
    void clearSelection();
};

class CPersonalStorePage : public CStorePage {
    VLT_DECLARE_DYNAMIC(CPersonalStorePage)
public:
    CPersonalStorePage() : CStorePage(StoreKind::Personal) {}
};

class CSystemStorePage : public CStorePage {
    VLT_DECLARE_DYNAMIC(CSystemStorePage)
public:
    CSystemStorePage() : CStorePage(StoreKind::System) {}
};

// Templates 136 and 108.
ui::DialogTemplate storePageTemplate(StoreKind kind);

// The open dialog of an import: the chosen path, or nothing on Cancel.
std::optional<std::string> chooseProfileFile(ui::CWnd* parent);

// Shows a store entry on the certificate card, modally.
void viewStoreEntry(const StoreTraits& store, const std::string& name);

}  // namespace vlt::applet
