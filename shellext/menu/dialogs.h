// The shell extension's dialogs: the password prompt (130), the grant dialog (141) and the
// progress dialog (1020), with their templates.
#pragma once

#include "shellext/resources.h"
#include "shellext/workers.h"
#include "win32/winuser.h"

namespace vlt::shellext {

// Sent by the worker's close operation; the dialog then ends.
inline constexpr UINT kCloseProgressMessage = WM_USER + 100;

// What the progress dialog shows, set before it is created.
enum class ProgressKind { Lock = 1, Unlock = 2, SecureDelete = 5 };
void setProgressKind(ProgressKind kind);

// The module whose resources the dialogs come from (the library itself).
HINSTANCE resourceModule();
void registerDialogs(HINSTANCE module);

INT_PTR passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR grantDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Creation parameter: the suspended worker thread's handle, resumed once the dialog is ready.
INT_PTR progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vlt::shellext
