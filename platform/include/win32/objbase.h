// COM functions: GUID text, the task allocator, and in-process servers found through
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 (see com/inproc.h for the details and the
// C++ interface).
#pragma once

#include "base/export.h"
#include "win32/objidl.h"
#include "win32/unknwn.h"
#include "win32/winnls.h"

VLT_EXPORT_BEGIN

#ifndef REGDB_E_CLASSNOTREG
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#endif
#ifndef CO_E_DLLNOTFOUND
#define CO_E_DLLNOTFOUND ((HRESULT)0x8004015FL)
#endif
#ifndef CO_E_ERRORINDLL
#define CO_E_ERRORINDLL ((HRESULT)0x800401F9L)
#endif
#ifndef CO_E_CLASSSTRING
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3L)
#endif
#ifndef NOERROR
#define NOERROR 0
#endif

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal, in a string from the task
// allocator (free it with CoTaskMemFree or IMalloc::Free).
HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
// Writes the same text into lpsz; returns the characters written with the terminator
// (39), or 0 when cchMax is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Parses the braced form (either case). CO_E_CLASSSTRING for anything else; program
// identifiers are not looked up.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid);

// dwMemContext must be MEMCTX_TASK (1); E_INVALIDARG otherwise.
HRESULT CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc);
LPVOID CoTaskMemAlloc(SIZE_T cb);
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void CoTaskMemFree(LPVOID pv);

// In-process servers only (CLSCTX_INPROC_SERVER); REGDB_E_CLASSNOTREG for other contexts.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);

// The exports of an in-process server, looked up by these names.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using LPFNCANUNLOADNOW = HRESULT (*)();
using LPFNREGISTERSERVER = HRESULT (*)();

VLT_EXPORT_END
