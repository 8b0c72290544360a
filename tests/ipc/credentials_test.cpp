// Only the same user gets through: the check itself, and, when the tests run as root, a
// process of another user knocking on an opened-up socket.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ipc/wire.h"
#include "ipc_test.h"

namespace vlt::test {
namespace {

TEST(PeerCredentials, OnlyTheSameUser) {
    EXPECT_TRUE(ipc::peerAllowed(geteuid()));
    EXPECT_FALSE(ipc::peerAllowed(geteuid() + 1));
    EXPECT_FALSE(ipc::peerAllowed(0 == geteuid() ? 65534 : 0));
}

using OtherUser = IpcTest;

TEST_F(OtherUser, IsClosedOutUnansweredEvenWhenThePermissionsLetItIn) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const auto window = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
    service->titleChanged(window, "VLTTestClass", "Vaultine Tray");
    std::string socket;
    for (const auto& f : std::filesystem::directory_iterator(service->directory()))
        if (f.path().extension() == ".sock") socket = f.path().string();
    ASSERT_FALSE(socket.empty());

    // The same user is answered.
    {
        PeerProcess same;
        ASSERT_TRUE(same.start({"intrude", socket, std::to_string(geteuid())}));
        EXPECT_EQ(same.finish(), 1);
    }
    ASSERT_EQ(receivedNow().size(), 1u);

    // Take away the file-system protection so that only the credential check stands.
    for (const std::string& dir : {sandbox.root(), sandbox.runtime(), service->directory()})
        ASSERT_EQ(chmod(dir.c_str(), 0711), 0);
    ASSERT_EQ(chmod(socket.c_str(), 0666), 0);
    PeerProcess other;
    ASSERT_TRUE(other.start({"intrude", socket, "65534"}));
    EXPECT_EQ(other.finish(), 0) << "closed without an answer";
    EXPECT_EQ(receivedNow().size(), 1u) << "and nothing was delivered";
    for (const std::string& dir : {sandbox.root(), sandbox.runtime(), service->directory()})
        ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
}

TEST_F(OtherUser, ADirectoryOpenToOthersIsClosedOrRefused) {
    const std::string dir = sandbox.runtime() + "/open";
    ASSERT_EQ(mkdir(dir.c_str(), 0777), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    auto s = ipc::Service::open(ipc::LocalDelivery{}, dir);
    ASSERT_TRUE(s);
    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "our own directory is made private";

    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a directory of another user";
    const std::string foreign = sandbox.runtime() + "/foreign";
    ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ipc::Service::open(ipc::LocalDelivery{}, foreign));
}

}  // namespace
}  // namespace vlt::test
