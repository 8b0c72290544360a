#include "applet/new_name_dialog.h"

#include "applet/resources.h"

namespace vlt::applet {

VLT_IMPLEMENT_DYNAMIC(CNewNameDialog, ui::CDialog)

CNewNameDialog::CNewNameDialog(ui::CWnd* parent) : ui::CDialog(kNewNameDialog, parent) {}

void CNewNameDialog::DoDataExchange(ui::CDataExchange* dx) {
    ui::CDialog::DoDataExchange(dx);
    ui::DDX_Text(dx, kNewNameEdit, m_strName);
}

ui::DialogTemplate newNameTemplate() {
    using ui::ControlKind;
    ui::DialogTemplate t;
    t.resourceId = kNewNameDialog;
    t.caption = "New Name";
    t.cx = 208;
    t.cy = 58;
    t.style = DS_MODALFRAME | DS_CENTER | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {
        {-1, ControlKind::Static, kNewNameLabel, 7, 7, 140, 8, SS_LEFT, 0, 0},
        {kNewNameEdit, ControlKind::Edit, "", 7, 19, 140, 13, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 0},
        {IDOK, ControlKind::DefPushButton, "OK", 151, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 0},
        {IDCANCEL, ControlKind::PushButton, "Cancel", 151, 26, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, 0, 0},
    };
    return t;
}

std::optional<std::string> askNewName(ui::CWnd* parent) {
    CNewNameDialog dialog(parent);
    if (dialog.DoModal() != IDOK) return std::nullopt;
    return dialog.m_strName;
}

}  // namespace vlt::applet
