// The control-panel runner: the protocol a .cpl library sees, and what it says about files
// that are not applets. vlt-control itself runs the same with a scripted front end.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "shell/control_panel.h"
#include "shell_test.h"
#include "win32/winerror.h"

namespace vlt::test {
namespace {

std::string textOf(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ControlPanelRunner : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        setenv("VLT_FAKE_APPLET_LOG", log().c_str(), 1);
    }
    void TearDown() override {
        for (const char* v : {"VLT_FAKE_APPLET_LOG", "VLT_FAKE_APPLET_INIT", "VLT_FAKE_APPLET_COUNT"}) unsetenv(v);
        ShellTest::TearDown();
    }
    std::string log() const { return sandbox.path("calls.log"); }
    std::string calls() const { return textOf(log()); }
};

TEST_F(ControlPanelRunner, DrivesTheAppletThroughItsMessagesInOrder) {
    struct Case {
        const char* selection;
        const char* count;
        const char* expected;  // messages, applet numbers and data as the library saw them
        DWORD error;
    };
    const Case cases[] = {
        {"", "2", "1 0 0\n2 0 0\n3 0 0\n3 1 0\n5 0 40\n6 0 40\n6 1 41\n7 0 0\n", ERROR_SUCCESS},
        {"@1", "2", "1 0 0\n2 0 0\n3 0 0\n3 1 0\n5 1 41\n6 0 40\n6 1 41\n7 0 0\n", ERROR_SUCCESS},
        {"@2", "2", "1 0 0\n2 0 0\n3 0 0\n3 1 0\n6 0 40\n6 1 41\n7 0 0\n", ERROR_INVALID_INDEX},
        {"Other", "2", "1 0 0\n2 0 0\n3 0 0\n3 1 0\n6 0 40\n6 1 41\n7 0 0\n", ERROR_INVALID_INDEX},
        {"", "0", "1 0 0\n2 0 0\n7 0 0\n", ERROR_INVALID_INDEX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.selection) + " of " + c.count);
        std::remove(log().c_str());
        setenv("VLT_FAKE_APPLET_COUNT", c.count, 1);
        auto run = shell::runControlPanelApplet(VLT_FAKE_APPLET, c.selection);
        EXPECT_EQ(calls(), c.expected);
        if (c.error == ERROR_SUCCESS) {
            ASSERT_TRUE(run.ok()) << run.error().message;
            ASSERT_EQ(run->applets.size(), 2u);
            EXPECT_EQ(run->applets[1].idName, 201);
            EXPECT_EQ(run->opened, c.selection[0] ? 1 : 0);
        } else {
            ASSERT_FALSE(run.ok());
            EXPECT_EQ(run.error().code, c.error);
        }
    }
}

TEST_F(ControlPanelRunner, RefusesWhatIsNotAWillingApplet) {
    writeFile(sandbox.path("text.Cpl"), std::string("not a library"));
    setenv("VLT_FAKE_APPLET_INIT", "0", 1);
    const std::pair<std::string, DWORD> cases[] = {
        {sandbox.path("missing.Cpl"), ERROR_FILE_NOT_FOUND},
        {sandbox.files(), ERROR_FILE_NOT_FOUND},
        {sandbox.path("text.Cpl"), ERROR_BAD_EXE_FORMAT},
        {VLT_NOT_AN_APPLET, ERROR_PROC_NOT_FOUND},
        {VLT_FAKE_APPLET, ERROR_DLL_INIT_FAILED},
    };
    for (const auto& [path, error] : cases) {
        auto run = shell::runControlPanelApplet(path);
        ASSERT_FALSE(run.ok()) << path;
        EXPECT_EQ(run.error().code, error) << path;
        EXPECT_NE(run.error().message.find(path), std::string::npos) << run.error().message;
    }
    // Refused at CPL_INIT: nothing else was asked.
    EXPECT_EQ(calls(), "1 0 0\n");
}

#ifdef VLT_CONTROL
TEST_F(ControlPanelRunner, TheProgramOpensTheAppletInTheChosenFrontEnd) {
    const std::string answers = sandbox.path("answers"), transcript = sandbox.path("transcript");
    writeFile(answers, std::string("message IDOK\n"));
    const std::string command = std::string(VLT_CONTROL) + " " + VLT_FAKE_APPLET + " @1 --answers " + answers +
                                " --transcript " + transcript + " 2>" + sandbox.path("err");
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
    EXPECT_NE(textOf(transcript).find("applet 1 opened"), std::string::npos) << textOf(transcript);

    const std::pair<std::string, int> failures[] = {
        {std::string(VLT_CONTROL) + " " + sandbox.path("missing.Cpl") + " --tty", 1},
        {std::string(VLT_CONTROL) + " " + VLT_NOT_AN_APPLET + " --tty", 1},
        {std::string(VLT_CONTROL) + " --tty", 2},
        {std::string(VLT_CONTROL) + " " + VLT_FAKE_APPLET + " --bogus", 2},
    };
    for (const auto& [line, status] : failures) {
        EXPECT_EQ(WEXITSTATUS(std::system((line + " 2>" + sandbox.path("err")).c_str())), status) << line;
        EXPECT_NE(textOf(sandbox.path("err")).rfind("vlt-control: ", 0), std::string::npos) << line;
    }
}
#endif

}  // namespace
}  // namespace vlt::test
