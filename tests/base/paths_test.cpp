// Where things live: each place moves with its environment variable, and an empty variable
// counts as unset; without its variable the system directory is found from the program's place.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <set>

#include "base/paths.h"

namespace vlt::base {
namespace {

const char* const kVariables[] = {"VLT_HOME", "XDG_DATA_HOME", "HOME", "VLT_MACHINE_DIR", "VLT_SYSTEM_DIR",
                                  "VLT_RUNTIME_DIR"};

class Paths : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables)
            if (const char* v = std::getenv(name)) m_saved[name] = v;
    }
    void TearDown() override {
        for (const char* name : kVariables) unsetenv(name);
        for (const auto& [name, value] : m_saved) setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::map<std::string, std::string> m_saved;
};

TEST_F(Paths, EachPlaceMovesWithItsVariable) {
    const struct {
        std::string (*place)();
        std::map<std::string, std::string> env;  // everything else unset
        const char* expected;
    } cases[] = {
        {userDataDir, {{"VLT_HOME", "/v"}, {"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}}, "/v"},
        {userDataDir, {{"VLT_HOME", ""}, {"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}}, "/x/vaultine"},
        {userDataDir, {{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share/vaultine"},
        {machineDir, {{"VLT_MACHINE_DIR", "/m"}}, "/m"},
        {machineDir, {{"VLT_MACHINE_DIR", ""}}, "/var/lib/vaultine"},
        {systemDir, {{"VLT_SYSTEM_DIR", "/s"}}, "/s"},
        {runtimeDir, {{"VLT_RUNTIME_DIR", "/r"}}, "/r"},
        {socketDir, {{"VLT_RUNTIME_DIR", "/r"}}, "/r"},
    };
    for (const auto& c : cases) {
        for (const char* name : kVariables) unsetenv(name);
        for (const auto& [name, value] : c.env) setenv(name.c_str(), value.c_str(), 1);
        EXPECT_EQ(c.place(), c.expected);
    }
}

// A tree built in /src/build/dev, installs in /usr, /opt/v and the tree's stage.
SystemDirLayout layoutOf(const std::string& variable, const std::string& program) {
    static const std::set<std::string> existing = {"/usr/lib/x86_64-linux-gnu/vaultine",
                                                   "/opt/v/lib/x86_64-linux-gnu/vaultine",
                                                   "/src/build/dev/stage/usr/lib/x86_64-linux-gnu/vaultine"};
    // Files by path; the tree's system directory links to what the tree built.
    static const std::map<std::string, std::string> files = {
        {"/usr/lib/x86_64-linux-gnu/vaultine/libVTMenu32.so", "/usr/lib/x86_64-linux-gnu/vaultine/libVTMenu32.so"},
        {"/src/build/dev/lib/vaultine/libVTMenu32.so", "/src/build/dev/shellext/libVTMenu32.so"},
        {"/src/build/dev/shellext/libVTMenu32.so", "/src/build/dev/shellext/libVTMenu32.so"},
        {"/s/libVTMenu32.so", "/s/libVTMenu32.so"},
    };
    SystemDirLayout layout;
    layout.variable = variable;
    layout.program = program;
    layout.buildTree = "/src/build/dev";
    layout.bindir = "bin";
    layout.below = "lib/x86_64-linux-gnu/vaultine";
    layout.configured = "/usr/local/lib/vaultine";
    layout.isDirectory = [](const std::string& path) { return existing.count(path) > 0; };
    layout.realFile = [](const std::string& path) {
        const auto it = files.find(path);
        return it == files.end() ? std::string() : it->second;
    };
    return layout;
}

TEST(SystemDir, FoundFromWhereTheProgramIs) {
    const struct {
        const char* variable;
        const char* program;
        const char* expected;
    } cases[] = {
        {"/s", "/usr/bin/vlt", "/s"},
        {"", "/usr/bin/vlt", "/usr/lib/x86_64-linux-gnu/vaultine"},
        {"", "/opt/v/bin/vlt-shell", "/opt/v/lib/x86_64-linux-gnu/vaultine"},  // moved with its prefix
        {"", "/usr/lib/x86_64-linux-gnu/vaultine/VTTray32", "/usr/lib/x86_64-linux-gnu/vaultine"},
        {"", "/home/u/bin/vlt", "/usr/local/lib/vaultine"},  // no system directory beside it
        {"", "/src/build/dev/tools/vlt/vlt", "/src/build/dev/lib/vaultine"},
        {"", "/src/build/dev/hosts/vlt-shell", "/src/build/dev/lib/vaultine"},
        {"", "/src/build/dev2/hosts/vlt-shell", "/usr/local/lib/vaultine"},  // another tree
        {"", "/src/build/dev/stage/usr/bin/vlt", "/src/build/dev/stage/usr/lib/x86_64-linux-gnu/vaultine"},
        {"", "", "/usr/local/lib/vaultine"},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseSystemDir(layoutOf(c.variable, c.program)), c.expected) << c.program;
}

TEST(SystemDir, ABuildTreeProgramLoadsItsOwnPlugInOverTheRegisteredOne) {
    const std::string installed = "/usr/lib/x86_64-linux-gnu/vaultine/libVTMenu32.so";
    const std::string tree = "/src/build/dev/lib/vaultine/libVTMenu32.so";
    const struct {
        const char* why;
        const char* variable;
        const char* program;
        std::string registered;
        std::string expected;
    } cases[] = {
        {"from the build tree", "", "/src/build/dev/tools/vlt/vlt", installed, tree},
        {"installed", "", "/usr/bin/vlt", installed, installed},
        {"installed elsewhere", "", "/opt/v/bin/vlt", installed, installed},
        {"the variable's copy", "/s", "/usr/bin/vlt", installed, "/s/libVTMenu32.so"},
        {"the variable without one", "/empty", "/src/build/dev/tools/vlt/vlt", installed, installed},
        {"the tree's own file by its own name", "", "/src/build/dev/tools/vlt/vlt",
         "/src/build/dev/shellext/libVTMenu32.so", "/src/build/dev/shellext/libVTMenu32.so"},
        {"another plug-in", "", "/src/build/dev/tools/vlt/vlt", "/opt/x/libOther.so", "/opt/x/libOther.so"},
        {"a bare name, installed", "", "/usr/bin/vlt", "libVTMenu32.so", installed},
        {"a bare name, in the tree", "", "/src/build/dev/hosts/vlt-shell", "libVTMenu32.so", tree},
    };
    for (const auto& c : cases)
        EXPECT_EQ(choosePluginPath(layoutOf(c.variable, c.program), c.registered), c.expected) << c.why;
}

TEST_F(Paths, ABuildTreeProgramUsesItsTreesSystemDir) {
    unsetenv("VLT_SYSTEM_DIR");
    const std::string dir = systemDir();
    EXPECT_EQ(dir, std::string(VLT_BINARY_DIR) + "/lib/vaultine");
    struct stat st {};
    EXPECT_EQ(stat((dir + "/help/index.html").c_str(), &st), 0) << "the build lays out the help as installed";
}

}  // namespace
}  // namespace vlt::base
