// The handler as the shell meets it before any command: the objects and their interfaces, the
// selection it collects, the submenu it builds and the help texts it gives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "com/dataobject.h"
#include "session.h"
#include "shellext/menu/context_menu.h"
#include "support/sandbox.h"
#include "win32/winuser.h"

namespace vlt::vtmtest {
namespace {

namespace fs = std::filesystem;
using shellext::CContextMenuHandler;

struct Item {
    std::string text;  // "-" for a separator
    UINT id = 0;
    bool grayed = false;
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Item& i) {
    return os << "{" << i.text << ", " << i.id << (i.grayed ? ", grayed" : "") << "}";
}

std::vector<Item> itemsOf(HMENU menu) {
    std::vector<Item> out;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        Item item;
        item.id = GetMenuItemID(menu, i);
        if (state & MF_SEPARATOR) {
            item.text = "-";
        } else {
            char text[128] = {};
            GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            item.text = text;
            item.grayed = (state & MF_GRAYED) != 0;
        }
        out.push_back(item);
    }
    return out;
}

// A shell menu with two items of its own, the handler's submenu inserted between them.
struct ShellMenu {
    HMENU menu = CreatePopupMenu();
    ShellMenu() {
        AppendMenuA(menu, MF_STRING, 1, "&Open");
        AppendMenuA(menu, MF_STRING, 2, "&Print");
    }
    ~ShellMenu() { DestroyMenu(menu); }
    ShellMenu(const ShellMenu&) = delete;
    ShellMenu& operator=(const ShellMenu&) = delete;
};

HMENU submenuAt(HMENU menu, int position) { return GetSubMenu(menu, position); }

CContextMenuHandler* object(const HandlerRef& h) { return static_cast<CContextMenuHandler*>(h.menu); }

TEST(VtMenu, QueryContextMenuAddsTheSubmenuUnlessOnlyDefaultVerbsOrNoVerbsAreWanted) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, "x");
    struct Case {
        UINT flags;
        bool adds;
    };
    const Case cases[] = {
        {CMF_DEFAULTONLY, false},
        {CMF_VERBSONLY, false},
        {CMF_NOVERBS, false},
        {CMF_DEFAULTONLY | CMF_VERBSONLY | CMF_NOVERBS, false},
        {CMF_DEFAULTONLY | CMF_CANRENAME, false},
        {CMF_EXPLORE, true},
        {CMF_EXPLORE | CMF_DEFAULTONLY, true},
        {CMF_EXPLORE | CMF_VERBSONLY, true},
        {CMF_EXPLORE | CMF_NOVERBS, true},
        {CMF_EXPLORE | CMF_DEFAULTONLY | CMF_VERBSONLY | CMF_NOVERBS, true},
        {CMF_NORMAL, true},
        {CMF_CANRENAME | CMF_EXTENDEDVERBS | CMF_INCLUDESTATIC, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        HandlerRef h = s.handler({file});
        ASSERT_TRUE(h);
        ShellMenu shell;
        const HRESULT hr = h.menu->QueryContextMenu(shell.menu, 1, 100, 0x7FFF, c.flags);
        if (!c.adds) {
            EXPECT_EQ(hr, 0);
            EXPECT_EQ(itemsOf(shell.menu), (std::vector<Item>{{"&Open", 1}, {"&Print", 2}}));
            continue;
        }
        EXPECT_EQ(hr, 7);  // success, seven identifiers claimed
        ASSERT_EQ(GetMenuItemCount(shell.menu), 3);
        char title[32] = {};
        GetMenuStringA(shell.menu, 1, title, sizeof title, MF_BYPOSITION);
        EXPECT_STREQ(title, "V L T");
        EXPECT_TRUE(GetMenuState(shell.menu, 1, MF_BYPOSITION) & MF_POPUP);
        EXPECT_EQ(GetMenuItemID(shell.menu, 2), 2u);  // the shell's own items keep their places
        EXPECT_EQ(itemsOf(submenuAt(shell.menu, 1)), (std::vector<Item>{{"&Lock File", 100},
                                                                        {"&Grand For...", 101},
                                                                        {"&UnLock File", 102, true},
                                                                        {"-", 0},
                                                                        {"Secure &Delete", 103},
                                                                        {"A&bout VLT", 104}}));
    }
}

TEST(VtMenu, SubmenuTakesOnlyTheIdentifiersTheShellAllows) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, "x");
    struct Case {
        UINT first, last;
        std::vector<Item> items;
    };
    const Case cases[] = {
        // Room for three: the separator still follows, nothing after it.
        {10, 12, {{"&Lock File", 10}, {"&Grand For...", 11}, {"&UnLock File", 12, true}, {"-", 0}}},
        {10, 13, {{"&Lock File", 10}, {"&Grand For...", 11}, {"&UnLock File", 12, true}, {"-", 0}, {"Secure &Delete", 13}}},
        {10, 10, {{"&Lock File", 10}, {"-", 0}}},
        {10, 9, {{"-", 0}}},
        {1, 5,
         {{"&Lock File", 1},
          {"&Grand For...", 2},
          {"&UnLock File", 3, true},
          {"-", 0},
          {"Secure &Delete", 4},
          {"A&bout VLT", 5}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << ".." << c.last);
        HandlerRef h = s.handler({file});
        ShellMenu shell;
        EXPECT_EQ(h.menu->QueryContextMenu(shell.menu, 0, c.first, c.last, CMF_NORMAL), 7);
        EXPECT_EQ(itemsOf(submenuAt(shell.menu, 0)), c.items);
    }
}

TEST(VtMenu, SubmenuIsRebuiltOnEveryQueryAndTheOldOneDestroyed) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, "x");
    HandlerRef h = s.handler({file});
    HMENU first = CreatePopupMenu();
    HMENU second = CreatePopupMenu();
    ASSERT_EQ(h.menu->QueryContextMenu(first, 0, 1, 100, CMF_NORMAL), 7);
    HMENU oldSub = GetSubMenu(first, 0);
    ASSERT_NE(oldSub, nullptr);
    // The first shell menu goes first, as the shell does; the handler's later rebuild must not
    // trip over the submenu that went with it.
    DestroyMenu(first);
    ASSERT_EQ(h.menu->QueryContextMenu(second, 0, 50, 100, CMF_NORMAL), 7);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(second, 0), 0), 50u);
    HMENU third = CreatePopupMenu();
    HMENU kept = GetSubMenu(second, 0);
    ASSERT_EQ(h.menu->QueryContextMenu(third, 0, 70, 100, CMF_NORMAL), 7);
    EXPECT_EQ(GetMenuItemCount(kept), -1) << "the earlier submenu is destroyed";
    EXPECT_EQ(GetMenuItemID(GetSubMenu(third, 0), 0), 70u);
    DestroyMenu(second);
    DestroyMenu(third);
}

TEST(VtMenu, HelpTextsFitTheBufferAndOtherOffsetsLeaveItAlone) {
    Session s;
    HandlerRef h = s.handler({});
    const char* expected[] = {"Lock currently selected file(s).", "Grand selected file(s) for another user.",
                              "Unlock currently selected file(s)", "Delete the selected file(s) Permanently.",
                              "About VLT"};
    for (UINT type : {UINT{GCS_HELPTEXTA}, UINT{GCS_VERBA}}) {
        for (UINT offset = 0; offset < 5; ++offset) {
            SCOPED_TRACE(testing::Message() << "type " << type << " offset " << offset);
            char buffer[128];
            std::memset(buffer, 0x7F, sizeof buffer);
            EXPECT_EQ(h.menu->GetCommandString(offset, type, nullptr, buffer, sizeof buffer), S_OK);
            EXPECT_STREQ(buffer, expected[offset]);
        }
    }
    // A small buffer: cut, terminated, nothing written past its end.
    char small[12];
    std::memset(small, 0x7F, sizeof small);
    EXPECT_EQ(h.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, small, 5), S_OK);
    EXPECT_STREQ(small, "Lock");
    for (std::size_t i = 5; i < sizeof small; ++i) EXPECT_EQ(small[i], 0x7F) << i;

    for (UINT_PTR offset : {UINT_PTR{5}, UINT_PTR{6}, UINT_PTR{100}, UINT_PTR{0xFFFF}}) {
        char untouched[16];
        std::memset(untouched, 0x7F, sizeof untouched);
        EXPECT_EQ(h.menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, untouched, sizeof untouched), S_OK);
        for (char c : untouched) EXPECT_EQ(c, 0x7F) << "offset " << offset;
    }
}

TEST(VtMenu, HelpTextsInTheWideForm) {
    Session s;
    HandlerRef h = s.handler({});
    char16_t wide[64];
    std::fill(std::begin(wide), std::end(wide), u'\x7F7F');
    EXPECT_EQ(h.menu->GetCommandString(3, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64), S_OK);
    EXPECT_EQ(std::u16string(wide), u"Delete the selected file(s) Permanently.");
    // The size counts characters.
    std::fill(std::begin(wide), std::end(wide), u'\x7F7F');
    EXPECT_EQ(h.menu->GetCommandString(4, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 6), S_OK);
    EXPECT_EQ(std::u16string(wide), u"About");
    for (int i = 6; i < 64; ++i) EXPECT_EQ(wide[i], u'\x7F7F') << i;
}

TEST(VtMenu, InitializeCollectsTheSelectionInReverseOrderWithoutDirectories) {
    Session s;
    const std::string a = s.path("a.txt"), b = s.path("b.doc"), c = s.path("c.bin");
    for (const auto& p : {a, b, c}) test::writeFile(p, "x");
    const std::string folder = s.path("folder");
    fs::create_directory(folder);
    const std::string missing = s.path("gone.txt");  // attributes cannot be read: kept

    HandlerRef h = s.handler({a, folder, b, missing, c});
    EXPECT_EQ(object(h)->selection(), (std::vector<std::string>{c, missing, b, a}));
    EXPECT_FALSE(object(h)->hasLockedFile());

    // Only directories: an empty list, and the unlock item greyed.
    const std::string other = s.path("other");
    fs::create_directory(other);
    HandlerRef dirs = s.handler({folder, other});
    EXPECT_TRUE(object(dirs)->selection().empty());
    HMENU menu = CreatePopupMenu();
    ASSERT_EQ(dirs.menu->QueryContextMenu(menu, 0, 1, 100, CMF_NORMAL), 7);
    EXPECT_TRUE(GetMenuState(GetSubMenu(menu, 0), 2, MF_BYPOSITION) & MF_GRAYED);
    DestroyMenu(menu);
}

TEST(VtMenu, LockedFileIsRecognisedByItsLastFourCharactersInAnyCase) {
    Session s;
    struct Case {
        std::vector<std::string> names;
        bool enables;
    };
    const Case cases[] = {
        {{"a.txt", "report.doc.Vtf", "b.txt"}, true},
        {{"x.vtf"}, true},
        {{"x.VTF"}, true},
        {{"x.vTf"}, true},
        {{"x.vtfx"}, false},
        {{"x.vtf.bak", "y.Vtf~"}, false},
        {{"xvtf"}, false},
        {{".vtf"}, true},
        {{"a.txt", "b.txt"}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> paths;
        for (const auto& n : c.names) {
            paths.push_back(s.path(n));
            test::writeFile(paths.back(), "x");
        }
        SCOPED_TRACE(c.names.front());
        HandlerRef h = s.handler(paths);
        EXPECT_EQ(object(h)->hasLockedFile(), c.enables);
        HMENU menu = CreatePopupMenu();
        ASSERT_EQ(h.menu->QueryContextMenu(menu, 0, 1, 100, CMF_NORMAL), 7);
        EXPECT_EQ((GetMenuState(GetSubMenu(menu, 0), 2, MF_BYPOSITION) & MF_GRAYED) != 0, !c.enables);
        DestroyMenu(menu);
        for (const auto& p : paths) fs::remove(p);
    }
}

TEST(VtMenu, DirectoryNamedLikeALockedFileEnablesUnlockButIsNotSelected) {
    Session s;
    const std::string dir = s.path("archive.vtf");
    fs::create_directory(dir);
    const std::string plain = s.path("a.txt");
    test::writeFile(plain, "x");
    HandlerRef h = s.handler({plain, dir});
    EXPECT_TRUE(object(h)->hasLockedFile());
    EXPECT_EQ(object(h)->selection(), std::vector<std::string>{plain});
}

TEST(VtMenu, LongPathsAreKeptWhole) {
    Session s;
    // A path longer than the 260-character buffer of the Windows shell: cut there, it would
    // name the decoy instead.
    const std::string folder = s.path(std::string(200, 'd'));
    fs::create_directory(folder);
    const std::string name(120, 'n');
    const std::string longPath = folder + "/" + name + ".Vtf";
    ASSERT_GT(longPath.size(), 260u);
    test::writeFile(longPath, "x");
    const std::string decoy = longPath.substr(0, 259);
    test::writeFile(decoy, "decoy");

    HandlerRef h = s.handler({longPath});
    EXPECT_EQ(object(h)->selection(), std::vector<std::string>{longPath});
    EXPECT_TRUE(object(h)->hasLockedFile());

    // Secure delete then destroys the selected file, never the decoy.
    s.ui().answerMessageBox(IDOK);
    EXPECT_EQ(s.invoke(h.menu, kShred), S_OK);
    EXPECT_FALSE(test::fileExists(longPath)) << s.transcript();
    EXPECT_EQ(test::readFile(decoy), (std::vector<unsigned char>{'d', 'e', 'c', 'o', 'y'}));
}

// A data object that never has a file list.
class EmptyDataObject final : public IDataObject {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }  // lives on the test's stack
    HRESULT GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
    ULONG references = 1;
};

TEST(VtMenu, InitializeWithoutDataOrWithoutAFileListSucceedsQuietly) {
    Session s;
    const std::string locked = s.path("a.Vtf");
    test::writeFile(locked, "x");
    HandlerRef h = s.handler({locked});
    ASSERT_TRUE(object(h)->hasLockedFile());

    // No file list: the flag is cleared, the list keeps what it held, the data object is held.
    EmptyDataObject empty;
    EXPECT_EQ(h.init->Initialize(nullptr, &empty, nullptr), S_OK);
    EXPECT_FALSE(object(h)->hasLockedFile());
    EXPECT_EQ(object(h)->selection(), std::vector<std::string>{locked});
    EXPECT_EQ(empty.references, 2u);

    // No data object at all: the one held before is released.
    EXPECT_EQ(h.init->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(empty.references, 1u);
    EXPECT_FALSE(object(h)->hasLockedFile());

    // The menu is still offered, unlock greyed.
    HMENU menu = CreatePopupMenu();
    ASSERT_EQ(h.menu->QueryContextMenu(menu, 0, 1, 100, CMF_NORMAL), 7);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 6);
    EXPECT_TRUE(GetMenuState(GetSubMenu(menu, 0), 2, MF_BYPOSITION) & MF_GRAYED);
    DestroyMenu(menu);
}

TEST(VtMenu, HandlerHoldsItsDataObjectUntilItIsDestroyed) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, "x");
    auto* factory = new shellext::CContextMenuFactory;
    factory->AddRef();
    void* raw = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, &raw), S_OK);
    factory->Release();
    auto* init = static_cast<IShellExtInit*>(raw);
    IDataObject* data = com::makeFileListDataObject({file});
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
    EXPECT_EQ(data->AddRef(), 3u);  // ours, the handler's, this one
    data->Release();
    // A second Initialize with the same object: released once, held once again.
    ASSERT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
    EXPECT_EQ(data->AddRef(), 3u);
    data->Release();
    EXPECT_EQ(init->Release(), 0u);
    EXPECT_EQ(data->AddRef(), 2u) << "the destroyed handler released its data object";
    data->Release();
    data->Release();
}

TEST(VtMenu, OneObjectWithTwoInterfacesAndOneReferenceCount) {
    Session s;
    auto* factory = new shellext::CContextMenuFactory;
    EXPECT_EQ(factory->AddRef(), 1u);

    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IContextMenu, &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    void* rawMenu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, &rawMenu), S_OK);
    auto* menu = static_cast<IContextMenu*>(rawMenu);
    void* rawInit = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, &rawInit), S_OK);
    auto* init = static_cast<IShellExtInit*>(rawInit);
    EXPECT_NE(static_cast<void*>(init), static_cast<void*>(menu));

    // One count behind both interfaces.
    EXPECT_EQ(menu->AddRef(), 3u);
    EXPECT_EQ(init->AddRef(), 4u);
    EXPECT_EQ(init->Release(), 3u);
    EXPECT_EQ(menu->Release(), 2u);

    // IUnknown is the IShellExtInit interface, from either side.
    void* unknownFromMenu = nullptr;
    void* unknownFromInit = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, &unknownFromMenu), S_OK);
    ASSERT_EQ(init->QueryInterface(IID_IUnknown, &unknownFromInit), S_OK);
    EXPECT_EQ(unknownFromMenu, unknownFromInit);
    EXPECT_EQ(unknownFromMenu, static_cast<void*>(init));
    void* menuAgain = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, &menuAgain), S_OK);
    EXPECT_EQ(menuAgain, static_cast<void*>(menu));
    EXPECT_EQ(menu->Release(), 4u);  // the three answers took one each

    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(menu->QueryInterface(IID_IDataObject, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(init->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(menu->Release(), 3u);
    EXPECT_EQ(init->Release(), 2u);
    EXPECT_EQ(static_cast<IUnknown*>(unknownFromInit)->Release(), 1u);
    EXPECT_EQ(init->Release(), 0u);

    // The factory: IUnknown and IClassFactory are itself; LockServer does nothing.
    void* f = nullptr;
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, &f), S_OK);
    EXPECT_EQ(f, static_cast<void*>(factory));
    EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, &f), S_OK);
    EXPECT_EQ(f, static_cast<void*>(factory));
    f = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->QueryInterface(IID_IContextMenu, &f), E_NOINTERFACE);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->Release(), 2u);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(factory->Release(), 0u);
}

}  // namespace
}  // namespace vlt::vtmtest
