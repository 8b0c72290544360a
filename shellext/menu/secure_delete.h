// Secure delete: each selected file is overwritten twice, with 0x00 and then 0x31 ("1"), in
// 1000-byte blocks up to the next multiple of 1000 above its length, then removed.
#pragma once

#include <cstdint>
#include <string>

#include "shellext/workers.h"

namespace vlt::shellext {

inline constexpr std::size_t kShredBlock = 1000;

// Blocks one pass writes over a file of `size` bytes: size / 1000 + 1, so that a file whose
// length is a multiple of 1000 grows by one block.
constexpr std::uint64_t shredBlocks(std::uint64_t size) { return size / kShredBlock + 1; }

// Names the file system of path when overwriting in place cannot be trusted there
// (copy-on-write, log-structured, network, memory), else empty.
std::string untrustedFileSystem(const std::string& path);

RunReport runSecureDelete(const OperationRequest& request);

}  // namespace vlt::shellext
