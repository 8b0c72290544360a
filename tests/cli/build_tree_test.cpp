// Programs run from the build tree use the tree's plug-ins and helpers without VLT_SYSTEM_DIR,
// the file-manager actions installed from the tree run them, and an action that fails where
// nobody reads its standard error says so in a desktop notification. vlt holds no code of the
// shell extension: it runs the one copy it loads.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>

#include "run_vlt.h"
#include "support/elf_exports.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

// An environment variable set for one test (empty counts as unset for the programs).
class Env {
public:
    Env(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~Env() { m_old ? (void)setenv(m_name, m_old->c_str(), 1) : (void)unsetenv(m_name); }
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string text(const std::string& path) {
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

// The program an entry's Exec line runs.
std::string execProgram(const std::string& entry) {
    std::smatch m;
    const std::string t = text(entry);
    return std::regex_search(t, m, std::regex("\nExec=(\\S+)")) ? m[1].str() : std::string();
}

TEST(BuildTree, ProgramsFindTheTreesPlugInsAndItsActionsWork) {
    Sandbox box;
    const Env system("VLT_SYSTEM_DIR", ""), x("DISPLAY", ""), wayland("WAYLAND_DISPLAY", "");
    ASSERT_EQ(runVlt({"profile", "create", "--name", "Ann", "--password-stdin"}, "s3cret words\n").status, 0);
    const std::string file = box.path("a.txt");
    writeFile(file, std::string("abc"));
    const auto locked = runVlt({"lock", file});
    EXPECT_EQ(locked.status, 0) << locked.err;
    EXPECT_TRUE(fileExists(file + ".Vtf"));

    const Env data("XDG_DATA_HOME", box.root() + "/data"), config("XDG_CONFIG_HOME", box.root() + "/config");
    ASSERT_EQ(runVlt({"desktop", "install"}).status, 0);
    const std::string shell = execProgram(box.root() + "/data/applications/vlt-unlock.desktop");
    ASSERT_FALSE(shell.empty());
    EXPECT_EQ(fs::canonical(shell), fs::canonical(buildPath("hosts/vlt-shell")));
    for (const char* entry : {"vttray32", "vtinit32"}) {
        const std::string program = execProgram(box.root() + "/config/autostart/" + entry + ".desktop");
        EXPECT_EQ(program.rfind(std::string(VLT_BINARY_DIR) + "/", 0), 0u) << program;
        EXPECT_EQ(access(program.c_str(), X_OK), 0) << program;
    }
    // The lock action as a file manager runs it.
    fs::remove(file + ".Vtf");
    const auto action = runShell({"--verb", "0", file});
    EXPECT_EQ(action.status, 0) << action.err;
    EXPECT_TRUE(fileExists(file + ".Vtf"));
}

TEST(BuildTree, AnActionThatFailsUnseenIsNotified) {
    Sandbox box;
    const std::string log = box.root() + "/notified", empty = box.root() + "/empty";
    fs::create_directories(empty);
    // Each notifier alone on PATH: it records what it was asked to show.
    for (const char* notifier : {"notify-send", "gdbus"}) {
        const std::string bin = box.root() + "/" + notifier;
        fs::create_directories(bin);
        writeFile(bin + "/" + notifier, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + log + "'\n");
        chmod((bin + "/" + notifier).c_str(), 0755);
    }
    const Env x("DISPLAY", ""), wayland("WAYLAND_DISPLAY", "");
    const std::string file = box.path("a.txt");
    writeFile(file, std::string("abc"));
    const struct {
        const char* why;
        const char* notifier;
        const char* display;  // one nobody answers on counts as none
        std::string systemDir;
        std::vector<std::string> args;
        std::string says;  // empty: nothing to notify
    } cases[] = {
        {"no plug-in", "notify-send", "", empty, {"--verb", "0", file}, "cannot load " + empty + "/libVTMenu32.so"},
        {"no plug-in, no notify-send",
         "gdbus",
         "",
         empty,
         {"--verb", "0", file},
         "cannot load " + empty + "/libVTMenu32.so"},
        {"no display, and no profile: a message only standard error saw",
         "notify-send",
         "",
         "",
         {"--verb", "0", file},
         "no display"},
        {"a display nobody answers on, and no profile", "notify-send", ":987", "", {"--verb", "0", file}, "no display"},
        {"nothing failed", "notify-send", "", "", {"--list", file}, ""},
    };
    for (const auto& c : cases) {
        fs::remove(log);
        const Env system("VLT_SYSTEM_DIR", c.systemDir), path("PATH", box.root() + "/" + c.notifier),
            display("DISPLAY", c.display);
        const auto run = runShell(c.args);
        EXPECT_EQ(run.status, c.says.empty() ? 0 : 1) << c.why << "\n" << run.err;
        if (!c.says.empty()) EXPECT_NE(text(log).find(c.says), std::string::npos) << c.why << ": " << text(log);
        else EXPECT_FALSE(fileExists(log)) << c.why;
    }
}

TEST(BuildTree, VltHoldsNoCodeOfTheShellExtension) {
    const auto ofTheExtension = [](const std::string& name) {
        return name.find("N3vlt8shellext") != std::string::npos;
    };
    const auto plugIn = definedFunctions(buildPath("shellext/libVTMenu32.so"));
    EXPECT_TRUE(std::any_of(plugIn.begin(), plugIn.end(), ofTheExtension)) << "the check knows the extension's code";
    const auto vlt = definedFunctions(buildPath("tools/vlt/vlt"));
    ASSERT_FALSE(vlt.empty()) << "vlt has no symbol table to check";
    for (const auto& name : vlt) EXPECT_FALSE(ofTheExtension(name)) << name;
}

}  // namespace
}  // namespace vlt::test
