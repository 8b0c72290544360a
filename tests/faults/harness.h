// Runs the suite's programs with the fault shim preloaded, in sandboxes made from one template
// profile, and checks what a user keeps after a fault: sources, older targets, a profile that
// opens with exactly one password, a clean folder and no private key bytes on the disk.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/run_vlt.h"
#include "support/sandbox.h"

namespace vlt::test::faults {

extern const char* const kOldPassword;
extern const char* const kNewPassword;
extern const char* const kChangePassword;  // the driver below the build directory

// What the shim is asked to do to the next programs run (all off by default).
struct Fault {
    long syncKill = 0;  // raise killSignal before this sync point (1-based)
    int killSignal = 9;
    long syncFail = 0;             // this sync point fails with EIO
    long long enospcAfter = -1;    // regular-file writes past this many bytes fail with ENOSPC
    std::string countTo;           // the sync points are listed in this file
    std::string asanExtra;         // more ASAN_OPTIONS, e.g. to let a crash dump core
};

Fault killAt(long syncPoint, int signal);
Fault failAt(long syncPoint);
Fault spaceFor(long long bytes);

// Sets the environment for the programs run while it lives, and restores it.
class FaultScope {
public:
    explicit FaultScope(const Fault& fault);
    ~FaultScope();
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

private:
    std::vector<std::pair<std::string, std::string>> m_saved;
    void set(const std::string& name, const std::string& value);
};

struct SyncPoint {
    std::string call;
    bool dumpable = true;
    std::string key;  // the file synced, with its random parts masked: what makes points distinct
};
std::vector<SyncPoint> readSyncPoints(const std::string& countFile, const std::string& sandboxRoot);

// The points to kill at: the first and last of every distinct one, then evenly spread ones
// up to cap (every point when there are no more than cap). 1-based, ascending.
std::vector<long> killPoints(const std::vector<SyncPoint>& points, std::size_t cap);

// The profile every case starts from: created with kOldPassword, DeleteAfterEncrypt and
// DeleteAfterDecrypt on, and a file locked with each provider. Lives for one test.
class Template {
public:
    Template();
    const Sandbox& box() const { return m_box; }
    // The files locked before any fault, one per provider.
    std::vector<std::string> lockedBefore() const { return {m_box.path("base.bin.Vtf"), m_box.path("enh.bin.Vtf")}; }
    const std::vector<std::vector<unsigned char>>& keyRuns() const { return m_keyRuns; }

private:
    Sandbox m_box;
    std::vector<std::vector<unsigned char>> m_keyRuns;
};

// A sandbox holding a copy of the template's hives and of its locked files.
std::unique_ptr<Sandbox> sandboxFrom(const Template& from);

// Locks path (a file in a folder of the sandbox) with the Base or the Enhanced provider.
Run lockWith(bool enhanced, const std::string& path);
// Whether every file unlocks with password (copies, in a scratch folder, with an unlock cache
// of their own). While unlocked, the private key runs of the cache are appended to keyRuns;
// firstPlain receives what the first file unlocked to.
bool opensWith(const Sandbox& box, const std::string& password, const std::vector<std::string>& lockedFiles,
               std::vector<std::vector<unsigned char>>* keyRuns = nullptr,
               std::vector<unsigned char>* firstPlain = nullptr);
// 32-byte runs of the primes and the private exponent held in the unlock cache now.
std::vector<std::vector<unsigned char>> cachedKeyRuns();

// Fails the test for every file below the sandbox's home, machine and files folders that holds
// one of the runs.
void expectNoKeyBytes(const Sandbox& box, const std::vector<std::vector<unsigned char>>& runs, const std::string& when);
// Fails the test for every entry of folder whose name is not one of names.
void expectOnly(const std::string& folder, const std::vector<std::string>& names, const std::string& when);

std::vector<unsigned char> sampleBytes(std::size_t size, unsigned seed);

}  // namespace vlt::test::faults
