#include "applet/certificate_dialog.h"

#include "applet/certificate_fields.h"
#include "applet/resources.h"
#include "applet/save_dialog.h"
#include "shared/file_header.h"
#include "shared/profile_file.h"

namespace vlt::applet {
namespace {

constexpr int kBackgroundWidth = 424;
constexpr int kBackgroundHeight = 278;

// A link's target and window text must fit a buffer of 260 characters.
std::string cut(std::string text) {
    if (text.size() > MAX_PATH - 1) text.resize(MAX_PATH - 1);
    return text;
}

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CCertificateDialog, ui::CDialog)

CCertificateDialog::CCertificateDialog(int mode, std::string name, ui::CWnd* parent)
    : ui::CDialog(kCertificateDialog, parent), m_name(std::move(name)), m_mode(mode) {
    m_background = LoadBitmapA(ui::AfxGetResourceHandle(), MAKEINTRESOURCEA(kCardBitmap));
}

CCertificateDialog::~CCertificateDialog() {
    if (m_background != nullptr) DeleteObject(m_background);
}

void CCertificateDialog::DoDataExchange(ui::CDataExchange* dx) {
    ui::CDialog::DoDataExchange(dx);
    const std::pair<int, CLinkStatic*> links[] = {{kCardName, &m_displayName}, {kCardStreet, &m_street},
                                                  {kCardState, &m_state},      {kCardCity, &m_city},
                                                  {kCardEmail, &m_eMail}};
    for (const auto& [id, link] : links) {
        if (link->m_hWnd != nullptr) continue;
        ui::DDX_Control(dx, id, *link);
        if (link->m_hWnd != nullptr) link->Attach();
    }
    ui::DDX_Control(dx, kCardStreetLabel, m_streetLabel);
    ui::DDX_Control(dx, kCardStateLabel, m_stateLabel);
    ui::DDX_Control(dx, kCardNameLabel, m_nameLabel);
    ui::DDX_Control(dx, kCardEmailLabel, m_eMailLabel);
    ui::DDX_Control(dx, kCardCityLabel, m_cityLabel);
}

BOOL CCertificateDialog::OnInitDialog() {
    ui::CDialog::OnInitDialog();
    ::ShowWindow(GetDlgItem(kCardFrame), SW_HIDE);
    const auto mode = static_cast<CardMode>(m_mode);
    const auto record = readCardRecord(mode, m_name);
    if (!record) {
        EndDialog(0);
        return FALSE;
    }
    m_eMail.SetUnderline(TRUE);
    m_eMail.SetLinkCursor(LoadCursorA(ui::AfxGetResourceHandle(), MAKEINTRESOURCEA(kLinkCursor)));
    if (mode != CardMode::Own) ::ShowWindow(GetDlgItem(kExportButton), SW_HIDE);

    const CertificateFields fields = certificateFields(*record);
    auto show = [](CLinkStatic& control, const std::string& text, const char* tip) {
        control.SetWindowText(text.c_str());
        control.SetTarget(tip);
    };
    show(m_displayName, fields.name, "Name of the person to whome the certificate is issued.");
    if (!fields.email.empty()) {
        m_eMail.m_linkEnabled = true;
        show(m_eMail, fields.email, cut("mailto:" + fields.email).c_str());
    }
    show(m_street, fields.street, "Street of the person to whome the certificate is issued.");
    show(m_city, fields.city, "City of the person to whome the certificate is issued.");
    show(m_state, fields.state, "State of the person to whome the certificate is issued.");
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return TRUE;
}

LRESULT CCertificateDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        paintBackground();
        return 0;
    }
    return ui::CDialog::WindowProc(msg, wParam, lParam);
}

void CCertificateDialog::paintBackground() {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(m_hWnd, &ps);
    RECT area{};
    GetClientRect(GetDlgItem(kCardFrame), &area);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, m_background);
    StretchBlt(dc, 0, 0, area.right - area.left, area.bottom - area.top, memory, 0, 0, kBackgroundWidth,
               kBackgroundHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    EndPaint(m_hWnd, &ps);
}

BOOL CCertificateDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kExportButton && HIWORD(wParam) == BN_CLICKED) {
        exportCertificate();
        return TRUE;
    }
    return ui::CDialog::OnCommand(wParam, lParam);
}

void CCertificateDialog::exportCertificate() {
    const auto path = askSavePath({"Save the VLT profile File.", "Vtp", "*.Vtp", "VLT Profile (*.Vtp)|*.Vtp||"});
    if (!path) return;
    // The writer puts the file in place only when it is whole, so a failure leaves nothing to
    // delete, and a file the user already had under that name stays as it was.
    if (writeProfileFile(*path) == 1) {
        MessageBox("Your profile is successfully expoprted...", "VLT Success Report", MB_OK);
        return;
    }
    MessageBox("An error ocured while trying to export your profile.\nEnsure to select \"VLT Settings\" tab before "
               "exporting your profile.",
               kEmergencyCaption, MB_ICONHAND);
}

}  // namespace vlt::applet
