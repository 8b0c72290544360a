// Folders that hold secrets: what is accepted, tightened and refused.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "base/private_dir.h"
#include "support/sandbox.h"
#include "win32/winerror.h"

namespace vlt::test {
namespace {

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

struct DirCase {
    const char* name;
    std::function<void(const std::string& dir, const Sandbox&)> prepare;
    base::Privacy privacy;
    bool accepted;
    mode_t modeAfter;        // when accepted
    const char* messagePart;  // when refused
    bool needsRoot;
};

// Made with a mode the umask cannot narrow.
void makeDir(const std::string& d, mode_t mode) {
    ASSERT_EQ(mkdir(d.c_str(), 0700), 0) << d;
    ASSERT_EQ(chmod(d.c_str(), mode), 0) << d;
}

void giveAway(const std::string& path) { ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0) << path; }

const DirCase kDirCases[] = {
    {"MissingIsMadePrivate", [](const std::string&, const Sandbox&) {}, base::Privacy::User, true, 0700, "", false},
    {"OursOpenIsTightened", [](const std::string& d, const Sandbox&) { makeDir(d, 0755); }, base::Privacy::User, true,
     0700, "", false},
    {"OursWorldWritableIsTightened", [](const std::string& d, const Sandbox&) { makeDir(d, 01777); },
     base::Privacy::User, true, 01700, "", false},
    {"LinkToAPrivateDirIsRefused",
     [](const std::string& d, const Sandbox& s) {
         makeDir(s.path("real"), 0700);
         ASSERT_EQ(symlink(s.path("real").c_str(), d.c_str()), 0);
     },
     base::Privacy::User, false, 0, "symbolic link", false},
    {"RegularFileIsRefused", [](const std::string& d, const Sandbox&) { writeFile(d, "x"); }, base::Privacy::User,
     false, 0, "not a directory", false},
    {"AnotherUsersDirIsRefused",
     [](const std::string& d, const Sandbox&) {
         makeDir(d, 0700);
         giveAway(d);
     },
     base::Privacy::User, false, 0, "another user", true},
    {"MachineDirStaysReadableByAll", [](const std::string& d, const Sandbox&) { makeDir(d, 0755); },
     base::Privacy::Machine, true, 0755, "", false},
    {"MachineDirLosesGroupWrite", [](const std::string& d, const Sandbox&) { makeDir(d, 0775); },
     base::Privacy::Machine, true, 0755, "", false},
    {"MachineDirOfAnotherUserIsRefused",
     [](const std::string& d, const Sandbox&) {
         makeDir(d, 0755);
         giveAway(d);
     },
     base::Privacy::Machine, false, 0, "another user", true},
};

class PrivateDirCases : public ::testing::TestWithParam<DirCase> {};

TEST_P(PrivateDirCases, AreProvenBeforeUse) {
    const DirCase& c = GetParam();
    if (c.needsRoot && geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
    Sandbox sandbox;
    const std::string dir = sandbox.path("private");
    c.prepare(dir, sandbox);
    auto proved = base::ensurePrivateDir(dir, c.privacy);
    if (c.accepted) {
        ASSERT_TRUE(proved) << proved.error().message;
        EXPECT_EQ(modeOf(dir), c.modeAfter);
        EXPECT_EQ(proved->owner, geteuid());
    } else {
        ASSERT_FALSE(proved);
        EXPECT_EQ(proved.error().code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
        EXPECT_NE(proved.error().message.find(c.messagePart), std::string::npos) << proved.error().message;
        EXPECT_NE(proved.error().message.find(dir), std::string::npos) << "names the folder";
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, PrivateDirCases, ::testing::ValuesIn(kDirCases),
                         [](const ::testing::TestParamInfo<DirCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vlt::test
