// Window entry files (written by other processes of the user) and window-socket frames:
// parsing never reads past the data, and whatever parses is written back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ipc/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vlt::ipc::wire;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto entry = parseEntry(text)) {
        if (formatEntry(*entry) != text) std::abort();
    }
    if (size >= kRequestSize) {
        if (auto request = decodeRequest(data)) {
            const auto bytes = encode(*request);
            // Bytes 26-31 are padding and not read back.
            for (std::size_t i = 0; i < kRequestSize; ++i)
                if ((i < 26 || i >= 32) && bytes[i] != data[i]) std::abort();
        }
    }
    if (size >= kReplySize) {
        if (auto reply = decodeReply(data)) {
            const auto bytes = encode(*reply);
            for (std::size_t i = 0; i < kReplySize; ++i)
                if (bytes[i] != data[i]) std::abort();
        }
    }
    return 0;
}
