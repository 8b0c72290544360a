// Finding, loading and using an in-process server the way a shell host does, with a test
// library that registers itself as the suite's extension does.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "com/dataobject.h"
#include "com/inproc.h"
#include "com/module.h"
#include "com_test.h"
#include "win32/libloaderapi.h"
#include "win32/objbase.h"
#include "win32/shlobj.h"

namespace vlt::test {
namespace {

// The test library's class, {3F2C6A10-5B7E-4C21-9D0A-6E4B8F1C2D35}.
const CLSID kServerClass = {0x3F2C6A10, 0x5B7E, 0x4C21, {0x9D, 0x0A, 0x6E, 0x4B, 0x8F, 0x1C, 0x2D, 0x35}};
const char* const kServerKey = "CLSID\\{3F2C6A10-5B7E-4C21-9D0A-6E4B8F1C2D35}";

std::string serverPath() {
    char resolved[PATH_MAX];
    return realpath(VLT_TEST_INPROC, resolved) ? resolved : VLT_TEST_INPROC;
}

class InprocTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        auto server = com::InprocServer::load(serverPath());
        ASSERT_TRUE(server) << server.error().message;
        m_server = *server;
        void* library = dlopen(serverPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(library, nullptr) << "the library stays loaded";
        m_liveObjects = reinterpret_cast<long (*)()>(dlsym(library, "TestServerLiveObjects"));
        dlclose(library);  // drops only the reference taken here
        ASSERT_NE(m_liveObjects, nullptr);
    }
    void registerServer() { ASSERT_EQ(m_server->registerServer(), S_OK); }

    const com::InprocServer* m_server = nullptr;
    long (*m_liveObjects)() = nullptr;
};

struct Released {
    void operator()(IUnknown* p) const {
        if (p) p->Release();
    }
};

TEST_F(InprocTest, LoadingResolvesTheExportsOnceAndKeepsTheLibrary) {
    EXPECT_EQ(m_server->path, serverPath());
    EXPECT_NE(m_server->getClassObject, nullptr);
    ASSERT_NE(m_server->canUnloadNow, nullptr);
    EXPECT_EQ(m_server->canUnloadNow(), S_FALSE);
    EXPECT_NE(m_server->registerServer, nullptr);
    EXPECT_NE(m_server->unregisterServer, nullptr);
    auto again = com::InprocServer::load(serverPath());
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, m_server);

    char name[PATH_MAX];
    ASSERT_GT(GetModuleFileNameA(m_server->module, name, sizeof name), 0u);
    EXPECT_EQ(std::string(name), serverPath());
}

TEST_F(InprocTest, SelfRegistrationWritesTheClassKeysWithTheLibrarysPath) {
    registerServer();
    EXPECT_EQ(getString(HKEY_CLASSES_ROOT, kServerKey, nullptr), "Test Extension");
    EXPECT_EQ(getString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", nullptr), serverPath());
    EXPECT_EQ(getString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    // HKEY_CLASSES_ROOT is the machine's Software\Classes.
    EXPECT_EQ(getString(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + kServerKey + "\\InprocServer32",
                        nullptr),
              serverPath());
    auto path = com::InprocServer::registeredPath(kServerClass);
    ASSERT_TRUE(path) << path.error().message;
    EXPECT_EQ(*path, serverPath());

    ASSERT_EQ(m_server->unregisterServer(), S_OK);
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(com::createInstance(kServerClass, IID_IContextMenu, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

TEST_F(InprocTest, HostDrivesTheExtensionThroughItsInterfaces) {
    registerServer();
    IContextMenu* rawMenu = nullptr;
    std::string why;
    ASSERT_EQ(com::createInstance(kServerClass, IID_IContextMenu, reinterpret_cast<void**>(&rawMenu), &why), S_OK)
        << why;
    std::unique_ptr<IContextMenu, Released> menu(rawMenu);

    // The second interface of the same object.
    IShellExtInit* rawInit = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&rawInit)), S_OK);
    std::unique_ptr<IShellExtInit, Released> init(rawInit);

    // The selection crosses from the host's data object into the library, which reads the
    // global block with DragQueryFileA and frees it with ReleaseStgMedium.
    std::unique_ptr<IDataObject, Released> data(com::makeFileListDataObject({"/srv/one.txt", "/srv/two.Vtf"}));
    ASSERT_EQ(init->Initialize(nullptr, data.get(), nullptr), S_OK);
    char text[MAX_PATH];
    ASSERT_EQ(menu->GetCommandString(100, GCS_HELPTEXTA, nullptr, text, sizeof text), S_OK);
    EXPECT_STREQ(text, "/srv/two.Vtf") << "the extension walked the names from the last";
    ASSERT_EQ(menu->GetCommandString(101, GCS_HELPTEXTA, nullptr, text, sizeof text), S_OK);
    EXPECT_STREQ(text, "/srv/one.txt");

    EXPECT_EQ(menu->QueryContextMenu(nullptr, 0, 100, 200, CMF_NORMAL), 3);
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(2);
    info.nShow = SW_SHOWNORMAL;
    EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
    ASSERT_EQ(menu->GetCommandString(99, GCS_HELPTEXTA, nullptr, text, sizeof text), S_OK);
    EXPECT_STREQ(text, "invoked 2 flags 0");
    ASSERT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, text, sizeof text), S_OK);
    EXPECT_STREQ(text, "Help for command 1");

    init.reset();
    menu.reset();
    EXPECT_EQ(m_liveObjects(), 0) << "factory and handler are gone after the last Release";
}

TEST_F(InprocTest, InterfacesTheClassDoesNotHaveAreRefused) {
    registerServer();
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(com::createInstance(kServerClass, IID_IDataObject, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m_liveObjects(), 0);

    // Through the Win32 names; only in-process servers exist here.
    IUnknown* unknown = nullptr;
    ASSERT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&unknown)),
              S_OK);
    unknown->Release();
    EXPECT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&unknown)),
              REGDB_E_CLASSNOTREG);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(kServerClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown,
                                      reinterpret_cast<void**>(&unknown)),
              CLASS_E_NOAGGREGATION);
    factory->Release();
    EXPECT_EQ(m_liveObjects(), 0);
}

TEST_F(InprocTest, ClassesNotRegisteredOrBadlyRegistered) {
    void* object = reinterpret_cast<void*>(0x1);
    std::string why;
    EXPECT_EQ(com::createInstance(kServerClass, IID_IUnknown, &object, &why), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_NE(why.find("{3F2C6A10-5B7E-4C21-9D0A-6E4B8F1C2D35}"), std::string::npos) << why;

    // The class key without a server key, and a server key without a path.
    setString(HKEY_CLASSES_ROOT, kServerKey, nullptr, "Test Extension");
    EXPECT_EQ(com::createInstance(kServerClass, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    setString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", nullptr, "");
    EXPECT_EQ(com::createInstance(kServerClass, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
}

TEST_F(InprocTest, ALibraryThatCannotBeLoadedGivesDllNotFoundWithTheReason) {
    const std::string missing = sandbox.path("missing/libNothing.so");
    setString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", nullptr, missing);
    void* object = reinterpret_cast<void*>(0x1);
    std::string why;
    EXPECT_EQ(com::createInstance(kServerClass, IID_IUnknown, &object, &why), CO_E_DLLNOTFOUND);
    EXPECT_EQ(object, nullptr);
    EXPECT_NE(why.find(missing), std::string::npos) << why;
    EXPECT_NE(why.find("No such file"), std::string::npos) << "dlerror's text is passed on: " << why;

    writeFile(sandbox.path("garbage.so"), std::string("not an ELF object"));
    auto garbage = com::InprocServer::load(sandbox.path("garbage.so"));
    ASSERT_FALSE(garbage);
    EXPECT_EQ(static_cast<HRESULT>(garbage.error().code), CO_E_DLLNOTFOUND);
}

TEST_F(InprocTest, ALibraryWithoutDllGetClassObjectIsNotAServer) {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&dlopen), &info), 0);  // the C library itself
    setString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", nullptr, info.dli_fname);
    void* object = nullptr;
    std::string why;
    EXPECT_EQ(com::createInstance(kServerClass, IID_IUnknown, &object, &why), CO_E_ERRORINDLL);
    EXPECT_NE(why.find("DllGetClassObject"), std::string::npos) << why;
}

TEST_F(InprocTest, BareNamesAreFoundInTheSystemDirectoryAndVariablesExpanded) {
    const std::string system = sandbox.path("system");
    ASSERT_EQ(mkdir(system.c_str(), 0700), 0);
    ASSERT_EQ(symlink(serverPath().c_str(), (system + "/libTest.so").c_str()), 0);
    setenv("VLT_SYSTEM_DIR", system.c_str(), 1);
    setString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", nullptr, "libTest.so");
    auto path = com::InprocServer::registeredPath(kServerClass);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, system + "/libTest.so");

    setenv("VLT_TEST_PLACE", system.c_str(), 1);
    setString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", nullptr,
              "%VLT_TEST_PLACE%/libTest.so", REG_EXPAND_SZ);
    path = com::InprocServer::registeredPath(kServerClass);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, system + "/libTest.so");
    IUnknown* unknown = nullptr;
    EXPECT_EQ(com::createInstance(kServerClass, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    if (unknown) unknown->Release();
    unsetenv("VLT_TEST_PLACE");
    unsetenv("VLT_SYSTEM_DIR");
}

TEST_F(InprocTest, ABuildTreeProgramPrefersItsTreesPlugInToTheRegisteredOne) {
    const std::string system = sandbox.path("system");
    ASSERT_EQ(mkdir(system.c_str(), 0700), 0);
    ASSERT_EQ(symlink(serverPath().c_str(), (system + "/libTest.so").c_str()), 0);
    const std::string tree = std::string(VLT_BINARY_DIR) + "/lib/vaultine/libVTMenu32.so";
    const struct {
        const char* variable;  // VLT_SYSTEM_DIR, empty: unset
        std::string registered;
        std::string expected;
    } cases[] = {
        {"", "/usr/lib/x86_64-linux-gnu/vaultine/libVTMenu32.so", tree},  // this test runs from its tree
        {"", "/opt/elsewhere/libTest.so", "/opt/elsewhere/libTest.so"},
        {system.c_str(), "/usr/lib/vaultine/libTest.so", system + "/libTest.so"},
        {system.c_str(), "/usr/lib/x86_64-linux-gnu/vaultine/libVTMenu32.so",
         "/usr/lib/x86_64-linux-gnu/vaultine/libVTMenu32.so"},
    };
    for (const auto& c : cases) {
        *c.variable ? (void)setenv("VLT_SYSTEM_DIR", c.variable, 1) : (void)unsetenv("VLT_SYSTEM_DIR");
        setString(HKEY_CLASSES_ROOT, std::string(kServerKey) + "\\InprocServer32", nullptr, c.registered);
        auto path = com::InprocServer::registeredPath(kServerClass);
        ASSERT_TRUE(path) << path.error().message;
        EXPECT_EQ(*path, c.expected) << c.variable << " " << c.registered;
    }
    unsetenv("VLT_SYSTEM_DIR");
}

}  // namespace
}  // namespace vlt::test
