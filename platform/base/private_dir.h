// Folders that hold secrets or records others must not change (the hives, the unlock cache,
// the window sockets), proven to be ours before anything is read from or written to them.
// Nothing here follows a symbolic link: a folder or file that is one is refused.
#pragma once

#include <sys/types.h>

#include <string>

#include "base/export.h"
#include "base/result.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

enum class Privacy {
    // Owned by this user and closed to everyone else (mode 0700); our own folder is tightened.
    User,
    // The machine hive: written by the administrator, read by every user. Owned by root, or by
    // this user (a sandbox); nobody else may write in it (group/other write bits cleared when
    // it is ours, refused otherwise). A reader that is not the owner only checks.
    Machine,
};

struct PrivateDir {
    dev_t device = 0;
    ino_t inode = 0;
    uid_t owner = 0;
};

// Proves path to be a private folder: with create, made (parents too) with mode 0700 when
// missing. Failures name the folder and say why; their code is ERROR_ACCESS_DENIED, or
// ERROR_PATH_NOT_FOUND when the folder is missing and create is false.
Result<PrivateDir> ensurePrivateDir(const std::string& path, Privacy privacy = Privacy::User, bool create = true);

// A file in a folder ensurePrivateDir proved, before it is opened: missing is fine (false);
// else it must be a regular file, no link, owned by the folder's owner, and not writable by
// group or others unless it is ours (then it is tightened). Refusals are ERROR_ACCESS_DENIED.
Result<bool> checkFileInPrivateDir(const std::string& file);

}  // namespace vlt::base

VLT_EXPORT_END
