#include "shellext/menu/launchers.h"

#include "shellext/menu/dialogs.h"
#include "shellext/menu/secure_delete.h"
#include "win32/winbase.h"

namespace vlt::shellext {
namespace {

struct Job {
    std::unique_ptr<MenuRequest> request;
    WorkerKind kind;
};

DWORD workerMain(LPVOID parameter) {
    const std::unique_ptr<Job> job(static_cast<Job*>(parameter));
    const OperationRequest& r = job->request->request;
    RunReport report;
    switch (job->kind) {
        case WorkerKind::Lock: report = runLock(r); break;
        case WorkerKind::Unlock: report = runUnlock(r); break;
        case WorkerKind::SecureDelete: report = runSecureDelete(r); break;
    }
    // Also the thread's exit code: the result when no dialog could carry it.
    return static_cast<DWORD>(report.result());
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

std::unique_ptr<MenuRequest> makeRequest(IUnknown* handler, const std::vector<std::string>& selection, HWND owner,
                                         BusyGuard busy) {
    auto request = std::make_unique<MenuRequest>();
    request->request.selection = selection;
    request->request.owner = owner;
    request->handler = com::share(handler);
    request->busy = std::move(busy);
    return request;
}

RunResult runBehindProgressDialog(std::unique_ptr<MenuRequest> request, WorkerKind kind) {
    const HWND owner = request->request.owner;
    auto job = std::make_unique<Job>(Job{std::move(request), kind});
    HANDLE thread = CreateThread(nullptr, 0, workerMain, job.get(), CREATE_SUSPENDED, nullptr);
    if (thread == nullptr) return RunResult::Failed;
    (void)job.release();  // the worker's now
    setProgressKind(progressKindOf(kind));
    const INT_PTR shown = DialogBoxParamA(resourceModule(), MAKEINTRESOURCEA(kProgressDialog), owner,
                                          progressDialogProc, reinterpret_cast<LPARAM>(thread));
    // Without its dialog the worker would never be resumed; run it now rather than leak it.
    if (shown == -1) ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = static_cast<DWORD>(shown);
    if (shown == -1 && !GetExitCodeThread(thread, &code)) code = 0;
    CloseHandle(thread);
    const auto result = static_cast<RunResult>(code);
    switch (result) {
        case RunResult::Done:
        case RunResult::Failed:
        case RunResult::Cancelled: return result;
    }
    return RunResult::Failed;  // ended by anything but its worker
}

RunResult launch(WorkerKind kind, std::unique_ptr<MenuRequest> request) {
    // The secure-delete launcher clears the cancel flag itself; the other workers clear it when
    // they make their crypto state.
    if (kind == WorkerKind::SecureDelete) g_cancel.store(0);
    return runBehindProgressDialog(std::move(request), kind);
}

}  // namespace vlt::shellext
