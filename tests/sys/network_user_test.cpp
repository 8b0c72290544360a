// WNetGetUserA: the effective user's login name, and the size asked for when it does not fit.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "win32/winnetwk.h"

namespace vlt::test {
namespace {

TEST(WNetGetUserA, NamesTheEffectiveUserAndAsksForRoomWhenTheBufferIsShort) {
    const passwd* pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr) << "the test needs a password entry";
    const std::string expected = pw->pw_name;

    DWORD size = 0;
    EXPECT_EQ(WNetGetUserA(nullptr, nullptr, &size), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(size, expected.size() + 1) << "the terminator counts";
    char small[2] = {'x', 'y'};
    size = 1;
    EXPECT_EQ(WNetGetUserA(nullptr, small, &size), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(small[0], 'x') << "a short buffer is left alone";

    char name[256] = {};
    size = sizeof name;
    EXPECT_EQ(WNetGetUserA(nullptr, name, &size), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(std::string(name), expected);
    size = static_cast<DWORD>(expected.size() + 1);
    EXPECT_EQ(WNetGetUserA("", name, &size), static_cast<DWORD>(NO_ERROR)) << "an exact fit";

    EXPECT_EQ(WNetGetUserA(nullptr, name, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace vlt::test
