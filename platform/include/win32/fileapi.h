// File attributes (platform/shell).
#pragma once

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winerror.h"

VLT_EXPORT_BEGIN

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif

// Attributes of what the path names, following symbolic links: DIRECTORY for a directory,
// READONLY when nobody (or not this process) may write it, REPARSE_POINT added when the path
// itself is a symbolic link, NORMAL when none of these apply. INVALID_FILE_ATTRIBUTES with
// ERROR_FILE_NOT_FOUND (the name is missing in an existing folder), ERROR_PATH_NOT_FOUND (the
// folder is missing or not a folder) or ERROR_ACCESS_DENIED.
DWORD GetFileAttributesA(LPCSTR lpFileName);

VLT_EXPORT_END
