#include "base/harden.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace vlt::base {

void hardenProcess() {
    const rlimit none{0, 0};
    (void)setrlimit(RLIMIT_CORE, &none);
    (void)prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace vlt::base
