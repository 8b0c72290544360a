// The framework's common file dialog: an OPENFILENAMEA filled from the framework's arguments,
// with m_ofn open to changes (title, initial folder) before DoModal.
#pragma once

#include <string>

#include "base/export.h"
#include "ui/framework.h"
#include "win32/commdlg.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

class CFileDialog : public CObject {
    VLT_DECLARE_DYNAMIC(CFileDialog)
public:
    // filter: "Text (*.txt)|*.txt|All Files (*.*)|*.*||". fileName: the initial name, or a
    // pattern that only repeats the filter.
    explicit CFileDialog(BOOL openFileDialog, LPCSTR defExt = nullptr, LPCSTR fileName = nullptr,
                         DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr,
                         CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    OPENFILENAMEA m_ofn{};

    // IDOK with the chosen file, IDCANCEL when the user cancelled or the dialog failed.
    virtual INT_PTR DoModal();
    // After IDOK: the chosen file's full path, its name, its extension (without the dot).
    std::string GetPathName() const { return m_ofn.lpstrFile ? m_ofn.lpstrFile : ""; }
    std::string GetFileName() const;
    std::string GetFileExt() const;

private:
    BOOL m_open;
    std::string m_filter;  // the pairs separated by zero bytes
    std::string m_defExt;
    char m_file[MAX_PATH]{};
};

}  // namespace vlt::ui

VLT_EXPORT_END
