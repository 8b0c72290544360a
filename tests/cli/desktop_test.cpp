// vlt desktop install and uninstall, in a throwaway home: each file manager gets files of its
// own format that offer the commands on files only, "UnLock File" only on locked files where
// it can filter, in the menu's order; Nautilus gets one integration whatever was there;
// Thunar's own actions survive; uninstalling leaves only what was there before.
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

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
        unsetenv("VLT_NAUTILUS_PYTHON");
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

bool hasLine(const std::string& text, const std::string& pattern) {
    std::istringstream in(text);
    const std::regex re(pattern);
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, re)) return true;
    return false;
}

// The verbs of the Exec lines or Thunar commands of some text, in order.
std::string verbsIn(const std::string& text) {
    std::string verbs;
    const std::regex exec("--verb ([0-9]) -- %F");
    for (std::sregex_iterator it(text.begin(), text.end(), exec), end; it != end; ++it) verbs += (*it)[1].str();
    return verbs;
}

// desktop-file-validate's complaints about a KDE service menu, less those the format forces:
// its Type=Service takes MimeType and Actions, KIO reads ExcludeServiceTypes without "X-", and
// its separator in Actions hides the actions after it from the validator (the table checks
// the Actions lines).
std::string validatorComplaints(const std::string& path) {
    const std::string out = path + ".validate";
    (void)!std::system(("desktop-file-validate --no-hints '" + path + "' >'" + out + "' 2>&1").c_str());
    std::istringstream in(text(out));
    std::string left;
    for (std::string line; std::getline(in, line);)
        if (!std::regex_search(
                line, std::regex("only valid for type \"Application\"|\"ExcludeServiceTypes\"|_SEPARATOR_|"
                                 "\"Desktop Action vlt(Shred|About)\" exists, but there is no matching action")))
            left += line + "\n";
    fs::remove(out);
    return left;
}

// Thunar's test: one of the patterns matches the name, in the letter case given.
bool thunarOffers(const std::string& patterns, const std::string& name) {
    std::istringstream in(patterns);
    for (std::string p; std::getline(in, p, ';');)
        if (fnmatch(p.c_str(), name.c_str(), 0) == 0) return true;
    return false;
}

bool wellFormedXml(const std::string& path) {
    return std::system(
               ("python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' '" + path + "'").c_str()) == 0;
}

// Installs with or without the Nautilus extension, and checks that exactly one of the two is there.
void installAndCheckNautilus(const DesktopHome& home, bool extension) {
    setenv("VLT_NAUTILUS_PYTHON", extension ? "1" : "0", 1);
    const auto run = runVlt({"desktop", "install"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string scripts = home.data() + "/nautilus/scripts/V L T";
    EXPECT_EQ(fileExists(home.data() + "/nautilus-python/extensions/vlt.py"), extension);
    EXPECT_EQ(fs::exists(scripts), !extension) << "two V L T menus in Nautilus";
    if (!extension) {
        EXPECT_EQ(listFiles(scripts).size(), 5u);
    }
}

TEST(Desktop, EachFileManagerGetsItsOwnFormatForFilesOnly) {
    Sandbox box;
    DesktopHome home(box);
    const std::string uca = home.config() + "/Thunar/uca.xml";
    const std::string theirs =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<name>Open Terminal Here</name>\n"
        "\t<unique-id>1-1</unique-id>\n\t<command>exo-open %f</command>\n</action>\n</actions>\n";
    fs::create_directories(fs::path(uca).parent_path());
    writeFile(uca, theirs);
    const std::string earlierDolphin = home.data() + "/kio/servicemenus/vlt.desktop";
    fs::create_directories(fs::path(earlierDolphin).parent_path());
    writeFile(earlierDolphin, std::string("[Desktop Entry]\nX-KDE-Submenu=V L T\n"));

    // Any number of installs, with the Nautilus extension appearing and disappearing.
    for (bool extension : {false, true, true, false}) installAndCheckNautilus(home, extension);
    EXPECT_FALSE(fileExists(earlierDolphin)) << "an earlier version's service menu stays beside ours";

    // One table: each file manager's files and the lines its format and our rules ask for.
    const std::string files = "(application/octet-stream;)";
    struct Expected {
        std::string file;
        std::vector<std::string> lines;
    };
    std::vector<Expected> table;
    for (int verb = 0; verb < 5; ++verb)
        table.push_back(
            {home.data() + "/nemo/actions/vlt-" + std::to_string(verb) + ".nemo_action",
             {"\\[Nemo Action\\]", "Name=V L T: .+", "Exec=/\\S+/vlt-shell --verb " + std::to_string(verb) + " -- %F",
              "Quote=double", "Selection=notnone", verb == 2 ? "Extensions=\\.vtf;" : "Extensions=nodirs;",
              "Icon-Name=application-x-vaultine-locked"}});
    for (const char* dir : {"/kio/servicemenus/", "/kservices5/ServiceMenus/"}) {
        const std::string base = home.data() + dir;
        const std::vector<std::string> common = {"\\[Desktop Entry\\]", "Type=Service", "Name=V L T",
                                                 "X-KDE-ServiceTypes=KonqPopupMenu/Plugin", "X-KDE-Submenu=V L T"};
        auto with = [&](std::vector<std::string> more) {
            more.insert(more.begin(), common.begin(), common.end());
            return more;
        };
        table.push_back(
            {base + "vlt-1.desktop", with({"MimeType=" + files, "ExcludeServiceTypes=application/x-vaultine-locked;",
                                           "Actions=vltLock;vltGrant;"})});
        table.push_back(
            {base + "vlt-2.desktop", with({"MimeType=application/x-vaultine-locked;", "Actions=vltUnlock;"})});
        table.push_back(
            {base + "vlt-3.desktop", with({"MimeType=" + files, "Actions=_SEPARATOR_;vltShred;vltAbout;"})});
    }
    table.push_back(
        {home.data() + "/mime/packages/vaultine.xml",
         {"\\s*<glob pattern=\"\\*\\.vtf\"/>", "\\s*<generic-icon name=\"application-x-vaultine-locked\"/>"}});
    table.push_back(
        {home.data() + "/mime/generic-icons", {"application/x-vaultine-locked:application-x-vaultine-locked"}});
    for (const auto& row : table)
        for (const auto& line : row.lines) EXPECT_TRUE(hasLine(text(row.file), line)) << row.file << " lacks " << line;

    // Dolphin: the three service menus merge into the original's order, and validate as far
    // as a service menu can; Plasma 6 runs only executable ones.
    for (const char* dir : {"/kio/servicemenus/", "/kservices5/ServiceMenus/"}) {
        std::string all;
        for (const char* name : {"vlt-1.desktop", "vlt-2.desktop", "vlt-3.desktop"}) {
            const std::string path = home.data() + dir + name;
            all += text(path);
            EXPECT_EQ(validatorComplaints(path), "") << path;
        }
        EXPECT_EQ(verbsIn(all), "01234") << dir;
    }
    struct stat st {};
    ASSERT_EQ(stat((home.data() + "/kio/servicemenus/vlt-2.desktop").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);

    // Thunar: the user's action kept, ours once each in order in the "V L T" submenu, for
    // files only, unlocking for every spelling of .vtf and nothing else.
    EXPECT_TRUE(wellFormedXml(uca));
    EXPECT_TRUE(wellFormedXml(home.data() + "/mime/packages/vaultine.xml"));
    const auto merged = text(uca);
    EXPECT_EQ(count(merged, "<unique-id>1-1</unique-id>"), 1);
    EXPECT_EQ(verbsIn(merged), "01234");
    EXPECT_EQ(count(merged, "<submenu>V L T</submenu>"), 5);
    EXPECT_EQ(count(merged, "<directories/>"), 0);
    const std::regex patterns("<patterns>([^<]*)</patterns>");
    std::vector<std::string> found;
    for (std::sregex_iterator it(merged.begin(), merged.end(), patterns), end; it != end; ++it)
        found.push_back((*it)[1]);
    ASSERT_EQ(found.size(), 5u);
    const std::vector<std::pair<std::string, bool>> names = {
        {"a.vtf", true}, {"b.VTF", true},      {"c.Vtf", true},      {"d.vTf", true},
        {"e.vtF", true}, {"notes.txt", false}, {"a.vtf.txt", false}, {"vtf", false}};
    for (std::size_t verb = 0; verb < found.size(); ++verb)
        for (const auto& [name, locked] : names)
            EXPECT_EQ(thunarOffers(found[verb], name), verb != 2 || locked) << verb << " " << name;

    // Caja's scripts: a file whose name starts with "-" reaches vlt-shell as a file.
    const std::string dash = box.path("-dash.txt");
    writeFile(dash, std::string("x"));
    const std::string about = home.config() + "/caja/scripts/V L T/About VLT";
    const int status = std::system(("cd '" + box.files() + "' && env -u DISPLAY -u WAYLAND_DISPLAY setsid -w '" +
                                    about + "' -dash.txt </dev/null >/dev/null 2>'" + box.path("about.err") + "'")
                                       .c_str());
    EXPECT_EQ(status, 0) << text(box.path("about.err"));

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
