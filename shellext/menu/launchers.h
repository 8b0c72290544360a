// Starting the file work: a worker thread created suspended, resumed by the progress dialog,
// which the invoking thread shows modally until the worker closes it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "com/com_ptr.h"
#include "shellext/process_state.h"
#include "shellext/workers.h"
#include "win32/objbase.h"

namespace vlt::shellext {

enum class WorkerKind { Lock, Unlock, SecureDelete };

// A request together with the reference on the context-menu handler that keeps the selection
// alive and the command's busy flag; the worker frees all three at its end.
struct MenuRequest {
    OperationRequest request;
    com::ComPtr<IUnknown> handler;
    BusyGuard busy;
};

// The grant dialog's creation parameter: the command's request, which the dialog hands to the
// worker or drops, and how the command ended (cancelled unless a lock ran).
struct GrantInvocation {
    std::unique_ptr<MenuRequest> request;
    RunResult result = RunResult::Cancelled;
};

// A request for the selection, holding its own reference on the handler.
std::unique_ptr<MenuRequest> makeRequest(IUnknown* handler, const std::vector<std::string>& selection, HWND owner,
                                         BusyGuard busy);

// Returns when the progress dialog has closed and the worker has ended, with the run's result.
RunResult runBehindProgressDialog(std::unique_ptr<MenuRequest> request, WorkerKind kind);

// The three launchers of the context menu.
RunResult launch(WorkerKind kind, std::unique_ptr<MenuRequest> request);

}  // namespace vlt::shellext
