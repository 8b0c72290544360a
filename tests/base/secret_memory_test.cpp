// Secret memory: locked, left out of core dumps, wiped before reuse; and the hardening call.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "base/harden.h"
#include "base/secret_memory.h"
#include "base/wipe.h"

namespace vlt::test {
namespace {

// The VmFlags line of the mapping that holds address.
std::string vmFlagsOf(const void* address) {
    std::ifstream maps("/proc/self/smaps");
    const auto at = reinterpret_cast<unsigned long>(address);
    bool inside = false;
    for (std::string line; std::getline(maps, line);) {
        unsigned long from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2) inside = at >= from && at < to;
        if (inside && line.rfind("VmFlags:", 0) == 0) return line;
    }
    return {};
}

TEST(SecretMemory, IsMarkedNoDumpAndLockedWhereTheLimitAllows) {
    base::SecretBytes secret(3000);
    const std::string flags = vmFlagsOf(secret.data());
    ASSERT_FALSE(flags.empty());
    EXPECT_NE(flags.find(" dd"), std::string::npos) << flags;
    rlimit lock{};
    getrlimit(RLIMIT_MEMLOCK, &lock);
    if (lock.rlim_cur >= 1u << 20) {
        EXPECT_NE(flags.find(" lo"), std::string::npos) << flags;
    }
}

TEST(SecretMemory, ReleasedMemoryIsWipedBeforeItIsHandedOutAgain) {
    auto* first = static_cast<unsigned char*>(base::allocateSecret(40));
    ASSERT_NE(first, nullptr);
    std::memset(first, 0xA5, 40);
    base::releaseSecret(first, 40);
    // A freed page is kept for reuse; its old contents must be gone.
    auto* again = static_cast<unsigned char*>(base::allocateSecret(40));
    ASSERT_EQ(again, first);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(again[i], 0) << i;
    base::releaseSecret(again, 40);

    // Growing a secret vector wipes the buffer it leaves.
    base::SecretBytes grown(16);
    std::memset(grown.data(), 0x5A, 16);
    unsigned char* old = grown.data();
    grown.bytes().resize(9000);
    EXPECT_NE(grown.data(), old);
    EXPECT_EQ(std::count(old, old + 16, 0x5A), 0);
}

TEST(SecretMemory, HardenedProcessIsNotDumpableAndWritesNoCore) {
    base::hardenProcess();
    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    rlimit core{};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, 0u);
}

}  // namespace
}  // namespace vlt::test
