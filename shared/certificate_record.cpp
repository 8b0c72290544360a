#include "shared/certificate_record.h"

namespace vlt {

Result<CertificateRecord> parseCertificateRecord(ByteView bytes) {
    ByteReader in(bytes);
    CertificateRecord record;
    if (!in.block(record.keyBlob)) return fail("certificate record: key blob runs past the end", ERROR_INVALID_DATA);
    Identity& id = record.identity;
    for (std::string* field : {&id.displayName, &id.eMailId, &id.street, &id.city, &id.state})
        if (!in.block(*field)) return fail("certificate record: identity string runs past the end", ERROR_INVALID_DATA);
    return record;
}

Bytes buildCertificateRecord(const CertificateRecord& record) {
    const Identity& id = record.identity;
    Bytes out;
    out.reserve(24 + record.keyBlob.size() + id.displayName.size() + id.eMailId.size() + id.street.size() +
                id.city.size() + id.state.size());
    appendBlock(out, record.keyBlob);
    for (const std::string* field : {&id.displayName, &id.eMailId, &id.street, &id.city, &id.state})
        appendBlock(out, asBytes(*field));
    return out;
}

Result<ByteView> certificateKeyBlob(ByteView record) {
    ByteReader in(record);
    ByteView blob;
    if (!in.block(blob)) return fail("certificate record: key blob runs past the end", ERROR_INVALID_DATA);
    return blob;
}

Result<std::string> certificateDisplayName(ByteView record, std::size_t bufferSize) {
    ByteReader in(record);
    ByteView blob;
    ByteView name;
    if (!in.block(blob)) return fail("certificate record: key blob runs past the end", ERROR_INVALID_DATA);
    if (!in.block(name)) return fail("certificate record: display name runs past the end", ERROR_INVALID_DATA);
    return cText(name, bufferSize);
}

Identity certificateIdentity(ByteView record, std::size_t bufferSize) {
    Identity id;
    ByteReader in(record);
    ByteView blob;
    if (!in.block(blob)) return id;
    for (std::string* field : {&id.displayName, &id.eMailId, &id.street, &id.city, &id.state}) {
        ByteView text;
        if (!in.block(text)) break;
        *field = cText(text, bufferSize);
    }
    return id;
}

Result<CertificateStoreEntry> parseCertificateStoreEntry(ByteView bytes) {
    ByteReader in(bytes);
    CertificateStoreEntry entry;
    if (!in.u32(entry.algorithm)) return fail("store entry: no algorithm word", ERROR_INVALID_DATA);
    if (!in.block(entry.enhancedRecord))
        return fail("store entry: Enhanced record runs past the end", ERROR_INVALID_DATA);
    if (!in.block(entry.baseRecord)) return fail("store entry: Base record runs past the end", ERROR_INVALID_DATA);
    return entry;
}

Bytes buildCertificateStoreEntry(const CertificateStoreEntry& entry) {
    Bytes out;
    out.reserve(12 + entry.enhancedRecord.size() + entry.baseRecord.size());
    appendU32(out, entry.algorithm);
    appendBlock(out, entry.enhancedRecord);
    appendBlock(out, entry.baseRecord);
    return out;
}

}  // namespace vlt
