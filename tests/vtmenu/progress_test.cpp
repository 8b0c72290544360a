// Lock and unlock from the menu: the worker behind the progress dialog, what the dialog shows,
// cancelling in the middle of a run, and an unlock run that goes on past a foreign file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <mutex>

#include "session.h"
#include "shared/locked_file.h"
#include "shared/registry_layout.h"
#include "shellext/menu/context_menu.h"
#include "shellext/menu/dialogs.h"
#include "shellext/process_state.h"
#include "support/sandbox.h"
#include "ui/state.h"
#include "win32/winbase.h"

namespace vlt::vtmtest {
namespace {

namespace fs = std::filesystem;
const std::vector<Posted> kFocusPair = {{WM_KILLFOCUS, 0, 0}, {WM_SETFOCUS, 0, 0}};

LockedFileHead headOf(const std::string& path) {
    const auto bytes = test::readFile(path);
    MemorySource source(bytes.data(), bytes.size());
    return readLockedFileHead(source, bytes.size());
}

// Whether a progress dialog is open (shown and not ended) right now.
bool progressDialogOpen() {
    for (HWND h : ui::topLevelWindows()) {
        ui::WindowState d;
        if (ui::describe(h, d) && d.kind == ui::WindowKind::Dialog && d.id == shellext::kProgressDialog && !d.ended)
            return true;
    }
    return false;
}

TEST(VtMenuProgress, LockRunsOnAWorkerBehindTheProgressDialog) {
    Session s;
    const std::string fifo = s.path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(320));  // three chunks: 160, 160 and the empty last one

    // The steps reach the dialog on the shell's thread, which waits in the dialog's loop; the
    // refusal of the pipe comes from the worker's own thread while the dialog is open.
    std::mutex mutex;
    std::vector<DWORD> stepThreads;
    DWORD messageThread = 0;
    bool dialogOpenDuringMessage = false;
    s.spy().onChanged = [&](HWND, ui::Change what) {
        if (what != ui::Change::Progress) return;
        std::lock_guard lock(mutex);
        stepThreads.push_back(GetCurrentThreadId());
    };
    s.spy().onMessageBox = [&](const ui::MessageBoxRequest&) {
        std::lock_guard lock(mutex);
        messageThread = GetCurrentThreadId();
        dialogOpenDuringMessage = progressDialogOpen();
    };
    HandlerRef h = s.handler({file, fifo});
    shellext::g_cancel.store(1);  // left over from an earlier run: the new run clears it
    EXPECT_EQ(s.invoke(h.menu, kLock), E_FAIL) << "the pipe was refused";
    s.spy().onChanged = nullptr;
    s.spy().onMessageBox = nullptr;

    EXPECT_EQ(headOf(file + ".Vtf").status, HeadStatus::Ok) << s.transcript();
    EXPECT_EQ(headOf(file + ".Vtf").header.sender, "Marta Okafor");
    EXPECT_EQ(test::readFile(file), pattern(320));
    EXPECT_FALSE(test::fileExists(fifo + ".Vtf"));
    ASSERT_EQ(s.messageBoxes().size(), 1u) << s.transcript();
    EXPECT_EQ(s.messageBoxes()[0].caption, "Warning!");

    const auto shown = s.shown(shellext::kProgressDialog);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Encrypt Data ...");
    EXPECT_EQ(control(shown[0], 106).animationId, 148);
    EXPECT_TRUE(control(shown[0], 106).playing);
    EXPECT_EQ(control(shown[0], 102).text, "Commencing Operation");
    EXPECT_EQ(control(shown[0], 104).rangeMin, 0);
    EXPECT_EQ(control(shown[0], 104).rangeMax, 100);
    EXPECT_EQ(control(shown[0], 104).position, 0);
    EXPECT_EQ(control(shown[0], 105).text, "");
    EXPECT_EQ(control(shown[0], 2).text, "Cancel");

    const auto closed = s.closed(shellext::kProgressDialog);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].answer, 2) << "the dialog ends with the run's result: failed";
    EXPECT_EQ(control(closed[0], 102).text, file);
    // The range was set to the file's chunks: one step each, and the bar ends full.
    EXPECT_GE(control(closed[0], 104).rangeMax, 2);
    EXPECT_EQ(control(closed[0], 104).position, control(closed[0], 104).rangeMax);
    EXPECT_EQ(control(closed[0], 106).animationId, 0) << "the clip is closed with the dialog";

    {
        std::lock_guard lock(mutex);
        ASSERT_FALSE(stepThreads.empty());
        for (DWORD t : stepThreads) EXPECT_EQ(t, GetCurrentThreadId());
        EXPECT_NE(messageThread, 0u);
        EXPECT_NE(messageThread, GetCurrentThreadId()) << "the work runs on a thread of its own";
        EXPECT_TRUE(dialogOpenDuringMessage);
    }
    EXPECT_EQ(shellext::g_busy.load(), 0);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
}

TEST(VtMenuProgress, CancelDuringAMultiFileLockStopsInTheCurrentFile) {
    Session s;
    s.setSetting(layout::kDeleteAfterEncrypt, 1);
    const std::string first = s.path("1.bin"), second = s.path("2.bin"), third = s.path("3.bin");
    test::writeFile(first, pattern(320, 1));          // 3 steps
    test::writeFile(second, pattern(160 * 2000, 2));  // cancelled well inside
    test::writeFile(third, pattern(100, 3));
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kProgressDialog, "cancel-after-steps 5"));
    // The shell hands them over last first: the handler walks 1, 2, 3.
    HandlerRef h = s.handler({third, second, first});
    EXPECT_EQ(s.invoke(h.menu, kLock), shellext::kCancelledAnswer);

    // The first stays locked (and its source removed, as the setting asks); the second's
    // partial output is gone and its source kept; the third was never touched.
    EXPECT_EQ(namesIn(s.sandbox().files()), (std::vector<std::string>{"1.bin.Vtf", "2.bin", "3.bin"}))
        << s.transcript();
    EXPECT_EQ(headOf(first + ".Vtf").status, HeadStatus::Ok);
    EXPECT_EQ(test::readFile(second), pattern(160 * 2000, 2));
    EXPECT_EQ(test::readFile(third), pattern(100, 3));
    const auto closed = s.closed(shellext::kProgressDialog);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].answer, 3) << "cancelled";
    EXPECT_EQ(control(closed[0], 102).text, second) << "the run stopped in the second file";
    EXPECT_TRUE(s.messageBoxes().empty()) << s.transcript();
    EXPECT_TRUE(s.notes().empty()) << s.transcript();
    EXPECT_EQ(shellext::g_busy.load(), 0);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);

    // The next run starts with the cancel flag cleared.
    s.ui().clear();
    HandlerRef again = s.handler({third});
    EXPECT_EQ(s.invoke(again.menu, kLock), S_OK);
    EXPECT_EQ(headOf(third + ".Vtf").status, HeadStatus::Ok) << s.transcript();
}

TEST(VtMenuProgress, UnlockRunGoesOnPastAnotherPersonsFile) {
    Session s;
    s.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    const std::string a = s.path("a.txt"), b = s.path("b.txt"), c = s.path("c.txt");
    test::writeFile(a, pattern(10, 1));
    test::writeFile(b, pattern(10, 2));
    test::writeFile(c, pattern(10, 3));
    ASSERT_TRUE(s.lock({a, c}).allDone());
    ASSERT_TRUE(s.lock({b}, "Tomas Reyes", 1).allDone());
    for (const auto& p : {a, b, c}) fs::remove(p);
    s.fillCache();
    s.ui().clear();

    HandlerRef h = s.handler({c + ".Vtf", b + ".Vtf", a + ".Vtf"});
    EXPECT_EQ(s.invoke(h.menu, kUnlock), E_FAIL) << "b was not unlocked";
    EXPECT_TRUE(s.shown(shellext::kPasswordDialog).empty()) << "the profile is unlocked";
    EXPECT_EQ(test::readFile(a), pattern(10, 1)) << s.transcript();
    EXPECT_EQ(test::readFile(c), pattern(10, 3));
    EXPECT_FALSE(test::fileExists(b));
    EXPECT_TRUE(test::fileExists(b + ".Vtf"));
    const auto boxes = s.messageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << s.transcript();
    EXPECT_EQ(boxes[0].text, "Decrypt Error\nCheck whether you are using the  correct profile");
    EXPECT_EQ(boxes[0].caption, "VLT Emergency Report");
    EXPECT_EQ(boxes[0].style, 0x10030u);

    const auto shown = s.shown(shellext::kProgressDialog);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Decrypting Data ...");
    EXPECT_EQ(control(shown[0], 106).animationId, 161);
    EXPECT_TRUE(control(shown[0], 106).playing);
    const auto closed = s.closed(shellext::kProgressDialog);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(control(closed[0], 102).text, "c.txt") << "the unlock shows the output's name";
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

}  // namespace
}  // namespace vlt::vtmtest
