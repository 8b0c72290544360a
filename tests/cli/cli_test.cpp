// The vlt program end to end in a sandbox: usage errors, a profile brought over from Windows
// with a .reg file, locking and unlocking with exit statuses and messages, the registry text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "run_vlt.h"
#include "support/fixtures.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

const std::string kProfilePath = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";
const std::string kPassword = "Lantern-Frost 1984\n";

std::string hexList(const std::vector<unsigned char>& bytes) {
    std::string out;
    static const char* d = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        out += d[bytes[i] >> 4];
        out += d[bytes[i] & 15];
    }
    return out;
}

// The fixtures' owner profile as a user would export it from Windows.
std::string ownerProfileReg(unsigned encryptWord) {
    std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n[" + kProfilePath + "]\r\n";
    const std::pair<const char*, const char*> blobs[] = {{"ExchangeBlob1", "profile/base/cert-record.bin"},
                                                         {"ExchangeBlob2", "profile/base/wrapped-key.bin"},
                                                         {"ExchangeBlob3", "profile/enhanced/cert-record.bin"},
                                                         {"ExchangeBlob4", "profile/enhanced/wrapped-key.bin"}};
    for (const auto& [name, file] : blobs) reg += "\"" + std::string(name) + "\"=hex:" + hexList(fixture(file)) + "\r\n";
    reg += "\"InitUser\"=dword:00000001\r\n\r\n";
    char word[16];
    std::snprintf(word, sizeof word, "%08x", encryptWord);
    reg += "[HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings]\r\n\"Encrypt\"=dword:" +
           std::string(word) + "\r\n";
    return reg;
}

bool contains(const std::vector<unsigned char>& hay, const std::vector<unsigned char>& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

TEST(Cli, UsageErrorsAndHelp) {
    Sandbox box;
    EXPECT_EQ(runVlt({"--help"}).status, 0);
    EXPECT_EQ(runVlt({}).status, 2);
    EXPECT_EQ(runVlt({"frobnicate"}).status, 2);
    EXPECT_EQ(runVlt({"lock"}).status, 2);
    EXPECT_EQ(runVlt({"lock", "--bogus", "x"}).status, 2);
    EXPECT_EQ(runVlt({"grant", "--system", box.path("x")}).status, 2);  // --system needs --to
    EXPECT_EQ(runVlt({"shred"}).status, 2);
    EXPECT_EQ(runVlt({"profile", "create"}).status, 2);     // --name is required
}

// Every command and subcommand shows its help, wherever --help stands, and does nothing else.
TEST(Cli, EveryCommandAndSubcommandShowsItsHelp) {
    Sandbox box;
    const std::vector<std::vector<std::string>> lines = {{"lock", "--help"},
                                                         {"grant", "--to", "Ann", "x", "--help"},
                                                         {"unlock", "-h"},
                                                         {"shred", "x", "--help"},
                                                         {"profile", "--help"},
                                                         {"profile", "create", "--help"},
                                                         {"profile", "lock", "--help"},
                                                         {"profile", "show", "-h"},
                                                         {"profile", "passwd", "--help"},
                                                         {"profile", "backup", "--help"},
                                                         {"profile", "export", "x", "--help"},
                                                         {"profile", "restore", "--help"},
                                                         {"profile", "upgrade", "--help"},
                                                         {"wizard", "--help"},
                                                         {"control", "--help"},
                                                         {"reg", "--help"},
                                                         {"reg", "import", "--help"},
                                                         {"reg", "export", "--help"},
                                                         {"reg", "query", "HKCU", "--help"},
                                                         {"desktop", "install", "--help"},
                                                         {"desktop", "uninstall", "--help"},
                                                         {"tray", "status", "--help"},
                                                         {"cert", "list", "--help"},
                                                         {"cert", "import", "--help"},
                                                         {"cert", "show", "--help"},
                                                         {"cert", "delete", "x", "--help"},
                                                         {"settings", "--help"},
                                                         {"settings", "set", "Encrypt=1", "--help"}};
    for (const auto& line : lines) {
        const auto help = runVlt(line);
        EXPECT_EQ(help.status, 0) << line[0] << " " << line[1];
        EXPECT_EQ(help.out.rfind("usage: vlt " + line[0], 0), 0u) << help.out;
        EXPECT_TRUE(help.err.empty()) << help.err;
    }
    EXPECT_TRUE(listFiles(box.root()).empty());
}

TEST(Cli, ProfileFromWindowsUnlocksFixturesAndKeepsTheCacheOffTheDisk) {
    Sandbox box;
    const std::string reg = box.path("owner.reg");
    writeFile(reg, ownerProfileReg(0x10006602));
    ASSERT_EQ(runVlt({"reg", "import", reg}).status, 0);
    const auto initUser = runVlt({"reg", "query", kProfilePath, "InitUser"});
    EXPECT_EQ(initUser.status, 0);
    EXPECT_NE(initUser.out.find("(1)"), std::string::npos) << initUser.out;

    std::vector<std::string> locked;
    for (const char* kind : {"enhanced", "base"}) {
        for (const char* n : {"len-0", "len-160", "len-1000"}) {
            const std::string dir = box.path(kind);
            fs::create_directories(dir);
            locked.push_back(dir + "/" + n + ".bin.Vtf");
            writeFile(locked.back(), fixture(std::string("locked/") + kind + "/" + n + ".bin.Vtf"));
        }
    }
    std::vector<std::string> args{"unlock", "--password-stdin"};
    args.insert(args.end(), locked.begin(), locked.end());
    const auto unlocked = runVlt(args, kPassword);
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    // No tray runs here to lock the profile again: said once for the six files.
    const std::string notice = "vlt: no tray program is running: your profile stays unlocked until 'vlt profile lock'";
    EXPECT_NE(unlocked.err.find(notice), std::string::npos) << unlocked.err;
    EXPECT_EQ(unlocked.err.find(notice), unlocked.err.rfind(notice));
    for (const auto& l : locked) {
        const std::string plain = l.substr(0, l.size() - 4);
        EXPECT_EQ(readFile(plain), fixture("plain/" + fs::path(plain).filename().string())) << plain;
    }

    // The cache is readable like any value, and no file of the hive holds a byte run of it.
    EXPECT_EQ(runVlt({"reg", "query", kProfilePath, "TempExchangeBlob1"}).status, 0);
    EXPECT_EQ(runVlt({"reg", "query", kProfilePath, "TempExchangeBlob2"}).status, 0);
    for (const char* key : {"profile/base/plain-key.bin", "profile/enhanced/plain-key.bin"}) {
        const auto plainKey = fixture(key);
        // The primes: what makes the key private.
        const std::vector<unsigned char> secret(plainKey.begin() + 20 + (plainKey.size() - 20) * 2 / 9,
                                                plainKey.begin() + 20 + (plainKey.size() - 20) * 2 / 9 + 32);
        for (const auto& file : listFiles(box.home())) EXPECT_FALSE(contains(readFile(file), secret)) << file;
    }

    // Locked again, the next unlock needs the password and refuses a wrong one.
    ASSERT_EQ(runVlt({"profile", "lock"}).status, 0);
    EXPECT_EQ(runVlt({"reg", "query", kProfilePath, "TempExchangeBlob1"}).status, 1);
    const auto wrong = runVlt({"unlock", "--yes", "--password-stdin", locked.front()}, "not it\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("VLT Status Report.: The Password is wrong. Please enter the correct Password."),
              std::string::npos)
        << wrong.err;
    EXPECT_EQ(wrong.err.find(notice), std::string::npos) << "still locked";
    EXPECT_EQ(runVlt({"reg", "query", kProfilePath, "TempExchangeBlob1"}).status, 1);
}

TEST(Cli, CreatedProfileLocksAndUnlocksWithExitStatuses) {
    Sandbox box;
    const auto created =
        runVlt({"profile", "create", "--name", "Ann Example", "--email", "ann@example.org", "--password-stdin"},
               "s3cret words\n");
    ASSERT_EQ(created.status, 0) << created.err;
    const auto encrypt =
        runVlt({"reg", "query", "HKCU\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings", "Encrypt"});
    EXPECT_NE(encrypt.out.find("0x10006602"), std::string::npos) << encrypt.out;
    // Written whole, as the settings page's first visit writes them: every list's first entry,
    // every option off.
    const auto settings = runVlt({"reg", "query", "HKCU\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings"});
    for (const char* value :
         {"Encrypt\tREG_DWORD 0x10006602", "Hash\tREG_DWORD 0x00008004", "Signature\tREG_DWORD 0x00002400",
          "Exchange\tREG_DWORD 0x0000a400", "AutoLock\tREG_DWORD 0x00000000",
          "DeleteAfterEncrypt\tREG_DWORD 0x00000000", "DeleteAfterDecrypt\tREG_DWORD 0x00000000"})
        EXPECT_NE(settings.out.find(value), std::string::npos) << value << "\n" << settings.out;

    const std::string file = box.path("notes.txt");
    writeFile(file, std::string("meeting at noon\n"));
    const auto locked = runVlt({"lock", file});
    ASSERT_EQ(locked.status, 0) << locked.err;
    ASSERT_TRUE(fileExists(file + ".Vtf"));
    fs::remove(file);

    // Not a locked file, in the same run as a good one: reported, exit 1, the good one unlocked.
    const std::string bogus = box.path("bogus.Vtf");
    writeFile(bogus, std::string("plain text"));
    const auto mixed = runVlt({"unlock", "--password-stdin", bogus, file + ".Vtf"}, "s3cret words\n");
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("VLT Emergency Report: This is not a VLT file"), std::string::npos) << mixed.err;
    EXPECT_EQ(readFile(file), std::vector<unsigned char>({'m', 'e', 'e', 't', 'i', 'n', 'g', ' ', 'a', 't', ' ', 'n',
                                                          'o', 'o', 'n', '\n'}));

    // The file exists now: without a terminal the question takes its default (No) and the
    // save dialog has no name, so nothing happens; --no with --output-name picks another name.
    EXPECT_EQ(runVlt({"unlock", file + ".Vtf"}).status, 1);
    const auto renamed = runVlt({"unlock", "--no", "--output-name", "notes-2.txt", file + ".Vtf"});
    EXPECT_EQ(renamed.status, 0) << renamed.err;
    EXPECT_EQ(readFile(box.path("notes-2.txt")), readFile(file));
    EXPECT_NE(renamed.err.find("Confirm File Replace: A file with the same name exists"), std::string::npos);
}

TEST(Cli, PasswordsThatCouldNotBeTypedAgainAndFoldersAreRefusedWithAReason) {
    Sandbox box;
    const std::vector<std::string> create{"profile", "create", "--name", "Ann", "--password-stdin"};
    const struct {
        std::string input;
        const char* why;
    } refused[] = {{std::string(200, 'x') + "\n", "longer than 99 bytes"},
                   {std::string("ab\0cd\n", 6), "NUL"},
                   {"\n", "the password is empty"},
                   {"", "standard input is closed"}};
    for (const auto& c : refused) {
        const auto r = runVlt(create, c.input);
        EXPECT_EQ(r.status, 1) << c.why;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    }
    EXPECT_EQ(runVlt({"reg", "query", kProfilePath, "InitUser"}).status, 1);
    ASSERT_EQ(runVlt(create, std::string(99, 'x') + "\r\n").status, 0);

    const std::string file = box.path("a.txt");
    writeFile(file, std::string("a"));
    ASSERT_EQ(runVlt({"lock", file}).status, 0);
    const auto closed = runVlt({"unlock", "--password-stdin", file + ".Vtf"});
    EXPECT_EQ(closed.status, 1);
    EXPECT_NE(closed.err.find("standard input is closed"), std::string::npos) << closed.err;

    // The shell extension leaves folders out of a selection without a word; vlt names them.
    const std::string folder = box.path("folder");
    fs::create_directories(folder);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"lock", folder},
                                                  std::vector<std::string>{"shred", "--yes", folder}}) {
        const auto r = runVlt(args);
        EXPECT_EQ(r.status, 1) << args.front();
        EXPECT_NE(r.err.find(folder + " is a folder"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST(Cli, CreatingOverAProfileAsksFirstAndKeepsItUnlessConfirmed) {
    Sandbox box;
    ASSERT_EQ(runVlt({"profile", "create", "--name", "Ann", "--password-stdin"}, "first words\n").status, 0);
    const auto before = runVlt({"reg", "query", kProfilePath}).out;
    const std::vector<std::string> again{"profile", "create", "--name", "Bob", "--password-stdin"};
    for (const char* no : {"", "--no"}) {
        auto args = again;
        if (*no) args.push_back(no);
        const auto declined = runVlt(args, "other words\n");
        EXPECT_EQ(declined.status, 1);
        EXPECT_NE(declined.err.find("You already have a profile.\nIf you create a new profile all the files locked "
                                    "with the current profile will be rendered useless."),
                  std::string::npos)
            << declined.err;
        EXPECT_EQ(runVlt({"reg", "query", kProfilePath}).out, before);
    }
    auto args = again;
    args.push_back("--yes");
    EXPECT_EQ(runVlt(args, "other words\n").status, 0);
    EXPECT_NE(runVlt({"reg", "query", kProfilePath}).out, before);
}

TEST(Cli, RegistryExportImportsBackUnchanged) {
    std::vector<unsigned char> exported;
    std::string listed;
    {
        Sandbox box;
        writeFile(box.path("owner.reg"), ownerProfileReg(0x6602));
        ASSERT_EQ(runVlt({"reg", "import", box.path("owner.reg")}).status, 0);
        const std::string out = box.path("export.reg");
        ASSERT_EQ(runVlt({"reg", "export", "HKEY_CURRENT_USER\\Software\\Quillon Softworks", out}).status, 0);
        exported = readFile(out);
        ASSERT_GE(exported.size(), 2u);
        EXPECT_EQ(exported[0], 0xFF);  // UTF-16LE with BOM, as Windows writes it
        EXPECT_EQ(exported[1], 0xFE);
        listed = runVlt({"reg", "query", kProfilePath}).out;
    }
    Sandbox fresh;
    writeFile(fresh.path("in.reg"), exported);
    ASSERT_EQ(runVlt({"reg", "import", fresh.path("in.reg")}).status, 0);
    EXPECT_EQ(runVlt({"reg", "query", kProfilePath}).out, listed);
    EXPECT_NE(listed.find("ExchangeBlob4"), std::string::npos);

    // A malformed file is refused and changes nothing.
    writeFile(fresh.path("bad.reg"), std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n"
                                                 "\"A\"=dword:1\r\n\"B\"=nonsense\r\n"));
    const auto bad = runVlt({"reg", "import", fresh.path("bad.reg")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(runVlt({"reg", "query", "HKEY_CURRENT_USER\\X"}).status, 1);
}

TEST(Cli, ADamagedHiveIsNamedNotTakenForAMissingProfile) {
    Sandbox box;
    writeFile(box.path("owner.reg"), ownerProfileReg(0x6602));
    ASSERT_EQ(runVlt({"reg", "import", box.path("owner.reg")}).status, 0);
    writeFile(box.home() + "/user.db", std::string(4096, 'G'));
    const auto query = runVlt({"reg", "query", kProfilePath, "InitUser"});
    EXPECT_EQ(query.status, 1);
    EXPECT_NE(query.err.find(box.home() + "/user.db"), std::string::npos) << query.err;
    EXPECT_NE(query.err.find("damaged"), std::string::npos) << query.err;
    EXPECT_EQ(query.err.find("no such key"), std::string::npos) << query.err;
}

// Only regular files of at most 64 MiB are imported: nothing else hangs, aborts or changes the
// hive. Output to standard output that is lost fails the run.
TEST(Cli, RegImportRefusesWhatIsNotAFileAndExportChecksItsOutput) {
    Sandbox box;
    const std::string fifo = box.path("no-writer.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = box.path("huge.reg");
    writeFile(huge, "REGEDIT4\n");
    ASSERT_EQ(truncate(huge.c_str(), (std::int64_t{64} << 20) + 1), 0);
    const std::pair<std::string, const char*> refused[] = {{box.files(), "not a regular file"},
                                                           {fifo, "not a regular file"},
                                                           {"/dev/zero", "not a regular file"},
                                                           {"/dev/urandom", "not a regular file"},
                                                           {huge, "larger than 64 MiB"}};
    for (const auto& [path, message] : refused) {
        const auto run = runVlt({"reg", "import", path});
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_NE(run.err.find(message), std::string::npos) << path << ": " << run.err;
    }
    EXPECT_FALSE(fileExists(box.home() + "/user.db"));

    writeFile(box.path("marker.reg"), std::string("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Marker]\n\"A\"=\"b\"\n"));
    ASSERT_EQ(runVlt({"reg", "import", box.path("marker.reg")}).status, 0);
    const std::string command = "'" + buildPath("tools/vlt/vlt") + "' reg export 'HKCU\\Software\\Marker' >/dev/full 2>'" +
                                box.path("err") + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const auto err = readFile(box.path("err"));
    EXPECT_NE(std::string(err.begin(), err.end()).find("cannot write to standard output"), std::string::npos);
}

}  // namespace
}  // namespace vlt::test
