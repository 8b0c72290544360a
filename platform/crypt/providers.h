// Linux-side controls of the CryptoAPI emulation that have no Win32 counterpart.
#pragma once

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::crypt {

// RSA key-exchange pairs generated without an explicit length: 1024 bits in the Base provider
// (its maximum) and 3072 bits in the Enhanced provider. Tests may lower them to save time;
// 0 restores the default.
void setDefaultExchangeKeyBitsForTesting(unsigned baseBits, unsigned enhancedBits);

// Deletes every key container of the process (wiping the keys) and every open handle.
void resetForTesting();

}  // namespace vlt::crypt

VLT_EXPORT_END
