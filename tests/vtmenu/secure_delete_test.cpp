// "Secure &Delete" from the menu: what is written over each file before it goes, cancelling,
// links, files that cannot be written, and the shell's change notifications.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "session.h"
#include "shell/notify.h"
#include "shellext/menu/context_menu.h"
#include "shellext/menu/dialogs.h"
#include "shellext/menu/secure_delete.h"
#include "shellext/process_state.h"
#include "support/sandbox.h"
#include "ui/state.h"
#include "win32/shlobj.h"

namespace vlt::vtmtest {
namespace {

namespace fs = std::filesystem;
const std::vector<Posted> kFocusPair = {{WM_KILLFOCUS, 0, 0}, {WM_SETFOCUS, 0, 0}};
constexpr const char* kConfirm = "The selected file(s) will be permanently destroyed.\n\n\tDo you want to continue?";

// Paths announced as deleted since the scope began.
class Announced {
public:
    Announced() { shell::clearChangeNotifications(); }
    std::vector<std::string> deleted() const {
        std::vector<std::string> out;
        for (const auto& n : shell::changeNotifications()) {
            EXPECT_EQ(n.event, SHCNE_DELETE);
            EXPECT_EQ(n.flags, static_cast<UINT>(SHCNF_PATHA));
            EXPECT_EQ(n.item2, "");
            out.push_back(n.item1);
        }
        return out;
    }
};

// The messages of a run apart from the confirmation and the warning about a file system where
// overwriting does not reach the old blocks (its presence depends on where the test runs).
std::vector<frontends::TranscriptEntry> runMessages(Session& s) {
    std::vector<frontends::TranscriptEntry> out;
    for (const auto& b : s.messageBoxes()) {
        if (b.text == kConfirm) continue;
        if (!shellext::untrustedFileSystem(s.sandbox().files()).empty() &&
            b.text.find(" file system, where overwriting") != std::string::npos)
            continue;
        out.push_back(b);
    }
    return out;
}

bool all(const std::vector<unsigned char>& bytes, unsigned char value, std::size_t from = 0) {
    return std::all_of(bytes.begin() + static_cast<long>(std::min(from, bytes.size())), bytes.end(),
                       [&](unsigned char b) { return b == value; });
}

HRESULT shred(Session& s, const std::vector<std::string>& shellOrder) {
    HandlerRef h = s.handler(shellOrder);
    s.ui().answerMessageBox(IDOK);
    return s.invoke(h.menu, kShred);
}

TEST(VtMenuShred, EachFileIsOverwrittenInWholeBlocksWithZerosThenOnesAndDeleted) {
    struct Case {
        std::size_t size;
        std::size_t blocks;  // per pass
    };
    for (const Case c : {Case{2500, 3}, Case{2000, 3}, Case{0, 1}, Case{999, 1}, Case{1000, 2}, Case{1001, 2}}) {
        SCOPED_TRACE(c.size);
        Session s;
        Announced announced;
        const std::string file = s.path("secret.doc");
        test::writeFile(file, pattern(c.size));
        // A second name keeps the data reachable after the file's own name is gone.
        const std::string keep = s.sandbox().root() + "/kept";
        ASSERT_EQ(link(file.c_str(), keep.c_str()), 0);

        // What the file holds when the second pass takes its first step: the first pass is on
        // disk (the second may have begun with its first block).
        std::mutex mutex;
        std::vector<unsigned char> atSecondPass;
        bool sawSecondPass = false;
        int stepsAtClose = -1;
        s.spy().onChanged = [&](HWND control, ui::Change what) {
            ui::WindowState bar;
            if (what != ui::Change::Progress || !ui::describe(control, bar)) return;
            std::lock_guard lock(mutex);
            if (!sawSecondPass && bar.steps == static_cast<int>(c.blocks) + 1) {
                sawSecondPass = true;
                atSecondPass = test::readFile(keep);
            }
        };
        s.spy().onClosing = [&](HWND dialog, int id) {
            ui::WindowState bar;
            if (id == shellext::kProgressDialog && ui::describe(GetDlgItem(dialog, 104), bar)) stepsAtClose = bar.steps;
        };
        shellext::g_cancel.store(1);  // left over from an earlier run: the launcher clears it
        EXPECT_EQ(shred(s, {file}), S_OK);
        s.spy().onChanged = nullptr;
        s.spy().onClosing = nullptr;

        EXPECT_FALSE(test::fileExists(file));
        EXPECT_EQ(test::readFile(keep), std::vector<unsigned char>(c.blocks * 1000, 0x31)) << s.transcript();
        ASSERT_TRUE(sawSecondPass);
        EXPECT_EQ(atSecondPass.size(), c.blocks * 1000);
        EXPECT_TRUE(all(atSecondPass, 0x00, 1000)) << "the first pass wrote zeros";
        EXPECT_EQ(stepsAtClose, static_cast<int>(2 * c.blocks));
        EXPECT_EQ(announced.deleted(), std::vector<std::string>{file});
        EXPECT_TRUE(runMessages(s).empty()) << s.transcript();

        const auto shown = s.shown(shellext::kProgressDialog);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, "Secure Deleating files");
        EXPECT_EQ(control(shown[0], 106).animationId, 145);
        EXPECT_TRUE(control(shown[0], 106).playing);
        const auto closed = s.closed(shellext::kProgressDialog);
        ASSERT_EQ(closed.size(), 1u);
        EXPECT_EQ(control(closed[0], 102).text, file);
        EXPECT_EQ(control(closed[0], 104).position, control(closed[0], 104).rangeMax) << "the bar ends full";
        EXPECT_EQ(shellext::g_busy.load(), 0);
        EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
    }
}

TEST(VtMenuShred, ConfirmationRefusedDestroysNothing) {
    Session s;
    Announced announced;
    const std::string a = s.path("a"), b = s.path("b");
    test::writeFile(a, pattern(1500));
    test::writeFile(b, pattern(10));
    HandlerRef h = s.handler({a, b});
    s.ui().answerMessageBox(IDCANCEL);
    EXPECT_EQ(s.invoke(h.menu, kShred), shellext::kCancelledAnswer);
    EXPECT_EQ(test::readFile(a), pattern(1500));
    EXPECT_EQ(test::readFile(b), pattern(10));
    EXPECT_TRUE(announced.deleted().empty());
    EXPECT_EQ(s.messages(), std::vector<std::string>{kConfirm});
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

TEST(VtMenuShred, CancelInTheMiddleOfAFileStillDeletesItAndTouchesNoFurtherFile) {
    Session s;
    Announced announced;
    const std::string a = s.path("a.bin"), b = s.path("b.bin"), c = s.path("c.bin");
    test::writeFile(a, pattern(1500, 1));                // 2 blocks a pass: 4 steps
    test::writeFile(b, pattern(3000000, 2));             // 3001 blocks a pass
    test::writeFile(c, pattern(500, 3));
    const std::string keep = s.sandbox().root() + "/kept-b";
    ASSERT_EQ(link(b.c_str(), keep.c_str()), 0);
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kProgressDialog, "cancel-after-steps 10"));
    EXPECT_EQ(shred(s, {c, b, a}), shellext::kCancelledAnswer);

    EXPECT_FALSE(test::fileExists(a));
    EXPECT_FALSE(test::fileExists(b));
    EXPECT_EQ(test::readFile(c), pattern(500, 3));
    EXPECT_EQ(announced.deleted(), (std::vector<std::string>{a, b}));
    const auto kept = test::readFile(keep);
    ASSERT_EQ(kept.size(), 3000000u);
    EXPECT_TRUE(all(std::vector<unsigned char>(kept.begin(), kept.begin() + 1000), 0x00)) << "overwriting had begun";
    const auto original = pattern(3000000, 2);
    EXPECT_TRUE(std::equal(kept.end() - 1000, kept.end(), original.end() - 1000)) << "and stopped before the end";
    const auto closed = s.closed(shellext::kProgressDialog);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(control(closed[0], 102).text, b);
    EXPECT_TRUE(s.notes().empty()) << s.transcript();
    EXPECT_EQ(shellext::g_busy.load(), 0);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
}

TEST(VtMenuShred, SymbolicLinkIsRemovedAfterAMessageAndItsTargetKept) {
    Session s;
    Announced announced;
    const std::string target = s.sandbox().root() + "/target.txt";
    test::writeFile(target, pattern(2500));
    const std::string linkPath = s.path("link.txt");
    fs::create_symlink(target, linkPath);
    const std::string after = s.path("z.txt");
    test::writeFile(after, pattern(5));

    bool linkThereAtMessage = false;
    s.spy().onMessageBox = [&](const ui::MessageBoxRequest& r) {
        struct stat st {};
        if (r.text.find(linkPath) != std::string::npos) linkThereAtMessage = lstat(linkPath.c_str(), &st) == 0;
    };
    EXPECT_EQ(shred(s, {after, linkPath}), S_OK);
    s.spy().onMessageBox = nullptr;

    EXPECT_EQ(test::readFile(target), pattern(2500));
    struct stat st {};
    EXPECT_NE(lstat(linkPath.c_str(), &st), 0) << "the link itself is gone";
    EXPECT_FALSE(test::fileExists(after)) << "the run went on";
    const auto shown = runMessages(s);
    ASSERT_EQ(shown.size(), 1u) << s.transcript();
    EXPECT_NE(shown[0].text.find(linkPath), std::string::npos);
    EXPECT_TRUE(linkThereAtMessage);
    EXPECT_EQ(announced.deleted(), (std::vector<std::string>{linkPath, after}));
}

TEST(VtMenuShred, FileThatCannotBeWrittenIsSkippedWithAMessageAndTheRunGoesOn) {
    Session s;
    Announced announced;
    const std::string x = s.path("x.txt"), y = s.path("y.txt"), fifo = s.path("pipe"), gone = s.path("gone.txt");
    test::writeFile(x, pattern(100));
    test::writeFile(y, pattern(100));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(shred(s, {y, gone, fifo, x}), E_FAIL) << "two files were not destroyed";

    EXPECT_FALSE(test::fileExists(x));
    EXPECT_FALSE(test::fileExists(y));
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(announced.deleted(), (std::vector<std::string>{x, y}));
    const auto shown = runMessages(s);
    ASSERT_EQ(shown.size(), 2u) << s.transcript();
    EXPECT_NE(shown[0].text.find(fifo), std::string::npos);
    EXPECT_NE(shown[1].text.find(gone), std::string::npos);
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

}  // namespace
}  // namespace vlt::vtmtest
