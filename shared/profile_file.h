// The profile (certificate) file (".Vtp"): the common header followed by the owner's
// CertificateStoreEntry, which is what another person's store keeps.
#pragma once

#include <optional>
#include <string>

#include "base/byte_codec.h"
#include "base/result.h"
#include "shared/certificate_record.h"
#include "win32/windef.h"

namespace vlt {

struct ProfileFileContents {
    std::string displayName;  // the store item's name: the Base record's DisplayName, at most 259 characters
    Bytes entryBytes;         // the file from offset 8 to its end, stored unchanged
    CertificateStoreEntry entry;
};

// Parses a whole profile file. Beyond the header comes a store entry whose present records are
// whole certificate records, the Base one present (the name comes from it); bytes after it are
// kept in entryBytes and otherwise ignored, as the original did. Error::code is a FileProblem.
Result<ProfileFileContents> parseProfileFile(ByteView file);
Bytes buildProfileFile(const CertificateStoreEntry& entry);

// Collects the owner's store entry: the Settings key's Encrypt (0 when the key can be neither
// opened nor created), ExchangeBlob3 and ExchangeBlob1. Fails when Encrypt is missing, and when
// ExchangeBlob1 cannot be read: no reader can take a file without the Base record.
Result<CertificateStoreEntry> collectOwnStoreEntry();

// 1 written completely and renamed into place; 0 when the path is empty, the entry cannot be
// collected or the file cannot be written, leaving nothing behind. Shows no message.
int writeProfileFile(const std::string& path);

enum class StorePage { Personal, System };

// Checks a profile file chosen in a store page's import. On failure shows "File open error...",
// the page's wrong-file text ("Please check, the selected file is not a VLT Profile..." on the
// personal page, "...not a VLT File..." on the system page; also for a body that does not fit)
// or "Incorrect version...", with caption "VLT Status Report" (personal) or
// "VLT Emergency Report" (system) and MB_ICONEXCLAMATION, owned by `owner`.
std::optional<ProfileFileContents> readProfileFile(ByteView file, StorePage page, HWND owner);
std::optional<ProfileFileContents> readProfileFile(int fd, StorePage page, HWND owner);

}  // namespace vlt
