// ShellExecuteExA and ShellExecuteA: what the suite starts, and how Windows names map here.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "shell/execute.h"
#include "shell_test.h"
#include "win32/shellapi.h"
#include "win32/sysinfoapi.h"
#include "win32/winbase.h"

namespace vlt::test {
namespace {

// Records every launch instead of starting anything.
class ShellExecute : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        shell::setSpawner([this](const shell::Launch& launch) {
            launches.push_back(launch);
            return spawnResult;
        });
    }
    void TearDown() override {
        shell::setSpawner({});
        ShellTest::TearDown();
    }

    // What the tray program's "Settings" command and the wizard's Finish do.
    BOOL startSettings() {
        char dir[MAX_PATH];
        EXPECT_GT(GetSystemDirectoryA(dir, MAX_PATH), 0u);
        char parameters[2 * MAX_PATH];
        std::snprintf(parameters, sizeof parameters, "shell32.dll,Control_RunDLL %s\\VTCert32.Cpl", dir);
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_DDEWAIT;
        info.lpFile = "rundll32.exe";
        info.lpParameters = parameters;
        info.nShow = SW_SHOWDEFAULT;
        const BOOL ok = ShellExecuteExA(&info);
        hInstApp = reinterpret_cast<std::uintptr_t>(info.hInstApp);
        return ok;
    }

    BOOL execute(const char* file, const char* parameters, const char* directory, const char* verb = nullptr,
                 DWORD cbSize = sizeof(SHELLEXECUTEINFOA)) {
        SHELLEXECUTEINFOA info{};
        info.cbSize = cbSize;
        info.fMask = SEE_MASK_FLAG_DDEWAIT;
        info.lpVerb = verb;
        info.lpFile = file;
        info.lpParameters = parameters;
        info.lpDirectory = directory;
        info.nShow = SW_SHOWDEFAULT;
        info.hProcess = reinterpret_cast<HANDLE>(std::uintptr_t{1});
        const BOOL ok = ShellExecuteExA(&info);
        hInstApp = reinterpret_cast<std::uintptr_t>(info.hInstApp);
        EXPECT_EQ(info.hProcess, nullptr);
        return ok;
    }

    std::vector<shell::Launch> launches;
    int spawnResult = 0;
    std::uintptr_t hInstApp = 0;
};

TEST_F(ShellExecute, SystemDirectoryIsTheInstallPlace) {
    char dir[MAX_PATH];
    EXPECT_EQ(GetSystemDirectoryA(dir, MAX_PATH), systemDir().size());
    EXPECT_EQ(std::string(dir), systemDir());
    setenv("VLT_SYSTEM_DIR", (systemDir() + "/").c_str(), 1);
    EXPECT_EQ(GetSystemDirectoryA(dir, MAX_PATH), systemDir().size()) << "no trailing separator";
    char small[4] = "abc";
    EXPECT_EQ(GetSystemDirectoryA(small, sizeof small), systemDir().size() + 1)
        << "the size needed, terminator included";
    EXPECT_STREQ(small, "abc");
}

TEST_F(ShellExecute, ControlPanelRunnerStartsTheAppletFromTheSystemDirectory) {
    makeProgram(systemDir() + "/vlt-control");
    ASSERT_TRUE(startSettings());
    EXPECT_GT(hInstApp, 32u);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, systemDir() + "/vlt-control");
    EXPECT_EQ(launches[0].args, std::vector<std::string>{systemDir() + "/VTCert32.Cpl"});
    EXPECT_EQ(launches[0].show, SW_SHOWDEFAULT);
}

TEST_F(ShellExecute, ControlPanelRunnerVariants) {
    makeProgram(systemDir() + "/vlt-control");
    ASSERT_TRUE(execute("C:\\WINDOWS\\System32\\RUNDLL32.EXE", "shell32.dll,Control_RunDLL \"/opt/a b/x.cpl\",@0,1",
                        nullptr));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].args, (std::vector<std::string>{"/opt/a b/x.cpl", "@0,1"}));
    launches.clear();

    EXPECT_FALSE(execute("rundll32.exe", "user32.dll,LockWorkStation", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    EXPECT_EQ(hInstApp, static_cast<std::uintptr_t>(SE_ERR_NOASSOC));
    EXPECT_TRUE(launches.empty());

    // A .cpl opened as a document goes to the runner as well.
    writeFile(systemDir() + "/VTCert32.Cpl", std::string("ELF"));
    ASSERT_TRUE(execute("vtcert32.cpl", nullptr, systemDir().c_str()));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].args, std::vector<std::string>{systemDir() + "/VTCert32.Cpl"});
}

TEST_F(ShellExecute, WithoutTheRunnerTheStartFails) {
    SetLastError(0);
    EXPECT_FALSE(startSettings());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(hInstApp, static_cast<std::uintptr_t>(SE_ERR_FNF));
    EXPECT_TRUE(launches.empty());
}

TEST_F(ShellExecute, ProgramsOfTheSystemDirectoryByTheirWindowsName) {
    makeProgram(systemDir() + "/VTInit32");
    // The applet: file "VTInit32.Exe", directory the system directory, no parameters.
    ASSERT_TRUE(execute("VTInit32.Exe", nullptr, systemDir().c_str()));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, systemDir() + "/VTInit32");
    EXPECT_TRUE(launches[0].args.empty());
    EXPECT_EQ(launches[0].workingDir, systemDir());
    launches.clear();

    // Any case, with the folder in the name instead, or found in the system directory alone.
    ASSERT_TRUE(execute((systemDir() + "\\vtinit32.exe").c_str(), "--import \"C:\\My Files\\a.Vtb\"", nullptr));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, systemDir() + "/VTInit32");
    EXPECT_EQ(launches[0].args, (std::vector<std::string>{"--import", "C:\\My Files\\a.Vtb"}));
    EXPECT_EQ(launches[0].workingDir, "");
    launches.clear();
    ASSERT_TRUE(execute("VTINIT32", nullptr, sandbox.files().c_str()));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, systemDir() + "/VTInit32");
    EXPECT_EQ(launches[0].workingDir, sandbox.files());
}

TEST_F(ShellExecute, MissingOrUnrunnableProgramsFail) {
    SetLastError(0);
    EXPECT_FALSE(execute("VTInit32.Exe", nullptr, systemDir().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(hInstApp, static_cast<std::uintptr_t>(SE_ERR_FNF));

    writeFile(systemDir() + "/VTTray32", std::string("not executable"));
    EXPECT_FALSE(execute("VTTray32.exe", nullptr, systemDir().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(launches.empty());

    // The spawner's own failure comes back as the Windows error.
    makeProgram(systemDir() + "/VTInit32");
    spawnResult = ENOENT;
    EXPECT_FALSE(execute("VTInit32.Exe", nullptr, systemDir().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    spawnResult = EACCES;
    EXPECT_FALSE(execute("VTInit32.Exe", nullptr, systemDir().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(ShellExecute, HelpFileOpensTheHtmlHelpWhenInstalled) {
    ASSERT_EQ(mkdir((systemDir() + "/help").c_str(), 0755), 0);
    writeFile(systemDir() + "/help/index.html", std::string("<html></html>"));
    ASSERT_TRUE(execute("Vaultine.chm", nullptr, systemDir().c_str()));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, "xdg-open");
    EXPECT_EQ(launches[0].args, std::vector<std::string>{systemDir() + "/help/index.html"});
}

TEST_F(ShellExecute, HelpFileItselfOrNothing) {
    SetLastError(0);
    EXPECT_FALSE(execute("Vaultine.chm", nullptr, systemDir().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(hInstApp, static_cast<std::uintptr_t>(SE_ERR_FNF));

    writeFile(systemDir() + "/vaultine.CHM", std::string("ITSF"));
    ASSERT_TRUE(execute("Vaultine.chm", nullptr, systemDir().c_str()));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].args, std::vector<std::string>{systemDir() + "/vaultine.CHM"});
}

TEST_F(ShellExecute, LinksAndDocumentsOpenWithTheDesktopsOpener) {
    const HINSTANCE r = ShellExecuteA(nullptr, "open", "mailto:support@example.org", nullptr, nullptr, SW_SHOW);
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(r), 32u);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, "xdg-open");
    EXPECT_EQ(launches[0].args, std::vector<std::string>{"mailto:support@example.org"});
    EXPECT_EQ(launches[0].show, SW_SHOW);

    ASSERT_TRUE(execute("HTTPS://example.org/vlt", nullptr, nullptr));
    writeFile(sandbox.path("notes.txt"), std::string("x"));
    ASSERT_TRUE(execute("notes.txt", nullptr, sandbox.files().c_str()));
    ASSERT_EQ(launches.size(), 3u);
    EXPECT_EQ(launches[2].args, std::vector<std::string>{sandbox.path("notes.txt")});

    // Without an opener there is no association.
    spawnResult = ENOENT;
    EXPECT_FALSE(execute("notes.txt", nullptr, sandbox.files().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    EXPECT_EQ(hInstApp, static_cast<std::uintptr_t>(SE_ERR_NOASSOC));
}

TEST_F(ShellExecute, RequestsThatAreRefused) {
    writeFile(sandbox.path("notes.txt"), std::string("x"));
    EXPECT_FALSE(execute("notes.txt", nullptr, sandbox.files().c_str(), "print"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    EXPECT_TRUE(execute("notes.txt", nullptr, sandbox.files().c_str(), "Open"));
    EXPECT_TRUE(execute("notes.txt", nullptr, sandbox.files().c_str(), "", SHELLEXECUTEINFOA_WIN32_SIZE));
    EXPECT_FALSE(execute("notes.txt", nullptr, sandbox.files().c_str(), nullptr, 12));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(execute(nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(launches.size(), 2u);
    EXPECT_FALSE(ShellExecuteExA(nullptr));
}

TEST(SplitParameters, WindowsCommandLineRules) {
    using shell::splitParameters;
    EXPECT_EQ(splitParameters(""), std::vector<std::string>{});
    EXPECT_EQ(splitParameters("  a  b\tc "), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(splitParameters("\"a b\" c"), (std::vector<std::string>{"a b", "c"}));
    EXPECT_EQ(splitParameters("\"\""), std::vector<std::string>{""});
    EXPECT_EQ(splitParameters("a\\\\b \\\"x\\\" C:\\dir\\"),
              (std::vector<std::string>{"a\\\\b", "\"x\"", "C:\\dir\\"}));
    EXPECT_EQ(splitParameters("\"a\\\\\" b"), (std::vector<std::string>{"a\\", "b"}));
    EXPECT_EQ(splitParameters("\"say \"\"hi\"\"\""), std::vector<std::string>{"say \"hi\""});
}

// The real spawner: the program runs with its arguments in its folder, and the call returns
// before the program ends (it waits here for a flag the test sets only afterwards).
using ShellExecuteSpawn = ShellTest;

TEST_F(ShellExecuteSpawn, StartsTheProgramWithoutWaitingForIt) {
    makeProgram(systemDir() + "/VTInit32",
                "i=0\n"
                "while [ ! -e \"$1\" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                "{ pwd; echo \"$2\"; } > \"$1.part\" && mv \"$1.part\" \"$1.out\"\n");
    const std::string flag = sandbox.path("go");
    const std::string parameters = "\"" + flag + "\" \"two words\"";
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_DDEWAIT;
    info.lpFile = "VTInit32.Exe";
    info.lpParameters = parameters.c_str();
    const std::string directory = sandbox.files();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_SHOWDEFAULT;
    ASSERT_TRUE(ShellExecuteExA(&info));
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(info.hInstApp), 32u);
    EXPECT_FALSE(fileExists(flag + ".out")) << "the program is still waiting for the flag";
    writeFile(flag, std::string("go"));
    for (int i = 0; i < 400 && !fileExists(flag + ".out"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    const auto out = readFile(flag + ".out");
    EXPECT_EQ(std::string(out.begin(), out.end()), sandbox.files() + "\ntwo words\n");
}

// Links wait for xdg-open and map how it ended; a fake one stands first on PATH.
class LinkOpener : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        m_savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        bin = sandbox.path("bin");
        ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
        setenv("PATH", bin.c_str(), 1);  // no real xdg-open may stand in for a missing one
    }
    void TearDown() override {
        setenv("PATH", m_savedPath.c_str(), 1);
        ShellTest::TearDown();
    }
    std::uintptr_t open(const char* link) {
        return reinterpret_cast<std::uintptr_t>(ShellExecuteA(nullptr, "open", link, nullptr, nullptr, SW_SHOW));
    }
    std::string bin;

private:
    std::string m_savedPath;
};

TEST_F(LinkOpener, HowTheOpenerEndsIsTheShellsAnswer) {
    struct Case {
        const char* script;  // nullptr: no xdg-open at all
        mode_t mode;
        std::uintptr_t result;
        DWORD lastError;
    };
    const Case cases[] = {
        {"echo \"$1\" > \"${0%/*}/asked\"; exit 0\n", 0755, 42, ERROR_SUCCESS},
        {"exit 2\n", 0755, SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {"exit 3\n", 0755, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {"echo 'xdg-open: no method available for opening mailto:jo' >&2; exit 4\n", 0755, SE_ERR_NOASSOC,
         ERROR_NO_ASSOCIATION},
        {"echo 'gio: Operation not supported' >&2; exit 4\n", 0755, SE_ERR_ASSOCINCOMPLETE, ERROR_NO_ASSOCIATION},
        {"exit 0\n", 0644, SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED},
        {nullptr, 0, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
    };
    for (const auto& c : cases) {
        const std::string opener = bin + "/xdg-open";
        unlink(opener.c_str());
        if (c.script) {
            writeFile(opener, std::string("#!/bin/sh\n") + c.script);
            ASSERT_EQ(chmod(opener.c_str(), c.mode), 0);
        }
        SetLastError(ERROR_SUCCESS);
        const std::uintptr_t r = open("mailto:jo@example.org");
        if (c.result > 32) {
            EXPECT_GT(r, 32u) << (c.script ? c.script : "none");
        } else {
            EXPECT_EQ(r, c.result) << (c.script ? c.script : "none");
            EXPECT_EQ(GetLastError(), c.lastError) << (c.script ? c.script : "none");
        }
    }
    const auto asked = readFile(bin + "/asked");
    EXPECT_EQ(std::string(asked.begin(), asked.end()), "mailto:jo@example.org\n") << "waited for: already written";
}

TEST_F(ShellExecute, WinExecSplitsTheCommandLine) {
    EXPECT_GT(WinExec("\"/opt/my browser/b\" -- mailto:jo@example.org", SW_SHOW), 31u);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, "/opt/my browser/b");
    EXPECT_EQ(launches[0].args, (std::vector<std::string>{"--", "mailto:jo@example.org"}));
    EXPECT_EQ(launches[0].show, SW_SHOW);
    EXPECT_EQ(WinExec("", SW_SHOW), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellExecuteSpawn, WinExecFailuresAreNamed) {
    makeProgram(systemDir() + "/browser");
    writeFile(systemDir() + "/notes", std::string("not a program"));
    struct Case {
        std::string commandLine;
        UINT result;
    };
    for (const auto& c : {Case{systemDir() + "/browser mailto:jo", 33}, Case{systemDir() + "/none x", ERROR_FILE_NOT_FOUND},
                          Case{sandbox.path("nowhere") + "/browser x", ERROR_PATH_NOT_FOUND},
                          Case{systemDir() + "/notes", ERROR_BAD_FORMAT}})
        EXPECT_EQ(WinExec(c.commandLine.c_str(), SW_SHOW), c.result) << c.commandLine;
}

}  // namespace
}  // namespace vlt::test
