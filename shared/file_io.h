// Whole-file reads for the profile-file readers, and whole-or-nothing writes for the writers.
#pragma once

#include <string>

#include "base/byte_codec.h"

namespace vlt {

enum class ReadOutcome { Ok, Empty, ShortRead, NoMemory };

// Takes the file's length, then reads that many bytes from the start.
ReadOutcome readWholeFile(int fd, Bytes& out);

// 1 when data was written to a temporary file beside path, synced and renamed over path with
// `mode`; 0 otherwise, with nothing left behind and an existing file at path untouched.
int writeAtomically(const std::string& path, ByteView data, unsigned mode);

}  // namespace vlt
