// The certificate record (public key blob and five identity strings) and the certificate
// store entry (algorithm word and both records), as stored in the registry and in profile files.
#pragma once

#include <string>

#include "base/byte_codec.h"
#include "base/result.h"
#include "shared/algorithm_word.h"

namespace vlt {

// The five identity strings, as bytes in the ANSI code page.
struct Identity {
    std::string displayName;  // wizard field "Display Name"
    std::string eMailId;      // "E - Mail ID"
    std::string street;
    std::string city;
    std::string state;
};

// key length, PUBLICKEYBLOB, then each identity string as a 32-bit length and its bytes. The
// record is written exactly that long; readers take the fields in order and ignore what follows.
struct CertificateRecord {
    Bytes keyBlob;
    Identity identity;
};

Result<CertificateRecord> parseCertificateRecord(ByteView bytes);
Bytes buildCertificateRecord(const CertificateRecord& record);
// Just the leading key blob, for importing the public key.
Result<ByteView> certificateKeyBlob(ByteView record);
// The DisplayName as a C buffer of bufferSize characters holds it: at most bufferSize - 1
// bytes, ending early at a zero byte. Needs only the fields up to the name.
Result<std::string> certificateDisplayName(ByteView record, std::size_t bufferSize = MAX_PATH);
// The identity strings after the key blob, each as a C buffer of bufferSize characters holds
// it. A string that runs past the record's end, and every one after it, stays empty.
Identity certificateIdentity(ByteView record, std::size_t bufferSize = MAX_PATH);

// AlgorithmWord, then the Enhanced record and the Base record, each after its 32-bit length
// (0 when absent; an absent record is an empty vector here).
struct CertificateStoreEntry {
    AlgorithmWord algorithm = 0;
    Bytes enhancedRecord;
    Bytes baseRecord;
};

// Refuses lengths that run past the end; bytes after the Base record are ignored, as every
// reader of an entry ignores them. The records inside are not parsed; see parseCertificateRecord.
Result<CertificateStoreEntry> parseCertificateStoreEntry(ByteView bytes);
Bytes buildCertificateStoreEntry(const CertificateStoreEntry& entry);

}  // namespace vlt
