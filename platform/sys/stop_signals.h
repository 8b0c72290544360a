// SIGTERM, SIGHUP and SIGINT as the Cancel button of a running operation.
#pragma once

#include <atomic>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::sys {

// A library with a cancel flag names it here, with a test of whether an operation that polls
// the flag is running. Several may be registered (a program may link one copy and load another).
using RunningTest = bool (*)();
void addCancelTarget(std::atomic<int>* cancel, RunningTest running);
void removeCancelTarget(std::atomic<int>* cancel);

// Installs the handler: while a registered operation runs, the first of these signals sets its
// cancel flag and the operation stops as on Cancel; a second signal, or one while nothing
// runs, takes its default course.
void cancelOnStopSignals();
// True once such a signal cancelled an operation: the program then ends with status 1.
bool stopSignalled();

}  // namespace vlt::sys

VLT_EXPORT_END
