// The four algorithm lists of the settings page as data: what the installed providers offer for
// the user's profile, in the order the page adds them, with the value each entry stores.
#pragma once

#include <string>
#include <vector>

#include "win32/windef.h"

namespace vlt::applet {

struct AlgorithmEntry {
    std::string text;  // the provider's name, with "  [bits]" on encryption and hash entries
    DWORD data = 0;    // what is stored: an AlgorithmWord for encryption, else the ALG_ID
};

// A drop-down list without sorting: entries in the order added, one selection or none (-1).
struct AlgorithmList {
    std::vector<AlgorithmEntry> entries;
    int selection = -1;

    // CB_SETCURSEL: an index outside the list leaves it without a selection.
    void select(int index);
    // The current text, as the control shows it; empty without a selection.
    std::string text() const;
    // CB_FINDSTRINGEXACT from the start: the first entry whose text equals `text` (ASCII case
    // ignored), or -1.
    int findText(const std::string& text) const;
    // The first entry whose data equals `data`, or -1.
    int findData(DWORD data) const;
};

inline constexpr DWORD kNoSelection = 0xFFFFFFFF;  // CB_ERR, what a list without a selection stores

struct AlgorithmLists {
    AlgorithmList encrypt, hash, signature, exchange;
};

inline constexpr char kEnhancedMissingText[] = "Your profile has 128 bit support, but this machine does not support it";
inline constexpr char kDefaultCspErrorText[] = "Cryptographic Error using Default CSP";
// The key container that exists only while the algorithms are enumerated.
inline constexpr char kEnumerationContainer[] = "ExportVTC";

// Empties the lists, then fills them from the Enhanced provider (when the profile has
// ExchangeBlob3) and the Base provider (when it has ExchangeBlob1), and selects each list's
// first entry unless the Base enumeration ended in an error. The two provider messages are the
// applet's plain message boxes, owned by `owner`.
void fillAlgorithmLists(AlgorithmLists& lists, HWND owner);

}  // namespace vlt::applet
