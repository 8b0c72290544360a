// The once-per-session lock: one holder at a time, free again when the holder goes, and a
// planted link refused rather than followed.
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/sandbox.h"
#include "sys/instance_lock.h"

namespace vlt::test {
namespace {

TEST(InstanceLock, OneHolderAtATimeAndFreeWhenItGoes) {
    Sandbox box;
    auto first = sys::InstanceLock::take("VTTray32");
    ASSERT_TRUE(first) << first.error().message;
    EXPECT_TRUE(first->held());
    auto second = sys::InstanceLock::take("VTTray32");
    ASSERT_TRUE(second) << second.error().message;
    EXPECT_FALSE(second->held());
    auto other = sys::InstanceLock::take("Other");
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->held()) << "each name on its own";
    { sys::InstanceLock gone = std::move(*first); }
    auto third = sys::InstanceLock::take("VTTray32");
    ASSERT_TRUE(third);
    EXPECT_TRUE(third->held());
}

TEST(InstanceLock, PlantedLinkIsRefused) {
    Sandbox box;
    writeFile(box.path("target"), std::string("keep"));
    ASSERT_TRUE(sys::InstanceLock::take("Probe"));  // makes the folder
    ASSERT_EQ(symlink(box.path("target").c_str(), (box.runtime() + "/VTTray32.lock").c_str()), 0);
    auto lock = sys::InstanceLock::take("VTTray32");
    EXPECT_FALSE(lock);
    const auto kept = readFile(box.path("target"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "keep");
}

}  // namespace
}  // namespace vlt::test
