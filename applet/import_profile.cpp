#include "applet/import_profile.h"

#include "base/byte_codec.h"
#include "shared/file_header.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"

namespace vlt::applet {
namespace {

// The block carries no total length: each record is read from its own count, which must be sane
// before a byte past it is touched.
bool takeRecord(const BYTE*& cursor, ByteView& record) {
    const auto length = loadLE<std::uint32_t>(cursor);
    if (length > kMaxImportRecord) return false;
    record = ByteView(cursor + 4, length);
    cursor += 4 + length;
    return true;
}

}  // namespace

int importProfile(const BYTE* block) {
    if (block == nullptr) return 0;
    if (loadLE<std::uint32_t>(block) != kFileMagic) return 0;
    if (loadLE<std::uint32_t>(block + 4) != kFileVersion) return 0;
    const BYTE* cursor = block + 8;
    ByteView wrappedKey;
    ByteView record;
    if (!takeRecord(cursor, wrappedKey) || !takeRecord(cursor, record)) return 0;

    // A wrapped key beside another pair's certificate would lock files nobody can open: both
    // values change together or neither does.
    RegistryTransaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return 0;
    RegistryKey profile;
    if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return 0;
    if (setBinaryValue(profile.Handle(), layout::kExchangeBlob2, wrappedKey) != ERROR_SUCCESS) return 0;
    if (setBinaryValue(profile.Handle(), layout::kExchangeBlob1, record) != ERROR_SUCCESS) return 0;
    profile.Close();
    return transaction.Commit() == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace vlt::applet
