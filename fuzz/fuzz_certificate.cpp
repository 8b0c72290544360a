// Certificate records and certificate store entries: parsing never reads past the data, and
// whatever parses is built back to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "shared/certificate_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vlt;
    const ByteView input(data, size);

    (void)certificateKeyBlob(input);
    (void)certificateDisplayName(input);
    if (auto record = parseCertificateRecord(input)) {
        if (buildCertificateRecord(*record) != Bytes(input.begin(), input.end())) std::abort();
        // A whole record always has its name.
        if (!certificateDisplayName(input)) std::abort();
    }

    if (auto entry = parseCertificateStoreEntry(input)) {
        if (buildCertificateStoreEntry(*entry) != Bytes(input.begin(), input.end())) std::abort();
        for (const Bytes* record : {&entry->enhancedRecord, &entry->baseRecord})
            if (auto parsed = parseCertificateRecord(*record))
                if (buildCertificateRecord(*parsed) != *record) std::abort();
    }
    return 0;
}
