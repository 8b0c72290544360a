// Message boxes, the open and save dialogs and popup menus with Qt's own dialogs. GUI thread only; the
// front end brings calls from other threads here.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/frontend.h"

class QWidget;

namespace vlt::frontends::qt {

int runMessageBox(const ui::MessageBoxRequest& request, QWidget* owner);
ui::FileDialogAnswer runFileDialog(const ui::FileDialogRequest& request, QWidget* owner);
UINT runPopupMenu(const ui::PopupMenuRequest& request, QWidget* owner);

// The button Escape and the close box answer with, 0 when a message box has none (Yes/No,
// Abort/Retry/Ignore).
int escapeButton(UINT style);
// Windows filter pairs ("Backup Files (*.Vtb)", "*.Vtb;*.bak") as Qt name filters.
QStringList nameFilters(const std::vector<std::pair<std::string, std::string>>& filters);

}  // namespace vlt::frontends::qt
