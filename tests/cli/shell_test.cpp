// vlt-shell as the file managers start it: registering the shell extension as regsvr32 would,
// listing the menu, and running commands with scripted answers.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_vlt.h"
#include "shellext/resources.h"
#include "support/fixtures.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

const std::string kLibrary = "shellext/libVTMenu32.so";
const std::string kClassKey = "HKEY_CLASSES_ROOT\\CLSID\\{87B9BD00-C65C-11CD-A259-00DD010E8C28}\\InprocServer32";

TEST(Shell, RegistersListsAndUnregisters) {
    Sandbox box;
    const std::string library = buildPath(kLibrary);
    ASSERT_EQ(runShell({"--register", library}).status, 0);
    ASSERT_EQ(runShell({"--register", library}).status, 0);  // twice: the same keys
    const auto server = runVlt({"reg", "query", kClassKey});
    EXPECT_NE(server.out.find(library), std::string::npos) << server.out;
    EXPECT_NE(server.out.find("Apartment"), std::string::npos);
    EXPECT_EQ(runVlt({"reg", "query", "HKCR\\.Vtf", ""}).out, "REG_SZ Vtffile\n");

    const std::string plain = box.path("notes.txt"), locked = box.path("old.vtf");
    writeFile(plain, std::string("x"));
    writeFile(locked, std::string("y"));
    const auto forPlain = runShell({"--tty", "--list", plain});
    EXPECT_EQ(forPlain.status, 0) << forPlain.err;
    EXPECT_EQ(forPlain.out,
              "V L T\n  &Lock File\n  &Grand For...\n  &UnLock File\t(grayed)\n  ----\n  Secure &Delete\n  A&bout VLT\n");
    // One locked name among the selection enables unlocking, whatever its case.
    const auto forBoth = runShell({"--tty", "--list", plain, locked});
    EXPECT_NE(forBoth.out.find("  &UnLock File\n"), std::string::npos) << forBoth.out;

    ASSERT_EQ(runShell({"--unregister", library}).status, 0);
    ASSERT_EQ(runShell({"--unregister", library}).status, 0);
    EXPECT_EQ(runVlt({"reg", "query", kClassKey}).status, 1);
    EXPECT_EQ(runVlt({"reg", "query", "HKCR\\.Vtf"}).status, 1);
    EXPECT_EQ(runShell({"--register", box.path("missing.so")}).status, 1);
}

TEST(Shell, RunsCommandsWithScriptedAnswers) {
    Sandbox box;
    // The fixtures' owner as the profile, Enhanced RC2 as the setting.
    const std::string profile = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00";
    std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n[" + profile + "\\Profile]\r\n";
    for (const auto& [name, file] : std::vector<std::pair<std::string, std::string>>{
             {"ExchangeBlob1", "profile/base/cert-record.bin"}, {"ExchangeBlob2", "profile/base/wrapped-key.bin"},
             {"ExchangeBlob3", "profile/enhanced/cert-record.bin"}, {"ExchangeBlob4", "profile/enhanced/wrapped-key.bin"}}) {
        const auto hex = toHex(fixture(file));
        std::string list;
        for (std::size_t i = 0; i < hex.size(); i += 2) list += (i ? "," : "") + hex.substr(i, 2);
        reg += "\"" + name + "\"=hex:" + list + "\r\n";
    }
    reg += "\"InitUser\"=dword:00000001\r\n\r\n[" + profile + "\\Settings]\r\n\"Encrypt\"=dword:10006602\r\n";
    writeFile(box.path("owner.reg"), reg);
    ASSERT_EQ(runVlt({"reg", "import", box.path("owner.reg")}).status, 0);
    ASSERT_EQ(runShell({"--register", buildPath(kLibrary)}).status, 0);

    const std::string file = box.path("plan.txt");
    writeFile(file, std::string("the plan"));
    ASSERT_EQ(runShell({"--tty", "--verb", "0", file}).status, 0);
    ASSERT_TRUE(fileExists(file + ".Vtf"));
    fs::remove(file);

    // Unlock: the password dialog answered by the script, the progress dialog left to its worker.
    const std::string password = "dialog " + std::to_string(shellext::kPasswordDialog);
    writeFile(box.path("answers"), password + " type " + std::to_string(shellext::kPasswordEdit) +
                                       " \"Lantern-Frost 1984\"; click 1\n");
    const std::string transcript = box.path("transcript");
    const auto unlocked = runShell({"--answers", box.path("answers"), "--transcript", transcript, "--verb", "2", file + ".Vtf"});
    EXPECT_EQ(unlocked.status, 0) << unlocked.err << unlocked.out;
    EXPECT_EQ(readFile(file), std::vector<unsigned char>({'t', 'h', 'e', ' ', 'p', 'l', 'a', 'n'}));
    const auto shown = readFile(transcript);
    const std::string text(shown.begin(), shown.end());
    EXPECT_NE(text.find(password), std::string::npos) << text;
    EXPECT_NE(text.find("dialog " + std::to_string(shellext::kProgressDialog)), std::string::npos) << text;

    // Cancel in the progress dialog of a secure delete: the file in hand is still removed, yet
    // the run was cancelled, and both hosts exit 1 as for Ctrl-C.
    const std::string cancel = box.path("cancel");
    writeFile(cancel, "message IDOK\ndialog " + std::to_string(shellext::kProgressDialog) + " cancel-after-steps 1\n");
    const std::string doomed = box.path("doomed.bin");
    for (const bool viaVlt : {false, true}) {
        writeFile(doomed, std::string(2000000, 'x'));
        const auto run = viaVlt ? runVlt({"shred", "--answers", cancel, doomed})
                                : runShell({"--answers", cancel, "--verb", "3", doomed});
        EXPECT_EQ(run.status, 1) << viaVlt << run.err;
        EXPECT_FALSE(fileExists(doomed)) << viaVlt;
    }

    // Secure delete, confirmed by the script; the default answer (Cancel) would keep the file.
    writeFile(box.path("no"), std::string("\n"));
    EXPECT_EQ(runShell({"--answers", box.path("no"), "--verb", "3", file}).status, 1);
    EXPECT_TRUE(fileExists(file));
    writeFile(box.path("yes"), std::string("message IDOK\n"));
    EXPECT_EQ(runShell({"--answers", box.path("yes"), "--verb", "3", file}).status, 0);
    EXPECT_FALSE(fileExists(file));

    // An answers file that never ends is refused, not read until memory runs out.
    const auto endless = runShell({"--answers", "/dev/zero", "--verb", "3", doomed});
    EXPECT_NE(endless.status, 0);
    EXPECT_NE(endless.err.find("larger than 1 MiB"), std::string::npos) << endless.err;

    // A folder is left out of the selection whatever the action: said, and not a success.
    const std::string folder = box.path("folder");
    fs::create_directories(folder);
    const std::string notes = box.path("notes.txt");
    writeFile(notes, std::string("x"));
    for (const std::vector<std::string>& action :
         {std::vector<std::string>{"--verb", "0"}, {"--verb", "4"}, {"--list"}}) {
        std::vector<std::string> args = {"--tty"};
        args.insert(args.end(), action.begin(), action.end());
        args.push_back(folder);
        const auto onFolder = runShell(args);
        EXPECT_EQ(onFolder.status, 1) << action[0];
        EXPECT_NE(onFolder.err.find(folder + " is a folder"), std::string::npos) << onFolder.err;
        args.back() = notes;
        args.push_back(folder);
        EXPECT_EQ(runShell(args).status, 1) << "a file beside the folder does not make it a success";
    }

    // After "--", a name starting with "-" is a file of the working folder; before, an option.
    writeFile(box.path("-dash.txt"), std::string("the plan"));
    const fs::path here = fs::current_path();
    fs::current_path(box.files());
    const auto unknown = runShell({"--tty", "--verb", "0", "-dash.txt"});
    const auto dashed = runShell({"--tty", "--verb", "0", "--", "-dash.txt"});
    fs::current_path(here);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_TRUE(fileExists(box.path("-dash.txt.Vtf")));
}

}  // namespace
}  // namespace vlt::test
