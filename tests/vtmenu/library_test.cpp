// libVTMenu32.so as the shell meets it: its exports, its class object, its self-registration,
// and the whole way from the registry through the shell host to locked and unlocked files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "com/inproc.h"
#include "hosts/shell/shell_host.h"
#include "registry/hives.h"
#include "session.h"
#include "shell/notify.h"
#include "support/elf_exports.h"
#include "support/sandbox.h"
#include "win32/winreg.h"

namespace vlt::vtmtest {
namespace {

namespace fs = std::filesystem;

// What the loaded handler answered, or E_UNEXPECTED when the host could not invoke it.
HRESULT answerOf(const Result<HRESULT>& answer) { return answer ? *answer : E_UNEXPECTED; }

constexpr CLSID kClsid = {0x87b9bd00, 0xc65c, 0x11cd, {0xa2, 0x59, 0x00, 0xdd, 0x01, 0x0e, 0x8c, 0x28}};
constexpr const char* kClsidText = "{87B9BD00-C65C-11CD-A259-00DD010E8C28}";

const com::InprocServer* library() {
    auto loaded = com::InprocServer::load(VLT_VTMENU_SO);
    EXPECT_TRUE(loaded) << (loaded ? "" : loaded.error().message);
    return loaded ? *loaded : nullptr;
}

TEST(VtMenuLibrary, ExportsExactlyTheFourEntryPoints) {
    EXPECT_EQ(test::dynamicExports(VLT_VTMENU_SO), (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                                                     "DllRegisterServer", "DllUnregisterServer"}));
    const auto* lib = library();
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(lib->getClassObject, nullptr);
    EXPECT_NE(lib->canUnloadNow, nullptr);
    EXPECT_NE(lib->registerServer, nullptr);
    EXPECT_NE(lib->unregisterServer, nullptr);
    EXPECT_EQ(lib->canUnloadNow(), S_FALSE);
    EXPECT_EQ(lib->canUnloadNow(), S_FALSE);
}

TEST(VtMenuLibrary, ClassObjectOnlyForItsOwnClass) {
    Session s;
    const auto* lib = library();
    ASSERT_NE(lib, nullptr);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lib->getClassObject(IID_IClassFactory, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    CLSID near = kClsid;
    near.Data4[7] ^= 1;
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lib->getClassObject(near, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lib->getClassObject(kClsid, IID_IContextMenu, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    void* unknown = nullptr;
    ASSERT_EQ(lib->getClassObject(kClsid, IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 0u);

    void* raw = nullptr;
    ASSERT_EQ(lib->getClassObject(kClsid, IID_IClassFactory, &raw), S_OK);
    auto* factory = static_cast<IClassFactory*>(raw);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(factory, IID_IShellExtInit, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);

    // The library's handler builds the same menu as the one of this process.
    const std::string file = s.path("a.Vtf");
    test::writeFile(file, "x");
    {
        HandlerRef h = s.handlerFrom(factory, {file});
        ASSERT_TRUE(h);
        HMENU menu = CreatePopupMenu();
        EXPECT_EQ(h.menu->QueryContextMenu(menu, 0, 20, 30, CMF_NORMAL), 7);
        HMENU sub = GetSubMenu(menu, 0);
        ASSERT_EQ(GetMenuItemCount(sub), 6);
        EXPECT_EQ(GetMenuItemID(sub, 2), 22u);
        EXPECT_FALSE(GetMenuState(sub, 2, MF_BYPOSITION) & MF_GRAYED);
        char help[64] = {};
        EXPECT_EQ(h.menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, help, sizeof help), S_OK);
        EXPECT_STREQ(help, "Grand selected file(s) for another user.");
        DestroyMenu(menu);
    }
    EXPECT_EQ(factory->Release(), 0u);
}

// Every key under a root, with its values: "path" for a key, "path | name | type | data" for a
// value (strings as text without their terminator, other data in hex).
std::set<std::string> dumpTree(HKEY root, const std::string& path = "") {
    std::set<std::string> out;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return out;
    if (!path.empty()) out.insert(path);
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLength = sizeof name;
        BYTE data[2048];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string text;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            text.assign(reinterpret_cast<const char*>(data), size);
            while (!text.empty() && text.back() == '\0') text.pop_back();
        } else {
            char hex[3];
            for (DWORD b = 0; b < size; ++b) {
                std::snprintf(hex, sizeof hex, "%02x", data[b]);
                text += hex;
            }
        }
        out.insert(path + " | " + (nameLength ? name : "(default)") + " | " + std::to_string(type) + " | " + text);
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, nameLength);
    }
    RegCloseKey(key);
    for (const auto& child : children) {
        auto sub = dumpTree(root, path.empty() ? child : path + "\\" + child);
        out.insert(sub.begin(), sub.end());
    }
    return out;
}

bool keyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

TEST(VtMenuLibrary, RegistrationWritesExactlyItsKeysAndUnregistrationRemovesThem) {
    Session s;
    const auto* lib = library();
    ASSERT_NE(lib, nullptr);
    ASSERT_TRUE(dumpTree(HKEY_CLASSES_ROOT).empty()) << "a fresh machine";

    ASSERT_EQ(lib->registerServer(), S_OK);
    const auto registered = dumpTree(HKEY_CLASSES_ROOT);

    // The library's own path, as the module was loaded.
    std::string server;
    const std::string serverPrefix = std::string("CLSID\\") + kClsidText + "\\InprocServer32 | (default) | 1 | ";
    for (const auto& line : registered)
        if (line.rfind(serverPrefix, 0) == 0) server = line.substr(serverPrefix.size());
    ASSERT_FALSE(server.empty());
    EXPECT_EQ(server.front(), '/');
    EXPECT_TRUE(fs::equivalent(server, VLT_VTMENU_SO)) << server;

    const std::string cls = std::string("CLSID\\") + kClsidText;
    const std::set<std::string> expected = {
        "CLSID",
        cls,
        cls + " | (default) | 1 | VaultineExtension",
        cls + "\\InprocServer32",
        cls + "\\InprocServer32 | (default) | 1 | " + server,
        cls + "\\InprocServer32 | ThreadingModel | 1 | Apartment",
        "*",
        "*\\shellex",
        "*\\shellex\\ContextMenuHandlers",
        "*\\shellex\\ContextMenuHandlers\\Vaultine",
        std::string("*\\shellex\\ContextMenuHandlers\\Vaultine | (default) | 1 | ") + kClsidText,
        "Vtffile",
        "Vtffile | (default) | 1 | Vaultine File",
        "Vtffile | EditFlags | 3 | 00000000",
        "Vtffile\\DefaultIcon",
        "Vtffile\\DefaultIcon | (default) | 1 | " + server + ",0",
        "Vtffile\\Shell",
        ".Vtf",
        ".Vtf | (default) | 1 | Vtffile",
    };
    EXPECT_EQ(registered, expected);

    // HKEY_CLASSES_ROOT is the machine's Software\Classes.
    std::set<std::string> machine;
    for (const auto& line : dumpTree(HKEY_LOCAL_MACHINE, "Software\\Classes"))
        if (line != "Software\\Classes") machine.insert(line.substr(std::strlen("Software\\Classes\\")));
    EXPECT_EQ(machine, expected);

    // The shell finds the library through the class identifier.
    auto found = com::InprocServer::registeredPath(kClsid);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, server);

    // Again: the same keys and values.
    ASSERT_EQ(lib->registerServer(), S_OK);
    EXPECT_EQ(dumpTree(HKEY_CLASSES_ROOT), expected);

    EXPECT_EQ(lib->unregisterServer(), S_OK);
    for (const std::string& key : {cls, std::string("*\\shellex\\ContextMenuHandlers\\Vaultine"), std::string("Vtffile"),
                                   std::string(".Vtf")})
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, key.c_str())) << key;
    EXPECT_FALSE(com::InprocServer::registeredPath(kClsid));
    const auto left = dumpTree(HKEY_CLASSES_ROOT);
    EXPECT_EQ(left, (std::set<std::string>{"CLSID", "*", "*\\shellex", "*\\shellex\\ContextMenuHandlers"}));
    EXPECT_EQ(lib->unregisterServer(), S_OK);
    EXPECT_EQ(dumpTree(HKEY_CLASSES_ROOT), left);
}

TEST(VtMenuLibrary, RegistrationFailsWithSelfRegErrorWhereTheMachineCannotBeWritten) {
    Session s;
    const auto* lib = library();
    ASSERT_NE(lib, nullptr);
    // The machine's registry directory is a plain file: no key can be created there.
    const std::string blocked = s.sandbox().root() + "/not-a-folder";
    test::writeFile(blocked, "x");
    const char* saved = std::getenv("VLT_MACHINE_DIR");
    const std::string savedValue = saved ? saved : "";
    setenv("VLT_MACHINE_DIR", blocked.c_str(), 1);
    registry::resetHives();
    EXPECT_EQ(lib->registerServer(), SELFREG_E_CLASS);
    EXPECT_EQ(lib->unregisterServer(), S_OK);
    setenv("VLT_MACHINE_DIR", savedValue.c_str(), 1);
    registry::resetHives();
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Vtffile"));
}

TEST(VtMenuLibrary, ShellHostLocksGrantsUnlocksAndDestroysThroughTheRegisteredLibrary) {
    Session s;
    s.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    ASSERT_TRUE(host::registerServer(VLT_VTMENU_SO, false));
    const std::string a = s.path("a.txt"), b = s.path("b.txt"), g = s.path("for-tomas.txt");
    test::writeFile(a, pattern(1000, 1));
    test::writeFile(b, pattern(161, 2));
    test::writeFile(g, pattern(20, 3));

    {
        host::ShellHost explorer;
        ASSERT_TRUE(explorer.load({a, b}));
        ASSERT_EQ(explorer.handlers().size(), 1u);
        EXPECT_EQ(explorer.handlers()[0].name, "Vaultine");
        EXPECT_TRUE(explorer.problems().empty());
        explorer.buildMenu();
        EXPECT_EQ(explorer.handlers()[0].claimed, 7u);
        EXPECT_EQ(explorer.describeMenu(),
                  "V L T\n"
                  "  &Lock File\n"
                  "  &Grand For...\n"
                  "  &UnLock File\t(grayed)\n"
                  "  ----\n"
                  "  Secure &Delete\n"
                  "  A&bout VLT\n");
        EXPECT_EQ(answerOf(explorer.invoke("Vaultine", kLock)), S_OK);
    }
    EXPECT_TRUE(test::fileExists(a + ".Vtf")) << s.transcript();
    EXPECT_TRUE(test::fileExists(b + ".Vtf"));
    ASSERT_EQ(s.shown(1020).size(), 1u);
    EXPECT_EQ(s.shown(1020)[0].caption, "Encrypt Data ...");
    EXPECT_EQ(control(s.shown(1020)[0], 106).animationId, 148);

    {
        host::ShellHost explorer;
        ASSERT_TRUE(s.ui().scriptDialog(141, "select 1001 \"Tomas Reyes\"; click 1000"));
        ASSERT_TRUE(explorer.load({g}));
        explorer.buildMenu();
        EXPECT_EQ(answerOf(explorer.invoke("Vaultine", kGrant)), S_OK);
    }
    EXPECT_TRUE(test::fileExists(g + ".Vtf")) << s.transcript();

    fs::remove(a);
    fs::remove(b);
    s.ui().clear();
    {
        host::ShellHost explorer;
        ASSERT_TRUE(explorer.load({a + ".Vtf", b + ".Vtf"}));
        explorer.buildMenu();
        EXPECT_EQ(explorer.describeMenu().find("(grayed)"), std::string::npos) << explorer.describeMenu();
        ASSERT_TRUE(s.ui().scriptDialog(130, "type 1000 \"Lantern-Frost 1984\"; click 1"));
        EXPECT_EQ(answerOf(explorer.invoke("Vaultine", kUnlock)), S_OK);
        // The shell window hears about the focus afterwards.
        MSG m{};
        std::vector<UINT> posted;
        while (PeekMessageA(&m, explorer.window(), WM_SETFOCUS, WM_KILLFOCUS, PM_REMOVE)) posted.push_back(m.message);
        EXPECT_EQ(posted, (std::vector<UINT>{WM_KILLFOCUS, WM_SETFOCUS}));
    }
    EXPECT_EQ(test::readFile(a), pattern(1000, 1)) << s.transcript();
    EXPECT_EQ(test::readFile(b), pattern(161, 2));
    EXPECT_EQ(s.shown(130).size(), 1u);
    EXPECT_EQ(s.shown(1020).size(), 1u);
    EXPECT_EQ(s.shown(1020)[0].caption, "Decrypting Data ...");
    EXPECT_TRUE(s.cachePresent());

    // Unlocked now: the granted file is not the user's; the next unlock asks nothing.
    s.ui().clear();
    fs::remove(a);
    fs::remove(g);
    {
        host::ShellHost explorer;
        ASSERT_TRUE(explorer.load({a + ".Vtf", g + ".Vtf"}));
        explorer.buildMenu();
        EXPECT_EQ(answerOf(explorer.invoke("Vaultine", kUnlock)), E_FAIL) << "the granted file failed";
    }
    EXPECT_TRUE(s.shown(130).empty());
    EXPECT_EQ(test::readFile(a), pattern(1000, 1));
    EXPECT_EQ(s.messages(), std::vector<std::string>{"Decrypt Error\nCheck whether you are using the  correct profile"});

    // Secure delete of the locked files.
    s.ui().clear();
    shell::clearChangeNotifications();
    {
        host::ShellHost explorer;
        ASSERT_TRUE(explorer.load({a + ".Vtf", b + ".Vtf"}));
        explorer.buildMenu();
        s.ui().answerMessageBox(IDOK);
        EXPECT_EQ(answerOf(explorer.invoke("Vaultine", kShred)), S_OK);
    }
    EXPECT_FALSE(test::fileExists(a + ".Vtf"));
    EXPECT_FALSE(test::fileExists(b + ".Vtf"));
    EXPECT_EQ(s.shown(1020).size(), 1u);
    EXPECT_EQ(s.shown(1020)[0].caption, "Secure Deleating files");
    std::vector<std::string> deleted;
    for (const auto& n : shell::changeNotifications()) deleted.push_back(n.item1);
    EXPECT_EQ(deleted, (std::vector<std::string>{b + ".Vtf", a + ".Vtf"}));

    ASSERT_TRUE(host::registerServer(VLT_VTMENU_SO, true));
}

}  // namespace
}  // namespace vlt::vtmtest
