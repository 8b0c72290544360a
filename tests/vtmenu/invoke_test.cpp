// InvokeCommand: the busy refusal, verbs given as strings, the password prompt of the unlock
// command, the confirmation of secure delete and the about box, with what reaches the shell
// window afterwards.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "session.h"
#include "shellext/menu/context_menu.h"
#include "shellext/menu/dialogs.h"
#include "shellext/process_state.h"
#include "support/sandbox.h"
#include "ui/input.h"

namespace vlt::vtmtest {
namespace {

namespace fs = std::filesystem;
using frontends::TranscriptEntry;

constexpr const char* kBusyText = "Currently one VLT operation is in progress. \nAccess denied for another operation.";
const std::vector<Posted> kFocusPair = {{WM_KILLFOCUS, 0, 0}, {WM_SETFOCUS, 0, 0}};

TEST(VtMenuInvoke, BusyFlagRefusesTheCommandAndPostsNothing) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(50));
    HandlerRef h = s.handler({file});
    for (UINT offset : {kLock, kGrant, kUnlock, kShred, kAbout}) {
        SCOPED_TRACE(offset);
        s.ui().clear();
        shellext::g_busy.store(1);
        EXPECT_EQ(s.invoke(h.menu, offset), E_FAIL);
        const auto boxes = s.messageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << s.transcript();
        EXPECT_EQ(boxes[0].text, kBusyText);
        EXPECT_EQ(boxes[0].caption, "VLT Status Report");
        EXPECT_EQ(boxes[0].style, 0x30u);
        EXPECT_EQ(s.ui().transcript().size(), 1u) << "no dialog: " << s.transcript();
        EXPECT_TRUE(s.takeFocusMessages().empty());
        EXPECT_EQ(shellext::g_busy.load(), 1) << "the running command still owns the flag";
    }
    EXPECT_FALSE(test::fileExists(file + ".Vtf"));
    EXPECT_EQ(test::readFile(file), pattern(50));
}

TEST(VtMenuInvoke, SecondCommandDuringALockIsRefusedAndTheLockGoesOn) {
    Session s;
    const std::string fifo = s.path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string plain = s.path("a.txt");
    test::writeFile(plain, pattern(500));
    // The shell's order is reversed: the pipe comes first, is refused with a message, and the
    // run goes on with a.txt.
    HandlerRef first = s.handler({plain, fifo});
    HandlerRef second = s.handler({plain});

    std::mutex mutex;
    std::condition_variable cv;
    bool secondDone = false;
    bool busyDuringSecond = false;
    s.spy().onMessageBox = [&](const ui::MessageBoxRequest& request) {
        if (request.text.find("is not a regular file") == std::string::npos) return;
        // Meanwhile the shell delivers another command on its own thread, inside the progress
        // dialog's loop; the worker waits here until it has been answered.
        ui::input::run(s.shellWindow(), [&] {
            busyDuringSecond = shellext::g_busy.load() == 1;
            s.invoke(second.menu, kAbout);
            std::lock_guard lock(mutex);
            secondDone = true;
            cv.notify_all();
        });
        std::unique_lock lock(mutex);
        cv.wait_for(lock, std::chrono::seconds(20), [&] { return secondDone; });
    };
    EXPECT_EQ(s.invoke(first.menu, kLock), E_FAIL) << "the pipe was not locked";
    s.spy().onMessageBox = nullptr;

    EXPECT_TRUE(secondDone);
    EXPECT_TRUE(busyDuringSecond);
    // The busy message is answered while the worker's own message is still up.
    const auto boxes = s.messageBoxes();
    ASSERT_EQ(boxes.size(), 2u) << s.transcript();
    EXPECT_EQ(boxes[0].text, kBusyText);
    EXPECT_EQ(boxes[0].caption, "VLT Status Report");
    EXPECT_EQ(boxes[0].style, 0x30u);
    EXPECT_NE(boxes[1].text.find(fifo), std::string::npos);
    // The first command finished its work: a.txt is locked, the flag is free again, and the
    // shell window got one pair of focus messages, the refused command none.
    EXPECT_TRUE(test::fileExists(plain + ".Vtf")) << s.transcript();
    EXPECT_EQ(shellext::g_busy.load(), 0);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
    EXPECT_EQ(s.closed(shellext::kProgressDialog).size(), 1u);
}

// A string placed where its address has zero in bits 16 to 31 and a command offset in bits 0
// to 15, as a 64-bit pointer can be.
class LowWordString {
public:
    LowWordString(const char* text, unsigned lowWord) {
        for (std::uintptr_t base : {std::uintptr_t{0x500000000000}, std::uintptr_t{0x520000000000},
                                    std::uintptr_t{0x540000000000}}) {
            void* p = mmap(reinterpret_cast<void*>(base), 4096, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
            if (p == MAP_FAILED) continue;
            if (p != reinterpret_cast<void*>(base)) {
                munmap(p, 4096);
                continue;
            }
            m_page = p;
            m_text = static_cast<char*>(p) + lowWord;
            std::strcpy(m_text, text);
            return;
        }
    }
    ~LowWordString() {
        if (m_page) munmap(m_page, 4096);
    }
    LowWordString(const LowWordString&) = delete;
    LowWordString& operator=(const LowWordString&) = delete;
    const char* text() const { return m_text; }

private:
    void* m_page = nullptr;
    char* m_text = nullptr;
};

TEST(VtMenuInvoke, VerbGivenAsAStringDoesNothingButStillPostsTheFocusMessages) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(10));
    HandlerRef h = s.handler({file});

    LowWordString lowWord("delete", kShred);
    std::vector<const char*> verbs = {"lock", "open", "Secure &Delete"};
    if (lowWord.text() != nullptr) verbs.push_back(lowWord.text());
    for (const char* verb : verbs) {
        SCOPED_TRACE(verb);
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.hwnd = s.shellWindow();
        info.lpVerb = verb;
        EXPECT_EQ(h.menu->InvokeCommand(&info), E_INVALIDARG);
        EXPECT_TRUE(s.ui().transcript().empty()) << s.transcript();
        EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
        EXPECT_EQ(shellext::g_busy.load(), 0);
    }
    EXPECT_EQ(test::readFile(file), pattern(10));
    EXPECT_FALSE(test::fileExists(file + ".Vtf"));
    if (lowWord.text() == nullptr) GTEST_SKIP() << "no page could be mapped at a low-word address";
}

TEST(VtMenuInvoke, UnlockAsksForThePasswordOnlyWhileTheProfileIsLocked) {
    Session s;
    const std::string file = s.path("report.doc");
    test::writeFile(file, pattern(700));
    ASSERT_TRUE(s.lock({file}).allDone());
    fs::remove(file);
    ASSERT_FALSE(s.cachePresent());

    // Locked profile: dialog 130 first, then the unlock with the password typed there.
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kPasswordDialog, "type 1000 \"Lantern-Frost 1984\"; click 1"));
    HandlerRef h = s.handler({file + ".Vtf"});
    EXPECT_EQ(s.invoke(h.menu, kUnlock), S_OK);
    EXPECT_EQ(test::readFile(file), pattern(700)) << s.transcript();
    auto prompts = s.closed(shellext::kPasswordDialog);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].answer, IDOK);
    EXPECT_EQ(prompts[0].caption, "");
    EXPECT_EQ(control(prompts[0], 1000).text, std::string(18, '*'));
    const auto progress = s.shown(shellext::kProgressDialog);
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_EQ(progress[0].caption, "Decrypting Data ...");
    EXPECT_EQ(control(progress[0], 106).animationId, 161);
    EXPECT_TRUE(control(progress[0], 106).playing);
    EXPECT_TRUE(s.cachePresent()) << "the correct password filled the unlock cache";
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);

    // Unlocked profile: no prompt.
    fs::remove(file);
    s.ui().clear();
    shellext::clearPassword();
    HandlerRef again = s.handler({file + ".Vtf"});
    EXPECT_EQ(s.invoke(again.menu, kUnlock), S_OK);
    EXPECT_EQ(test::readFile(file), pattern(700)) << s.transcript();
    EXPECT_TRUE(s.shown(shellext::kPasswordDialog).empty());
    EXPECT_EQ(s.shown(shellext::kProgressDialog).size(), 1u);

    // Locked again: the prompt is back; a wrong password unlocks nothing and fills no cache.
    fs::remove(file);
    s.clearCache();
    s.ui().clear();
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kPasswordDialog, "type 1000 wrong; click 1"));
    EXPECT_EQ(s.invoke(again.menu, kUnlock), E_FAIL);
    EXPECT_FALSE(test::fileExists(file));
    EXPECT_EQ(s.shown(shellext::kPasswordDialog).size(), 1u);
    EXPECT_EQ(s.messages(), std::vector<std::string>{"The Password is wrong. Please enter the correct Password."});
    EXPECT_FALSE(s.cachePresent());
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

TEST(VtMenuInvoke, CancelledPasswordDialogStartsNoWorker) {
    for (const char* action : {"cancel", "click 2", "type 1000 typed; click 2"}) {
        SCOPED_TRACE(action);
        Session s;
        const std::string file = s.path("a.txt");
        test::writeFile(file, pattern(30));
        ASSERT_TRUE(s.lock({file}).allDone());
        fs::remove(file);
        ASSERT_TRUE(s.ui().scriptDialog(shellext::kPasswordDialog, action));
        HandlerRef h = s.handler({file + ".Vtf"});
        EXPECT_EQ(s.invoke(h.menu, kUnlock), shellext::kCancelledAnswer);
        const auto prompts = s.closed(shellext::kPasswordDialog);
        ASSERT_EQ(prompts.size(), 1u);
        EXPECT_EQ(prompts[0].answer, IDCANCEL);
        EXPECT_TRUE(s.shown(shellext::kProgressDialog).empty()) << s.transcript();
        EXPECT_TRUE(s.messageBoxes().empty());
        EXPECT_FALSE(test::fileExists(file));
        EXPECT_TRUE(test::fileExists(file + ".Vtf"));
        EXPECT_EQ(shellext::g_busy.load(), 0);
        EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
    }
}

TEST(VtMenuInvoke, OkOnAnEmptyPasswordKeepsTheDialogOpen) {
    Session s;
    HandlerRef h = s.handler({});
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kPasswordDialog, "click 1; click 1; enter; cancel"));
    EXPECT_EQ(s.invoke(h.menu, kUnlock), shellext::kCancelledAnswer);
    auto prompts = s.closed(shellext::kPasswordDialog);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].answer, IDCANCEL) << "OK did not end it; Cancel did";
    EXPECT_TRUE(s.notes().empty()) << s.transcript();
    EXPECT_TRUE(s.messageBoxes().empty()) << "no message for an empty field";
    EXPECT_TRUE(s.shown(shellext::kProgressDialog).empty());

    s.ui().clear();
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kPasswordDialog, "click 1; type 1000 secret; enter"));
    EXPECT_EQ(s.invoke(h.menu, kUnlock), S_OK);
    prompts = s.closed(shellext::kPasswordDialog);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].answer, IDOK);
    EXPECT_EQ(shellext::currentPassword().view(), "secret");
    EXPECT_EQ(s.closed(shellext::kProgressDialog).size(), 1u) << "the unlock ran (over no files)";
}

TEST(VtMenuInvoke, PasswordOf99CharactersArrivesWholeLongerIsCut) {
    Session s;
    HandlerRef h = s.handler({});
    std::string typed;
    for (int i = 0; i < 150; ++i) typed += static_cast<char>('!' + i % 90);
    for (std::size_t length : {std::size_t{1}, std::size_t{98}, std::size_t{99}, std::size_t{100}, std::size_t{150}}) {
        SCOPED_TRACE(length);
        s.ui().clear();
        shellext::clearPassword();
        frontends::DialogAction type = frontends::DialogAction::type(1000, typed.substr(0, length));
        s.ui().onDialog(shellext::kPasswordDialog, {type, frontends::DialogAction::click(IDOK)});
        EXPECT_EQ(s.invoke(h.menu, kUnlock), S_OK);
        EXPECT_EQ(shellext::currentPassword().view(), typed.substr(0, std::min<std::size_t>(length, 99)));
        ASSERT_EQ(s.closed(shellext::kPasswordDialog).size(), 1u);
        EXPECT_EQ(s.closed(shellext::kPasswordDialog)[0].answer, IDOK);
    }
}

TEST(VtMenuInvoke, SecureDeleteAsksFirstAndCancelIsTheDefault) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(2500));
    HandlerRef h = s.handler({file});
    EXPECT_EQ(s.invoke(h.menu, kShred), shellext::kCancelledAnswer);  // no answer queued: the default button
    const auto boxes = s.messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "The selected file(s) will be permanently destroyed.\n\n\tDo you want to continue?");
    EXPECT_EQ(boxes[0].caption, "Confirm File Delete");
    EXPECT_EQ(boxes[0].style, 0x131u);
    EXPECT_EQ(boxes[0].answer, IDCANCEL);
    EXPECT_EQ(test::readFile(file), pattern(2500));
    EXPECT_TRUE(s.shown(shellext::kProgressDialog).empty());
    EXPECT_EQ(shellext::g_busy.load(), 0);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
}

TEST(VtMenuInvoke, AboutBoxAndUnknownOffsets) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(20));
    HandlerRef h = s.handler({file});
    EXPECT_EQ(s.invoke(h.menu, kAbout), S_OK);
    auto boxes = s.messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "About VLT");
    EXPECT_NE(boxes[0].text.find("VLT"), std::string::npos);
    EXPECT_EQ(s.ui().transcript().size(), 1u);
    EXPECT_EQ(shellext::g_busy.load(), 0);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);

    // Offsets beyond the table (the two spare identifiers and more): nothing at all.
    s.ui().clear();
    for (UINT offset : {5u, 6u, 7u, 0xFFFFu}) {
        EXPECT_EQ(s.invoke(h.menu, offset), E_INVALIDARG);
        EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
    }
    EXPECT_TRUE(s.ui().transcript().empty());
    EXPECT_EQ(test::readFile(file), pattern(20));
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

}  // namespace
}  // namespace vlt::vtmtest
