// Pictures of a property sheet's pages: a timer on the sheet draws the current page, makes the
// next one current, and closes the sheet after the last.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "frontends/qt/qt_frontend.h"
#include "win32/windef.h"

namespace vlt::gallery {

struct SheetShots {
    frontends::QtFrontend* frontend = nullptr;
    std::filesystem::path out;
    std::string prefix;    // pictures are PREFIX-ID.png
    std::vector<int> ids;  // the pages' template numbers, in the sheet's order
    bool sample = false;   // example content in each page before it is drawn
    std::size_t next = 0;  // pages drawn
    int failures = 0;
};

// Starts drawing once `sheet` has its window; `shots` must live until the sheet has closed.
void startShots(HWND sheet, SheetShots& shots);

// Example content in list views, combo boxes, progress bars and password fields, as a dialog
// looks in use.
void fillSample(HWND dialog);

}  // namespace vlt::gallery
