// The applet's entry: CPlApplet's answers, its strings, the sheet it opens (title, page order)
// and the plug-in as a host loads it.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "applet/container_sheet.h"
#include "applet/cpl_applet.h"
#include "applet/import_profile.h"
#include "applet/resources.h"
#include "applet/templates.h"
#include "applet_world.h"
#include "registry/hives.h"
#include "shared/registry_layout.h"
#include "support/elf_exports.h"

namespace vlt::applet {
namespace {

using Entry = TranscriptEntry;

const CPLINFO kUntouched{-1, -2, -3, -4};

TEST(CplApplet, AnswersEveryMessageOfTheProtocol) {
    AppletWorld world;
    struct Row {
        UINT message;
        LONG result;
    };
    for (const Row row : {Row{CPL_INIT, 1}, Row{CPL_GETCOUNT, 1}, Row{CPL_SELECT, 0}, Row{CPL_STOP, 0},
                          Row{CPL_EXIT, 0}, Row{CPL_NEWINQUIRE, 0}, Row{0, 0}, Row{9, 0}, Row{200, 0}}) {
        CPLINFO info = kUntouched;
        EXPECT_EQ(cplApplet(nullptr, row.message, 0, reinterpret_cast<LPARAM>(&info)), row.result) << row.message;
        EXPECT_EQ(info.idIcon, -1) << row.message;
        EXPECT_EQ(info.lData, -4) << row.message;
    }
    CPLINFO info = kUntouched;
    EXPECT_EQ(cplApplet(nullptr, CPL_INQUIRE, 7, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.idIcon, 1310);
    EXPECT_EQ(info.idName, 57345);
    EXPECT_EQ(info.idInfo, 57346);
    EXPECT_EQ(info.lData, 0);

    char text[64] = {};
    for (const auto& [id, expected] : {std::pair{57345, "Vaultine Poperties."},
                                       std::pair{57346, "Change the properties of Vaultine."},
                                       std::pair{57347, "Vaultine Properties."}}) {
        ASSERT_GT(LoadStringA(appletModule(), static_cast<UINT>(id), text, sizeof text), 0) << id;
        EXPECT_STREQ(text, expected);
    }
}

// The sheet's transcript entry as shown, and its pages' captions in tab order.
Entry shownSheet(const AppletWorld& world) {
    for (const auto& e : world.ui().transcript())
        if (e.kind == Entry::Kind::DialogShown && e.sheet) return e;
    ADD_FAILURE() << "no sheet shown\n" << world.ui().transcriptText();
    return {};
}

std::vector<std::string> tabs(const Entry& sheet) {
    std::vector<std::string> out;
    for (const auto& c : sheet.controls)
        if (c.kind == ui::ControlKind::Tab)
            for (const auto& item : c.items) out.push_back(item.text);
    return out;
}

int selectedTab(const Entry& sheet) {
    for (const auto& c : sheet.controls)
        if (c.kind == ui::ControlKind::Tab)
            for (std::size_t i = 0; i < c.items.size(); ++i)
                if (c.items[i].selected) return static_cast<int>(i);
    return -1;
}

TEST(ContainerSheet, OpensTitledWithThePagesInTheOrderOfTheSettings) {
    // Only whether Encrypt exists counts, not its value.
    for (const std::optional<DWORD> encrypt : {std::optional<DWORD>(test::kEnhancedRc2), std::optional<DWORD>(0),
                                               std::optional<DWORD>()}) {
        const bool saved = encrypt.has_value();
        AppletWorld world;
        if (saved) world.setSetting(layout::kEncrypt, *encrypt);
        else world.deleteSetting(layout::kEncrypt);
        CPLINFO unused{};
        ASSERT_TRUE(world.ui().loadScript("sheet click 2").ok());
        EXPECT_EQ(cplApplet(nullptr, CPL_DBLCLK, 0, reinterpret_cast<LPARAM>(&unused)), 0);
        const Entry sheet = shownSheet(world);
        EXPECT_EQ(sheet.caption, "VLT Certificate Settings.");
        const std::vector<std::string> first =
            saved ? std::vector<std::string>{"Personal", "VLT Settings"} : std::vector<std::string>{"VLT Settings", "Personal"};
        EXPECT_EQ(tabs(sheet), (std::vector<std::string>{first[0], first[1], "Personal Certificate Store",
                                                        "System Certificate Store"}));
        EXPECT_EQ(selectedTab(sheet), 0);
    }
}

TEST(ContainerSheet, ASettingsKeyThatCannotBeMadeGivesASheetWithoutPages) {
    AppletWorld world;
    world.deleteSetting(layout::kEncrypt);
    const std::string locked = world.sandbox().root() + "/locked";
    std::filesystem::create_directory(locked);
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    setenv("VLT_HOME", (locked + "/hive").c_str(), 1);
    registry::resetHives();
    CContainerSheet sheet;
    EXPECT_EQ(sheet.GetPageCount(), 0);
}

// The plug-in as a host without an application object of its own loads it.
TEST(Plugin, ExportsTheTwoEntriesAndNamesItsMessageBoxes) {
    test::World world;
    ASSERT_EQ(ui::AfxGetApp(), nullptr);
    void* library = dlopen(VLT_VTCERT32_CPL, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto* entry = reinterpret_cast<APPLET_PROC>(dlsym(library, "CPlApplet"));
    auto* import = reinterpret_cast<int (*)(const BYTE*)>(dlsym(library, "ImportProfile"));
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(import, nullptr);
    EXPECT_EQ(test::dynamicExports(VLT_VTCERT32_CPL), (std::set<std::string>{"CPlApplet", "ImportProfile"}));

    CPLINFO info{};
    EXPECT_EQ(entry(nullptr, CPL_INIT, 0, 0), 1);
    EXPECT_EQ(entry(nullptr, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info)), 0);
    char name[64] = {};
    EXPECT_GT(LoadStringA(ui::moduleOf(reinterpret_cast<const void*>(entry)), static_cast<UINT>(info.idName), name,
                          sizeof name),
              0);
    EXPECT_STREQ(name, "Vaultine Poperties.");
    ASSERT_NE(ui::AfxGetApp(), nullptr);
    EXPECT_STREQ(ui::AfxGetApp()->m_pszAppName, "VTCert32");
    const std::vector<BYTE> wrongVersion{0x7B, 0, 0, 0, 0x65, 0, 0, 0};
    EXPECT_EQ(import(wrongVersion.data()), 0);
    // Stays loaded: its application object is the process's from now on, as in a host.
}

}  // namespace
}  // namespace vlt::applet
