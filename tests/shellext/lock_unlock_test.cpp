// Locking and unlocking runs: round trips for both providers, the key block, replacing and
// renaming, deleting sources, cancelling, and refusals — what the user sees and what is left
// on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "shared/certificate_record.h"
#include "shared/locked_file.h"
#include "shared/registry_layout.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"
#include "support/fixtures.h"
#include "win32/winuser.h"
#include "support/world/world.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> pattern(std::size_t n, unsigned seed = 7) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 31 + seed) & 0xFF);
    return v;
}

LockedFileHead headOf(const std::string& path) {
    const auto bytes = readFile(path);
    MemorySource source(bytes.data(), bytes.size());
    return readLockedFileHead(source, bytes.size());
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// One case per algorithm word a lock can be set to, named after it.
class LockUnlockWord : public ::testing::TestWithParam<DWORD> {};
INSTANTIATE_TEST_SUITE_P(Words, LockUnlockWord, ::testing::Values(kEnhancedRc2, kBaseRc2, DWORD{0x6801}),
                         [](const auto& p) {
                             return p.param == kEnhancedRc2 ? "EnhancedRc2"
                                    : p.param == kBaseRc2   ? "BaseRc2"
                                                            : "BaseRc4";
                         });

TEST_P(LockUnlockWord, RoundTripsAndKeepsTheAlgorithmWord) {
    const DWORD word = GetParam();
    for (std::size_t size : {0u, 1u, 159u, 160u, 161u, 5000u}) {
        SCOPED_TRACE(size);
        World w;
        w.setSetting(layout::kEncrypt, word);
        const auto plain = pattern(size);
        const std::string file = w.path("report.doc");
        writeFile(file, plain);
        ASSERT_TRUE(w.lock({file}).allDone()) << w.ui().transcriptText();
        const auto head = headOf(file + ".Vtf");
        ASSERT_EQ(head.status, HeadStatus::Ok);
        EXPECT_EQ(head.keyBlock.algorithmWord, word);
        EXPECT_EQ(head.keyBlock.blob.size(), (word & 0x10000000) ? 140u : 76u);  // the fixture keys: 1024 and 512 bits
        EXPECT_EQ(head.header.sender, "Marta Okafor");
        EXPECT_EQ(head.header.sourcePath, file);
        EXPECT_EQ(head.header.sourceName, "report.doc");
        EXPECT_EQ(head.ciphertextLength, size / 8 * 8 + 8);

        fs::remove(file);
        ASSERT_TRUE(w.unlock({file + ".Vtf"}, kOwnerPassword).allDone()) << w.ui().transcriptText();
        EXPECT_EQ(readFile(file), plain);
        EXPECT_TRUE(w.messages().empty()) << w.ui().transcriptText();
    }
}

TEST(LockUnlock, HeaderLengthCountsEachStringWithItsLength) {
    const auto header = buildHeader("Ann", "/tmp/a.txt", "a.txt");
    ASSERT_GE(header.size(), 6u);
    EXPECT_EQ(header[2] | header[3] << 8 | header[4] << 16 | header[5] << 24, (4 + 14) + (4 + 3) + (4 + 10) + (4 + 5));
}

TEST(LockUnlock, ProviderAndKeyBlockComeFromOneReadingOfTheHead) {
    World w;
    w.setSetting(layout::kEncrypt, kEnhancedRc2);
    const std::string file = w.path("plan.txt");
    const auto plain = pattern(300);
    writeFile(file, plain);
    ASSERT_TRUE(w.lock({file}).allDone()) << w.ui().transcriptText();
    // The header length is not used: at 0 it would point at the magic length (14, a Base word).
    auto bytes = readFile(file + ".Vtf");
    std::fill(bytes.begin() + 2, bytes.begin() + 6, 0);
    writeFile(file + ".Vtf", bytes);
    fs::remove(file);
    ASSERT_TRUE(w.unlock({file + ".Vtf"}, kOwnerPassword).allDone()) << w.ui().transcriptText();
    EXPECT_EQ(readFile(file), plain);
}

TEST(LockUnlock, RelockingReplacesTheOldLockedFileOnlyWhenTheNewOneIsComplete) {
    World w;
    const std::string file = w.path("a.txt");
    writeFile(file, pattern(300));
    writeFile(file + ".Vtf", std::string("an older locked file"));
    ASSERT_TRUE(w.lock({file}).allDone());
    EXPECT_EQ(headOf(file + ".Vtf").status, HeadStatus::Ok);
    EXPECT_EQ(filesIn(w.sandbox().files()), (std::vector<std::string>{"a.txt", "a.txt.Vtf"}));
}

TEST(LockUnlock, DeleteAfterEncryptRemovesTheSourceOnlyAfterSuccess) {
    World w;
    w.setSetting(layout::kDeleteAfterEncrypt, 1);
    const std::string file = w.path("a.txt");
    writeFile(file, pattern(1000));
    ASSERT_TRUE(w.lock({file}).allDone());
    EXPECT_FALSE(fileExists(file));
    EXPECT_TRUE(fileExists(file + ".Vtf"));

    // A value other than 1 counts as off.
    w.setSetting(layout::kDeleteAfterEncrypt, 2);
    const std::string other = w.path("b.txt");
    writeFile(other, pattern(10));
    ASSERT_TRUE(w.lock({other}).allDone());
    EXPECT_TRUE(fileExists(other));
}

TEST(LockUnlock, DeleteAfterDecryptRemovesTheLockedFileAfterSuccessOnly) {
    World w;
    const std::string file = w.path("a.txt");
    writeFile(file, pattern(400));
    ASSERT_TRUE(w.lock({file}).allDone());
    fs::remove(file);
    w.setSetting(layout::kDeleteAfterDecrypt, 1);
    // A wrong password fails the run: the locked file stays.
    EXPECT_FALSE(w.unlock({file + ".Vtf"}, "wrong").allDone());
    EXPECT_TRUE(fileExists(file + ".Vtf"));
    ASSERT_TRUE(w.unlock({file + ".Vtf"}, kOwnerPassword).allDone());
    EXPECT_FALSE(fileExists(file + ".Vtf"));
    EXPECT_EQ(readFile(file), pattern(400));
}

// Presses Cancel when the bar has moved a given number of steps.
class CancelAfter final : public shellext::Progress {
public:
    explicit CancelAfter(int steps) : m_left(steps) {}
    void reset() override {}
    void showText(const std::string& text) override { texts.push_back(text); }
    void setRange(std::uint16_t maximum) override { ranges.push_back(maximum); }
    void step() override {
        if (--m_left == 0) shellext::g_cancel.store(1);
    }
    void close(shellext::RunResult result) override { closedWith = result; }
    std::vector<std::string> texts;
    std::vector<std::uint16_t> ranges;
    std::optional<shellext::RunResult> closedWith;

private:
    int m_left;
};

TEST(LockUnlock, CancelStopsAfterTheChunkAndLeavesNoPartialOutput) {
    World w;
    w.setSetting(layout::kDeleteAfterEncrypt, 1);
    const std::string first = w.path("1.bin"), second = w.path("2.bin"), third = w.path("3.bin");
    writeFile(first, pattern(320));        // 3 chunks
    writeFile(second, pattern(160 * 50));  // cancelled on its 5th chunk
    writeFile(third, pattern(100));
    CancelAfter progress(3 + 5);
    shellext::g_progress.store(&progress);
    const auto report = w.lock({first, second, third});
    shellext::g_progress.store(nullptr);

    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.done, 1u);
    EXPECT_EQ(progress.closedWith, shellext::RunResult::Cancelled);
    EXPECT_EQ(progress.texts, (std::vector<std::string>{first, second}));
    EXPECT_EQ(filesIn(w.sandbox().files()), (std::vector<std::string>{"1.bin.Vtf", "2.bin", "3.bin"}));
    EXPECT_EQ(readFile(second), pattern(160 * 50));
}

TEST(LockUnlock, ProgressRangeNeverWrapsOnLargeFiles) {
    struct Counting final : shellext::Progress {
        void reset() override {}
        void showText(const std::string&) override {}
        void setRange(std::uint16_t m) override { range = m; }
        void step() override { ++steps; }
        void close(shellext::RunResult) override {}
        std::uint16_t range = 0;
        std::uint64_t steps = 0;
    };
    for (std::uint64_t units : {std::uint64_t{1}, std::uint64_t{65535}, std::uint64_t{65536},
                                std::uint64_t{256} * 1024 * 1024 / 160 + 1, std::uint64_t{1} << 40}) {
        Counting c;
        shellext::ScaledProgress bar(&c, units);
        EXPECT_GE(c.range, 1u);
        if (units < (1u << 24))
            for (std::uint64_t i = 0; i < units; ++i) bar.unit();
        else
            continue;  // only the range matters for the huge case
        EXPECT_LE(c.steps, c.range);
        EXPECT_GE(c.steps + 1, c.range);
    }
}

TEST(LockUnlock, ExistingOutputIsReplacedOnYesAndKeptOnNo) {
    World w;
    const std::string file = w.path("x.doc");
    writeFile(file, pattern(700));
    ASSERT_TRUE(w.lock({file}).allDone());
    writeFile(file, std::string("a newer x.doc"));
    w.fillCache();

    // No, then cancel the save dialog: both files stay as they are, the file is not done.
    w.ui().answerMessageBox(IDNO);
    w.ui().answerSaveDialog(std::nullopt);
    auto report = w.unlock({file + ".Vtf"});
    EXPECT_EQ(report.done, 0u);
    EXPECT_EQ(readFile(file), std::vector<unsigned char>({'a', ' ', 'n', 'e', 'w', 'e', 'r', ' ', 'x', '.', 'd', 'o', 'c'}));
    auto shown = w.ui().transcript();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "Confirm File Replace");
    EXPECT_EQ(shown[0].text,
              "A file with the same name exists in the current folder.\n\n\tWould you like to replace the existing file.");
    EXPECT_EQ(shown[0].style, 0x134u);
    EXPECT_EQ(shown[1].caption, "Choose a new name for decrypting the file");
    EXPECT_EQ(shown[1].text, "x.doc");
    EXPECT_EQ(shown[1].folder, w.sandbox().files());

    // No, then a new name: the plain file lands there.
    w.ui().clear();
    w.ui().answerMessageBox(IDNO);
    w.ui().answerSaveDialog(std::string("x-copy.doc"));
    ASSERT_TRUE(w.unlock({file + ".Vtf"}).allDone());
    EXPECT_EQ(readFile(w.path("x-copy.doc")), pattern(700));

    // Yes: replaced.
    w.ui().clear();
    w.ui().answerMessageBox(IDYES);
    ASSERT_TRUE(w.unlock({file + ".Vtf"}).allDone());
    EXPECT_EQ(readFile(file), pattern(700));
}

TEST(LockUnlock, RenamedLockedFileUnlocksUnderItsOriginalName) {
    World w;
    const std::string file = w.path("x.doc");
    writeFile(file, pattern(42));
    ASSERT_TRUE(w.lock({file}).allDone());
    fs::remove(file);
    fs::rename(file + ".Vtf", w.path("y.Vtf"));
    ASSERT_TRUE(w.unlock({w.path("y.Vtf")}, kOwnerPassword).allDone());
    EXPECT_EQ(readFile(file), pattern(42));
}

TEST(LockUnlock, UnlockRunGoesOnPastForeignAndNonLockedFiles) {
    World w;
    w.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    const std::string a = w.path("a.txt"), b = w.path("b.txt"), c = w.path("c.txt"), d = w.path("d.txt");
    writeFile(a, pattern(10, 1));
    writeFile(b, pattern(10, 2));
    writeFile(c, pattern(10, 3));
    writeFile(d + ".Vtf", std::string("just some text, not locked"));
    ASSERT_TRUE(w.lock({a, c}).allDone());
    ASSERT_TRUE(w.lock({b}, "Tomas Reyes", 1).allDone()) << w.ui().transcriptText();
    for (const auto& p : {a, b, c}) fs::remove(p);
    w.ui().clear();

    const auto report = w.unlock({a + ".Vtf", b + ".Vtf", d + ".Vtf", c + ".Vtf"}, kOwnerPassword);
    EXPECT_EQ(report.done, 2u);
    EXPECT_EQ(readFile(a), pattern(10, 1));
    EXPECT_EQ(readFile(c), pattern(10, 3));
    EXPECT_FALSE(fileExists(b));
    EXPECT_EQ(w.messages(), (std::vector<std::string>{"Decrypt Error\nCheck whether you are using the  correct profile",
                                                      "This is not a VLT file"}));
    const auto boxes = w.ui().messageBoxes();
    EXPECT_EQ(boxes[0].caption, "VLT Emergency Report");
    EXPECT_EQ(boxes[0].style, 0x10030u);
    EXPECT_EQ(boxes[1].caption, "VLT Emergency Report");
    EXPECT_EQ(boxes[1].style, 0u);
}

TEST(LockUnlock, GrantUsesThePersonsEntryAndSystemStore) {
    World w;
    w.addToStore("Tomas Reyes", "contact", kBaseRc2, 0);
    const std::string file = w.path("for-tomas.txt");
    writeFile(file, pattern(99));
    ASSERT_TRUE(w.lock({file}, "Tomas Reyes", 0).allDone()) << w.ui().transcriptText();
    const auto head = headOf(file + ".Vtf");
    EXPECT_EQ(head.keyBlock.algorithmWord, kBaseRc2);
    EXPECT_EQ(head.keyBlock.blob.size(), 12u + 64u);  // the contact's 512-bit Base key wraps it

    // The granting user cannot open it.
    fs::remove(file);
    EXPECT_EQ(w.unlock({file + ".Vtf"}, kOwnerPassword).done, 0u);

    // A person who is in no store: the algorithm message, nothing written.
    w.ui().clear();
    const std::string other = w.path("other.txt");
    writeFile(other, pattern(5));
    EXPECT_FALSE(w.lock({other}, "Nobody", 1).allDone());
    EXPECT_EQ(w.messages().size(), 1u);
    EXPECT_EQ(w.messages()[0].rfind("Please select the Encryption Algorithm", 0), 0u);
    EXPECT_FALSE(fileExists(other + ".Vtf"));

    // An entry without the record its algorithm word needs: said, where the original was silent.
    w.ui().clear();
    const auto entry = buildCertificateStoreEntry({kEnhancedRc2, {}, fixture("contact/base/cert-record.bin")});
    HKEY store = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, layout::kCertificateKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &store, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(store, "Half", 0, REG_BINARY, entry.data(), static_cast<DWORD>(entry.size())),
              ERROR_SUCCESS);
    RegCloseKey(store);
    EXPECT_FALSE(w.lock({other}, "Half", 1).allDone());
    ASSERT_EQ(w.messages().size(), 1u) << w.ui().transcriptText();
    EXPECT_EQ(w.messages()[0], "The certificate of Half holds no key VLT can lock with. Nothing was locked.");
    EXPECT_FALSE(fileExists(other + ".Vtf"));
}

TEST(LockUnlock, GrantWithoutOwnProfileNamesTheSenderUnknown) {
    World w;
    w.removeProfile();
    w.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    const std::string file = w.path("f.txt");
    writeFile(file, pattern(3));
    ASSERT_TRUE(w.lock({file}, "Tomas Reyes", 1).allDone()) << w.ui().transcriptText();
    EXPECT_EQ(headOf(file + ".Vtf").header.sender, "Unknown");
}

TEST(LockUnlock, RefusalsForMissingProfileSettingAndInput) {
    {
        World w;
        w.removeProfile();
        const std::string file = w.path("a");
        writeFile(file, pattern(3));
        EXPECT_FALSE(w.lock({file}).allDone());
        EXPECT_EQ(w.messages(), std::vector<std::string>{"You have not yet created a profile. \nPlease create your "
                                                         "profile using the \"VLT Properties\" Control Panel applet."});
        EXPECT_FALSE(fileExists(file + ".Vtf"));
    }
    {
        World w;
        w.deleteSetting(layout::kEncrypt);
        const std::string file = w.path("a");
        writeFile(file, pattern(3));
        EXPECT_FALSE(w.lock({file}).allDone());
        ASSERT_EQ(w.ui().messageBoxes().size(), 1u);
        EXPECT_EQ(w.ui().messageBoxes()[0].caption, "Warning!");
    }
    {
        // The first file cannot be opened: reported, nothing else locked.
        World w;
        const std::string there = w.path("there");
        writeFile(there, pattern(3));
        EXPECT_FALSE(w.lock({w.path("missing"), there}).allDone());
        EXPECT_EQ(w.messages(), std::vector<std::string>{"Failed to Open input File"});
        EXPECT_FALSE(fileExists(there + ".Vtf"));
    }
}

TEST(LockUnlock, SymbolicLinksAndSpecialFilesAreRefusedNotFollowed) {
    World w;
    const std::string target = w.path("target.txt");
    writeFile(target, pattern(20));
    const std::string link = w.path("link.txt");
    fs::create_symlink(target, link);
    const std::string fifo = w.path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string plain = w.path("plain.txt");
    writeFile(plain, pattern(20));

    const auto report = w.lock({link, fifo, plain});
    EXPECT_EQ(report.done, 1u);
    EXPECT_FALSE(report.allDone());
    EXPECT_EQ(w.messages().size(), 2u);
    EXPECT_FALSE(fileExists(link + ".Vtf"));
    EXPECT_FALSE(fileExists(target + ".Vtf"));
    EXPECT_TRUE(fileExists(plain + ".Vtf"));
}

TEST(LockUnlock, OutputNameFromHeaderNeverLeavesTheFolder) {
    World w;
    const std::string file = w.path("innocent.txt");
    writeFile(file, pattern(64));
    ASSERT_TRUE(w.lock({file}).allDone());
    // Rewrite the stored name to climb out of the folder; the length fields stay consistent.
    auto bytes = readFile(file + ".Vtf");
    const auto head = headOf(file + ".Vtf");
    const std::string evil = "../escaped.txt";
    auto rebuilt = buildHeader(head.header.sender, head.header.sourcePath, evil);
    const auto block = buildKeyBlock(head.keyBlock.algorithmWord, head.keyBlock.blob);
    rebuilt.insert(rebuilt.end(), block.begin(), block.end());
    rebuilt.insert(rebuilt.end(), bytes.begin() + static_cast<long>(head.ciphertextOffset), bytes.end());
    const std::string crafted = w.path("crafted.Vtf");
    writeFile(crafted, rebuilt);

    EXPECT_FALSE(w.unlock({crafted}, kOwnerPassword).allDone());
    EXPECT_FALSE(fileExists(w.sandbox().root() + "/escaped.txt"));
    ASSERT_EQ(w.messages().size(), 1u);
    EXPECT_NE(w.messages()[0].find("../escaped.txt"), std::string::npos);
}

TEST(LockUnlock, DamagedLockedFileFailsWithoutLeavingOutput) {
    World w;
    const std::string file = w.path("d.bin");
    writeFile(file, pattern(1000));
    ASSERT_TRUE(w.lock({file}).allDone());
    fs::remove(file);
    auto bytes = readFile(file + ".Vtf");
    // In CBC the last byte of the block before turns into the padding's last byte: 0x08 ^ 0x5A
    // is never valid padding (flipping the last block itself passes by chance 1 in 256).
    bytes[bytes.size() - 9] ^= 0x5A;
    writeFile(file + ".Vtf", bytes);
    EXPECT_FALSE(w.unlock({file + ".Vtf"}, kOwnerPassword).allDone());
    EXPECT_EQ(filesIn(w.sandbox().files()), std::vector<std::string>{"d.bin.Vtf"});

    bytes.resize(bytes.size() - 3);  // no longer whole blocks
    writeFile(file + ".Vtf", bytes);
    EXPECT_FALSE(w.unlock({file + ".Vtf"}).allDone());
    EXPECT_EQ(filesIn(w.sandbox().files()), std::vector<std::string>{"d.bin.Vtf"});
}

TEST(LockUnlock, FailedOutputLeavesTheExistingTargetAndNoTemporaryFile) {
    World w;
    const std::string file = w.path("a.txt");
    writeFile(file, pattern(50));
    fs::create_directory(file + ".Vtf");  // the target name is taken by a folder
    EXPECT_FALSE(w.lock({file}).allDone());
    EXPECT_EQ(w.messages(), std::vector<std::string>{"Failed to Encrypt File"});
    EXPECT_TRUE(fs::is_directory(file + ".Vtf"));
    EXPECT_EQ(filesIn(w.sandbox().files()), (std::vector<std::string>{"a.txt", "a.txt.Vtf"}));
}

TEST(LockUnlock, NamesTravelInTheAnsiCodePage) {
    EXPECT_EQ(nameToHeader("caf\xC3\xA9.txt"), "caf\xE9.txt");
    EXPECT_EQ(nameFromHeader("caf\xE9.txt"), "caf\xC3\xA9.txt");
    // Not in Windows-1252: kept as UTF-8 and read back unchanged.
    const std::string kanji = "\xE6\x97\xA5\xE6\x9C\xAC.txt";
    EXPECT_EQ(nameToHeader(kanji), kanji);
    EXPECT_EQ(nameFromHeader(kanji), kanji);

    World w;
    const std::string file = w.path("caf\xC3\xA9.txt");
    writeFile(file, pattern(77));
    ASSERT_TRUE(w.lock({file}).allDone());
    EXPECT_EQ(headOf(file + ".Vtf").header.sourceName, "caf\xE9.txt");
    fs::remove(file);
    ASSERT_TRUE(w.unlock({file + ".Vtf"}, kOwnerPassword).allDone());
    EXPECT_EQ(readFile(file), pattern(77));
}

TEST(LockUnlock, PlainFileNames) {
    for (const char* bad : {"", ".", "..", "a/b", "../x", "/etc/passwd"}) EXPECT_FALSE(isPlainFileName(bad)) << bad;
    EXPECT_FALSE(isPlainFileName(std::string(256, 'a')));
    EXPECT_FALSE(isPlainFileName(std::string("a\0b", 3)));
    for (const char* good : {"a", "...", "a..b", "x.doc", "name with spaces"}) EXPECT_TRUE(isPlainFileName(good));
}

}  // namespace
}  // namespace vlt::test
