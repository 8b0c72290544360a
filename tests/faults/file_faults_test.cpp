// Locking and unlocking under faults: killed at every sync point, a sync that fails, writes
// that run out of space, a full file system, a crash while the password is held. What the user
// keeps: the source, the older file of the target name, a folder with nothing else in it, no
// private key bytes on the disk, no core.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iostream>

#include "faults/harness.h"

namespace vlt::test::faults {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSize = 256 * 1024;

// One file to lock or unlock, in its own folder, beside an older file of the target name.
struct Scenario {
    bool lock = true;
    std::string folder, source, target;
    std::vector<unsigned char> plain, locked, older;

    Run run() const {
        return lock ? runVlt({"lock", "--yes", source})
                    : runVlt({"unlock", "--yes", "--password-stdin", source}, std::string(kOldPassword) + "\n");
    }
};

class FileFaults : public ::testing::TestWithParam<bool> {
protected:
    Template m_template;
    std::vector<unsigned char> m_locked;

    void SetUp() override {
        // The locked form of the sample, made once.
        auto box = sandboxFrom(m_template);
        writeFile(box->path("doc.bin"), sampleBytes(kSize, 7));
        ASSERT_EQ(lockWith(true, box->path("doc.bin")).status, 0);
        m_locked = readFile(box->path("doc.bin.Vtf"));
    }

    Scenario prepare(const Sandbox& box, const std::string& folder) const {
        Scenario s;
        s.lock = GetParam();
        s.folder = folder;
        fs::create_directories(folder);
        s.plain = sampleBytes(kSize, 7);
        s.locked = m_locked;
        s.source = folder + (s.lock ? "/doc.bin" : "/doc.bin.Vtf");
        s.target = folder + (s.lock ? "/doc.bin.Vtf" : "/doc.bin");
        // An older version of the target: another locked file, or other plain text.
        s.older = s.lock ? readFile(box.path("base.bin.Vtf")) : sampleBytes(1000, 9);
        writeFile(s.source, s.lock ? s.plain : s.locked);
        writeFile(s.target, s.older);
        return s;
    }

    // What the user keeps, whatever happened to the run.
    void expectKept(const Sandbox& box, const Scenario& s, const std::string& when) const {
        expectOnly(s.folder, {"doc.bin", "doc.bin.Vtf"}, when);
        ASSERT_TRUE(fileExists(s.target)) << when << ": the older target is gone";
        const bool sourceKept = fileExists(s.source);
        if (sourceKept) {
            EXPECT_EQ(readFile(s.source), s.lock ? s.plain : s.locked) << when << ": the source changed";
        }
        if (readFile(s.target) == s.older) {
            EXPECT_TRUE(sourceKept) << when << ": the source is gone without its replacement";
        } else if (s.lock) {
            std::vector<unsigned char> plain;
            EXPECT_TRUE(opensWith(box, kOldPassword, {s.target}, nullptr, &plain)) << when << ": a damaged locked file";
            EXPECT_EQ(plain, s.plain) << when << ": the locked file holds something else";
        } else {
            EXPECT_EQ(readFile(s.target), s.plain) << when << ": a damaged unlocked file";
        }
        expectNoKeyBytes(box, m_template.keyRuns(), when);
    }

    // A run that failed says so; a run that succeeded left its output.
    void expectNamed(const Scenario& s, const vlt::test::Run& run, const std::string& when) const {
        if (run.status != 0) {
            EXPECT_FALSE(run.err.empty()) << when << ": a failure without a message";
        } else {
            EXPECT_NE(readFile(s.target), s.older) << when << ": success without an output";
        }
    }

    std::vector<SyncPoint> countSyncPoints() const {
        auto box = sandboxFrom(m_template);
        const auto s = prepare(*box, box->path("work"));
        Fault count;
        count.countTo = box->root() + "/syncs";
        FaultScope scope(count);
        const auto run = s.run();
        EXPECT_EQ(run.status, 0) << run.err;
        auto points = readSyncPoints(count.countTo, box->root());
        std::cout << (s.lock ? "lock" : "unlock") << ": " << points.size() << " sync points\n";
        for (const auto& p : points) std::cout << "  " << p.key << "\n";
        return points;
    }

    std::string name() const { return GetParam() ? "lock" : "unlock"; }
};

TEST_P(FileFaults, KilledAtEverySyncPoint) {
    const auto points = countSyncPoints();
    ASSERT_FALSE(points.empty());
    // Every point with SIGKILL (sampled beyond ten); SIGTERM, which cancels, at the distinct ones.
    for (const auto& [signal, at] : {std::pair{SIGKILL, killPoints(points, 10)}, {SIGTERM, killPoints(points, 1)}}) {
        for (const long k : at) {
            const std::string when = name() + " killed with signal " + std::to_string(signal) + " at sync point " +
                                     std::to_string(k) + " (" + points[k - 1].key + ")";
            auto box = sandboxFrom(m_template);
            const auto s = prepare(*box, box->path("work"));
            const Fault fault = killAt(k, signal);
            {
                FaultScope scope(fault);
                s.run();
            }
            expectKept(*box, s, when);
        }
    }
}

TEST_P(FileFaults, FailedSyncsAndShortWrites) {
    const auto points = countSyncPoints();
    std::vector<Fault> faults;
    for (const long k : killPoints(points, 1)) faults.push_back(failAt(k));
    for (const long long bytes : {0LL, 4096LL, 131072LL, static_cast<long long>(kSize) - 1})
        faults.push_back(spaceFor(bytes));
    for (const auto& fault : faults) {
        const std::string when = name() + (fault.syncFail ? " with sync point " + std::to_string(fault.syncFail) + " failing"
                                                          : " out of space after " + std::to_string(fault.enospcAfter) + " bytes");
        auto box = sandboxFrom(m_template);
        const auto s = prepare(*box, box->path("work"));
        vlt::test::Run run;
        {
            FaultScope scope(fault);
            run = s.run();
        }
        expectNamed(s, run, when);
        expectKept(*box, s, when);
    }
}

// A small tmpfs of our own where the kernel lets us mount one; else writes past its size fail.
TEST_P(FileFaults, FullFileSystem) {
    auto box = sandboxFrom(m_template);
    const std::string folder = box->path("work");
    fs::create_directories(folder);
    const bool mounted = unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                         mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=320k,mode=0700") == 0;
    std::cout << (mounted ? "a 320 KiB tmpfs\n" : "no mount namespace here: ENOSPC from the shim\n");
    const auto s = prepare(*box, folder);
    Fault fault;
    if (!mounted) fault.enospcAfter = 320 * 1024 - static_cast<long long>(s.older.size() + kSize);
    vlt::test::Run run;
    {
        FaultScope scope(fault);
        run = s.run();
    }
    EXPECT_EQ(run.status, 1);
    expectNamed(s, run, "full file system");
    expectKept(*box, s, "full file system");
    if (mounted) umount2(folder.c_str(), MNT_DETACH);
}

// A program that crashes while it holds the password leaves no core with it (unlocking: locking
// asks for no password).
class CoreFaults : public FileFaults {};
TEST_P(CoreFaults, NoCoreWhileHoldingThePassword) {
    rlimit saved{};
    getrlimit(RLIMIT_CORE, &saved);
    // Small, so that a core that should not be there costs little.
    rlimit small{1 << 20, saved.rlim_max == RLIM_INFINITY || saved.rlim_max > (1 << 20) ? saved.rlim_max : 1 << 20};
    if (setrlimit(RLIMIT_CORE, &small) != 0) GTEST_SKIP() << "core files cannot be enabled here";
    const auto cwd = fs::current_path();
    for (const int signal : {SIGSEGV, SIGABRT}) {
        const std::string when = "unlock crashing with signal " + std::to_string(signal);
        auto box = sandboxFrom(m_template);
        const auto s = prepare(*box, box->path("work"));
        fs::current_path(box->root());
        Fault fault;
        fault.syncKill = 1;
        fault.killSignal = signal;
        fault.countTo = box->root() + "/syncs";
        fault.asanExtra = "handle_segv=0:handle_abort=0:disable_coredump=0";
        vlt::test::Run run;
        {
            FaultScope scope(fault);
            run = s.run();
        }
        fs::current_path(cwd);
        EXPECT_EQ(run.status, 128 + signal) << when;
        const auto points = readSyncPoints(fault.countTo, box->root());
        ASSERT_FALSE(points.empty()) << when;
        EXPECT_FALSE(points.front().dumpable) << when << ": the process could dump core";
        for (const auto& entry : fs::directory_iterator(box->root()))
            EXPECT_NE(entry.path().filename().string().rfind("core", 0), 0u) << when << ": " << entry.path();
        expectKept(*box, s, when);
    }
    setrlimit(RLIMIT_CORE, &saved);
}

INSTANTIATE_TEST_SUITE_P(Faults, FileFaults, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "Lock" : "Unlock"; });
INSTANTIATE_TEST_SUITE_P(Faults, CoreFaults, ::testing::Values(false), [](const auto&) { return "Unlock"; });

}  // namespace
}  // namespace vlt::test::faults
