// Property sheets: the records a caller fills, the notifications pages receive and the
// messages a page or a caller sends to the sheet. Values as in the Windows headers.
#pragma once

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

struct PROPSHEETPAGEA;
struct PSP_;
using HPROPSHEETPAGE = PSP_*;

using LPFNPSPCALLBACKA = UINT (*)(HWND hwnd, UINT msg, PROPSHEETPAGEA* ppsp);
using PFNPROPSHEETCALLBACK = int (*)(HWND hwndDlg, UINT msg, LPARAM lParam);

// PROPSHEETPAGEA.dwFlags
#define PSP_DEFAULT 0x00000000
#define PSP_DLGINDIRECT 0x00000001
#define PSP_USEHICON 0x00000002
#define PSP_USEICONID 0x00000004
#define PSP_USETITLE 0x00000008
#define PSP_RTLREADING 0x00000010
#define PSP_HASHELP 0x00000020
#define PSP_USEREFPARENT 0x00000040
#define PSP_USECALLBACK 0x00000080
#define PSP_PREMATURE 0x00000400

// The page callback's messages
#define PSPCB_ADDREF 0
#define PSPCB_RELEASE 1
#define PSPCB_CREATE 2

struct PROPSHEETPAGEA {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    LPCSTR pszTemplate;  // a resource number (MAKEINTRESOURCEA)
    HICON hIcon;
    LPCSTR pszTitle;     // with PSP_USETITLE: the tab's caption (text or string resource)
    DLGPROC pfnDlgProc;
    LPARAM lParam;
    LPFNPSPCALLBACKA pfnCallback;
    UINT* pcRefParent;
};
using LPPROPSHEETPAGEA = PROPSHEETPAGEA*;
using LPCPROPSHEETPAGEA = const PROPSHEETPAGEA*;

// PROPSHEETHEADERA.dwFlags
#define PSH_DEFAULT 0x00000000
#define PSH_PROPTITLE 0x00000001
#define PSH_USEHICON 0x00000002
#define PSH_USEICONID 0x00000004
#define PSH_PROPSHEETPAGE 0x00000008
#define PSH_WIZARDHASFINISH 0x00000010
#define PSH_WIZARD 0x00000020
#define PSH_USEPSTARTPAGE 0x00000040
#define PSH_NOAPPLYNOW 0x00000080
#define PSH_USECALLBACK 0x00000100
#define PSH_HASHELP 0x00000200
#define PSH_MODELESS 0x00000400

// The sheet callback's messages
#define PSCB_INITIALIZED 1
#define PSCB_PRECREATE 2

struct PROPSHEETHEADERA {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    HICON hIcon;
    LPCSTR pszCaption;
    UINT nPages;
    union {
        UINT nStartPage;
        LPCSTR pStartPage;  // PSH_USEPSTARTPAGE: the start page's title
    };
    union {
        LPCPROPSHEETPAGEA ppsp;  // PSH_PROPSHEETPAGE
        HPROPSHEETPAGE* phpage;
    };
    PFNPROPSHEETCALLBACK pfnCallback;
};
using LPPROPSHEETHEADERA = PROPSHEETHEADERA*;
using LPCPROPSHEETHEADERA = const PROPSHEETHEADERA*;

// Notifications to a page (WM_NOTIFY with a PSHNOTIFY)
#define PSN_FIRST (0U - 200U)
#define PSN_SETACTIVE (PSN_FIRST - 0)
#define PSN_KILLACTIVE (PSN_FIRST - 1)
#define PSN_APPLY (PSN_FIRST - 2)
#define PSN_RESET (PSN_FIRST - 3)
#define PSN_HELP (PSN_FIRST - 5)
#define PSN_WIZBACK (PSN_FIRST - 6)
#define PSN_WIZNEXT (PSN_FIRST - 7)
#define PSN_WIZFINISH (PSN_FIRST - 8)
#define PSN_QUERYCANCEL (PSN_FIRST - 9)

struct PSHNOTIFY {
    NMHDR hdr;
    LPARAM lParam;  // PSN_APPLY: TRUE when the sheet closes (OK), FALSE for Apply
};
using LPPSHNOTIFY = PSHNOTIFY*;

// A page's answer to PSN_APPLY
#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2

// Messages to the sheet
#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_REMOVEPAGE (WM_USER + 102)
#define PSM_ADDPAGE (WM_USER + 103)
#define PSM_CHANGED (WM_USER + 104)
#define PSM_RESTARTWINDOWS (WM_USER + 105)
#define PSM_REBOOTSYSTEM (WM_USER + 106)
#define PSM_CANCELTOCLOSE (WM_USER + 107)
#define PSM_QUERYSIBLINGS (WM_USER + 108)
#define PSM_UNCHANGED (WM_USER + 109)
#define PSM_APPLY (WM_USER + 110)
#define PSM_SETTITLEA (WM_USER + 111)
#define PSM_SETWIZBUTTONS (WM_USER + 112)
#define PSM_PRESSBUTTON (WM_USER + 113)
#define PSM_SETCURSELID (WM_USER + 114)
#define PSM_SETFINISHTEXTA (WM_USER + 115)
#define PSM_GETTABCONTROL (WM_USER + 116)
#define PSM_ISDIALOGMESSAGE (WM_USER + 117)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)

// PSM_PRESSBUTTON
#define PSBTN_BACK 0
#define PSBTN_NEXT 1
#define PSBTN_FINISH 2
#define PSBTN_OK 3
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5
#define PSBTN_HELP 6

// PSM_SETWIZBUTTONS
#define PSWIZB_BACK 0x00000001
#define PSWIZB_NEXT 0x00000002
#define PSWIZB_FINISH 0x00000004
#define PSWIZB_DISABLEDFINISH 0x00000008

// Control ids of the sheet's own buttons, and PropertySheetA's results beyond 0 and 1
#define ID_APPLY_NOW 0x3021
#define ID_WIZBACK 0x3023
#define ID_WIZNEXT 0x3024
#define ID_WIZFINISH 0x3025
#define ID_PSRESTARTWINDOWS 0x2
#define ID_PSREBOOTSYSTEM (ID_PSRESTARTWINDOWS | 0x1)

#define PropSheet_SetCurSel(hDlg, hpage, index) \
    SendMessageA(hDlg, PSM_SETCURSEL, (WPARAM)(index), (LPARAM)(hpage))
#define PropSheet_Changed(hDlg, hwnd) SendMessageA(hDlg, PSM_CHANGED, (WPARAM)(hwnd), 0)
#define PropSheet_UnChanged(hDlg, hwnd) SendMessageA(hDlg, PSM_UNCHANGED, (WPARAM)(hwnd), 0)
#define PropSheet_SetTitle(hDlg, wStyle, lpszText) \
    SendMessageA(hDlg, PSM_SETTITLEA, (WPARAM)(wStyle), (LPARAM)(LPCSTR)(lpszText))
#define PropSheet_GetCurrentPageHwnd(hDlg) ((HWND)SendMessageA(hDlg, PSM_GETCURRENTPAGEHWND, 0, 0))
#define PropSheet_Apply(hDlg) ((BOOL)SendMessageA(hDlg, PSM_APPLY, 0, 0))
#define PropSheet_PressButton(hDlg, iButton) PostMessageA(hDlg, PSM_PRESSBUTTON, (WPARAM)(iButton), 0)
#define PropSheet_GetTabControl(hDlg) ((HWND)SendMessageA(hDlg, PSM_GETTABCONTROL, 0, 0))
#define PropSheet_SetWizButtons(hDlg, dwFlags) PostMessageA(hDlg, PSM_SETWIZBUTTONS, 0, (LPARAM)(dwFlags))
#define PropSheet_SetFinishText(hDlg, lpszText) SendMessageA(hDlg, PSM_SETFINISHTEXTA, 0, (LPARAM)(lpszText))

// Runs a modal property sheet. Returns 1 when a page's changes were applied (OK, or Apply
// before closing), 0 when none were, -1 when the sheet could not be made. A wizard
// (PSH_WIZARD) returns 1 when Finish closed it, 0 when it was cancelled.
INT_PTR PropertySheetA(LPCPROPSHEETHEADERA lppsph);
HPROPSHEETPAGE CreatePropertySheetPageA(LPCPROPSHEETPAGEA lppsp);
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE hPSPage);

VLT_EXPORT_END
