// One call, first thing in every program that holds a password or a plain private key.
#pragma once

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

// No core dump and no ptrace by other processes of the user: PR_SET_DUMPABLE 0 and a core
// size limit of 0. Failures are ignored; there is nothing better to do than go on.
void hardenProcess();

}  // namespace vlt::base

VLT_EXPORT_END
