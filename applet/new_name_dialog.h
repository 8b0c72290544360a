// "New Name": asks for the name under which a certificate is stored when its holder's name is
// taken. No validation of its own: an empty name is the store key's unnamed value.
#pragma once

#include <optional>
#include <string>

#include "ui/framework_dialogs.h"
#include "ui/resources.h"

namespace vlt::applet {

inline constexpr char kNewNameLabel[] = "Type a new Name here:";

class CNewNameDialog : public ui::CDialog {
    VLT_DECLARE_DYNAMIC(CNewNameDialog)
public:
    explicit CNewNameDialog(ui::CWnd* parent = nullptr);

    std::string m_strName;  // ANSI, as typed

protected:
    void DoDataExchange(ui::CDataExchange* dx) override;
};

ui::DialogTemplate newNameTemplate();

// Runs the dialog: the typed name on OK, nothing on Cancel.
std::optional<std::string> askNewName(ui::CWnd* parent);

}  // namespace vlt::applet
