// The common open and save dialogs, as far as the suite fills OPENFILENAMEA.
#pragma once

#include "base/export.h"
#include "win32/windef.h"

VLT_EXPORT_BEGIN

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_NOREADONLYRETURN 0x00008000
#define OFN_EXTENSIONDIFFERENT 0x00000400  // out: the chosen name's extension is not lpstrDefExt
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    void* hInstance;
    LPCSTR lpstrFilter;          // pairs of zero-terminated strings, ended by an empty one
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;             // in: initial name; out: the chosen full path
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;

// FALSE when the user cancelled (CommDlgExtendedError would then be 0) or the dialog failed.
// On TRUE lpstrFile holds the full path, nFileOffset and nFileExtension index its name and
// extension. lpstrInitialDir "C:\\" (any drive) opens in the user's home; lpstrDefExt is added
// to a name typed without extension; OFN_FILEMUSTEXIST (open) and OFN_PATHMUSTEXIST are kept.
BOOL GetSaveFileNameA(LPOPENFILENAMEA lpofn);
BOOL GetOpenFileNameA(LPOPENFILENAMEA lpofn);

// Why the calling thread's last file dialog could not be shown: 0 when it was (and the user
// chose or cancelled), CDERR_DIALOGFAILURE without a front end, the front end's code when it
// could not show one, CDERR_INITIALIZATION for a structure without a file buffer.
#define CDERR_INITIALIZATION 0x0002
#define CDERR_DIALOGFAILURE 0xFFFF
DWORD CommDlgExtendedError();

VLT_EXPORT_END
