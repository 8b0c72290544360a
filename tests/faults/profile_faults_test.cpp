// The profile under faults: creating it again, changing its password and importing another
// profile from a .reg file, each killed at its sync points (or failing at one). Afterwards the
// profile opens with exactly one password, the old or the new, and both of its key pairs
// answer to that same password.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>

#include "faults/harness.h"

namespace vlt::test::faults {
namespace {

namespace fs = std::filesystem;

const std::string kProfileKey = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";

class ProfileFaults : public ::testing::Test {
protected:
    Template m_template;

    // Exactly one of the passwords opens the profile: the files locked before (and, when the
    // operation makes new keys, files locked now with each provider).
    void expectOnePassword(const Sandbox& box, bool newKeys, const std::string& when) {
        std::vector<std::string> before = m_template.lockedBefore();
        for (auto& file : before) file = box.files() + "/" + fs::path(file).filename().string();
        std::vector<std::string> now;
        if (newKeys) {
            fs::create_directories(box.root() + "/now");
            for (const bool enhanced : {false, true}) {
                const std::string plain = box.root() + "/now/now-" + (enhanced ? "enh" : "base") + ".bin";
                writeFile(plain, sampleBytes(500, 3));
                const auto locked = lockWith(enhanced, plain);
                EXPECT_EQ(locked.status, 0) << when << ": cannot lock with the profile: " << locked.err;
                if (locked.status == 0) now.push_back(plain + ".Vtf");
            }
        }
        std::vector<std::string> all = before;
        all.insert(all.end(), now.begin(), now.end());
        // Keys the template does not know are looked for too.
        std::vector<std::vector<unsigned char>> runs = m_template.keyRuns();
        const bool oldOpens = opensWith(box, kOldPassword, all);
        const bool newOpens = opensWith(box, kNewPassword, newKeys ? now : all, newKeys ? &runs : nullptr);
        EXPECT_NE(oldOpens, newOpens) << when << (oldOpens ? ": both passwords open it" : ": no password opens it");
        expectNoKeyBytes(box, runs, when);
    }

    // Counts the operation's sync points, then kills it at each (sampled when many) with SIGKILL
    // and once with SIGTERM, and with failures makes each distinct one fail.
    void underFaults(const std::string& name, const std::function<vlt::test::Run()>& operation, bool newKeys, std::size_t cap,
                     bool failures) {
        std::vector<SyncPoint> points;
        {
            auto box = sandboxFrom(m_template);
            Fault count;
            count.countTo = box->root() + "/syncs";
            FaultScope scope(count);
            const auto run = operation();
            ASSERT_EQ(run.status, 0) << run.err;
            points = readSyncPoints(count.countTo, box->root());
        }
        std::cout << name << ": " << points.size() << " sync points\n";
        for (const auto& p : points) std::cout << "  " << p.key << "\n";
        ASSERT_FALSE(points.empty());
        std::vector<Fault> faults;
        for (const long k : killPoints(points, cap)) faults.push_back(killAt(k, SIGKILL));
        // SIGTERM ends these as SIGKILL does: once, in the middle, where a torn write would show.
        faults.push_back(killAt(static_cast<long>(points.size() + 1) / 2, SIGTERM));
        if (failures)
            for (const long k : killPoints(points, 1)) faults.push_back(failAt(k));
        for (const auto& fault : faults) {
            const long k = fault.syncKill ? fault.syncKill : fault.syncFail;
            const std::string when = name + (fault.syncKill ? " killed with signal " + std::to_string(fault.killSignal)
                                                            : " failing") +
                                     " at sync point " + std::to_string(k) + " (" + points[k - 1].key + ")";
            auto box = sandboxFrom(m_template);
            {
                FaultScope scope(fault);
                operation();
            }
            expectOnePassword(*box, newKeys, when);
        }
    }
};

TEST_F(ProfileFaults, PasswordChange) {
    underFaults(
        "password change",
        [] { return runProgram(kChangePassword, {}, std::string(kOldPassword) + "\n" + kNewPassword + "\n"); }, false,
        16, true);
}

TEST_F(ProfileFaults, ProfileCreation) {
    underFaults(
        "profile creation",
        [] {
            return runVlt({"profile", "create", "--name", "Bo Example", "--password-stdin", "--yes"},
                          std::string(kNewPassword) + "\n");
        },
        true, 6, false);
}

TEST_F(ProfileFaults, RegImport) {
    // Another profile, made with the new password, as its owner exported it.
    const std::string other = m_template.box().root() + "/other.reg";
    {
        Sandbox elsewhere;
        ASSERT_EQ(runVlt({"profile", "create", "--name", "Bo Example", "--password-stdin", "--yes"},
                         std::string(kNewPassword) + "\n")
                      .status,
                  0);
        ASSERT_EQ(runVlt({"reg", "export", kProfileKey, other}).status, 0);
    }
    underFaults("reg import", [&] { return runVlt({"reg", "import", other}); }, true, 8, true);
}

// A restore changes both hives: the user's in one transaction, the machine-wide certificate
// store in a second. Killed at any sync point, that store holds all of the backup's
// certificates or none of them.
TEST_F(ProfileFaults, RestoreWritesTheMachineStoreWhole) {
    const std::string store = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon Softworks\\Vaultine\\1.00\\Certificate";
    const std::string backup = m_template.box().root() + "/other.Vtb";
    constexpr int kItems = 4;
    {
        Sandbox elsewhere;
        ASSERT_EQ(runVlt({"profile", "create", "--name", "Bo Example", "--password-stdin", "--yes"},
                         std::string(kNewPassword) + "\n")
                      .status,
                  0);
        std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n[" + store + "]\r\n";
        for (int i = 0; i < kItems; ++i) reg += "\"Person " + std::to_string(i) + "\"=hex:01,02,03\r\n";
        writeFile(elsewhere.root() + "/store.reg", reg);
        ASSERT_EQ(runVlt({"reg", "import", elsewhere.root() + "/store.reg"}).status, 0);
        ASSERT_EQ(runVlt({"profile", "backup", backup}).status, 0);
    }
    const auto restore = [&] { return runVlt({"profile", "restore", backup, "--yes"}); };
    const auto itemsNow = [&] {
        const std::string text = runVlt({"reg", "export", store}).out;
        int n = 0;
        for (auto at = text.find("=hex:"); at != std::string::npos; at = text.find("=hex:", at + 1)) ++n;
        return n;
    };
    std::vector<SyncPoint> points;
    {
        auto box = sandboxFrom(m_template);
        Fault count;
        count.countTo = box->root() + "/syncs";
        FaultScope scope(count);
        ASSERT_EQ(restore().status, 0);
        points = readSyncPoints(count.countTo, box->root());
        ASSERT_EQ(itemsNow(), kItems);
    }
    for (const long k : killPoints(points, 12)) {
        auto box = sandboxFrom(m_template);
        {
            FaultScope scope(killAt(k, SIGKILL));
            restore();
        }
        const int n = itemsNow();
        EXPECT_TRUE(n == 0 || n == kItems) << "killed at sync point " << k << ": " << n << " of " << kItems;
    }
}

// Passwords longer than the original's 99 characters are refused, and the profile stays.
TEST_F(ProfileFaults, OverlongPasswordIsRefused) {
    auto box = sandboxFrom(m_template);
    const std::string overlong(100, 'p');
    EXPECT_EQ(runVlt({"profile", "create", "--name", "Bo Example", "--password-stdin", "--yes"}, overlong + "\n").status, 1);
    EXPECT_EQ(runProgram(kChangePassword, {}, std::string(kOldPassword) + "\n" + overlong + "\n").status, 1);
    EXPECT_TRUE(opensWith(*box, kOldPassword, {box->files() + "/base.bin.Vtf", box->files() + "/enh.bin.Vtf"}));
    EXPECT_FALSE(opensWith(*box, overlong, {box->files() + "/base.bin.Vtf"}));
}

#ifdef VLT_HAVE_WIZARD
// VTInit32 takes passwords and makes key pairs: from its first write on (taking the applet's
// request) it can leave no core.
TEST(WizardProgram, CannotDumpCore) {
    Sandbox box;
    const std::string request = box.path("request.reg");
    writeFile(request, "REGEDIT4\n\n[" + kProfileKey + "]\n\"InitState\"=dword:00000002\n");
    ASSERT_EQ(runVlt({"reg", "import", request}).status, 0);
    Fault count;
    count.countTo = box.root() + "/syncs";
    vlt::test::Run run;
    {
        FaultScope scope(count);
        run = runProgram("wizard/VTInit32", {"--tty"});
    }
    EXPECT_EQ(run.status, 0) << run.err;
    const auto points = readSyncPoints(count.countTo, box.root());
    ASSERT_FALSE(points.empty()) << "the request was not taken";
    for (const auto& point : points) EXPECT_FALSE(point.dumpable) << point.key;
}
#endif

}  // namespace
}  // namespace vlt::test::faults
