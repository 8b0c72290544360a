// Thread-local last error, as kernel32 keeps it.
#pragma once

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winerror.h"

VLT_EXPORT_BEGIN

DWORD GetLastError();
void SetLastError(DWORD code);

// Milliseconds since an arbitrary start, from the process's clock (see base/clock.h).
DWORD GetTickCount();

// ---- Threads (platform/sys) ---------------------------------------------------------------

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);
#define CREATE_SUSPENDED 0x00000004
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFF

// A thread created suspended does not run its routine until ResumeThread.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                    LPDWORD lpThreadId);
DWORD ResumeThread(HANDLE hThread);
// Waits for a thread to end (thread handles only).
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
BOOL CloseHandle(HANDLE hObject);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
void Sleep(DWORD dwMilliseconds);

VLT_EXPORT_END
