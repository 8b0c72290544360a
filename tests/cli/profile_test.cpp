// vlt profile show, passwd, backup and export, vlt grant to a person named outside ASCII, and
// vlt control through the control-panel runner, end to end in a sandbox.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "registry/hives.h"
#include "run_vlt.h"
#include "shared/backup_file.h"
#include "shared/profile_file.h"
#include "shared/registry_layout.h"
#include "support/fixtures.h"
#include "support/sandbox.h"
#include "win32/winreg.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

const std::string kPassword = "s3cret words\n";

class ProfileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        registry::resetHives();
        const auto created = runVlt({"profile", "create", "--name", "Zoë Ångström", "--email", "zoe@example.org",
                                     "--city", "Malmö", "--password-stdin"},
                                    kPassword);
        ASSERT_EQ(created.status, 0) << created.err;
    }
    void TearDown() override { registry::resetHives(); }

    // Writes straight into the user's hive, as another program would.
    static void withKey(const char* path, const std::function<void(HKEY)>& change) {
        registry::resetHives();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        change(key);
        RegCloseKey(key);
        registry::resetHives();
    }

    Sandbox box;
};

TEST_F(ProfileCommands, ShowsTheIdentityAndBothKeys) {
    const auto shown = runVlt({"profile", "show"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    for (const char* line : {"Name:     Zoë Ångström\n", "E-mail:   zoe@example.org\n", "City:     Malmö\n",
                             "Microsoft Base Cryptographic Provider v1.0: RSA key exchange, 1024 bits\n",
                             "Microsoft Enhanced Cryptographic Provider v1.0: RSA key exchange, 3072 bits\n"})
        EXPECT_NE(shown.out.find(line), std::string::npos) << line << "\n" << shown.out;
    EXPECT_EQ(runVlt({"profile", "show", "extra"}).status, 2);
}

TEST_F(ProfileCommands, PasswdChecksTheOldPasswordAndChangesIt) {
    const auto wrong = runVlt({"profile", "passwd", "--password-stdin"}, "not it\nnew words\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("The VLT password you typed is incorrect."), std::string::npos) << wrong.err;
    const auto missingNew = runVlt({"profile", "passwd", "--password-stdin"}, kPassword);
    EXPECT_EQ(missingNew.status, 1);

    const auto changed = runVlt({"profile", "passwd", "--password-stdin"}, kPassword + "new words\n");
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_EQ(changed.out, "Your VLT password has been successfully changed.\n");
    // The old password no longer opens a locked file; the new one does.
    const std::string file = box.path("a.txt");
    writeFile(file, std::string("abc"));
    ASSERT_EQ(runVlt({"lock", file}).status, 0);
    fs::remove(file);
    EXPECT_EQ(runVlt({"unlock", "--password-stdin", file + ".Vtf"}, kPassword).status, 1);
    EXPECT_EQ(runVlt({"unlock", "--password-stdin", file + ".Vtf"}, "new words\n").status, 0);
}

TEST_F(ProfileCommands, BackupAndExportWriteWhatTheReadersTake) {
    const std::string backup = box.path("me.Vtb"), card = box.path("me.Vtp");
    ASSERT_EQ(runVlt({"profile", "backup", backup}).status, 0);
    struct stat st {};
    ASSERT_EQ(stat(backup.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto parsed = parseBackupFile(readFile(backup));
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    EXPECT_FALSE(parsed->enhancedRecord.empty());

    ASSERT_EQ(runVlt({"profile", "export", card}).status, 0);
    auto exported = parseProfileFile(readFile(card));
    ASSERT_TRUE(exported.ok()) << exported.error().message;
    EXPECT_EQ(exported->displayName, "Zo\xEB \xC5ngstr\xF6m");  // Windows-1252, as stored

    // Without saved settings there is nothing to export, and the card says why.
    withKey(layout::kSettingsKey, [](HKEY key) { RegDeleteValueA(key, layout::kEncrypt); });
    const auto refused = runVlt({"profile", "export", box.path("again.Vtp")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("An error ocured while trying to export your profile.\nEnsure to select \"VLT "
                               "Settings\" tab before exporting your profile."),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fileExists(box.path("again.Vtp")));
    EXPECT_EQ(runVlt({"profile", "backup"}).status, 2);
    EXPECT_EQ(runVlt({"profile", "backup", box.path("missing/dir/x.Vtb")}).status, 1);
}

#ifdef VLT_HAVE_SHELL
TEST_F(ProfileCommands, RestoreAsksOverAProfileAndRefusesADamagedFileChangingNothing) {
    const std::string damaged = box.path("damaged.Vtb");
    auto bytes = fixture("profile/owner.Vtb");
    bytes.resize(40);
    writeFile(damaged, bytes);
    const std::string good = fixturePath("profile/owner.Vtb");
    const std::pair<std::vector<std::string>, int> refused[] = {
        {{"profile", "restore", damaged, "--yes"}, 1}, {{"profile", "restore", good, "--no"}, 1}, {{"profile", "restore"}, 2}};
    for (const auto& [args, status] : refused) {
        const auto run = runVlt(args);
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_NE(runVlt({"profile", "show"}).out.find("Zoë Ångström"), std::string::npos) << "kept";
    }
    const auto restored = runVlt({"profile", "restore", good, "--yes"});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_NE(runVlt({"profile", "show"}).out.find("Marta Okafor"), std::string::npos);
    // Brought over from Windows: her certificate file comes out byte for byte as Windows wrote
    // it, and that file imports into a store.
    ASSERT_EQ(runVlt({"settings", "set", "Encrypt=0x10006602"}).status, 0);
    const std::string exported = box.path("again.Vtp");
    ASSERT_EQ(runVlt({"profile", "export", exported}).status, 0);
    EXPECT_EQ(readFile(exported), fixture("profile/owner.Vtp"));
    ASSERT_EQ(runVlt({"cert", "import", fixturePath("profile/owner.Vtp")}).status, 0);
    EXPECT_NE(runVlt({"cert", "show", "Marta Okafor"}).out.find("Marta Okafor"), std::string::npos);
    const auto upgrade = runVlt({"profile", "upgrade", "--password-stdin"}, "wrong\n");
    EXPECT_EQ(upgrade.status, 0) << "the backup's profile has both pairs already: " << upgrade.err;
}

TEST_F(ProfileCommands, UpgradeAddsTheEnhancedPairThatTheNextLockUses) {
    withKey(layout::kProfileKey, [](HKEY key) {
        for (const char* name : {layout::kExchangeBlob3, layout::kExchangeBlob4}) RegDeleteValueA(key, name);
    });
    const char* enhanced = "Microsoft Enhanced Cryptographic Provider v1.0: RSA key exchange";
    EXPECT_NE(runVlt({"profile", "upgrade", "--password-stdin"}, "wrong\n").status, 0);
    EXPECT_EQ(runVlt({"profile", "show"}).out.find(enhanced), std::string::npos) << "nothing added";
    const auto upgraded = runVlt({"profile", "upgrade", "--password-stdin"}, kPassword);
    ASSERT_EQ(upgraded.status, 0) << upgraded.err;
    EXPECT_NE(runVlt({"profile", "show"}).out.find(enhanced), std::string::npos);

    ASSERT_EQ(runVlt({"settings", "set", "Encrypt=0x10006602"}).status, 0);
    const std::string file = box.path("notes.txt");
    const std::string text = "for the Enhanced provider";
    writeFile(file, text);
    const auto locked = runVlt({"lock", file});
    ASSERT_EQ(locked.status, 0) << locked.err;
    // the key block after the header names the Enhanced provider's RC2
    const auto bytes = readFile(file + ".Vtf");
    auto word = [&](std::size_t at) {
        return at + 4 <= bytes.size() ? bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24 : -1;
    };
    EXPECT_EQ(word(6 + static_cast<std::size_t>(word(2))), 0x10006602);
    fs::remove(file);
    ASSERT_EQ(runVlt({"profile", "lock"}).status, 0);
    const auto unlocked = runVlt({"unlock", "--password-stdin", file + ".Vtf"}, kPassword);
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(readFile(file), std::vector<unsigned char>(text.begin(), text.end()));
}

TEST_F(ProfileCommands, GrantFindsAPersonNamedOutsideAscii) {
    const std::string card = box.path("me.Vtp");
    ASSERT_EQ(runVlt({"profile", "export", card}).status, 0);
    const auto bytes = readFile(card);
    const std::vector<unsigned char> entry(bytes.begin() + 8, bytes.end());
    withKey(layout::kCertificateKey, [&](HKEY key) {
        ASSERT_EQ(RegSetValueExA(key, "\xC5ngstr\xF6m", 0, REG_BINARY, entry.data(), static_cast<DWORD>(entry.size())),
                  ERROR_SUCCESS);
    });
    const std::string file = box.path("report.txt");
    writeFile(file, std::string("for you"));
    const auto granted = runVlt({"grant", "--to", "Ångström", file});
    EXPECT_EQ(granted.status, 0) << granted.err;
    EXPECT_TRUE(fileExists(file + ".Vtf"));

    const auto missing = runVlt({"grant", "--to", "Zoë", box.path("report.txt")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("there is no \"Zoë\" in the personal certificate store"), std::string::npos)
        << missing.err;
}
#endif

#if defined(VLT_VTCERT32_CPL) && defined(VLT_CONTROL)
TEST_F(ProfileCommands, ControlOpensTheAppletWhosePagesChangeTheSettings) {
    const std::string system = box.path("system");
    fs::create_directories(system);
    fs::create_symlink(VLT_CONTROL, system + "/vlt-control");
    fs::create_symlink(VLT_VTCERT32_CPL, system + "/VTCert32.Cpl");
    setenv("VLT_SYSTEM_DIR", system.c_str(), 1);
    // The settings tab, its first delete box ticked, then OK.
    writeFile(box.path("answers"), std::string("dialog 141 click 1001\nsheet tab \"VLT Settings\"; click 1\n"));
    const auto ran = runVlt({"control", "--answers", box.path("answers"), "--transcript", box.path("transcript")});
    unsetenv("VLT_SYSTEM_DIR");
    EXPECT_EQ(ran.status, 0) << ran.err;
    const auto transcript = readFile(box.path("transcript"));
    EXPECT_NE(std::string(transcript.begin(), transcript.end()).find("VLT Certificate Settings."), std::string::npos);
    const auto settings = runVlt({"settings"});
    EXPECT_NE(settings.out.find("DeleteAfterEncrypt: 1"), std::string::npos) << settings.out;
}
#endif

#if defined(VLT_FAKE_APPLET) && defined(VLT_CONTROL)
TEST(Control, RunsTheAppletOfTheSystemDirectory) {
    Sandbox box;
    const std::string system = box.path("system");
    fs::create_directories(system);
    fs::create_symlink(VLT_CONTROL, system + "/vlt-control");
    fs::copy_file(VLT_FAKE_APPLET, system + "/VTCert32.Cpl");
    setenv("VLT_SYSTEM_DIR", system.c_str(), 1);
    writeFile(box.path("answers"), std::string("message IDOK\n"));
    const auto ran = runVlt({"control", "--answers", box.path("answers"), "--transcript", box.path("transcript")});
    fs::remove(system + "/VTCert32.Cpl");
    const auto missing = runVlt({"control", "--tty"});
    unsetenv("VLT_SYSTEM_DIR");
    EXPECT_EQ(ran.status, 0) << ran.err;
    const auto transcript = readFile(box.path("transcript"));
    EXPECT_NE(std::string(transcript.begin(), transcript.end()).find("applet 0 opened"), std::string::npos);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("VTCert32.Cpl: no such control-panel file"), std::string::npos) << missing.err;
}
#endif

}  // namespace
}  // namespace vlt::test
