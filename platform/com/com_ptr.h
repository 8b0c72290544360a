// One owned reference on a COM interface: released when the owner goes, so no path forgets it.
#pragma once

#include <memory>

#include "base/export.h"
#include "win32/objbase.h"

VLT_EXPORT_BEGIN

namespace vlt::com {

struct ReleaseReference {
    void operator()(IUnknown* object) const { object->Release(); }
};

// Adopts the reference it is made from (an out-parameter, a new object).
template <class T>
using ComPtr = std::unique_ptr<T, ReleaseReference>;

// Takes a reference of its own.
template <class T>
ComPtr<T> share(T* object) {
    if (object) object->AddRef();
    return ComPtr<T>(object);
}

}  // namespace vlt::com

VLT_EXPORT_END
