// IUnknown and IClassFactory. Interfaces are abstract classes whose virtual functions are
// declared in the published slot order; with the Itanium C++ ABI that order is the vtable
// order, so an object made by one module can be called through these declarations in another.
// Destructors are protected and non-virtual: a virtual one would add vtable slots, and
// objects are destroyed by their own Release.
#pragma once

#include "base/export.h"
#include "win32/guiddef.h"
#include "win32/winerror.h"

VLT_EXPORT_BEGIN

#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT LockServer(BOOL fLock) = 0;

protected:
    ~IClassFactory() = default;
};
using LPCLASSFACTORY = IClassFactory*;

// {00000000-0000-0000-C000-000000000046}
extern const IID IID_IUnknown;
// {00000001-0000-0000-C000-000000000046}
extern const IID IID_IClassFactory;

VLT_EXPORT_END
