// Starting the file work: a worker thread created suspended, resumed by the progress dialog,
// which the invoking thread shows modally until the worker closes it.
#pragma once

#include <string>
#include <vector>

#include "shellext/workers.h"
#include "win32/objbase.h"

namespace vlt::shellext {

enum class WorkerKind { Lock, Unlock, SecureDelete };

// A request together with the reference on the context-menu handler that keeps the selection
// alive; the worker releases both at its end.
struct MenuRequest {
    OperationRequest request;
    IUnknown* handler = nullptr;
};

// Takes ownership of the request. Returns when the progress dialog has closed and the worker
// has ended.
void runBehindProgressDialog(MenuRequest* request, WorkerKind kind);

// The three launchers of the context menu: each takes its own reference on the handler.
void launch(WorkerKind kind, IUnknown* handler, const std::vector<std::string>& selection, HWND owner);

}  // namespace vlt::shellext
