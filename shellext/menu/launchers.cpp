#include "shellext/menu/launchers.h"

#include "shellext/menu/dialogs.h"
#include "shellext/menu/secure_delete.h"
#include "shellext/process_state.h"
#include "win32/winbase.h"

namespace vlt::shellext {
namespace {

struct Job {
    MenuRequest* request;
    WorkerKind kind;
};

DWORD workerMain(LPVOID parameter) {
    auto* job = static_cast<Job*>(parameter);
    MenuRequest* r = job->request;
    switch (job->kind) {
        case WorkerKind::Lock: (void)runLock(r->request); break;
        case WorkerKind::Unlock: (void)runUnlock(r->request); break;
        case WorkerKind::SecureDelete: (void)runSecureDelete(r->request); break;
    }
    if (r->handler) r->handler->Release();
    g_busy.store(0);
    delete r;
    delete job;
    return 0;
}

ProgressKind progressKindOf(WorkerKind kind) {
    switch (kind) {
        case WorkerKind::Lock: return ProgressKind::Lock;
        case WorkerKind::Unlock: return ProgressKind::Unlock;
        case WorkerKind::SecureDelete: return ProgressKind::SecureDelete;
    }
    return ProgressKind::Lock;
}

}  // namespace

void runBehindProgressDialog(MenuRequest* request, WorkerKind kind) {
    const HWND owner = request->request.owner;
    auto* job = new Job{request, kind};
    HANDLE thread = CreateThread(nullptr, 0, workerMain, job, CREATE_SUSPENDED, nullptr);
    if (thread == nullptr) {
        if (request->handler) request->handler->Release();
        delete request;
        delete job;
        g_busy.store(0);
        return;
    }
    setProgressKind(progressKindOf(kind));
    const INT_PTR shown = DialogBoxParamA(resourceModule(), MAKEINTRESOURCEA(kProgressDialog), owner,
                                          progressDialogProc, reinterpret_cast<LPARAM>(thread));
    // Without its dialog the worker would never be resumed; run it now rather than leak it.
    if (shown == -1) ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

void launch(WorkerKind kind, IUnknown* handler, const std::vector<std::string>& selection, HWND owner) {
    if (handler) handler->AddRef();
    auto* request = new MenuRequest;
    request->request.selection = selection;
    request->request.owner = owner;
    request->handler = handler;
    // The secure-delete launcher clears the cancel flag itself; the other workers clear it when
    // they make their crypto state.
    if (kind == WorkerKind::SecureDelete) g_cancel.store(0);
    runBehindProgressDialog(request, kind);
}

}  // namespace vlt::shellext
