// Inside the COM layer: reading global blocks.
#pragma once

#include <cstddef>

namespace vlt::com {

// The data and size of a global block given by its handle or, for a moveable block, by its
// locked data. false when the value is neither.
bool globalBlock(const void* handleOrData, const unsigned char** data, std::size_t* size);

}  // namespace vlt::com
