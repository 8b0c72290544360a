// Messages between threads: a worker driving a modal progress dialog, two threads sending to
// each other, posted and thread messages, windows that are gone.
#include <atomic>
#include <string>
#include <thread>

#include "ui/state.h"
#include "ui_support.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

using frontends::TranscriptEntry;
using ui::ControlKind;

constexpr UINT kClose = WM_USER + 100;

struct ProgressRun {
    HANDLE thread = nullptr;
    int total = 10;
    HWND dialog = nullptr;
    HWND bar = nullptr;
    HWND text = nullptr;
    HWND animation = nullptr;
    std::atomic<bool> cancel{false};
    std::atomic<bool> ranBeforeInit{false};
    std::atomic<int> steps{0};
    std::atomic<DWORD> procThread{0};
};

DWORD progressWorker(LPVOID p) {
    auto* run = static_cast<ProgressRun*>(p);
    if (run->bar == nullptr) run->ranBeforeInit = true;
    for (int i = 0; i < run->total && !run->cancel; ++i) {
        SetWindowTextA(run->text, ("file " + std::to_string(i)).c_str());
        SendMessageA(run->bar, PBM_STEPIT, 0, 0);
        ++run->steps;
    }
    SendMessageA(run->dialog, kClose, 0, 0);
    return 7;
}

INT_PTR progressProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<ProgressRun*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            run = reinterpret_cast<ProgressRun*>(lParam);
            SetWindowLongPtrA(dlg, DWLP_USER, lParam);
            run->dialog = dlg;
            run->animation = GetDlgItem(dlg, 106);
            run->bar = GetDlgItem(dlg, 104);
            run->text = GetDlgItem(dlg, 102);
            SetWindowTextA(dlg, "Encrypt Data ...");
            SendMessageA(run->animation, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(148)));
            SendMessageA(run->animation, ACM_PLAY, 0, -1);
            SendMessageA(run->bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendMessageA(run->bar, PBM_SETSTEP, 1, 0);
            ResumeThread(run->thread);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                run->cancel = true;
                return TRUE;
            }
            return FALSE;
        case kClose:
            run->procThread = GetCurrentThreadId();
            SendMessageA(run->animation, ACM_OPENA, 0, 0);
            EndDialog(dlg, 1);
            return TRUE;
        default: return FALSE;
    }
}

void registerProgressDialog() {
    ui::DialogTemplate t;
    t.resourceId = 1020;
    t.cx = 250;
    t.cy = 75;
    t.style = DS_MODALFRAME | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.controls = {control(106, ControlKind::Animation, "", ACS_TRANSPARENT | ACS_AUTOPLAY),
                  control(102, ControlKind::Static, "Commencing Operation"),
                  control(104, ControlKind::ProgressBar, ""), control(105, ControlKind::Static, ""),
                  control(IDCANCEL, ControlKind::PushButton, "Cancel", WS_TABSTOP)};
    ui::registerDialog(testModule(), t);
    ui::AnimationClip clip;
    clip.frames.resize(2);
    ui::registerAnimation(testModule(), 148, clip);
}

const TranscriptEntry* find(const std::vector<TranscriptEntry>& t, TranscriptEntry::Kind kind, int id) {
    for (const auto& e : t)
        if (e.kind == kind && e.resourceId == id) return &e;
    return nullptr;
}

const frontends::ControlRecord* controlOf(const TranscriptEntry& e, int id) {
    for (const auto& c : e.controls)
        if (c.id == id) return &c;
    return nullptr;
}

TEST(ProgressDialog, WorkerResumedAtInitialisationDrivesAndClosesIt) {
    registerProgressDialog();
    HeadlessScope ui;
    ProgressRun run;
    DWORD workerId = 0;
    run.thread = CreateThread(nullptr, 0, progressWorker, &run, CREATE_SUSPENDED, &workerId);
    ASSERT_NE(run.thread, nullptr);
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(1020), nullptr, progressProc,
                              reinterpret_cast<LPARAM>(&run)),
              1);
    ASSERT_EQ(WaitForSingleObject(run.thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(run.thread, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(run.thread);

    EXPECT_FALSE(run.ranBeforeInit);
    EXPECT_EQ(run.steps, 10);
    EXPECT_EQ(run.procThread, GetCurrentThreadId()) << "the worker's message ran on the dialog's thread";
    EXPECT_NE(workerId, GetCurrentThreadId());

    const auto t = ui.frontend.transcript();
    const auto* shown = find(t, TranscriptEntry::Kind::DialogShown, 1020);
    const auto* closed = find(t, TranscriptEntry::Kind::DialogClosed, 1020);
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(closed, nullptr);
    EXPECT_EQ(shown->caption, "Encrypt Data ...");
    EXPECT_EQ(controlOf(*shown, 106)->animationId, 148);
    EXPECT_TRUE(controlOf(*shown, 106)->playing);
    EXPECT_EQ(controlOf(*shown, 102)->text, "Commencing Operation");
    EXPECT_EQ(controlOf(*closed, 102)->text, "file 9");
    EXPECT_EQ(controlOf(*closed, 104)->position, 10);
    EXPECT_EQ(controlOf(*closed, 104)->rangeMax, 100);
    EXPECT_EQ(controlOf(*closed, 106)->animationId, 0) << "closed by ACM_OPEN without a clip";
    EXPECT_EQ(closed->answer, 1);
}

TEST(ProgressDialog, ScriptedCancelAfterStepsStopsTheWorker) {
    registerProgressDialog();
    HeadlessScope ui;
    ASSERT_TRUE(ui.frontend.loadScript("dialog 1020 cancel-after-steps 3\n").ok());
    ProgressRun run;
    run.total = 100000;
    run.thread = CreateThread(nullptr, 0, progressWorker, &run, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(run.thread, nullptr);
    EXPECT_EQ(DialogBoxParamA(testModule(), MAKEINTRESOURCEA(1020), nullptr, progressProc,
                              reinterpret_cast<LPARAM>(&run)),
              1)
        << "Cancel only raises the flag; the worker closes the dialog";
    WaitForSingleObject(run.thread, INFINITE);
    CloseHandle(run.thread);
    EXPECT_TRUE(run.cancel);
    EXPECT_GE(run.steps, 3);
    EXPECT_LT(run.steps, run.total);
}

// ---- Two threads sending to each other --------------------------------------------------------

constexpr UINT kFirst = WM_APP + 10;
constexpr UINT kSecond = WM_APP + 11;
constexpr UINT kThird = WM_APP + 12;
constexpr UINT kDone = WM_APP + 13;

std::atomic<HWND> g_mainWindow{nullptr};
std::atomic<HWND> g_otherWindow{nullptr};
std::atomic<DWORD> g_thirdThread{0};
std::atomic<DWORD> g_secondThread{0};
std::atomic<LRESULT> g_finalResult{0};

LRESULT mainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kFirst: return SendMessageA(g_otherWindow, kSecond, 0, 0) + 100;
        case kThird: g_thirdThread = GetCurrentThreadId(); return 3;
        case kDone: g_finalResult = static_cast<LRESULT>(wParam); return 0;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT otherProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kSecond) {
        g_secondThread = GetCurrentThreadId();
        return SendMessageA(g_mainWindow, kThird, 0, 0) + 20;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(CrossThread, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    registerClassOnce("VltTestMutualA", mainProc);
    registerClassOnce("VltTestMutualB", otherProc);
    HWND mainWindow = CreateWindowExA(0, "VltTestMutualA", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    ASSERT_NE(mainWindow, nullptr);
    g_mainWindow = mainWindow;
    std::atomic<DWORD> otherId{0};
    std::thread other([&] {
        otherId = GetCurrentThreadId();
        HWND w = CreateWindowExA(0, "VltTestMutualB", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
        g_otherWindow = w;
        const LRESULT r = SendMessageA(g_mainWindow, kFirst, 0, 0);
        PostMessageA(g_mainWindow, kDone, static_cast<WPARAM>(r), 0);
        DestroyWindow(w);
    });
    MSG m{};
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        DispatchMessageA(&m);
        if (m.message == kDone) break;
    }
    other.join();
    EXPECT_EQ(g_finalResult, 123);
    EXPECT_EQ(g_thirdThread, GetCurrentThreadId()) << "handled by the waiting sender's own thread";
    EXPECT_EQ(g_secondThread, otherId.load());
    EXPECT_FALSE(IsWindow(g_otherWindow));
    DestroyWindow(mainWindow);
}

// ---- Windows that are gone ------------------------------------------------------------------------

LRESULT orderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY || msg == WM_NCDESTROY) {
        auto* rec = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (rec) rec->add(Received{msg, reinterpret_cast<WPARAM>(hwnd), 0});
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(DestroyedWindow, HandleIsInvalidAndCallsFail) {
    registerClassOnce("VltTestOrder", orderProc);
    Recorder rec;
    HWND parent = CreateWindowExA(0, "VltTestOrder", "Parent", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    HWND child = CreateWindowExA(0, "VltTestOrder", "", WS_CHILD, 0, 0, 0, 0, parent, reinterpret_cast<HMENU>(9),
                                 testModule(), nullptr);
    ASSERT_NE(child, nullptr);
    SetWindowLongPtrA(parent, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rec));
    SetWindowLongPtrA(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rec));
    EXPECT_TRUE(DestroyWindow(parent));
    const auto order = rec.all();
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0].msg, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(order[0].wParam, reinterpret_cast<WPARAM>(parent));
    EXPECT_EQ(order[1].msg, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(order[1].wParam, reinterpret_cast<WPARAM>(child));
    EXPECT_EQ(order[2].msg, static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(order[2].wParam, reinterpret_cast<WPARAM>(child));
    EXPECT_EQ(order[3].msg, static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(order[3].wParam, reinterpret_cast<WPARAM>(parent));

    for (HWND gone : {parent, child}) {
        EXPECT_FALSE(IsWindow(gone));
        SetLastError(0);
        EXPECT_EQ(SendMessageA(gone, WM_USER, 1, 2), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(PostMessageA(gone, WM_USER, 1, 2));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_FALSE(SetWindowTextA(gone, "x"));
        EXPECT_FALSE(DestroyWindow(gone));
        EXPECT_EQ(GetWindowLongPtrA(gone, GWLP_USERDATA), 0);
    }
    HWND again = CreateWindowExA(0, "VltTestOrder", "Parent", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    EXPECT_NE(again, parent) << "handles are not reused";
    EXPECT_NE(again, child);
    DestroyWindow(again);
}

TEST(DestroyedWindow, WindowsOfAnEndedThreadGoWithIt) {
    registerClassOnce("VltTestOrder", orderProc);
    HWND made = nullptr;
    std::thread t([&] {
        made = CreateWindowExA(0, "VltTestOrder", "Transient", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    });
    t.join();
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(IsWindow(made));
    EXPECT_EQ(SendMessageA(made, WM_USER, 0, 0), 0);
    EXPECT_EQ(FindWindowA(nullptr, "Transient"), nullptr);
}

TEST(DestroyedWindow, OtherThreadMayNotDestroyIt) {
    registerClassOnce("VltTestOrder", orderProc);
    HWND w = CreateWindowExA(0, "VltTestOrder", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread t([&] {
        destroyed = DestroyWindow(w);
        error = GetLastError();
    });
    t.join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(w));
    DestroyWindow(w);
}

// ---- Posted and thread messages -------------------------------------------------------------------

TEST(Queue, PostedMessagesComeBeforeQuitAndFiltersApply) {
    registerClassOnce("VltTestOrder", orderProc);
    HWND w = CreateWindowExA(0, "VltTestOrder", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    PostMessageA(w, WM_APP + 1, 1, 0);
    PostQuitMessage(9);
    PostMessageA(w, WM_APP + 2, 2, 0);
    PostMessageA(nullptr, WM_APP + 3, 3, 0);  // a thread message

    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_APP + 2, WM_APP + 2, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u) << "a range filter skips earlier messages";
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 3)) << "hwnd -1 selects thread messages";
    EXPECT_EQ(m.hwnd, nullptr);
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 1));
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 3));
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.wParam, 9u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    HWND gone = w;
    DestroyWindow(w);
    EXPECT_EQ(GetMessageA(&m, gone, 0, 0), -1) << "a filter window that does not exist";
}

TEST(Queue, ThreadMessagesNeedTheThreadsQueue) {
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0u, WM_APP, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));

    std::atomic<DWORD> id{0};
    std::atomic<WPARAM> got{0};
    std::thread t([&] {
        MSG m{};
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
        id = GetCurrentThreadId();
        while (GetMessageA(&m, nullptr, 0, 0) > 0)
            if (m.message == WM_APP && m.hwnd == nullptr) got = m.wParam;
    });
    while (id == 0) std::this_thread::yield();
    EXPECT_TRUE(PostThreadMessageA(id, WM_APP, 41, 0));
    // A WM_QUIT posted like any message still makes GetMessage answer 0.
    EXPECT_TRUE(PostThreadMessageA(id, WM_QUIT, 0, 0));
    t.join();
    EXPECT_EQ(got, 41u);
}

}  // namespace
}  // namespace vlt::uitest
