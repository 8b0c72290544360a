// vlt cert and vlt settings end to end: a name outside ASCII through import, list, show and
// delete; the same-name question answered by --no and --as; settings changed together or not
// at all, with status 2 for what cannot be set.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "run_vlt.h"
#include "shared/certificate_record.h"
#include "shared/profile_file.h"
#include "support/fixtures.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

const std::string kSettings = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings";

// The fixtures' contact as "Zoë" (stored in Windows-1252), with `algorithm` as its word.
std::string certificateFile(Sandbox& box, DWORD algorithm) {
    auto record = parseCertificateRecord(fixture("contact/base/cert-record.bin"));
    EXPECT_TRUE(record);
    record->identity.displayName = "Zo\xEB";
    CertificateStoreEntry entry;
    entry.algorithm = algorithm;
    entry.baseRecord = buildCertificateRecord(*record);
    const std::string path = box.path("zoe-" + std::to_string(algorithm) + ".Vtp");
    writeFile(path, buildProfileFile(entry));
    return path;
}

bool has(const Run& run, const std::string& text) {
    return (run.out + run.err).find(text) != std::string::npos;
}

TEST(CertCommand, ANameOutsideAsciiThroughImportListShowAndDelete) {
    Sandbox box;
    const std::string first = certificateFile(box, 0x10006602);
    const auto imported = runVlt({"cert", "import", first});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_TRUE(has(imported, "Stored as Zoë in the personal store."));

    const auto again = runVlt({"cert", "import", first});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(has(again, "The Certificate for Zoë already exists in the store.")) << again.out << again.err;

    const std::string newer = certificateFile(box, 0x6602);
    EXPECT_EQ(runVlt({"cert", "import", newer, "--no"}).status, 1);
    EXPECT_EQ(runVlt({"cert", "list"}).out, "Zoë\n");
    EXPECT_EQ(runVlt({"cert", "import", newer, "--as", "Zoë 2"}).status, 0);
    EXPECT_EQ(runVlt({"cert", "list"}).out, "Zoë 2\nZoë\n");

    const auto shown = runVlt({"cert", "show", "Zoë 2"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_TRUE(has(shown, "Name:     Zoë\n")) << shown.out;

    EXPECT_EQ(runVlt({"cert", "delete", "Zoë"}).status, 1);  // not confirmed
    EXPECT_EQ(runVlt({"cert", "delete", "Zoë", "--yes"}).status, 0);
    EXPECT_EQ(runVlt({"cert", "list"}).out, "Zoë 2\n");
    EXPECT_EQ(runVlt({"cert", "show", "Zoë"}).status, 1);
    EXPECT_TRUE(runVlt({"cert", "list", "--system"}).out.empty());
}

// vlt on a terminal, with `typed` typed ahead: what the terminal showed and the exit status.
Run runOnTerminal(const std::vector<std::string>& args, const std::string& typed) {
    std::vector<std::string> words{"vlt"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const std::string program = buildPath("tools/vlt/vlt");
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        setenv("VLT_SYSTEM_DIR", buildPath("shellext").c_str(), 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Run run;
    (void)!write(terminal, typed.data(), typed.size());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (char buf[512]; std::chrono::steady_clock::now() < deadline;) {
        pollfd p{terminal, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = read(terminal, buf, sizeof buf);
        if (n <= 0) break;
        run.out.append(buf, static_cast<std::size_t>(n));
    }
    close(terminal);
    kill(pid, SIGKILL);  // only when it still waits after the deadline
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The same-name question on a terminal: --yes and --as answer it without asking, --no declines,
// and without them it is asked; Yes is followed by the new name, as the applet's dialog asks it.
TEST(CertCommand, SameNameOnATerminal) {
    Sandbox box;
    ASSERT_EQ(runVlt({"cert", "import", certificateFile(box, 0x10006602)}).status, 0);
    const std::string newer = certificateFile(box, 0x6602);
    const struct {
        std::vector<std::string> options;
        std::string typed;
        int status;
        bool asked;
        std::string stored;
    } cases[] = {{{"--yes"}, "Zoë 2\n", 0, false, "Zoë 2"},
                 {{}, "y\nZoë 3\n", 0, true, "Zoë 3"},
                 {{"--no"}, "y\nZoë 4\n", 1, false, ""},
                 {{"--as", "Zoë 5"}, "", 0, false, "Zoë 5"},
                 {{"--yes"}, "\n", 1, false, ""}};
    std::string listed = "Zoë\n";
    for (const auto& c : cases) {
        std::vector<std::string> args{"cert", "import", newer};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto run = runOnTerminal(args, c.typed);
        EXPECT_EQ(run.status, c.status) << c.typed << run.out;
        EXPECT_EQ(run.out.find("Answer yes or no") != std::string::npos, c.asked) << run.out;
        if (!c.stored.empty()) listed = c.stored + "\n" + listed;
        EXPECT_EQ(runVlt({"cert", "list"}).out, listed) << c.typed;
    }
    // Nobody at a terminal to type the name: said, instead of waiting for it.
    const auto unattended = runVlt({"cert", "import", newer, "--yes"});
    EXPECT_EQ(unattended.status, 1);
    EXPECT_TRUE(has(unattended, "give it with --as NAME")) << unattended.err;
}

TEST(CertCommand, UsageErrors) {
    Sandbox box;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"cert"}, {"cert", "frob"}, {"cert", "import"}, {"cert", "import", "a.Vtp", "--as", "X", "--no"},
             {"cert", "show"}, {"cert", "import", "a.Vtp", "--as", "Zo\xCE\xA9"}})
        EXPECT_EQ(runVlt(args).status, 2) << args.back();
}

TEST(SettingsCommand, ChangesEverythingOrNothing) {
    Sandbox box;
    // Profile values that make both providers list their algorithms.
    writeFile(box.path("p.reg"), std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quillon Softworks\\"
                                             "Vaultine\\1.00\\Profile]\r\n\"ExchangeBlob1\"=hex:01\r\n"
                                             "\"ExchangeBlob3\"=hex:01\r\n"));
    ASSERT_EQ(runVlt({"reg", "import", box.path("p.reg")}).status, 0);

    const auto set = runVlt({"settings", "set", "Encrypt=RC4  [128]", "hash=0x8003", "AutoLock=1", "TimeOut=90"});
    EXPECT_EQ(set.status, 0) << set.err;
    const auto shown = runVlt({"settings"});
    EXPECT_TRUE(has(shown, "* RC4  [128]")) << shown.out;
    EXPECT_TRUE(has(shown, "* MD5  [128]"));
    EXPECT_TRUE(has(shown, "AutoLock: 1\nTimeOut: 90\n"));

    for (const std::vector<std::string>& refused : std::vector<std::vector<std::string>>{
             {"settings", "set", "Encrypt=0x6602", "Hash=Tiger"},
             {"settings", "set", "Encrypt=0x6602", "Colour=1"},
             {"settings", "set", "Encrypt=0x6602", "TimeOut=ten"},
             {"settings", "set", "Encrypt=0x6602", "AutoLock=2"},
             {"settings", "set", "Encrypt=0x12345"}}) {
        EXPECT_EQ(runVlt(refused).status, 2) << refused.back();
    }
    EXPECT_TRUE(has(runVlt({"reg", "query", kSettings, "Encrypt"}), "0x10006801"));
    EXPECT_TRUE(has(runVlt({"settings"}), "TimeOut: 90\n"));
}

}  // namespace
}  // namespace vlt::test
