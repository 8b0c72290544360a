// Locked-file header and key block: reading never goes past the data, and a head that reads
// as well-formed is written back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "shared/locked_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vlt;
    MemorySource source(data, size);
    const LockedFileHead head = readLockedFileHead(source, size);
    if (head.status != HeadStatus::Ok) return 0;
    if (head.ciphertextOffset + head.ciphertextLength != size) std::abort();

    // The header-length and magic-length fields are read but not trusted; where they hold what
    // a writer puts there, the rebuilt head equals the input.
    auto rebuilt = buildHeader(head.header.sender, head.header.sourcePath, head.header.sourceName);
    const auto block = buildKeyBlock(head.keyBlock.algorithmWord, head.keyBlock.blob);
    rebuilt.insert(rebuilt.end(), block.begin(), block.end());
    if (rebuilt.size() != head.ciphertextOffset) std::abort();
    const bool canonical = data[0] == 1 && data[1] == 0 && std::memcmp(data + 2, rebuilt.data() + 2, 4) == 0 &&
                           data[6] == 14 && data[7] == 0 && data[8] == 0 && data[9] == 0;
    if (canonical && std::memcmp(rebuilt.data(), data, rebuilt.size()) != 0) std::abort();
    return 0;
}
