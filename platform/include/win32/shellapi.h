// Dropped-file lists, starting programs and documents (see shell/execute.h for how the
// Windows names map to this system), and icons in the notification area (ui/notify_icon.h).
#pragma once

#include "base/export.h"
#include "win32/winreg.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

// ---- Dropped files (platform/com) ---------------------------------------------------------

struct HDROP__;
using HDROP = HDROP__*;

// hDrop: the HGLOBAL of a CF_HDROP medium, or its locked data. iFile 0xFFFFFFFF: the number
// of names. lpszFile NULL: the length of name iFile without the terminator. Otherwise copies at
// most cch - 1 characters and a terminator and returns the characters copied. 0 for an index
// out of range or a block that is not a valid list; nothing is read past the block's end.
UINT DragQueryFileA(HDROP hDrop, UINT iFile, LPSTR lpszFile, UINT cch);

// ---- ShellExecute (platform/shell) --------------------------------------------------------

#define SEE_MASK_DEFAULT 0x00000000
#define SEE_MASK_CLASSNAME 0x00000001
#define SEE_MASK_CLASSKEY 0x00000003
#define SEE_MASK_IDLIST 0x00000004
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_CONNECTNETDRV 0x00000080
#define SEE_MASK_NOASYNC 0x00000100
#define SEE_MASK_FLAG_DDEWAIT SEE_MASK_NOASYNC
#define SEE_MASK_DOENVSUBST 0x00000200
#define SEE_MASK_FLAG_NO_UI 0x00000400
#define SEE_MASK_UNICODE 0x00004000
#define SEE_MASK_NO_CONSOLE 0x00008000

// ShellExecute results of 32 and below.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_SHARE 26
#define SE_ERR_ASSOCINCOMPLETE 27
#define SE_ERR_DDETIMEOUT 28
#define SE_ERR_DDEFAIL 29
#define SE_ERR_DDEBUSY 30
#define SE_ERR_NOASSOC 31
#define SE_ERR_DLLNOTFOUND 32

#ifndef ERROR_NO_ASSOCIATION
#define ERROR_NO_ASSOCIATION 1155L
#endif

struct SHELLEXECUTEINFOA {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    union {
        HANDLE hIcon;
        HANDLE hMonitor;
    };
    HANDLE hProcess;
};
using LPSHELLEXECUTEINFOA = SHELLEXECUTEINFOA*;

// The size of the record on 32-bit Windows, which code written for it may still put in
// cbSize; accepted as well as sizeof(SHELLEXECUTEINFOA).
#define SHELLEXECUTEINFOA_WIN32_SIZE 60

// TRUE once the program has been started (not waited for); hInstApp > 32. FALSE with
// hInstApp an SE_ERR_* value and the last error set. hProcess is always NULL: no process
// handles are handed out.
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* pExecInfo);
// The same; returns hInstApp.
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                        INT nShowCmd);

// Runs a command line (program and arguments split as the shell would); above 31 when it
// started, else 0 (out of resources), ERROR_FILE_NOT_FOUND (2), ERROR_PATH_NOT_FOUND (3) or
// ERROR_BAD_FORMAT (11).
UINT WinExec(LPCSTR lpCmdLine, UINT uCmdShow);

// ---- Notification-area icons (platform/ui) ------------------------------------------------

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

// The first form of the record (before Windows 2000), the one the suite fills.
struct NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};
using PNOTIFYICONDATAA = NOTIFYICONDATAA*;

// cbSize of that record on 32-bit Windows, which code written for it puts there; accepted as
// well as sizeof(NOTIFYICONDATAA).
#define NOTIFYICONDATAA_V1_SIZE 88

// Adds, changes or removes the icon (hWnd, uID). TRUE on success; FALSE when the icon exists
// already (NIM_ADD) or does not (NIM_MODIFY, NIM_DELETE), for a record or window that is not
// valid, and when the desktop has no notification area (ERROR_NOT_SUPPORTED).
BOOL Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData);

VLT_EXPORT_END
