#include "base/wipe.h"

#include <cstring>

namespace vlt::base {

void secureWipe(void* data, std::size_t size) {
    if (data == nullptr || size == 0) return;
    // explicit_bzero is glibc's guaranteed-not-elided clear.
    explicit_bzero(data, size);
}

}  // namespace vlt::base
