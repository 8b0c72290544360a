// CCertificateDialog (template 102): one certificate as a card without title bar, painted with
// the background picture, red labels and blue values; the e-mail address is a mailto: link.
// Mode 2 shows the own certificate and offers its export as a ".Vtp" file.
#pragma once

#include <string>

#include "applet/link_static.h"
#include "ui/framework_dialogs.h"
#include "win32/wingdi.h"

namespace vlt::applet {

class CCertificateDialog : public ui::CDialog {
    VLT_DECLARE_DYNAMIC(CCertificateDialog)
public:
    // mode: 0 an entry of the personal store, 1 of the system store (both named `name`), 2 the
    // own certificate.
    CCertificateDialog(int mode, std::string name, ui::CWnd* parent = nullptr);
    ~CCertificateDialog() override;

    void DoDataExchange(ui::CDataExchange* dx) override;
    // Ends the dialog before it is shown (result 0) when the record cannot be read.
    BOOL OnInitDialog() override;

    CLinkStatic m_displayName;
    CLinkStatic m_street;
    CLinkStatic m_state;
    CLinkStatic m_city;
    CLinkStatic m_eMail;
    CLabelStatic m_streetLabel;
    CLabelStatic m_stateLabel;
    CLabelStatic m_nameLabel;
    CLabelStatic m_eMailLabel;
    CLabelStatic m_cityLabel;
    std::string m_name;
    HBITMAP m_background = nullptr;
    int m_mode;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void paintBackground();
    void exportCertificate();
};

}  // namespace vlt::applet
