// The common open and save dialogs through the framework's CFileDialog, answered by the
// headless script and by the terminal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>

#include "frontends/tty/tty_frontend.h"
#include "support/sandbox.h"
#include "ui/file_dialog.h"
#include "ui_support.h"

namespace vlt::uitest {
namespace {

constexpr DWORD kAppletFlags = 0x9C06;
constexpr const char* kFilter = "VLT Profile (*.Vtp)|*.Vtp||";

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* home = std::getenv("HOME");
        m_home = home ? home : "";
        setenv("HOME", box.files().c_str(), 1);
        test::writeFile(box.path("card.Vtp"), std::string("x"));
    }
    void TearDown() override { setenv("HOME", m_home.c_str(), 1); }

    // The applet's import dialog.
    INT_PTR runOpen(ui::CFileDialog& d) {
        d.m_ofn.lpstrInitialDir = "C:\\";
        d.m_ofn.lpstrTitle = "Open the VLT profile File.";
        return d.DoModal();
    }

    test::Sandbox box;
    HeadlessScope ui;
    std::string m_home;
};

TEST_F(FileDialogTest, OpenTakesAnExistingFileFromHomeForADriveFolder) {
    const struct {
        const char* typed;
        const char* path;  // empty: cancelled
        const char* ext;
    } cases[] = {
        {"card.Vtp", "card.Vtp", "Vtp"},
        {"card", "card.Vtp", "Vtp"},  // the default extension when the bare name is missing
        {"cancel", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ASSERT_TRUE(ui.frontend.loadScript(std::string("open ") + c.typed + "\n"));
        ui::CFileDialog d(TRUE, "Vtp", "*.Vtp", kAppletFlags, kFilter);
        const bool chosen = *c.path != '\0';
        EXPECT_EQ(runOpen(d), chosen ? IDOK : IDCANCEL);
        if (!chosen) continue;
        EXPECT_EQ(d.GetPathName(), box.path(c.path));
        EXPECT_EQ(d.GetFileName(), c.path);
        EXPECT_EQ(d.GetFileExt(), c.ext);
        EXPECT_FALSE(d.m_ofn.Flags & OFN_EXTENSIONDIFFERENT);
    }
    const auto t = ui.frontend.transcript().back();
    EXPECT_EQ(t.kind, frontends::TranscriptEntry::Kind::OpenDialog);
    EXPECT_EQ(t.caption, "Open the VLT profile File.");
    EXPECT_EQ(t.folder, box.files());
    EXPECT_EQ(t.text, "");  // the pattern is not a name
}

TEST_F(FileDialogTest, OpenRefusesAMissingFileAndTakesTheNextAnswer) {
    ASSERT_TRUE(ui.frontend.loadScript("open nobody.Vtp\nopen " + box.path("card.Vtp") + "\n"));
    ui::CFileDialog d(TRUE, "Vtp", "*.Vtp", kAppletFlags, kFilter);
    ASSERT_EQ(runOpen(d), IDOK);
    EXPECT_EQ(d.GetPathName(), box.path("card.Vtp"));
    EXPECT_NE(ui.frontend.transcriptText().find("note " + box.path("nobody.Vtp") + "\\nThere is no such file."),
              std::string::npos)
        << ui.frontend.transcriptText();

    ASSERT_TRUE(ui.frontend.loadScript("open nobody.Vtp\n"));
    ui::CFileDialog alone(TRUE, "Vtp", "*.Vtp", kAppletFlags, kFilter);
    EXPECT_EQ(runOpen(alone), IDCANCEL);  // nothing acceptable left: cancelled
}

TEST_F(FileDialogTest, SaveAddsTheDefaultExtensionAndNeedsAnExistingFolder) {
    ASSERT_TRUE(ui.frontend.loadScript("save backup\nsave missing/b.Vtb\nsave cancel\n"));
    ui::CFileDialog d(FALSE, "Vtb", "*.Vtb", kAppletFlags, "VLT Backup (*.Vtb)|*.Vtb||");
    d.m_ofn.lpstrInitialDir = "C:\\";
    ASSERT_EQ(d.DoModal(), IDOK);
    EXPECT_EQ(d.GetPathName(), box.path("backup.Vtb"));
    ui::CFileDialog again(FALSE, "Vtb", nullptr, kAppletFlags, nullptr);
    again.m_ofn.lpstrInitialDir = "D:\\Data";
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    EXPECT_NE(ui.frontend.transcriptText().find("There is no such folder."), std::string::npos);
}

TEST_F(FileDialogTest, TerminalAsksAgainUntilTheFileExistsAndEmptyCancels) {
    std::deque<std::string> lines{"nobody", "card", "", };
    frontends::TtyOptions options;
    options.interactive = true;
    options.readLine = [&lines]() -> std::optional<std::string> {
        if (lines.empty()) return std::nullopt;
        auto l = lines.front();
        lines.pop_front();
        return l;
    };
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    {
        frontends::TtyFrontend tty(options, out);
        ui::setFrontend(&tty);
        ui::CFileDialog d(TRUE, "Vtp", "*.Vtp", kAppletFlags, kFilter);
        EXPECT_EQ(runOpen(d), IDOK);
        EXPECT_EQ(d.GetPathName(), box.path("card.Vtp"));
        ui::CFileDialog cancelled(TRUE, "Vtp", "*.Vtp", kAppletFlags, kFilter);
        EXPECT_EQ(runOpen(cancelled), IDCANCEL);
        ui::setFrontend(&ui.frontend);
    }
    std::fclose(out);
    const std::string shown(text, size);
    std::free(text);
    EXPECT_NE(shown.find("Open the VLT profile File.\nFile to open in " + box.files()), std::string::npos) << shown;
    EXPECT_NE(shown.find(box.path("nobody.Vtp") + "\nThere is no such file."), std::string::npos) << shown;
}

}  // namespace
}  // namespace vlt::uitest
