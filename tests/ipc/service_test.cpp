// Finding and messaging a window of another process through the Service, with a peer process
// whose window records what arrives.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "ipc/wire.h"
#include "ipc_test.h"
#include "ui/remote.h"
#include "win32/winbase.h"

namespace vlt::test {
namespace {

constexpr UINT kTrayTimeoutMessage = WM_USER + 11;
constexpr UINT kTrayUnlockedMessage = WM_USER + 16;

using FindAndSend = IpcTest;

TEST_F(FindAndSend, SendIsARequestAndReplyWithTheOtherProcessesWindow) {
    PeerProcess peer;
    startPeer(peer, {"fake", "Vaultine Tray", "77"});
    const HWND tray = service->find(nullptr, "Vaultine Tray");
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(ui::isRemoteHandle(tray));
    EXPECT_EQ(service->find(nullptr, "VAULTINE TRAY"), tray) << "titles compare without regard to case";
    EXPECT_EQ(service->find("vlttestclass", "Vaultine Tray"), tray);
    EXPECT_EQ(service->find("VLTTestClass", nullptr), tray);
    EXPECT_EQ(service->find("OtherClass", "Vaultine Tray"), nullptr);
    EXPECT_TRUE(service->isWindow(tray));

    LRESULT result = -1;
    ASSERT_TRUE(service->send(tray, kTrayUnlockedMessage, 0, 0, &result));
    EXPECT_EQ(result, 77);
    EXPECT_EQ(peer.readLine(), "send 1040 0 0");
    ASSERT_TRUE(service->send(tray, kTrayTimeoutMessage, 600, 0, &result));
    EXPECT_EQ(peer.readLine(), "send 1035 600 0");
    // Full-width parameters survive the trip.
    ASSERT_TRUE(service->send(tray, WM_USER + 1, ~WPARAM{0} - 1, -5, &result));
    EXPECT_EQ(peer.readLine(), "send 1025 " + std::to_string(~WPARAM{0} - 1) + " -5");

    ASSERT_TRUE(service->post(tray, kTrayUnlockedMessage, 1, 2));
    EXPECT_EQ(peer.readLine(), "post 1040 1 2");
    std::vector<std::string> rest;
    EXPECT_EQ(peer.finish(&rest), 0);
    EXPECT_TRUE(rest.empty());
}

TEST_F(FindAndSend, NoSuchWindowMeansNothingIsSent) {
    EXPECT_EQ(service->find(nullptr, "Vaultine Tray"), nullptr);
    PeerProcess peer;
    startPeer(peer, {"fake", "Another Window", "1"});
    EXPECT_EQ(service->find(nullptr, "Vaultine Tray"), nullptr);
    EXPECT_EQ(service->find(nullptr, "Another"), nullptr) << "whole titles only";
    LRESULT result = 5;
    EXPECT_FALSE(service->send(reinterpret_cast<HWND>(ui::kRemoteFirst + 7), kTrayUnlockedMessage, 0, 0, &result))
        << "a proxy handle never handed out";
    std::vector<std::string> rest;
    EXPECT_EQ(peer.finish(&rest), 0);
    EXPECT_TRUE(rest.empty()) << rest.front();
}

TEST_F(FindAndSend, MessagesThatCarryPointersDoNotCross) {
    EXPECT_FALSE(ipc::crossesProcesses(WM_SETTEXT));
    EXPECT_FALSE(ipc::crossesProcesses(WM_GETTEXT));
    EXPECT_FALSE(ipc::crossesProcesses(WM_NOTIFY));
    EXPECT_FALSE(ipc::crossesProcesses(WM_CREATE));
    EXPECT_TRUE(ipc::crossesProcesses(WM_CLOSE));
    EXPECT_TRUE(ipc::crossesProcesses(WM_COMMAND));
    EXPECT_TRUE(ipc::crossesProcesses(kTrayUnlockedMessage));

    PeerProcess peer;
    startPeer(peer, {"fake", "Vaultine Tray", "77"});
    const HWND tray = service->find(nullptr, "Vaultine Tray");
    ASSERT_NE(tray, nullptr);
    LRESULT result = -1;
    SetLastError(0);
    EXPECT_TRUE(service->send(tray, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("new title"), &result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(service->post(tray, WM_SETTEXT, 0, 0));
    std::vector<std::string> rest;
    EXPECT_EQ(peer.finish(&rest), 0);
    EXPECT_TRUE(rest.empty()) << rest.front();
}

TEST_F(FindAndSend, AReceiverThatDoesNotAnswerTimesOut) {
    PeerProcess peer;
    startPeer(peer, {"hang", "Vaultine Tray"});
    const HWND tray = service->find(nullptr, "Vaultine Tray");
    ASSERT_NE(tray, nullptr);
    service->setTimeout(std::chrono::milliseconds(300));
    LRESULT result = -1;
    SetLastError(0);
    EXPECT_TRUE(service->send(tray, kTrayUnlockedMessage, 0, 0, &result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(peer.readLine(), "send 1040 0 0") << "it did arrive";
    EXPECT_EQ(peer.finish(), 0);
}

TEST_F(FindAndSend, AWindowWhoseProcessEndedIsGone) {
    PeerProcess peer;
    startPeer(peer, {"fake", "Vaultine Tray", "77"});
    const HWND tray = service->find(nullptr, "Vaultine Tray");
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(peer.finish(), 0);
    LRESULT result = -1;
    EXPECT_FALSE(service->send(tray, kTrayUnlockedMessage, 0, 0, &result));
    EXPECT_FALSE(service->isWindow(tray));
    EXPECT_EQ(service->find(nullptr, "Vaultine Tray"), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(service->directory())) << "an orderly end leaves no files";
}

TEST_F(FindAndSend, StaleEntriesAreSkippedAndCleanedUp) {
    const std::string dir = service->directory();
    {
        PeerProcess killed;
        startPeer(killed, {"fake", "Vaultine Tray", "1"});
        killed.kill(SIGKILL);
        killed.finish();
    }
    ASSERT_FALSE(std::filesystem::is_empty(dir)) << "a killed process leaves its socket and entry";
    EXPECT_EQ(service->find(nullptr, "Vaultine Tray"), nullptr);

    // An entry naming a live process of ours whose listener does not exist, and a damaged one.
    ipc::wire::Entry planted;
    planted.pid = getppid();
    planted.instance = 0x1111;
    planted.hwnd = 0x99;
    planted.created = ~std::uint64_t{0};  // newer than anything, so it would be tried first
    planted.className = "VLTTestClass";
    planted.title = "Vaultine Tray";
    writeFile(dir + "/" + ipc::wire::entryName(planted.pid, planted.instance, planted.hwnd),
              ipc::wire::formatEntry(planted));
    writeFile(dir + "/" + std::to_string(getppid()) + "-2222-1.win", std::string("vlt-window 1\npid 1\n"));
    EXPECT_EQ(service->find(nullptr, "Vaultine Tray"), nullptr);

    PeerProcess live;
    startPeer(live, {"fake", "Vaultine Tray", "42"});
    const HWND tray = service->find(nullptr, "Vaultine Tray");
    ASSERT_NE(tray, nullptr);
    LRESULT result = 0;
    ASSERT_TRUE(service->send(tray, kTrayUnlockedMessage, 0, 0, &result));
    EXPECT_EQ(result, 42);
    // The live peer removed the killed one's files when it started listening.
    for (const auto& f : std::filesystem::directory_iterator(dir)) {
        const pid_t owner = ipc::wire::pidOfName(f.path().filename().string());
        EXPECT_TRUE(owner == live.pid() || owner == getppid()) << f.path();
    }
    EXPECT_EQ(live.finish(), 0);
}

TEST_F(FindAndSend, NewestOfTwoWindowsWithTheSameTitle) {
    PeerProcess first;
    startPeer(first, {"fake", "Vaultine Tray", "1"});
    PeerProcess second;
    startPeer(second, {"fake", "Vaultine Tray", "2"});
    const HWND tray = service->find(nullptr, "Vaultine Tray");
    LRESULT result = 0;
    ASSERT_TRUE(service->send(tray, kTrayUnlockedMessage, 0, 0, &result));
    EXPECT_EQ(result, 2);
    EXPECT_EQ(second.finish(), 0);
    const HWND older = service->find(nullptr, "Vaultine Tray");
    EXPECT_NE(older, tray);
    ASSERT_TRUE(service->send(older, kTrayUnlockedMessage, 0, 0, &result));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(first.finish(), 0);
}

TEST_F(FindAndSend, OwnWindowsArePublishedAndAnswerOtherProcesses) {
    const auto window = reinterpret_cast<HWND>(std::uintptr_t{0x4321});
    service->titleChanged(window, "VLTOwnClass", "Own Window");
    std::vector<std::string> entries;
    for (const auto& f : std::filesystem::directory_iterator(service->directory()))
        entries.push_back(f.path().filename().string());
    ASSERT_EQ(entries.size(), 2u) << "the socket and one entry";
    EXPECT_EQ(service->find(nullptr, "Own Window"), nullptr) << "the runtime finds its own windows";
    struct stat st {};
    ASSERT_EQ(stat(service->directory().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (const auto& name : entries) {
        ASSERT_EQ(stat((service->directory() + "/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << name;
    }
    service->titleChanged(window, "VLTOwnClass", "Renamed");
    service->destroyed(window);
    entries.clear();
    for (const auto& f : std::filesystem::directory_iterator(service->directory()))
        entries.push_back(f.path().filename().string());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].find(".sock"), std::string::npos);
}

}  // namespace
}  // namespace vlt::test
