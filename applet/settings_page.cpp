#include "applet/settings_page.h"

#include "applet/resources.h"

namespace vlt::applet {
namespace {

struct ListBinding {
    ui::CWnd CSettingsPage::*control;
    AlgorithmList AlgorithmLists::*list;
};
constexpr ListBinding kLists[] = {{&CSettingsPage::m_encryptList, &AlgorithmLists::encrypt},
                                  {&CSettingsPage::m_hashList, &AlgorithmLists::hash},
                                  {&CSettingsPage::m_signatureList, &AlgorithmLists::signature},
                                  {&CSettingsPage::m_exchangeList, &AlgorithmLists::exchange}};

struct BoxBinding {
    ui::CWnd CSettingsPage::*control;
    bool SettingsChoices::*flag;
};
constexpr BoxBinding kBoxes[] = {{&CSettingsPage::m_autoLockBox, &SettingsChoices::autoLock},
                                 {&CSettingsPage::m_deleteAfterEncryptBox, &SettingsChoices::deleteAfterEncrypt},
                                 {&CSettingsPage::m_deleteAfterDecryptBox, &SettingsChoices::deleteAfterDecrypt}};

AlgorithmList readList(ui::CWnd& combo) {
    AlgorithmList list;
    const auto count = static_cast<int>(combo.SendMessage(CB_GETCOUNT));
    for (int i = 0; i < count; ++i) {
        const auto length = combo.SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
        std::string text(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, '\0');
        combo.SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(text.size() - 1);
        list.entries.push_back({text, static_cast<DWORD>(combo.SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(i)))});
    }
    list.select(static_cast<int>(combo.SendMessage(CB_GETCURSEL)));
    return list;
}

void showList(ui::CWnd& combo, const AlgorithmList& list) {
    combo.SendMessage(CB_RESETCONTENT);
    for (const AlgorithmEntry& entry : list.entries) {
        const auto index = combo.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
        combo.SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(entry.data));
    }
    combo.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(list.selection));
}

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CSettingsPage, ui::CPropertyPage)

CSettingsPage::CSettingsPage() : ui::CPropertyPage(kSettingsPage) {}

void CSettingsPage::DoDataExchange(ui::CDataExchange* dx) {
    ui::CPropertyPage::DoDataExchange(dx);
    ui::DDX_Control(dx, kAutoLockBox, m_autoLockBox);
    ui::DDX_Control(dx, kDeleteAfterDecryptBox, m_deleteAfterDecryptBox);
    ui::DDX_Control(dx, kDeleteAfterEncryptBox, m_deleteAfterEncryptBox);
    ui::DDX_Control(dx, kSecondsEdit, m_secondsBox);
    ui::DDX_Control(dx, kSignatureList, m_signatureList);
    ui::DDX_Control(dx, kHashList, m_hashList);
    ui::DDX_Control(dx, kExchangeList, m_exchangeList);
    ui::DDX_Control(dx, kEncryptList, m_encryptList);
    ui::DDX_Text(dx, kSecondsEdit, m_period);
}

BOOL CSettingsPage::OnInitDialog() {
    ui::CPropertyPage::OnInitDialog();
    return TRUE;
}

void CSettingsPage::OnOK() { ui::CPropertyPage::OnOK(); }

SettingsChoices CSettingsPage::readControls() {
    SettingsChoices choices;
    for (const ListBinding& b : kLists) choices.lists.*b.list = readList(this->*b.control);
    for (const BoxBinding& b : kBoxes) choices.*b.flag = (this->*b.control).SendMessage(BM_GETCHECK) == BST_CHECKED;
    choices.secondsEnabled = IsWindowEnabled(m_secondsBox.m_hWnd) != FALSE;
    choices.period = m_period;
    return choices;
}

void CSettingsPage::showChoices(const SettingsChoices& choices) {
    for (const ListBinding& b : kLists) showList(this->*b.control, choices.lists.*b.list);
    for (const BoxBinding& b : kBoxes)
        (this->*b.control).SendMessage(BM_SETCHECK, choices.*b.flag ? BST_CHECKED : BST_UNCHECKED);
    m_secondsBox.EnableWindow(choices.secondsEnabled ? TRUE : FALSE);
    m_period = choices.period;
}

void CSettingsPage::save(const SettingsChoices& choices) {
    writeSettings(choices);
    SetModified(FALSE);
    notifyTray(choices.period);
}

BOOL CSettingsPage::OnSetActive() {
    SettingsChoices choices = readControls();
    fillAlgorithmLists(choices.lists, m_hWnd);
    loadSettings(choices, [this](const SettingsChoices& now) { save(now); });
    showChoices(choices);
    UpdateData(FALSE);
    return ui::CPropertyPage::OnSetActive();
}

BOOL CSettingsPage::OnApply() {
    save(readControls());
    return ui::CPropertyPage::OnApply();
}

BOOL CSettingsPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kAutoLockBox && code == BN_CLICKED) {
        m_secondsBox.EnableWindow(m_autoLockBox.SendMessage(BM_GETCHECK) == BST_CHECKED ? TRUE : FALSE);
        SetModified(TRUE);
        return TRUE;
    }
    const bool box = (id == kDeleteAfterDecryptBox || id == kDeleteAfterEncryptBox) && code == BN_CLICKED;
    const bool seconds = id == kSecondsEdit && code == EN_CHANGE;
    const bool list = id >= kEncryptList && id <= kExchangeList && code == CBN_SELCHANGE;
    if (box || seconds || list) {
        SetModified(TRUE);
        return TRUE;
    }
    return ui::CPropertyPage::OnCommand(wParam, lParam);
}

ui::DialogTemplate settingsPageTemplate() {
    using ui::ControlKind;
    constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    constexpr DWORD kBox = BS_AUTOCHECKBOX | WS_TABSTOP;
    ui::DialogTemplate t;
    t.resourceId = kSettingsPage;
    t.caption = "VLT Settings";
    t.cx = 250;
    t.cy = 231;
    t.style = DS_3DLOOK | WS_CHILD | WS_CAPTION;
    t.controls = {
        {-1, ControlKind::GroupBox, "Algorithm Selection", 7, 7, 236, 86, BS_GROUPBOX, 0, 0},
        {-1, ControlKind::Static, "Encryption Algorithm", 15, 22, 90, 8, SS_LEFT, 0, 0},
        {kEncryptList, ControlKind::ComboBox, "", 110, 20, 125, 80, kList, 0, 0},
        {-1, ControlKind::Static, "Hashing Algorithm", 15, 39, 90, 8, SS_LEFT, 0, 0},
        {kHashList, ControlKind::ComboBox, "", 110, 37, 125, 80, kList, 0, 0},
        {-1, ControlKind::Static, "Signature Algorithm", 15, 56, 90, 8, SS_LEFT, 0, 0},
        {kSignatureList, ControlKind::ComboBox, "", 110, 54, 125, 80, kList, 0, 0},
        {-1, ControlKind::Static, "Exchange Algorithm", 15, 73, 90, 8, SS_LEFT, 0, 0},
        {kExchangeList, ControlKind::ComboBox, "", 110, 71, 125, 80, kList, 0, 0},
        {-1, ControlKind::GroupBox, "Encryption Options", 7, 100, 236, 50, BS_GROUPBOX, 0, 0},
        {kDeleteAfterEncryptBox, ControlKind::CheckBox, "Delete original files after Encryption.", 15, 114, 220, 10,
         kBox, 0, 0},
        {kDeleteAfterDecryptBox, ControlKind::CheckBox, "Delete encrypted files after decryption.", 15, 131, 220,
         10, kBox, 0, 0},
        {-1, ControlKind::GroupBox, "Automatic locking", 7, 157, 236, 36, BS_GROUPBOX, 0, 0},
        {kAutoLockBox, ControlKind::CheckBox, "VLT will automatically be locked after", 15, 172, 140, 10, kBox, 0,
         0},
        {kSecondsEdit, ControlKind::Edit, "", 158, 170, 40, 12,
         ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED, 0, 0},
        {-1, ControlKind::Static, "seconds", 203, 172, 32, 8, SS_LEFT, 0, 0},
    };
    return t;
}

}  // namespace vlt::applet
