// Shell extension interfaces (IShellExtInit, IContextMenu), the dropped-file block and change
// notification.
#pragma once

#include "base/export.h"
#include "win32/objidl.h"
#include "win32/unknwn.h"
#include "win32/winreg.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

// ---- Item identifier lists (only passed through) -------------------------------------------

struct SHITEMID {
    WORD cb;
    BYTE abID[1];
};
struct ITEMIDLIST {
    SHITEMID mkid;
};
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;

// ---- CF_HDROP ---------------------------------------------------------------------------
// The block behind a CF_HDROP medium: this header, then at pFiles the names, each terminated,
// the list ended by an empty name. fWide: UTF-16 names, else ANSI (on this platform: the
// file-name bytes as the file system has them).
struct DROPFILES {
    DWORD pFiles;
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};
using LPDROPFILES = DROPFILES*;
static_assert(sizeof(DROPFILES) == 20, "DROPFILES is 20 bytes as on Windows");

// ---- IShellExtInit ----------------------------------------------------------------------

struct IShellExtInit : IUnknown {
    virtual HRESULT Initialize(LPCITEMIDLIST pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) = 0;

protected:
    ~IShellExtInit() = default;
};
using LPSHELLEXTINIT = IShellExtInit*;

// ---- IContextMenu -----------------------------------------------------------------------

#define CMF_NORMAL 0x00000000
#define CMF_DEFAULTONLY 0x00000001
#define CMF_VERBSONLY 0x00000002
#define CMF_EXPLORE 0x00000004
#define CMF_NOVERBS 0x00000008
#define CMF_CANRENAME 0x00000010
#define CMF_NODEFAULT 0x00000020
#define CMF_INCLUDESTATIC 0x00000040
#define CMF_EXTENDEDVERBS 0x00000100
#define CMF_RESERVED 0xffff0000

#define GCS_VERBA 0x00000000
#define GCS_HELPTEXTA 0x00000001
#define GCS_VALIDATEA 0x00000002
#define GCS_VERBW 0x00000004
#define GCS_HELPTEXTW 0x00000005
#define GCS_VALIDATEW 0x00000006
#define GCS_UNICODE 0x00000004

#define CMIC_MASK_HOTKEY 0x00000020
#define CMIC_MASK_ICON 0x00000010
#define CMIC_MASK_FLAG_NO_UI 0x00000400
#define CMIC_MASK_NOASYNC 0x00000100

struct CMINVOKECOMMANDINFO {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb;  // a command offset in the low word (high word 0), or a verb string
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    DWORD dwHotKey;
    HANDLE hIcon;
};
using LPCMINVOKECOMMANDINFO = CMINVOKECOMMANDINFO*;

#define MAKE_HRESULT(sev, fac, code) \
    ((HRESULT)(((unsigned long)(sev) << 31) | ((unsigned long)(fac) << 16) | ((unsigned long)(code))))
#define SEVERITY_SUCCESS 0
#define SEVERITY_ERROR 1

struct IContextMenu : IUnknown {
    virtual HRESULT QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) = 0;
    virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* pici) = 0;
    virtual HRESULT GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName, UINT cchMax) = 0;

protected:
    ~IContextMenu() = default;
};
using LPCONTEXTMENU = IContextMenu*;

// {000214E8-0000-0000-C000-000000000046}
extern const IID IID_IShellExtInit;
// {000214E4-0000-0000-C000-000000000046}
extern const IID IID_IContextMenu;

// ---- Change notification ----------------------------------------------------------------
// Linux file managers watch the file system themselves, so nothing is sent anywhere; the
// calls are recorded (shell/notify.h) for tests.

#define SHCNE_RENAMEITEM 0x00000001L
#define SHCNE_CREATE 0x00000002L
#define SHCNE_DELETE 0x00000004L
#define SHCNE_MKDIR 0x00000008L
#define SHCNE_RMDIR 0x00000010L
#define SHCNE_ATTRIBUTES 0x00000800L
#define SHCNE_UPDATEDIR 0x00001000L
#define SHCNE_UPDATEITEM 0x00002000L
#define SHCNE_RENAMEFOLDER 0x00020000L
#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNE_ALLEVENTS 0x7FFFFFFFL

#define SHCNF_IDLIST 0x0000
#define SHCNF_PATHA 0x0001
#define SHCNF_PRINTERA 0x0002
#define SHCNF_DWORD 0x0003
#define SHCNF_PATHW 0x0005
#define SHCNF_PRINTERW 0x0006
#define SHCNF_TYPE 0x00FF
#define SHCNF_FLUSH 0x1000
#define SHCNF_FLUSHNOWAIT 0x3000

void SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2);

VLT_EXPORT_END
