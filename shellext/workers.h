// The lock and unlock runs over a selection of files, with the messages the user sees.
#pragma once

#include <string>
#include <vector>

#include "shellext/progress.h"
#include "win32/windef.h"

namespace vlt::shellext {

// What a worker is given.
struct OperationRequest {
    std::vector<std::string> selection;  // full paths, walked from the front
    HWND owner = nullptr;
    std::string recipient;  // empty: lock for oneself, or unlock
    DWORD storeFlag = 1;    // 1 personal store, 0 system store (with a recipient only)
};

struct RunReport {
    std::size_t done = 0;      // files whose output was written
    std::size_t notDone = 0;   // files skipped, refused, failed, or never reached
    bool cancelled = false;
    bool allDone() const { return notDone == 0 && !cancelled; }
    RunResult result() const {
        return cancelled ? RunResult::Cancelled : notDone == 0 ? RunResult::Done : RunResult::Failed;
    }
};

// Each run closes the progress view with its result when it ends.
// Lock for oneself, or grant when the request names a recipient.
RunReport runLock(const OperationRequest& request);
RunReport runUnlock(const OperationRequest& request);

}  // namespace vlt::shellext
