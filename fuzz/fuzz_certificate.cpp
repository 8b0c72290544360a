// Certificate records and certificate store entries: parsing never reads past the data, and
// whatever parses is built back to the bytes it was read from (bytes after the last field are
// ignored, as the original readers ignore them).
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "shared/certificate_record.h"

namespace {

bool isPrefixOf(const vlt::Bytes& built, vlt::ByteView input) {
    return built.size() <= input.size() && std::equal(built.begin(), built.end(), input.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vlt;
    const ByteView input(data, size);

    (void)certificateKeyBlob(input);
    (void)certificateDisplayName(input);
    if (auto record = parseCertificateRecord(input)) {
        if (!isPrefixOf(buildCertificateRecord(*record), input)) std::abort();
        // A whole record always has its name.
        if (!certificateDisplayName(input)) std::abort();
    }

    if (auto entry = parseCertificateStoreEntry(input)) {
        if (!isPrefixOf(buildCertificateStoreEntry(*entry), input)) std::abort();
        for (const Bytes* record : {&entry->enhancedRecord, &entry->baseRecord})
            if (auto parsed = parseCertificateRecord(*record))
                if (!isPrefixOf(buildCertificateRecord(*parsed), *record)) std::abort();
    }
    return 0;
}
