#include "faults/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "support/fixtures.h"

namespace fs = std::filesystem;

namespace vlt::test::faults {

const char* const kOldPassword = "Lantern-Frost 1984";
const char* const kNewPassword = "Quiet harbour 2024";
const char* const kChangePassword = "tests/faults/vlt_change_password";

namespace {

const std::string kProfileKey = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";
const std::string kSettingsKey = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings";
const char* const kUnset = "\1";

Run importReg(const std::string& path, const std::string& body) {
    writeFile(path, "Windows Registry Editor Version 5.00\r\n\r\n" + body);
    return runVlt({"reg", "import", path});
}

// The file name of a synced path with what differs from run to run masked: temporary names,
// descriptor numbers of unnamed files.
std::string maskName(std::string path, const std::string& root) {
    if (path.rfind(root, 0) == 0) path = path.substr(root.size());
    if (const auto deleted = path.find(" (deleted)"); deleted != std::string::npos) path.erase(deleted);
    const auto slash = path.find_last_of('/');
    if (path.compare(slash + 1, 5, ".vlt-") == 0) path = path.substr(0, slash + 1) + ".vlt-*";
    for (char& c : path)
        if (c >= '0' && c <= '9') c = '#';
    return path;
}

}  // namespace

Fault killAt(long syncPoint, int signal) {
    Fault f;
    f.syncKill = syncPoint;
    f.killSignal = signal;
    return f;
}

Fault failAt(long syncPoint) {
    Fault f;
    f.syncFail = syncPoint;
    return f;
}

Fault spaceFor(long long bytes) {
    Fault f;
    f.enospcAfter = bytes;
    return f;
}

FaultScope::FaultScope(const Fault& fault) {
    set("LD_PRELOAD", VLT_FAULT_SHIM);
    const char* asan = std::getenv("ASAN_OPTIONS");
    set("ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0" +
                            (fault.asanExtra.empty() ? "" : ":" + fault.asanExtra));
    set("VLT_FAULT_SYNC_KILL",
        fault.syncKill ? std::to_string(fault.syncKill) + ":" + std::to_string(fault.killSignal) : "");
    set("VLT_FAULT_SYNC_FAIL", fault.syncFail ? std::to_string(fault.syncFail) : "");
    set("VLT_FAULT_ENOSPC_AFTER", fault.enospcAfter >= 0 ? std::to_string(fault.enospcAfter) : "");
    set("VLT_FAULT_COUNT", fault.countTo);
}

void FaultScope::set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    m_saved.emplace_back(name, old ? old : kUnset);
    if (value.empty()) unsetenv(name.c_str());
    else setenv(name.c_str(), value.c_str(), 1);
}

FaultScope::~FaultScope() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second == kUnset) unsetenv(it->first.c_str());
        else setenv(it->first.c_str(), it->second.c_str(), 1);
    }
}

std::vector<SyncPoint> readSyncPoints(const std::string& countFile, const std::string& sandboxRoot) {
    std::vector<SyncPoint> points;
    std::ifstream in(countFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        long n = 0;
        int dumpable = 1;
        SyncPoint p;
        words >> n >> p.call >> dumpable;
        std::string path;
        std::getline(words >> std::ws, path);
        p.dumpable = dumpable != 0;
        p.key = p.call + " " + maskName(path, sandboxRoot);
        points.push_back(p);
    }
    return points;
}

std::vector<long> killPoints(const std::vector<SyncPoint>& points, std::size_t cap) {
    const std::size_t n = points.size();
    std::set<long> chosen;
    if (n <= cap) {
        for (std::size_t i = 1; i <= n; ++i) chosen.insert(static_cast<long>(i));
        return {chosen.begin(), chosen.end()};
    }
    std::set<std::string> seen;
    for (std::size_t i = 0; i < n; ++i)
        if (seen.insert(points[i].key).second) chosen.insert(static_cast<long>(i) + 1);
    seen.clear();
    for (std::size_t i = n; i-- > 0;)
        if (seen.insert(points[i].key).second) chosen.insert(static_cast<long>(i) + 1);
    for (std::size_t k = 0; chosen.size() < cap && k < cap; ++k) chosen.insert(static_cast<long>(1 + k * n / cap));
    return {chosen.begin(), chosen.end()};
}

Template::Template() {
    const auto created =
        runVlt({"profile", "create", "--name", "Ann Example", "--password-stdin"}, std::string(kOldPassword) + "\n");
    EXPECT_EQ(created.status, 0) << created.err;
    const auto settings = importReg(m_box.root() + "/settings.reg",
                                    "[" + kSettingsKey + "]\r\n\"DeleteAfterEncrypt\"=dword:00000001\r\n"
                                    "\"DeleteAfterDecrypt\"=dword:00000001\r\n");
    EXPECT_EQ(settings.status, 0) << settings.err;
    for (const bool enhanced : {false, true}) {
        const std::string plain = m_box.path(enhanced ? "enh.bin" : "base.bin");
        writeFile(plain, sampleBytes(3000, enhanced ? 2 : 1));
        const auto locked = lockWith(enhanced, plain);
        EXPECT_EQ(locked.status, 0) << locked.err;
    }
    EXPECT_TRUE(opensWith(m_box, kOldPassword, lockedBefore(), &m_keyRuns));
    EXPECT_FALSE(m_keyRuns.empty());
}

std::unique_ptr<Sandbox> sandboxFrom(const Template& from) {
    auto box = std::make_unique<Sandbox>();
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(from.box().home(), box->home(), options);
    fs::copy(from.box().machine(), box->machine(), options);
    for (const auto& file : from.lockedBefore())
        fs::copy_file(file, box->files() + "/" + fs::path(file).filename().string());
    return box;
}

Run lockWith(bool enhanced, const std::string& path) {
    // The algorithm words of RC2 in each provider, as the settings page stores them.
    const auto imported = importReg(fs::path(path).parent_path().parent_path().string() + "/encrypt.reg",
                                    "[" + kSettingsKey + "]\r\n\"Encrypt\"=dword:" +
                                        (enhanced ? "10006602" : "00006602") + "\r\n");
    if (imported.status != 0) return imported;
    return runVlt({"lock", "--yes", path});
}

bool opensWith(const Sandbox& box, const std::string& password, const std::vector<std::string>& lockedFiles,
               std::vector<std::vector<unsigned char>>* keyRuns, std::vector<unsigned char>* firstPlain) {
    static int tries = 0;
    const std::string scratch = box.root() + "/try-" + std::to_string(++tries);
    fs::create_directories(scratch + "/run");
    // A runtime folder of its own: the unlock cache starts empty and goes with the folder.
    const std::string runtime = std::getenv("VLT_RUNTIME_DIR");
    setenv("VLT_RUNTIME_DIR", (scratch + "/run").c_str(), 1);
    std::vector<std::string> args{"unlock", "--yes", "--password-stdin"};
    for (const auto& file : lockedFiles) {
        args.push_back(scratch + "/" + fs::path(file).filename().string());
        fs::copy_file(file, args.back());
    }
    const bool ok = runVlt(args, password + "\n").status == 0;
    if (ok && keyRuns) {
        for (auto& run : cachedKeyRuns()) keyRuns->push_back(std::move(run));
    }
    if (ok && firstPlain) {
        const std::string& first = args[3];
        *firstPlain = readFile(first.substr(0, first.size() - 4));
    }
    setenv("VLT_RUNTIME_DIR", runtime.c_str(), 1);
    fs::remove_all(scratch);
    return ok;
}

std::vector<std::vector<unsigned char>> cachedKeyRuns() {
    std::vector<std::vector<unsigned char>> runs;
    for (const char* value : {"TempExchangeBlob1", "TempExchangeBlob2"}) {
        const auto query = runVlt({"reg", "query", kProfileKey, value});
        const std::string prefix = "REG_BINARY ";
        if (query.status != 0 || query.out.rfind(prefix, 0) != 0) continue;
        const auto blob = fromHex(query.out.substr(prefix.size()));
        // PRIVATEKEYBLOB: BLOBHEADER, RSAPUBKEY ("RSA2", bit length), modulus, primes, ...,
        // private exponent.
        if (blob.size() < 20 || std::string(blob.begin() + 8, blob.begin() + 12) != "RSA2") {
            ADD_FAILURE() << value << " is not a private key blob";
            continue;
        }
        const std::size_t bits = blob[12] | blob[13] << 8 | blob[14] << 16 | static_cast<std::size_t>(blob[15]) << 24;
        const std::size_t whole = bits / 8, half = bits / 16;
        for (const std::size_t at : {20 + whole, 20 + whole + half, 20 + whole + 5 * half})
            if (at + 32 <= blob.size()) runs.emplace_back(blob.begin() + static_cast<long>(at), blob.begin() + static_cast<long>(at) + 32);
    }
    return runs;
}

void expectNoKeyBytes(const Sandbox& box, const std::vector<std::vector<unsigned char>>& runs, const std::string& when) {
    for (const auto& dir : {box.home(), box.machine(), box.files()}) {
        for (const auto& file : listFiles(dir)) {
            const auto bytes = readFile(file);
            for (const auto& run : runs)
                if (std::search(bytes.begin(), bytes.end(), run.begin(), run.end()) != bytes.end())
                    ADD_FAILURE() << when << ": private key bytes in " << file;
        }
    }
}

void expectOnly(const std::string& folder, const std::vector<std::string>& names, const std::string& when) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const auto name = entry.path().filename().string();
        if (std::find(names.begin(), names.end(), name) == names.end())
            ADD_FAILURE() << when << ": " << name << " left in " << folder;
    }
}

std::vector<unsigned char> sampleBytes(std::size_t size, unsigned seed) {
    std::vector<unsigned char> out(size);
    unsigned x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return out;
}

}  // namespace vlt::test::faults
