// Backup and profile (certificate) files: parsing never reads past the data, and whatever
// parses is written back to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "shared/backup_file.h"
#include "shared/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vlt;
    const ByteView input(data, size);
    const Bytes original(input.begin(), input.end());

    if (auto backup = parseBackupFile(input)) {
        if (buildBackupFile(*backup) != original) std::abort();
        // A store can only be missing at the end.
        if (!backup->personalStore && backup->systemStore) std::abort();
        for (const auto* store : {&backup->personalStore, &backup->systemStore})
            if (*store)
                for (const auto& item : **store)
                    if (storeItemValueName(item).size() > 259) std::abort();
    }

    if (auto profile = parseProfileFile(input)) {
        // Bytes after the last record are ignored as the original reader ignores them: what is
        // written back is the file up to there.
        const Bytes rebuilt = buildProfileFile(profile->entry);
        if (rebuilt.size() > original.size() || !std::equal(rebuilt.begin(), rebuilt.end(), original.begin()))
            std::abort();
        if (profile->entryBytes != Bytes(original.begin() + 8, original.end())) std::abort();
        if (profile->displayName.size() > 259) std::abort();
    }
    return 0;
}
