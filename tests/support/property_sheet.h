// A property sheet, or a wizard, over consecutive dialog templates that share one page
// procedure, as the front ends' sheet tests show it.
#pragma once

#include <vector>

#include "win32/prsht.h"

namespace vlt::test {

// Pages from the templates firstTemplate, firstTemplate + 1, ... of `module`; `flags` adds to
// PSH_PROPSHEETPAGE (PSH_WIZARD for a wizard). PropertySheetA's answer.
inline INT_PTR showPropertySheet(HINSTANCE module, LPCSTR caption, DWORD flags, int firstTemplate, UINT pageCount,
                                 DLGPROC pageProc) {
    std::vector<PROPSHEETPAGEA> pages(pageCount);
    for (UINT i = 0; i < pageCount; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = module;
        pages[i].pszTemplate = MAKEINTRESOURCEA(firstTemplate + static_cast<int>(i));
        pages[i].pfnDlgProc = pageProc;
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | flags;
    header.hInstance = module;
    header.pszCaption = caption;
    header.nPages = pageCount;
    header.ppsp = pages.data();
    return PropertySheetA(&header);
}

}  // namespace vlt::test
