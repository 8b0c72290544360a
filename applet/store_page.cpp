#include "applet/store_page.h"

#include "applet/certificate_dialog.h"
#include "applet/new_name_dialog.h"
#include "applet/resources.h"
#include "shared/file_header.h"
#include "ui/file_dialog.h"
#include "win32/commctrl.h"

namespace vlt::applet {

VLT_IMPLEMENT_DYNAMIC(CStorePage, ui::CPropertyPage)
VLT_IMPLEMENT_DYNAMIC(CPersonalStorePage, CStorePage)
VLT_IMPLEMENT_DYNAMIC(CSystemStorePage, CStorePage)

CStorePage::CStorePage(StoreKind kind)
    : ui::CPropertyPage(static_cast<UINT>(storeTraits(kind).templateId)), m_store(storeTraits(kind)) {}

void CStorePage::DoDataExchange(ui::CDataExchange* dx) {
    ui::CPropertyPage::DoDataExchange(dx);
    ui::DDX_Control(dx, kStoreList, m_list);
}

BOOL CStorePage::OnInitDialog() {
    ui::CPropertyPage::OnInitDialog();
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_MASK, 1, 1);
    ImageList_AddIcon(images, LoadIconA(ui::AfxGetResourceHandle(), MAKEINTRESOURCEA(kCertificateIcon)));
    m_list.SendMessage(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    // Each entry in the registry's order goes to the top, so the list shows the reverse.
    const auto names = listStore(m_store).names;
    for (auto name = names.rbegin(); name != names.rend(); ++name) insertItem(*name);
    return TRUE;
}

void CStorePage::insertItem(const std::string& name) {
    std::string text = name;
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = 0;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    item.iImage = 0;
    m_list.SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void CStorePage::takeSelection() {
    m_nSelectedIndex = static_cast<int>(m_list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    m_strSelectedName.clear();
    if (m_nSelectedIndex < 0) return;
    char text[MAX_PATH] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    m_list.SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(m_nSelectedIndex), reinterpret_cast<LPARAM>(&item));
    m_strSelectedName = text;
}

void CStorePage::clearSelection() {
    m_nSelectedIndex = -1;
    m_strSelectedName.clear();
}

BOOL CStorePage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header != nullptr && header->idFrom == static_cast<UINT_PTR>(kStoreList) && header->code == NM_CLICK) {
        takeSelection();
        *result = 0;
        return TRUE;
    }
    return ui::CPropertyPage::OnNotify(wParam, lParam, result);
}

BOOL CStorePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case kStoreImportButton: onImport(); return TRUE;
            case kStoreViewButton: onView(); return TRUE;
            case kStoreDeleteButton: onDelete(); return TRUE;
            default: break;
        }
    }
    return ui::CPropertyPage::OnCommand(wParam, lParam);
}

std::optional<std::string> chooseProfileFile(ui::CWnd* parent) {
    constexpr DWORD kFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN |
                             OFN_OVERWRITEPROMPT | OFN_EXTENSIONDIFFERENT;
    ui::CFileDialog dialog(TRUE, "Vtp", "*.Vtp", kFlags, "VLT Profile (*.Vtp)|*.Vtp||", parent);
    dialog.m_ofn.lpstrInitialDir = "C:\\";
    dialog.m_ofn.lpstrTitle = "Open the VLT profile File.";
    if (dialog.DoModal() != IDOK) return std::nullopt;
    return dialog.GetPathName();
}

void CStorePage::onImport() {
    if (!confirmMayChange(m_store, m_hWnd)) return;
    const auto path = chooseProfileFile(this);
    if (!path) return;
    ImportHooks hooks;
    hooks.askNewName = [this] { return askNewName(this); };
    hooks.itemAdded = [this](const std::string& name) { insertItem(name); };
    importCertificate(m_store, *path, m_hWnd, hooks);
}

void CStorePage::onView() {
    if (m_strSelectedName.empty()) return;
    viewStoreEntry(m_store, m_strSelectedName);
}

void CStorePage::onDelete() {
    SetModified(TRUE);
    if (m_nSelectedIndex == -1) return;
    if (!confirmMayChange(m_store, m_hWnd)) return;
    if (MessageBox(kDeleteQuestion, kEmergencyCaption, MB_YESNO | MB_DEFBUTTON2) == IDYES) {
        m_list.SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(m_nSelectedIndex), 0);
        deleteStoreEntry(m_store, m_strSelectedName);
        clearSelection();
    } else if (m_store.clearSelectionOnNo) {
        clearSelection();
    }
}

void viewStoreEntry(const StoreTraits& store, const std::string& name) {
    CCertificateDialog dialog(store.certificateMode, name, nullptr);
    dialog.DoModal();
}

ui::DialogTemplate storePageTemplate(StoreKind kind) {
    using ui::ControlKind;
    const StoreTraits& store = storeTraits(kind);
    constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
    ui::DialogTemplate t;
    t.resourceId = store.templateId;
    t.caption = store.tabCaption;
    t.cx = 250;
    t.cy = 231;
    t.style = DS_3DLOOK | WS_CHILD | WS_CAPTION;
    t.controls = {
        {-1, ControlKind::Icon, "", 7, 7, 21, 20, SS_ICON, 0, kProfileIcon},
        {-1, ControlKind::Static, store.explanation, 35, 7, 208, 34, SS_LEFT, 0, 0},
        {kStoreList, ControlKind::ListView, "", 15, 50, 218, 140, static_cast<DWORD>(store.listStyle | WS_BORDER | WS_TABSTOP),
         WS_EX_CLIENTEDGE, 0},
        {kStoreDeleteButton, ControlKind::PushButton, "&Delete", 15, 202, 50, 14, kButton, 0, 0},
        {kStoreViewButton, ControlKind::PushButton, "&View", 99, 202, 50, 14, kButton, 0, 0},
        {kStoreImportButton, ControlKind::PushButton, "&Import", 183, 202, 50, 14, kButton, 0, 0},
    };
    return t;
}

}  // namespace vlt::applet
