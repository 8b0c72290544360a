// Problems of the places the platform keeps its data (a damaged hive, no memory file system for
// the unlock cache) that the Windows calls above cannot carry in their result codes. Each
// distinct message is said once per process, on standard error unless a program routes it.
#pragma once

#include <functional>
#include <string>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

void noticeOnce(const std::string& message);

// Where notices go from now on (tests record them); an empty function restores standard error.
// The set of messages already said is forgotten.
void setNoticeSink(std::function<void(const std::string&)> sink);

}  // namespace vlt::base

VLT_EXPORT_END
