// vlt desktop install and uninstall, in a throwaway home: every file manager gets its actions,
// Thunar's own actions survive, installing twice does not duplicate, uninstalling leaves
// only what was there before.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "run_vlt.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

class DesktopHome {
public:
    explicit DesktopHome(const Sandbox& box) : m_data(box.root() + "/xdg-data"), m_config(box.root() + "/xdg-config") {
        setenv("XDG_DATA_HOME", m_data.c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
    }
    ~DesktopHome() {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CONFIG_HOME");
    }
    const std::string& data() const { return m_data; }
    const std::string& config() const { return m_config; }

private:
    std::string m_data, m_config;
};

int count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

std::string text(const std::string& path) {
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

TEST(Desktop, InstallsForEveryFileManagerAndUninstallsCleanly) {
    Sandbox box;
    DesktopHome home(box);
    const std::string uca = home.config() + "/Thunar/uca.xml";
    fs::create_directories(fs::path(uca).parent_path());
    const std::string theirs =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<name>Open Terminal Here</name>\n"
        "\t<unique-id>1-1</unique-id>\n\t<command>exo-open %f</command>\n</action>\n</actions>\n";
    writeFile(uca, theirs);

    ASSERT_EQ(runVlt({"desktop", "install"}).status, 0);
    ASSERT_EQ(runVlt({"desktop", "install"}).status, 0);  // again: replaced, not duplicated

    const std::string dolphin = home.data() + "/kio/servicemenus/vlt.desktop";
    EXPECT_NE(text(dolphin).find("X-KDE-Submenu=V L T"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat(dolphin.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR) << "Plasma 6 ignores service menus that are not executable";
    EXPECT_TRUE(fileExists(home.data() + "/kservices5/ServiceMenus/vlt.desktop"));
    for (int verb = 0; verb < 5; ++verb) {
        const auto nemo = text(home.data() + "/nemo/actions/vlt-" + std::to_string(verb) + ".nemo_action");
        EXPECT_NE(nemo.find("--verb " + std::to_string(verb) + " %F"), std::string::npos) << nemo;
    }
    EXPECT_TRUE(fileExists(home.config() + "/caja/scripts/V L T/Lock File"));
    const auto mime = text(home.data() + "/mime/packages/vaultine.xml");
    EXPECT_NE(mime.find("application/x-vaultine-locked"), std::string::npos);
    const auto handler = text(home.data() + "/applications/vlt-unlock.desktop");
    EXPECT_NE(handler.find("NoDisplay=true"), std::string::npos);
    EXPECT_NE(handler.find("--verb 2 %F"), std::string::npos);
    const std::string settings = home.data() + "/applications/vlt-settings.desktop";
    EXPECT_TRUE(std::regex_search(text(settings), std::regex("\nExec=/\\S*/vlt control\n")));
    EXPECT_NE(text(settings).find("\nName=VLT Certificate Settings\n"), std::string::npos);
    EXPECT_NE(text(settings).find("\nCategories=Settings;Utility;\n"), std::string::npos);
    EXPECT_TRUE(fileExists(home.data() + "/icons/hicolor/scalable/apps/vaultine-settings.svg"));
    EXPECT_EQ(std::system(("desktop-file-validate --no-hints '" + settings + "'").c_str()), 0);

    const auto merged = text(uca);
    EXPECT_EQ(count(merged, "<unique-id>vaultine-"), 5);
    EXPECT_EQ(count(merged, "<unique-id>1-1</unique-id>"), 1);
    EXPECT_TRUE(std::regex_search(merged, std::regex("</action>\\s*</actions>\\s*$")));

    ASSERT_EQ(runVlt({"desktop", "uninstall"}).status, 0);
    EXPECT_EQ(count(text(uca), "vaultine"), 0);
    EXPECT_EQ(count(text(uca), "<unique-id>1-1</unique-id>"), 1);
    // What update-mime-database made stays; nothing of ours does.
    for (const auto& f : listFiles(home.data())) {
        const std::string inside = f.substr(home.data().size());
        EXPECT_EQ(inside.find("vlt"), std::string::npos) << f << " was left behind";
        EXPECT_EQ(inside.find("vaultine"), std::string::npos) << f << " was left behind";
    }
    EXPECT_FALSE(fileExists(home.config() + "/caja/scripts/V L T"));
}

}  // namespace
}  // namespace vlt::test
