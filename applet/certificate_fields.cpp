#include "applet/certificate_fields.h"

#include "shared/certificate_record.h"
#include "shared/certificate_store.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"

namespace vlt::applet {

CertificateFields certificateFields(ByteView record) {
    Identity id = certificateIdentity(record);
    return {std::move(id.displayName), std::move(id.eMailId), std::move(id.street), std::move(id.city),
            std::move(id.state)};
}

std::optional<Bytes> readCardRecord(CardMode mode, const std::string& entryName) {
    if (mode == CardMode::Own) {
        RegistryKey profile;
        if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKeyUpper) != ERROR_SUCCESS) return std::nullopt;
        return readBinaryValue(profile, layout::kExchangeBlob1);
    }
    const auto value = readStoreEntry(
        mode == CardMode::PersonalStore ? CertificateStore::Personal : CertificateStore::System, entryName);
    if (!value) return std::nullopt;
    // A store entry: the algorithm word and the Enhanced record come before the Base record.
    auto entry = parseCertificateStoreEntry(*value);
    if (!entry) return std::nullopt;
    return std::move(entry->baseRecord);
}

OwnRecord readOwnRecord(CertificateFields& fields) {
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return OwnRecord::NoKey;
    const auto record = readBinaryValue(profile, layout::kExchangeBlob1);
    if (!record) return OwnRecord::NoValue;
    fields = certificateFields(*record);
    return OwnRecord::Read;
}

}  // namespace vlt::applet
