// Where things live: each place moves with its environment variable, and an empty variable
// counts as unset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

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

TEST_F(Paths, SystemDirDefaultsToTheInstallLibraryFolder) {
    unsetenv("VLT_SYSTEM_DIR");
    const std::string dir = systemDir();
    EXPECT_EQ(dir.front(), '/');
    EXPECT_EQ(dir.substr(dir.rfind('/')), "/vaultine");
}

}  // namespace
}  // namespace vlt::base
