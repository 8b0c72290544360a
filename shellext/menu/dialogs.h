// The shell extension's dialogs: the password prompt (130), the grant dialog (141) and the
// progress dialog (1020), with their templates.
#pragma once

#include "shellext/workers.h"
#include "win32/winuser.h"

namespace vlt::shellext {

inline constexpr int kPasswordDialog = 130;
inline constexpr int kGrantDialog = 141;
inline constexpr int kProgressDialog = 1020;

inline constexpr int kPasswordEdit = 1000;
inline constexpr int kGrantLockButton = 1000;
inline constexpr int kPersonalList = 1001;
inline constexpr int kSystemList = 1002;
inline constexpr int kGrantGroup = 1003;
inline constexpr int kGrantSeparator = 1004;
inline constexpr int kProgressText = 102;
inline constexpr int kProgressBar = 104;
inline constexpr int kProgressSubText = 105;
inline constexpr int kProgressAnimation = 106;

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
