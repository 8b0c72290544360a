// What a run may do to files it did not write: a source that changed while it was read is not
// deleted, and an unlocked file is never more readable than the locked file or the file it
// replaces.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "shared/registry_layout.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"
#include "support/sandbox.h"
#include "win32/winuser.h"
#include "support/world/world.h"

namespace vlt::test {
namespace {

// Appends to a file when the bar first moves: somebody writing to the source mid-run.
class AppendOnStep final : public shellext::Progress {
public:
    explicit AppendOnStep(std::string path) : m_path(std::move(path)) {}
    void reset() override {}
    void showText(const std::string&) override {}
    void setRange(std::uint16_t) override {}
    void close(shellext::RunResult) override {}
    void step() override {
        if (m_done) return;
        std::ofstream(m_path, std::ios::app) << "more";
        m_done = true;
    }

private:
    std::string m_path;
    bool m_done = false;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(SourceRules, ASourceChangedDuringTheRunIsNotDeleted) {
    World w;
    w.setSetting(layout::kDeleteAfterEncrypt, 1);
    w.setSetting(layout::kDeleteAfterDecrypt, 1);
    const std::string file = w.path("a.txt");
    writeFile(file, std::string(1000, 'a'));

    AppendOnStep writer(file);
    shellext::g_progress.store(&writer);
    const auto locked = w.lock({file});
    shellext::g_progress.store(nullptr);
    ASSERT_TRUE(locked.allDone()) << w.ui().transcriptText();
    EXPECT_TRUE(fileExists(file));
    EXPECT_EQ(w.messages(), std::vector<std::string>{"File " + file + " cannot be removed."});

    w.ui().clear();
    std::filesystem::remove(file);
    AppendOnStep lockedWriter(file + ".Vtf");
    shellext::g_progress.store(&lockedWriter);
    const auto unlocked = w.unlock({file + ".Vtf"}, kOwnerPassword);
    shellext::g_progress.store(nullptr);
    EXPECT_TRUE(fileExists(file + ".Vtf"));
    EXPECT_EQ(w.messages(), std::vector<std::string>{"File " + file + ".Vtf cannot be removed."});
    EXPECT_TRUE(unlocked.allDone()) << w.ui().transcriptText();
}

TEST(SourceRules, UnlockedFileIsNoMoreReadableThanTheLockedFileOrTheFileItReplaces) {
    struct Case {
        mode_t locked;
        std::optional<mode_t> existing;
        mode_t expected;
    };
    for (const Case& c : {Case{0600, std::nullopt, 0600}, Case{0644, std::nullopt, 0644}, Case{0644, 0600, 0600},
                          Case{0600, 0644, 0600}, Case{0755, 0755, 0755}}) {
        SCOPED_TRACE(c.locked);
        World w;
        const std::string file = w.path("m.txt");
        writeFile(file, std::string("plain"));
        chmod(file.c_str(), c.locked);
        ASSERT_TRUE(w.lock({file}).allDone());
        EXPECT_EQ(modeOf(file + ".Vtf"), c.locked);  // a locked file takes its source's mode
        std::filesystem::remove(file);
        if (c.existing) {
            writeFile(file, std::string("older"));
            chmod(file.c_str(), *c.existing);
            w.ui().answerMessageBox(IDYES);
        }
        ASSERT_TRUE(w.unlock({file + ".Vtf"}, kOwnerPassword).allDone()) << w.ui().transcriptText();
        EXPECT_EQ(modeOf(file), c.expected);
    }
}

}  // namespace
}  // namespace vlt::test
