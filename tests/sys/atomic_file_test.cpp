// Atomic files: nothing under any name before commit, nothing left by a killed writer, the
// mode set before the data, and stale named temporaries swept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "support/sandbox.h"
#include "sys/files.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { sys::AtomicFile::useNamedTemporariesForTesting(GetParam()); }
    void TearDown() override { sys::AtomicFile::useNamedTemporariesForTesting(false); }
    Sandbox box;
};

TEST_P(AtomicFileTest, ReplacesTheTargetOnlyAtCommit) {
    const std::string target = box.path("out.txt");
    writeFile(target, std::string("old"));
    auto file = sys::AtomicFile::create(target, 0640);
    ASSERT_TRUE(file) << file.error().message;
    const std::vector<unsigned char> data(3 << 20, 'x');
    ASSERT_TRUE(file->write(data.data(), data.size()));
    EXPECT_EQ(readFile(target), std::vector<unsigned char>({'o', 'l', 'd'}));
    if (!GetParam()) {
        EXPECT_EQ(namesIn(box.files()), std::vector<std::string>{"out.txt"});
    }
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(readFile(target), data);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, static_cast<fs::perms>(0640));
    EXPECT_EQ(namesIn(box.files()), std::vector<std::string>{"out.txt"});

    // A new name, and an abandoned file, leave only what was committed.
    ASSERT_TRUE(sys::writeFileAtomically(box.path("new.txt"), "n", 1, 0600));
    auto dropped = sys::AtomicFile::create(box.path("dropped.txt"));
    ASSERT_TRUE(dropped && dropped->write("d", 1));
    dropped->abandon();
    EXPECT_EQ(namesIn(box.files()), (std::vector<std::string>{"new.txt", "out.txt"}));
}

TEST_P(AtomicFileTest, PartialDataIsReadableByNobodyElse) {
    auto file = sys::AtomicFile::create(box.path("shared.txt"), 0644);
    const std::vector<unsigned char> data(2 << 20, 'y');
    ASSERT_TRUE(file && file->write(data.data(), data.size()));
    for (const auto& e : fs::directory_iterator(box.files()))
        EXPECT_EQ(e.status().permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none)
            << e.path();
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(fs::status(box.path("shared.txt")).permissions() & fs::perms::all, static_cast<fs::perms>(0644));
}

TEST_P(AtomicFileTest, AKilledWriterLeavesNothingForLong) {
    const std::string target = box.path("big.bin");
    writeFile(target, std::string("kept"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto file = sys::AtomicFile::create(target);
        const std::vector<unsigned char> data(4 << 20, 'z');
        if (!file || !file->write(data.data(), data.size())) _exit(1);
        (void)!write(ready[1], "r", 1);
        for (;;) pause();
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(readFile(target), std::vector<unsigned char>({'k', 'e', 'p', 't'}));
    if (GetParam()) {
        // A named temporary remains until the next writer in that folder, in a later run, sweeps it.
        ASSERT_EQ(namesIn(box.files()).size(), 2u);
        for (const auto& e : fs::directory_iterator(box.files()))
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(1));
        ASSERT_TRUE(sys::writeFileAtomically(box.path("other"), "o", 1));
        EXPECT_EQ(namesIn(box.files()), (std::vector<std::string>{"big.bin", "other"}));
    } else {
        EXPECT_EQ(namesIn(box.files()), std::vector<std::string>{"big.bin"});
    }
}

INSTANTIATE_TEST_SUITE_P(Unnamed, AtomicFileTest, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Named, AtomicFileTest, ::testing::Values(true));

TEST(InputFile, ChangesAfterOpenAreSeen) {
    Sandbox box;
    const std::string path = box.path("source");
    writeFile(path, std::string("12345"));
    auto opened = sys::openRegularFile(path);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(sys::unchangedSinceOpen(path, *opened));
    writeFile(path, std::string("54321"));  // same size, same inode, rewritten
    EXPECT_TRUE(sys::sameFile(path, *opened));
    EXPECT_FALSE(sys::unchangedSinceOpen(path, *opened));
    close(opened->fd);
}

}  // namespace
}  // namespace vlt::test
