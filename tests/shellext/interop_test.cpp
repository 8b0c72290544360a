// Locked files made on Windows with the platform's own providers unlock here, byte for byte,
// both from the password and from the unlock cache; someone else's key opens none of them.
#include <gtest/gtest.h>

#include <filesystem>

#include "shared/locked_file.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "support/fixtures.h"
#include "support/world/world.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

std::vector<nlohmann::json> lockedFixtures() {
    std::vector<nlohmann::json> out;
    for (const auto& f : manifest()["files"])
        if (f["kind"] == "locked-file") out.push_back(f);
    return out;
}

// Copies the fixture into the sandbox and returns the copy's path.
std::string place(World& w, const nlohmann::json& f) {
    const std::string name = fs::path(f["path"].get<std::string>()).filename().string();
    const std::string dir = w.path(fs::path(f["path"].get<std::string>()).parent_path().filename().string());
    fs::create_directories(dir);
    const std::string target = dir + "/" + name;
    writeFile(target, fixture(f["path"]));
    return target;
}

std::string plainOutputOf(const std::string& lockedPath, const nlohmann::json& f) {
    return fs::path(lockedPath).parent_path().string() + "/" + f["header"]["source_name"].get<std::string>();
}

TEST(InteropUnlock, EveryLockedFixtureUnlocksWithThePassword) {
    const auto fixtures = lockedFixtures();
    ASSERT_GE(fixtures.size(), 20u);
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f["path"].get<std::string>());
        const bool legacy = f["rc2_effective_bits"] == 40;
        World w({.enhanced = true, .legacyEnhanced = legacy});
        const std::string locked = place(w, f);
        const auto report = w.unlock({locked}, f["unlock_with"]["password"]["text"]);
        EXPECT_EQ(report.done, 1u) << w.ui().transcriptText();
        EXPECT_EQ(readFile(plainOutputOf(locked, f)), fixture(f["plaintext"]));
        EXPECT_TRUE(w.messages().empty()) << w.ui().transcriptText();
        // A correct password fills the unlock cache for both providers.
        EXPECT_TRUE(w.cachePresent());
    }
}

TEST(InteropUnlock, EveryLockedFixtureUnlocksFromTheCacheWithoutPassword) {
    for (const auto& f : lockedFixtures()) {
        SCOPED_TRACE(f["path"].get<std::string>());
        World w;
        w.fillCache();
        const std::string locked = place(w, f);
        const auto report = w.unlock({locked});
        EXPECT_EQ(report.done, 1u) << w.ui().transcriptText();
        EXPECT_EQ(readFile(plainOutputOf(locked, f)), fixture(f["plaintext"]));
    }
}

TEST(InteropUnlock, HeadersReadAsTheManifestSays) {
    for (const auto& f : lockedFixtures()) {
        SCOPED_TRACE(f["path"].get<std::string>());
        const auto bytes = fixture(f["path"]);
        MemorySource source(bytes.data(), bytes.size());
        const auto head = readLockedFileHead(source, bytes.size());
        ASSERT_EQ(head.status, HeadStatus::Ok);
        EXPECT_EQ(head.header.headerLength, f["header"]["header_length"].get<DWORD>());
        EXPECT_EQ(toHex({head.header.sender.begin(), head.header.sender.end()}), f["header"]["sender_hex"]);
        EXPECT_EQ(toHex({head.header.sourcePath.begin(), head.header.sourcePath.end()}),
                  f["header"]["source_path_hex"]);
        EXPECT_EQ(head.header.sourceName, f["header"]["source_name"]);
        EXPECT_EQ(head.keyBlock.algorithmWord, parseWord(f["key_block"]["algorithm_word"]));
        EXPECT_EQ(head.keyBlock.blob.size(), f["key_block"]["blob_length"].get<std::size_t>());
        EXPECT_EQ(head.ciphertextOffset, f["ciphertext_offset"].get<std::uint64_t>());
        EXPECT_EQ(head.ciphertextLength, f["ciphertext_length"].get<std::uint64_t>());
    }
}

TEST(InteropUnlock, WrongPasswordIsRefusedAndChangesNothing) {
    World w;
    const auto f = lockedFixtures().front();
    const std::string locked = place(w, f);
    const auto report = w.unlock({locked}, "Lantern-Frost 1985");
    EXPECT_EQ(report.done, 0u);
    EXPECT_EQ(w.messages(), std::vector<std::string>{"The Password is wrong. Please enter the correct Password."});
    ASSERT_EQ(w.ui().messageBoxes().size(), 1u);
    EXPECT_EQ(w.ui().messageBoxes()[0].caption, "VLT Status Report.");
    EXPECT_EQ(w.ui().messageBoxes()[0].style, 0x30u);
    EXPECT_FALSE(fileExists(plainOutputOf(locked, f)));
    EXPECT_FALSE(w.cachePresent());
}

TEST(InteropUnlock, AnotherPersonsKeyOpensNothing) {
    // The contact's plain keys in the unlock cache: none of the owner's files may open, each
    // fails with the decrypt error and leaves no output behind.
    for (const auto& f : lockedFixtures()) {
        if (f["plaintext_length"] != 1000) continue;
        SCOPED_TRACE(f["path"].get<std::string>());
        World w;
        {
            RegistryKey k;
            ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
            const auto base = fixture("contact/base/plain-key.bin");
            const auto enhanced = fixture("contact/enhanced/plain-key.bin");
            ASSERT_EQ(RegSetValueExA(k.Handle(), layout::kTempExchangeBlob1, 0, REG_BINARY, base.data(),
                                     static_cast<DWORD>(base.size())),
                      ERROR_SUCCESS);
            ASSERT_EQ(RegSetValueExA(k.Handle(), layout::kTempExchangeBlob2, 0, REG_BINARY, enhanced.data(),
                                     static_cast<DWORD>(enhanced.size())),
                      ERROR_SUCCESS);
        }
        const std::string locked = place(w, f);
        const auto report = w.unlock({locked});
        EXPECT_EQ(report.done, 0u);
        EXPECT_EQ(w.messages(),
                  std::vector<std::string>{"Decrypt Error\nCheck whether you are using the  correct profile"});
        EXPECT_EQ(listFiles(fs::path(locked).parent_path().string()), std::vector<std::string>{locked});
    }
}

}  // namespace
}  // namespace vlt::test
