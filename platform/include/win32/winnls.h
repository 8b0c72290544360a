// Conversions between the ANSI code page, UTF-8 and UTF-16. WCHAR is char16_t: UTF-16 code
// units as on Windows (wchar_t is 32 bits on Linux).
#pragma once

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winerror.h"

VLT_EXPORT_BEGIN

using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCWCH = const WCHAR*;
using LPCCH = const CHAR*;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPBOOL = BOOL*;

// CP_ACP is the machine's ANSI code page (registry: Nls\CodePage "ACP", Windows-1252 by
// default). Supported: CP_ACP, CP_THREAD_ACP, CP_UTF8 and the single-byte Windows code pages
// 874 and 1250 to 1258. Others fail with ERROR_INVALID_PARAMETER.
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif

// Lengths of -1 mean "up to and including the terminator". A zero output size asks for the
// size needed. A buffer too small: 0 with ERROR_INSUFFICIENT_BUFFER. Invalid input with
// MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS: 0 with ERROR_NO_UNICODE_TRANSLATION; without
// them, U+FFFD (to UTF-16 / UTF-8) or the default character (to a single-byte code page, with
// *lpUsedDefaultChar set).
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);

VLT_EXPORT_END
