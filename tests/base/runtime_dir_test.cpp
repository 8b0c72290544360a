// Where the unlock cache may live: only in memory, unless a sandbox says otherwise.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "base/paths.h"

namespace vlt::test {
namespace {

constexpr uid_t kUid = 1000;

struct RuntimeCase {
    const char* name;
    std::map<std::string, std::string> env;
    std::set<std::string> memory;  // folders on tmpfs; others exist on a disk
    std::set<std::string> missing;
    mode_t runUserMode;
    std::string expected;
    const char* problemPart;  // "" when nothing is to be said
};

const RuntimeCase kCases[] = {
    {"OverrideIsTakenAsItIs", {{"VLT_RUNTIME_DIR", "/tmp/sandbox/run"}, {"XDG_RUNTIME_DIR", "/run/user/1000"}},
     {}, {}, 0700, "/tmp/sandbox/run", ""},
    {"XdgOnTmpfs", {{"XDG_RUNTIME_DIR", "/run/user/1000"}}, {"/run/user/1000", "/dev/shm"}, {}, 0700,
     "/run/user/1000/vaultine", ""},
    {"XdgOnADiskIsRefused", {{"XDG_RUNTIME_DIR", "/home/u/run"}}, {"/dev/shm"}, {"/run/user/1000"}, 0700,
     "/dev/shm/vaultine-1000", "is not a memory file system"},
    {"NoXdgTakesRunUser", {}, {"/run/user/1000", "/dev/shm"}, {}, 0700, "/run/user/1000/vaultine", ""},
    {"RunUserOpenToOthersIsPassedOver", {}, {"/run/user/1000", "/dev/shm"}, {}, 0755, "/dev/shm/vaultine-1000", ""},
    {"NoRunUserTakesDevShm", {}, {"/dev/shm"}, {"/run/user/1000"}, 0700, "/dev/shm/vaultine-1000", ""},
    {"DevShmOnADiskGivesNothing", {}, {}, {"/run/user/1000"}, 0700, "", "every unlock asks for the password"},
    {"NothingAtAll", {}, {}, {"/run/user/1000", "/dev/shm"}, 0700, "", "no memory file system"},
};

class RuntimeChoice : public ::testing::TestWithParam<RuntimeCase> {};

TEST_P(RuntimeChoice, KeepsTheCacheInMemory) {
    const RuntimeCase& c = GetParam();
    base::RuntimeProbe probe;
    probe.uid = kUid;
    probe.env = [&](const char* name) {
        const auto it = c.env.find(name);
        return it == c.env.end() ? std::string() : it->second;
    };
    probe.inspect = [&](const std::string& path) {
        base::PlaceFacts f;
        if (c.missing.count(path)) return f;
        f.directory = true;
        f.memory = c.memory.count(path) > 0;
        f.owner = kUid;
        f.mode = path == "/run/user/1000" ? c.runUserMode : 01777;
        return f;
    };
    const auto choice = base::chooseRuntimeDir(probe);
    EXPECT_EQ(choice.dir, c.expected);
    if (*c.problemPart == '\0') EXPECT_EQ(choice.problem, "");
    else EXPECT_NE(choice.problem.find(c.problemPart), std::string::npos) << choice.problem;
}

INSTANTIATE_TEST_SUITE_P(Places, RuntimeChoice, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RuntimeCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vlt::test
