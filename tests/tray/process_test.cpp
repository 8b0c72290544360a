// VTTray32 as a process in a sandbox, with vlt and the shell extension in processes of their
// own, on the real clock: an unlock reaches the tray through its window, the countdown removes
// the cache, and the next unlock needs the password again. And the autostart entry.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "cli/run_vlt.h"
#include "shellext/resources.h"
#include "support/fixtures.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kProfilePath = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";

std::string hexList(const std::vector<unsigned char>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// The fixtures' owner, brought over from Windows, with automatic locking after `period` seconds.
std::string ownerWithAutoLock(unsigned period) {
    std::string reg = "REGEDIT4\r\n\r\n[" + kProfilePath + "]\r\n";
    for (const auto& [name, file] : {std::pair{"ExchangeBlob1", "profile/base/cert-record.bin"},
                                     std::pair{"ExchangeBlob2", "profile/base/wrapped-key.bin"},
                                     std::pair{"ExchangeBlob3", "profile/enhanced/cert-record.bin"},
                                     std::pair{"ExchangeBlob4", "profile/enhanced/wrapped-key.bin"}})
        reg += "\"" + std::string(name) + "\"=hex:" + hexList(fixture(file)) + "\r\n";
    char dword[16];
    std::snprintf(dword, sizeof dword, "%08x", period);
    reg += "\"InitUser\"=dword:00000001\r\n\"TimeOut Period\"=dword:" + std::string(dword) + "\r\n\r\n";
    reg += "[HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings]\r\n"
           "\"Encrypt\"=dword:10006602\r\n\"AutoLock\"=dword:00000001\r\n";
    return reg;
}

// VTTray32 --headless in the sandbox's environment.
class TrayProcess {
public:
    explicit TrayProcess(const std::string& transcript) {
        const std::string program = buildPath("tray/VTTray32");
        m_pid = fork();
        if (m_pid == 0) {
            setsid();
            execl(program.c_str(), program.c_str(), "--headless", "--transcript", transcript.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TrayProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // SIGTERM, as the session's end sends it; the exit status.
    int stop() {
        kill(m_pid, SIGTERM);
        return ended(10s);
    }
    // The exit status once it has ended by itself, -1 when it still runs after `limit`.
    int ended(std::chrono::milliseconds limit) {
        int status = 0;
        for (auto until = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < until;) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

private:
    pid_t m_pid = 0;
};

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    for (auto until = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < until;) {
        if (done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return done();
}

bool cachePresent() { return runVlt({"reg", "query", kProfilePath, "TempExchangeBlob1"}).status == 0; }

TEST(TrayProcess, CountdownAfterAnUnlockLocksTheProfileAgain) {
    Sandbox box;
    writeFile(box.path("owner.reg"), ownerWithAutoLock(5));
    ASSERT_EQ(runVlt({"reg", "import", box.path("owner.reg")}).status, 0);

    const auto none = runVlt({"tray", "status"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "no tray is running\n");

    const std::string transcript = box.path("tray.txt");
    TrayProcess tray(transcript);
    ASSERT_TRUE(waitUntil([] { return runVlt({"tray", "status"}).out == "locked\n"; }, 20s)) << "the tray did not come up";

    const std::string first = box.path("first.bin.Vtf");
    const std::string second = box.path("second.bin.Vtf");
    writeFile(first, fixture("locked/enhanced/len-160.bin.Vtf"));
    writeFile(second, fixture("locked/base/len-1000.bin.Vtf"));
    const auto unlocked = runVlt({"unlock", "--password-stdin", first}, "Lantern-Frost 1984\n");
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_TRUE(fileExists(box.path("len-160.bin")));

    // The tray heard of the unlock: the cache stays until its countdown ends.
    EXPECT_TRUE(cachePresent());
    const auto status = runVlt({"tray", "status"});
    ASSERT_EQ(status.out.rfind("unlocked, ", 0), 0u) << status.out;
    EXPECT_NE(status.out.find(" seconds left\n"), std::string::npos) << status.out;
    const int left = std::atoi(status.out.c_str() + 10);
    EXPECT_GE(left, 0);
    EXPECT_LE(left, 5);
    ASSERT_TRUE(waitUntil([] { return !cachePresent(); }, 15s)) << "the countdown did not lock";
    EXPECT_EQ(runVlt({"tray", "status"}).out, "locked\n");

    // Locked again: without a password on standard input the unlock cannot go on, and the
    // password dialog is what stops it.
    const auto again = runVlt({"unlock", "--password-stdin", second}, "");
    EXPECT_EQ(again.status, 1) << again.err;
    EXPECT_FALSE(fileExists(box.path("len-1000.bin")));
    EXPECT_FALSE(cachePresent());
    writeFile(box.path("answers.txt"), "dialog " + std::to_string(shellext::kPasswordDialog) + " cancel\n");
    const auto asked = runVlt({"unlock", "--answers", box.path("answers.txt"), "--transcript", box.path("shown.txt"), second});
    EXPECT_EQ(asked.status, 1);
    const auto seen = readFile(box.path("shown.txt"));
    EXPECT_NE(std::string(seen.begin(), seen.end()).find("Enter VLT Password"), std::string::npos);

    EXPECT_EQ(tray.stop(), 0);
    const auto shown = readFile(transcript);
    const std::string text(shown.begin(), shown.end());
    EXPECT_NE(text.find("tray add icon=131 tip=\"VLT is Locked.\""), std::string::npos) << text;
    EXPECT_NE(text.find("icon=132"), std::string::npos) << text;
    EXPECT_NE(text.find("tray delete"), std::string::npos) << text;
}

TEST(TrayProcess, SessionEndLocksAnUnlockedProfile) {
    Sandbox box;
    writeFile(box.path("owner.reg"), ownerWithAutoLock(600));
    ASSERT_EQ(runVlt({"reg", "import", box.path("owner.reg")}).status, 0);
    TrayProcess tray(box.path("tray.txt"));
    ASSERT_TRUE(waitUntil([] { return runVlt({"tray", "status"}).out == "locked\n"; }, 20s));
    writeFile(box.path("a.bin.Vtf"), fixture("locked/enhanced/len-0.bin.Vtf"));
    ASSERT_EQ(runVlt({"unlock", "--password-stdin", box.path("a.bin.Vtf")}, "Lantern-Frost 1984\n").status, 0);
    EXPECT_TRUE(cachePresent());
    EXPECT_EQ(runVlt({"tray", "status"}).out.rfind("unlocked, ", 0), 0u);
    EXPECT_EQ(tray.stop(), 0);
    EXPECT_FALSE(cachePresent());
}

TEST(TrayProcess, SecondCopyEndsAtOnceAndLeavesTheFirstAlone) {
    Sandbox box;
    auto published = [&box] {
        int n = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(box.runtime() + "/windows", ec))
            n += e.path().extension() == ".win";
        return n;
    };
    writeFile(box.path("owner.reg"), ownerWithAutoLock(600));
    ASSERT_EQ(runVlt({"reg", "import", box.path("owner.reg")}).status, 0);
    TrayProcess first(box.path("first.txt"));
    ASSERT_TRUE(waitUntil([] { return runVlt({"tray", "status"}).out == "locked\n"; }, 20s));
    writeFile(box.path("a.bin.Vtf"), fixture("locked/enhanced/len-0.bin.Vtf"));
    ASSERT_EQ(runVlt({"unlock", "--password-stdin", box.path("a.bin.Vtf")}, "Lantern-Frost 1984\n").status, 0);
    TrayProcess second(box.path("second.txt"));
    EXPECT_EQ(second.ended(20s), 0) << "a second copy ends by itself";
    EXPECT_EQ(published(), 1);
    EXPECT_FALSE(fileExists(box.path("second.txt"))) << "before any front end";
    EXPECT_TRUE(cachePresent()) << "a second copy does not lock at start";
    EXPECT_EQ(first.stop(), 0);

    TrayProcess after(box.path("after.txt"));
    EXPECT_TRUE(waitUntil([&] { return published() == 1; }, 20s)) << "the next one runs when the first has gone";
    EXPECT_EQ(after.stop(), 0);
}

TEST(TrayAutostart, DesktopInstallStartsTheTrayAndTheWizardAtLoginAndUninstallRemovesThem) {
    Sandbox box;
    const std::string config = box.root() + "/xdg-config";
    setenv("XDG_DATA_HOME", (box.root() + "/xdg-data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ASSERT_EQ(runVlt({"desktop", "install"}).status, 0);
    const std::pair<const char*, const char*> entries[] = {{"vttray32", "VTTray32"}, {"vtinit32", "VTInit32"}};
    for (const auto& [file, name] : entries) {
        const auto bytes = readFile(config + "/autostart/" + file + ".desktop");
        const std::string entry(bytes.begin(), bytes.end());
        EXPECT_NE(entry.find("X-GNOME-Autostart-enabled=true"), std::string::npos) << entry;
        const auto exec = entry.find("\nExec=");
        ASSERT_NE(exec, std::string::npos) << entry;
        const std::string program = entry.substr(exec + 6, entry.find('\n', exec + 1) - exec - 6);
        EXPECT_EQ(fs::path(program).filename(), name);
        EXPECT_EQ(access(program.c_str(), X_OK), 0) << program;
    }

    ASSERT_EQ(runVlt({"desktop", "uninstall"}).status, 0);
    for (const auto& [file, name] : entries) EXPECT_FALSE(fileExists(config + "/autostart/" + file + ".desktop")) << name;
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vlt::test
