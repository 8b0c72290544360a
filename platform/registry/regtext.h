// .reg text files: "REGEDIT4" and "Windows Registry Editor Version 5.00".
//
// Reading accepts UTF-16LE with a byte-order mark, UTF-8 with or without one, and ANSI for
// REGEDIT4 without a mark; CRLF or LF; "; comments"; sections [ROOT\path] and [-ROOT\path]
// (ROOT is HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT or HKCU, HKLM, HKCR);
// entries "name"=... and @=... with "strings" (escapes \\ and \"), dword:xxxxxxxx, hex:...,
// hex(N):... (N the type in hex), continuation lines ending in a backslash, and "name"=-.
// Text from a Unicode file is converted to the ANSI code page; a character the code page
// cannot hold is refused with the line it is on. In a version 5 file the data of hex(1),
// hex(2) and hex(7) (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is UTF-16LE, as regedit writes it,
// and is converted too.
//
// Entries hold what the A functions see: ANSI names and data bytes exactly as
// RegQueryValueExA returns them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/export.h"
#include "base/result.h"
#include "win32/winreg.h"

VLT_EXPORT_BEGIN

namespace vlt::registry {

enum class RegTextFormat {
    Regedit4,      // "REGEDIT4": ANSI, CRLF
    Version5Utf16, // "Windows Registry Editor Version 5.00": UTF-16LE with BOM, CRLF (as regedit writes)
    Version5Utf8,  // the same text as UTF-8 without BOM and with LF: for a terminal
};

struct RegTextValue {
    std::string name;     // ANSI; empty for the default value (@)
    bool remove = false;  // "name"=-
    DWORD type = REG_NONE;
    std::string data;     // bytes as stored
    unsigned line = 0;    // first line of the entry in its file; 0 when not read from a file

    // Compares what the entry says, not where it was.
    bool operator==(const RegTextValue& o) const {
        return name == o.name && remove == o.remove && type == o.type && data == o.data;
    }
};

// One section of a file: a key to create (then its values) or a key tree to delete.
struct RegTextEntry {
    HKEY root = HKEY_CURRENT_USER;  // HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT
    std::string path;               // ANSI, components separated by '\'; empty for the root itself
    bool removeKey = false;         // [-ROOT\path]; such a section has no values
    std::vector<RegTextValue> values;
    unsigned line = 0;

    bool operator==(const RegTextEntry& o) const {
        return root == o.root && path == o.path && removeKey == o.removeKey && values == o.values;
    }
};

// Parses a whole file; nothing is returned when any line is malformed (the message names it).
// Strings are converted to codePage; the one-argument form uses activeCodePage().
Result<std::vector<RegTextEntry>> parseRegText(std::string_view bytes);
Result<std::vector<RegTextEntry>> parseRegText(std::string_view bytes, unsigned codePage);

// Writes entries as a file. Fails when a name or string cannot be written in the format (a
// line break in a name; a byte the code page leaves undefined in a Unicode format).
// REG_SZ data that is text plus one terminator is written as a string, anything else as hex.
Result<std::string> formatRegText(const std::vector<RegTextEntry>& entries, RegTextFormat format);
Result<std::string> formatRegText(const std::vector<RegTextEntry>& entries, RegTextFormat format,
                                  unsigned codePage);

// Applies parsed entries to the hives in order. Every hive named must be writable before
// anything is changed. Deleting a key deletes its tree; deleting what does not exist is no
// error. Errors name the line of the entry and carry the Win32 code.
Result<void> applyRegText(const std::vector<RegTextEntry>& entries);
// parseRegText, then applyRegText: a malformed file changes nothing.
Result<void> importRegText(std::string_view bytes);

// "HKEY_CURRENT_USER\\Software\\..." (or HKCU, HKLM, HKCR, any case) to the predefined root and
// the path below it (empty for the root itself; trailing backslashes dropped). ERROR_BADKEY for
// another root, ERROR_BAD_PATHNAME for an empty component.
Result<std::pair<HKEY, std::string>> splitRootPath(std::string_view rootAndPath);

// The key (its values, volatile ones included) and its subkeys, recursively, in enumeration
// order, as one section each. keyPath empty: the root itself.
Result<std::vector<RegTextEntry>> readRegTree(HKEY root, const std::string& keyPath);
Result<std::string> exportRegText(HKEY root, const std::string& keyPath, RegTextFormat format);

}  // namespace vlt::registry

VLT_EXPORT_END
