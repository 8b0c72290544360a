// A data object for hosts that hand a selection of files to a shell extension, and the
// reading of CF_HDROP blocks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/export.h"
#include "win32/objidl.h"
#include "win32/shellapi.h"

VLT_EXPORT_BEGIN

namespace vlt::com {

// An IDataObject (reference count 1; the caller releases it) that answers GetData and
// QueryGetData for CF_HDROP, DVASPECT_CONTENT, lindex -1, TYMED_HGLOBAL with a fresh moveable
// block per call: DROPFILES (fWide FALSE) and the paths in the given order, each terminated,
// then an empty name. The medium belongs to the caller (pUnkForRelease NULL; free it with
// ReleaseStgMedium). Paths are stored as the bytes given: on this platform the "ANSI" file
// name is the file system's name. nullptr when a path is empty or contains a NUL byte, which
// the list cannot carry.
IDataObject* makeFileListDataObject(std::vector<std::string> paths);

// The names in a CF_HDROP block (handle or locked data), wide names converted to UTF-8.
// nullopt when the value is not a global block or the block is not a valid list.
std::optional<std::vector<std::string>> readFileList(const void* hdrop);

}  // namespace vlt::com

VLT_EXPORT_END
