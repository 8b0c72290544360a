// .reg text: whatever parses must write out and read back to the same entries, and writing
// what was read back must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "registry/regtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vlt::registry;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    auto entries = parseRegText(input, 1252);
    if (!entries) return 0;
    for (auto format : {RegTextFormat::Regedit4, RegTextFormat::Version5Utf16, RegTextFormat::Version5Utf8}) {
        auto text = formatRegText(*entries, format, 1252);
        if (!text) continue;  // e.g. an undefined ANSI byte has no Unicode spelling
        auto again = parseRegText(*text, 1252);
        if (!again || !(*again == *entries)) std::abort();
        auto text2 = formatRegText(*again, format, 1252);
        if (!text2 || *text2 != *text) std::abort();
    }
    return 0;
}
