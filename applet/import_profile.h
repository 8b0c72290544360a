// ImportProfile: a profile handed over in memory, written into the Profile key. No deliverable
// of the suite calls it; the framing of the block is ours (docs/import-profile.md).
#pragma once

#include <cstddef>

#include "win32/windef.h"

namespace vlt::applet {

// Neither record may claim more than this; a longer one is taken for a damaged block.
inline constexpr std::size_t kMaxImportRecord = 64 * 1024;

// 1 when ExchangeBlob2 (the first record) and ExchangeBlob1 (the second) were both written, 0
// otherwise with the Profile key as it was. Shows nothing.
int importProfile(const BYTE* block);

}  // namespace vlt::applet
