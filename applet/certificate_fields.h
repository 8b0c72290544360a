// What the personal page and the certificate card read from a certificate record: its identity
// strings, each as a text buffer of 260 characters holds it.
#pragma once

#include <optional>
#include <string>

#include "base/byte_codec.h"

namespace vlt::applet {

// The five identity strings, in record order.
struct CertificateFields {
    std::string name;
    std::string email;
    std::string street;
    std::string city;
    std::string state;
};

// After the key blob, the strings in order, each cut at a zero byte and to 259 characters. A
// string that runs past the record's end, and every one after it, stays empty: nothing is read
// beyond the value.
CertificateFields certificateFields(ByteView record);

// Where a card's record comes from: an entry of the personal store, of the system store, or
// the own profile's ExchangeBlob1.
enum class CardMode : int { PersonalStore = 0, SystemStore = 1, Own = 2 };

// The Base certificate record the card shows, or nothing when the key does not open or the
// value cannot be read. A store entry (modes 0 and 1) is unwrapped to its Base record; the
// system store is read with read access when full access is refused (only root may change it).
std::optional<Bytes> readCardRecord(CardMode mode, const std::string& entryName);

// What the personal page shows: ExchangeBlob1 of the Profile key, opened without creating.
enum class OwnRecord { NoKey, NoValue, Read };
OwnRecord readOwnRecord(CertificateFields& fields);

}  // namespace vlt::applet
