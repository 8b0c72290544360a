// The task allocator, data transfer (FORMATETC, STGMEDIUM, IDataObject) and the global memory
// blocks that carry the data.
#pragma once

#include "base/export.h"
#include "win32/unknwn.h"
#include "win32/winnls.h"

VLT_EXPORT_BEGIN

// ---- Global memory ------------------------------------------------------------------------
// A block records its size and kind in front of its data, so a block made by one module can be
// read and freed by another that carries its own copy of this layer. GMEM_FIXED blocks are
// their own data pointer; GMEM_MOVEABLE handles are distinct and must be locked. Blocks never
// move.

struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_SHARE 0x2000
#define GMEM_DDESHARE GMEM_SHARE
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

#ifndef ERROR_NOT_LOCKED
#define ERROR_NOT_LOCKED 158L
#endif

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
// The data of the block, or NULL (ERROR_INVALID_HANDLE). Moveable blocks count their locks.
LPVOID GlobalLock(HGLOBAL hMem);
// Moveable: nonzero while still locked; 0 with NO_ERROR when the last lock went, 0 with
// ERROR_NOT_LOCKED when it was not locked. Fixed: TRUE.
BOOL GlobalUnlock(HGLOBAL hMem);
// NULL on success, else hMem (ERROR_INVALID_HANDLE).
HGLOBAL GlobalFree(HGLOBAL hMem);
// The size asked for at allocation; 0 for an invalid handle.
SIZE_T GlobalSize(HGLOBAL hMem);

// ---- Task allocator ---------------------------------------------------------------------

struct IMalloc : IUnknown {
    virtual void* Alloc(SIZE_T cb) = 0;
    virtual void* Realloc(void* pv, SIZE_T cb) = 0;
    virtual void Free(void* pv) = 0;
    virtual SIZE_T GetSize(void* pv) = 0;
    // Always -1 ("cannot tell"): a block does not say which allocator made it.
    virtual int DidAlloc(void* pv) = 0;
    virtual void HeapMinimize() = 0;

protected:
    ~IMalloc() = default;
};
using LPMALLOC = IMalloc*;

#define MEMCTX_TASK 1

// ---- Data transfer ----------------------------------------------------------------------

using CLIPFORMAT = WORD;

#ifndef CF_HDROP
#define CF_HDROP 15
#endif

enum tagDVASPECT : DWORD {
    DVASPECT_CONTENT = 1,
    DVASPECT_THUMBNAIL = 2,
    DVASPECT_ICON = 4,
    DVASPECT_DOCPRINT = 8,
};

enum tagTYMED : DWORD {
    TYMED_NULL = 0,
    TYMED_HGLOBAL = 1,
    TYMED_FILE = 2,
    TYMED_ISTREAM = 4,
    TYMED_ISTORAGE = 8,
    TYMED_GDI = 16,
    TYMED_MFPICT = 32,
    TYMED_ENHMF = 64,
};

struct DVTARGETDEVICE;

struct FORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};
using LPFORMATETC = FORMATETC*;

struct IStream;
struct IStorage;

struct STGMEDIUM {
    DWORD tymed;
    union {
        HGLOBAL hGlobal;
        LPOLESTR lpszFileName;
        IStream* pstm;
        IStorage* pstg;
    };
    IUnknown* pUnkForRelease;
};
using LPSTGMEDIUM = STGMEDIUM*;

// Frees what the medium holds: through pUnkForRelease->Release() when set, else the global
// block (TYMED_HGLOBAL). Other media are not supported and are left alone. The medium is set to
// TYMED_NULL afterwards, so a second call does nothing.
void ReleaseStgMedium(LPSTGMEDIUM pmedium);

struct IEnumFORMATETC;
struct IAdviseSink;
struct IEnumSTATDATA;

#define DATADIR_GET 1
#define DATADIR_SET 2

#define DV_E_FORMATETC ((HRESULT)0x80040064L)
#define DV_E_LINDEX ((HRESULT)0x80040068L)
#define DV_E_TYMED ((HRESULT)0x80040069L)
#define DV_E_DVASPECT ((HRESULT)0x8004006BL)
#define OLE_E_ADVISENOTSUPPORTED ((HRESULT)0x80040003L)
#define DATA_S_SAMEFORMATETC ((HRESULT)0x00040130L)

struct IDataObject : IUnknown {
    virtual HRESULT GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) = 0;
    virtual HRESULT GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) = 0;
    virtual HRESULT QueryGetData(FORMATETC* pformatetc) = 0;
    virtual HRESULT GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) = 0;
    virtual HRESULT SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) = 0;
    virtual HRESULT EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) = 0;
    virtual HRESULT DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) = 0;
    virtual HRESULT DUnadvise(DWORD dwConnection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA** ppenumAdvise) = 0;

protected:
    ~IDataObject() = default;
};
using LPDATAOBJECT = IDataObject*;

// {0000010e-0000-0000-C000-000000000046}
extern const IID IID_IDataObject;
// {00000002-0000-0000-C000-000000000046}
extern const IID IID_IMalloc;

VLT_EXPORT_END
