// A stop signal in the middle of an unlock is a Cancel: status 1 and nothing left behind.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "run_vlt.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

TEST(StopSignal, TermDuringUnlockExitsOneAndLeavesOnlyTheLockedFile) {
    Sandbox box;
    ASSERT_EQ(runVlt({"profile", "create", "--name", "Ann Example", "--password-stdin"}, "s3cret words\n").status, 0);
    const std::string file = box.path("big.bin");
    writeFile(file, std::vector<unsigned char>(48u << 20, 0x5C));
    ASSERT_EQ(runVlt({"lock", file}).status, 0);
    fs::remove(file);

    // On a terminal, so that the progress bar shows when the unlock is under way.
    int terminal = -1;
    const std::string program = buildPath("tools/vlt/vlt");
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(program.c_str(), "vlt", "unlock", (file + ".Vtf").c_str(), nullptr);
        _exit(127);
    }
    std::string shown;
    bool signalled = false, typed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (char buf[512]; std::chrono::steady_clock::now() < deadline;) {
        pollfd p{terminal, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = read(terminal, buf, sizeof buf);
        if (n <= 0) break;
        shown.append(buf, static_cast<std::size_t>(n));
        if (!typed && shown.find("Password: ") != std::string::npos) {
            (void)!write(terminal, "s3cret words\n", 13);
            typed = true;
        }
        // A filled cell of the bar: the worker is well into the file.
        if (!signalled && shown.find('#') != std::string::npos) {
            kill(pid, SIGTERM);
            signalled = true;
        }
    }
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(signalled) << shown;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1) << shown;
    EXPECT_EQ(namesIn(box.files()), std::vector<std::string>{"big.bin.Vtf"});
}

}  // namespace
}  // namespace vlt::test
