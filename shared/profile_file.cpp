#include "shared/profile_file.h"

#include "shared/file_header.h"
#include "shared/file_io.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/winuser.h"

namespace vlt {
namespace {

void report(StorePage page, HWND owner, const char* text) {
    MessageBoxA(owner, text, page == StorePage::Personal ? kStatusCaption : kEmergencyCaption, MB_ICONEXCLAMATION);
}

}  // namespace

Result<ProfileFileContents> parseProfileFile(ByteView file) {
    ByteReader in(file);
    if (auto header = readFileHeader(in); !header) return header.error();
    const ByteView body = file.subspan(in.position());
    auto entry = parseCertificateStoreEntry(body);
    if (!entry) return fileProblem(FileProblem::Malformed, entry.error().message);
    if (entry->baseRecord.empty()) return fileProblem(FileProblem::Malformed, "no Base certificate record");
    for (const Bytes* record : {&entry->enhancedRecord, &entry->baseRecord}) {
        if (record->empty()) continue;
        if (auto parsed = parseCertificateRecord(*record); !parsed)
            return fileProblem(FileProblem::Malformed, parsed.error().message);
    }
    auto name = certificateDisplayName(entry->baseRecord, MAX_PATH);
    if (!name) return fileProblem(FileProblem::Malformed, name.error().message);
    ProfileFileContents contents;
    contents.displayName = std::move(*name);
    contents.entryBytes.assign(body.begin(), body.end());
    contents.entry = std::move(*entry);
    return contents;
}

Bytes buildProfileFile(const CertificateStoreEntry& entry) {
    Bytes out;
    appendFileHeader(out);
    appendBytes(out, buildCertificateStoreEntry(entry));
    return out;
}

Result<CertificateStoreEntry> collectOwnStoreEntry() {
    CertificateStoreEntry entry;
    {
        RegistryKey settings;
        if (settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey) == ERROR_SUCCESS) {
            if (const LONG r = settings.QueryDword(entry.algorithm, layout::kEncrypt); r != ERROR_SUCCESS)
                return fail("no Encrypt setting", static_cast<std::uint32_t>(r));
        }
    }
    RegistryKey profile;
    if (const LONG r = profile.Create(HKEY_CURRENT_USER, layout::kProfileKey); r != ERROR_SUCCESS)
        return fail("the Profile key cannot be opened", static_cast<std::uint32_t>(r));
    if (auto v = readBinaryValue(profile, layout::kExchangeBlob3)) entry.enhancedRecord = std::move(*v);
    auto base = readBinaryValue(profile, layout::kExchangeBlob1);
    if (!base || base->empty()) return fail("no Base certificate record", ERROR_FILE_NOT_FOUND);
    entry.baseRecord = std::move(*base);
    return entry;
}

int writeProfileFile(const std::string& path) {
    if (path.empty()) return 0;
    auto entry = collectOwnStoreEntry();
    if (!entry) return 0;
    // Made to be handed to other people.
    return writeAtomically(path, buildProfileFile(*entry), 0644);
}

std::optional<ProfileFileContents> readProfileFile(ByteView file, StorePage page, HWND owner) {
    auto contents = parseProfileFile(file);
    if (contents) return std::move(*contents);
    switch (problemOf(contents.error())) {
        case FileProblem::Empty: report(page, owner, kFileOpenErrorText); break;
        case FileProblem::BadVersion: report(page, owner, kIncorrectVersionText); break;
        default: report(page, owner, page == StorePage::Personal ? kNotVltProfileText : kNotVltFileText); break;
    }
    return std::nullopt;
}

std::optional<ProfileFileContents> readProfileFile(int fd, StorePage page, HWND owner) {
    Bytes file;
    switch (readWholeFile(fd, file)) {
        case ReadOutcome::Ok: break;
        case ReadOutcome::NoMemory: return std::nullopt;
        default: report(page, owner, kFileOpenErrorText); return std::nullopt;
    }
    return readProfileFile(file, page, owner);
}

}  // namespace vlt
