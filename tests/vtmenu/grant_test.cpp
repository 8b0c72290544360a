// "&Grand For...": the grant dialog over the two certificate stores, which store wins, double
// clicks, cancelling, and the lock for the chosen person that follows.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>

#include "registry/hives.h"
#include "session.h"
#include "shared/locked_file.h"
#include "shellext/menu/context_menu.h"
#include "shellext/menu/dialogs.h"
#include "shellext/menu/launchers.h"
#include "shellext/menu/pictures.h"
#include "shellext/process_state.h"
#include "support/sandbox.h"
#include "ui/input.h"
#include "ui/resources.h"
#include "ui/state.h"

namespace vlt::vtmtest {
namespace {

namespace fs = std::filesystem;
using frontends::ControlRecord;
const std::vector<Posted> kFocusPair = {{WM_KILLFOCUS, 0, 0}, {WM_SETFOCUS, 0, 0}};

std::vector<std::string> itemTexts(const ControlRecord& list) {
    std::vector<std::string> out;
    for (const auto& i : list.items) out.push_back(i.text);
    return out;
}

// Who can open a locked file: unlocks a copy with the unlock cache of a fixture profile.
bool opensFor(Session& s, const std::string& locked, const std::string& profile) {
    const std::string copy = s.sandbox().root() + "/probe-" + profile + ".Vtf";
    fs::copy_file(locked, copy, fs::copy_options::overwrite_existing);
    const auto head = [&] {
        const auto bytes = test::readFile(copy);
        MemorySource source(bytes.data(), bytes.size());
        return readLockedFileHead(source, bytes.size());
    }();
    const std::string out = s.sandbox().root() + "/" + head.header.sourceName;
    fs::remove(out);
    s.fillCache(profile);
    const bool opened = s.unlock({copy}).allDone();
    s.clearCache();
    fs::remove(copy);
    fs::remove(out);
    return opened;
}

TEST(VtMenuGrant, BothStoresEmptyLockAsksForAPersonAndTheDialogStays) {
    Session s;
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(40));
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "click 1000; enter; cancel"));
    HandlerRef h = s.handler({file});
    EXPECT_EQ(s.invoke(h.menu, kGrant), shellext::kCancelledAnswer);

    const auto shown = s.shown(shellext::kGrantDialog);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Grand File To");
    EXPECT_TRUE(control(shown[0], 1001).items.empty());
    EXPECT_TRUE(control(shown[0], 1002).items.empty());
    EXPECT_EQ(control(shown[0], 1003).text, "Certificate List");
    EXPECT_EQ(control(shown[0], 1000).text, "&Lock");
    EXPECT_EQ(control(shown[0], 1000).kind, ui::ControlKind::DefPushButton);
    EXPECT_EQ(control(shown[0], 2).text, "Cancel");
    EXPECT_EQ(control(shown[0], 1004).kind, ui::ControlKind::Separator);
    int prompts = 0, icons = 0;
    for (const auto& c : shown[0].controls) {
        if (c.text == "Select the person to  whom  you want to give acces to the file.") ++prompts;
        if (c.kind == ui::ControlKind::Icon && c.iconId == shellext::kProductIcon) ++icons;
    }
    EXPECT_EQ(prompts, 2);
    EXPECT_EQ(icons, 2);

    // "&Lock" and Enter both ask; the dialog stays until Cancel.
    const auto boxes = s.messageBoxes();
    ASSERT_EQ(boxes.size(), 2u) << s.transcript();
    for (const auto& b : boxes) {
        EXPECT_EQ(b.text, "Please select a person from the list");
        EXPECT_EQ(b.caption, "VLT Status Report");
        EXPECT_EQ(b.style, 0x30u);
    }
    EXPECT_TRUE(s.notes().empty()) << s.transcript();
    EXPECT_EQ(s.closed(shellext::kGrantDialog).size(), 1u);
    EXPECT_TRUE(s.shown(shellext::kProgressDialog).empty());
    EXPECT_FALSE(test::fileExists(file + ".Vtf"));
    EXPECT_EQ(shellext::g_busy.load(), 0);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
}

TEST(VtMenuGrant, ListsShowEachStoreSortedWithThePersonIcon) {
    Session s;
    s.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    s.addToStore("anna Bell", "contact", kBaseRc2, 1);
    s.addToStore("Zed Okoro", "contact", kBaseRc2, 1);
    s.addToStore("Marta Okafor", "profile", kEnhancedRc2, 0);
    // Each showing gets a working image list: the list views destroy theirs with the dialog.
    std::vector<int> imageCounts;
    std::vector<bool> shared;
    s.spy().onShown = [&](HWND dialog, int id) {
        if (id != shellext::kGrantDialog) return;
        ui::WindowState personal, system;
        ASSERT_TRUE(ui::describe(GetDlgItem(dialog, 1001), personal));
        ASSERT_TRUE(ui::describe(GetDlgItem(dialog, 1002), system));
        ui::ImageListInfo info;
        const bool valid = ui::describeImageList(personal.imageLists[LVSIL_SMALL], info);
        imageCounts.push_back(valid ? static_cast<int>(info.images.size()) : -1);
        shared.push_back(personal.imageLists[LVSIL_SMALL] == system.imageLists[LVSIL_SMALL]);
        if (valid) {
            EXPECT_EQ(info.cx, GetSystemMetrics(SM_CXSMICON));
            EXPECT_EQ(info.cy, GetSystemMetrics(SM_CYSMICON));
        }
    };
    HandlerRef h = s.handler({});
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "cancel"));
        EXPECT_EQ(s.invoke(h.menu, kGrant), shellext::kCancelledAnswer);
    }
    s.spy().onShown = nullptr;

    const auto shown = s.shown(shellext::kGrantDialog);
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& d : shown) {
        EXPECT_EQ(itemTexts(control(d, 1001)), (std::vector<std::string>{"anna Bell", "Tomas Reyes", "Zed Okoro"}));
        EXPECT_EQ(itemTexts(control(d, 1002)), std::vector<std::string>{"Marta Okafor"});
        for (const auto& item : control(d, 1001).items) {
            EXPECT_EQ(item.image, 0);
            EXPECT_FALSE(item.selected);
        }
    }
    EXPECT_EQ(imageCounts, (std::vector<int>{1, 1}));
    EXPECT_EQ(shared, (std::vector<bool>{true, true}));
}

TEST(VtMenuGrant, SystemStoreWinsWhenBothListsHaveASelection) {
    Session s;
    // The same name in both stores: the contact's certificate in the personal store, the
    // owner's own in the system store. Whose key wraps the file tells which entry was used.
    s.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    s.addToStore("Tomas Reyes", "profile", kEnhancedRc2, 0);
    const std::string both = s.path("both.txt"), personal = s.path("personal.txt"), system = s.path("system.txt");
    for (const auto& p : {both, personal, system}) test::writeFile(p, pattern(60));

    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog,
                                    "select 1001 \"Tomas Reyes\"; select 1002 \"Tomas Reyes\"; click 1000"));
    HandlerRef hb = s.handler({both});
    EXPECT_EQ(s.invoke(hb.menu, kGrant), S_OK);
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "select 1001 \"Tomas Reyes\"; click 1000"));
    HandlerRef hp = s.handler({personal});
    EXPECT_EQ(s.invoke(hp.menu, kGrant), S_OK);
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "select 1002 0; enter"));
    HandlerRef hs = s.handler({system});
    EXPECT_EQ(s.invoke(hs.menu, kGrant), S_OK);
    EXPECT_TRUE(s.messageBoxes().empty()) << s.transcript();
    EXPECT_TRUE(s.notes().empty()) << s.transcript();

    const auto progress = s.shown(shellext::kProgressDialog);
    ASSERT_EQ(progress.size(), 3u);
    for (const auto& p : progress) EXPECT_EQ(p.caption, "Encrypt Data ...");
    for (const auto& p : {both, personal, system}) {
        ASSERT_TRUE(test::fileExists(p + ".Vtf")) << p << "\n" << s.transcript();
        const auto bytes = test::readFile(p + ".Vtf");
        MemorySource source(bytes.data(), bytes.size());
        const auto head = readLockedFileHead(source, bytes.size());
        EXPECT_EQ(head.header.sender, "Marta Okafor");
        EXPECT_EQ(head.keyBlock.algorithmWord, kEnhancedRc2);
    }
    EXPECT_TRUE(opensFor(s, both + ".Vtf", "profile"));
    EXPECT_FALSE(opensFor(s, both + ".Vtf", "contact"));
    EXPECT_TRUE(opensFor(s, personal + ".Vtf", "contact"));
    EXPECT_FALSE(opensFor(s, personal + ".Vtf", "profile"));
    EXPECT_TRUE(opensFor(s, system + ".Vtf", "profile"));
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

// An ordinary user may not change the machine's store but still lists it and grants from it.
TEST(VtMenuGrant, AReadOnlySystemStoreIsListedAndUsed) {
    Session s;
    s.addToStore("Marta Okafor", "profile", kEnhancedRc2, 0);
    registry::resetHives();
    ASSERT_EQ(chmod(s.sandbox().machine().c_str(), 0555), 0);
    const std::string file = s.path("m.txt");
    test::writeFile(file, pattern(50));
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "activate 1002 \"Marta Okafor\""));
    HandlerRef h = s.handler({file});
    EXPECT_EQ(s.invoke(h.menu, kGrant), S_OK);
    const auto shown = s.shown(shellext::kGrantDialog);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(itemTexts(control(shown[0], 1002)), std::vector<std::string>{"Marta Okafor"});
    EXPECT_TRUE(s.messageBoxes().empty()) << s.transcript();
    ASSERT_TRUE(test::fileExists(file + ".Vtf")) << s.transcript();
    chmod(s.sandbox().machine().c_str(), 0755);
    EXPECT_TRUE(opensFor(s, file + ".Vtf", "profile"));
}

TEST(VtMenuGrant, DoubleClickOnANameLocksAtOnce) {
    Session s;
    s.addToStore("Tomas Reyes", "contact", kBaseRc2, 1);
    s.addToStore("Tomas Reyes", "profile", kEnhancedRc2, 0);
    const std::string viaPersonal = s.path("p.txt"), viaSystem = s.path("s.txt");
    test::writeFile(viaPersonal, pattern(30));
    test::writeFile(viaSystem, pattern(30));

    // A selection left in the other list does not count: the list double-clicked names the store.
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "select 1002 0; activate 1001 \"Tomas Reyes\""));
    HandlerRef hp = s.handler({viaPersonal});
    EXPECT_EQ(s.invoke(hp.menu, kGrant), S_OK);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "activate 1002 0"));
    HandlerRef hs = s.handler({viaSystem});
    EXPECT_EQ(s.invoke(hs.menu, kGrant), S_OK);
    EXPECT_EQ(s.takeFocusMessages(), kFocusPair);

    EXPECT_TRUE(s.messageBoxes().empty()) << s.transcript();
    EXPECT_EQ(s.closed(shellext::kGrantDialog).size(), 2u);
    EXPECT_EQ(s.closed(shellext::kProgressDialog).size(), 2u);
    const auto bytes = test::readFile(viaPersonal + ".Vtf");
    MemorySource source(bytes.data(), bytes.size());
    EXPECT_EQ(readLockedFileHead(source, bytes.size()).keyBlock.algorithmWord, kBaseRc2);
    EXPECT_TRUE(opensFor(s, viaPersonal + ".Vtf", "contact"));
    EXPECT_TRUE(opensFor(s, viaSystem + ".Vtf", "profile"));
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

TEST(VtMenuGrant, DoubleClickOnAnEmptyAreaEndsWithoutLocking) {
    Session s;
    s.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(30));
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "select 1001 0; activate 1001 -1"));
    HandlerRef h = s.handler({file});
    EXPECT_EQ(s.invoke(h.menu, kGrant), shellext::kCancelledAnswer);
    const auto closed = s.closed(shellext::kGrantDialog);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].answer, 1);
    EXPECT_TRUE(s.shown(shellext::kProgressDialog).empty());
    EXPECT_TRUE(s.messageBoxes().empty());
    EXPECT_FALSE(test::fileExists(file + ".Vtf"));
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

// A stand-in for the handler whose references can be counted.
class CountedUnknown final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    std::atomic<ULONG> references{1};
};

TEST(VtMenuGrant, CancelClearsTheBusyFlagAndReleasesTheRequest) {
    Session s;
    s.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    const std::string file = s.path("a.txt");
    test::writeFile(file, pattern(30));
    for (const char* action : {"cancel", "select 1001 0; click 2"}) {
        SCOPED_TRACE(action);
        s.ui().clear();
        CountedUnknown handler;
        // The request takes its own reference for the dialog, and the busy flag.
        shellext::GrantInvocation grant{
            shellext::makeRequest(&handler, {file}, s.shellWindow(), shellext::takeBusyFlag())};
        ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, action));
        const INT_PTR result =
            DialogBoxParamA(shellext::resourceModule(), MAKEINTRESOURCEA(shellext::kGrantDialog), s.shellWindow(),
                            shellext::grantDialogProc, reinterpret_cast<LPARAM>(&grant));
        EXPECT_EQ(result, 1);
        EXPECT_EQ(grant.result, shellext::RunResult::Cancelled);
        EXPECT_EQ(shellext::g_busy.load(), 0);
        EXPECT_EQ(handler.references.load(), 1u) << "the dialog's reference was given back";
        EXPECT_FALSE(test::fileExists(file + ".Vtf"));
        EXPECT_TRUE(s.shown(shellext::kProgressDialog).empty());
    }

    // Locking hands the request and the reference to the worker, which gives them back.
    s.ui().clear();
    CountedUnknown handler;
    shellext::GrantInvocation grant{shellext::makeRequest(&handler, {file}, s.shellWindow(), shellext::takeBusyFlag())};
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "activate 1001 0"));
    DialogBoxParamA(shellext::resourceModule(), MAKEINTRESOURCEA(shellext::kGrantDialog), s.shellWindow(),
                    shellext::grantDialogProc, reinterpret_cast<LPARAM>(&grant));
    EXPECT_EQ(grant.result, shellext::RunResult::Done) << "the worker's result, through the progress dialog";
    EXPECT_TRUE(test::fileExists(file + ".Vtf")) << s.transcript();
    EXPECT_EQ(handler.references.load(), 1u);
    EXPECT_EQ(shellext::g_busy.load(), 0) << "the worker's end frees the flag";
}

// When the grant dialog cannot be made (its owner is gone), the command still gives back the
// request, its reference on the handler and the busy flag.
TEST(VtMenuGrant, NoDialogReleasesTheRequest) {
    Session s;
    HandlerRef h = s.handler({s.path("a.txt")});
    HWND gone = CreateWindowExA(0, "Static", "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    ASSERT_TRUE(DestroyWindow(gone));
    const ULONG before = h.menu->AddRef();
    h.menu->Release();
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = gone;
    info.lpVerb = MAKEINTRESOURCEA(kGrant);
    EXPECT_EQ(h.menu->InvokeCommand(&info), E_FAIL);
    EXPECT_TRUE(s.shown(shellext::kGrantDialog).empty());
    EXPECT_EQ(h.menu->AddRef(), before) << "the request's reference was given back";
    h.menu->Release();
    EXPECT_EQ(shellext::g_busy.load(), 0);
}

TEST(VtMenuGrant, ActivatingAnItemClearsTheOtherListsSelection) {
    Session s;
    s.addToStore("Tomas Reyes", "contact", kEnhancedRc2, 1);
    s.addToStore("Marta Okafor", "profile", kEnhancedRc2, 0);
    struct Seen {
        bool personal = false, system = false;
    };
    std::vector<Seen> seen;
    s.spy().onShown = [&](HWND dialog, int id) {
        if (id != shellext::kGrantDialog) return;
        // After the scripted clicks: an activation in one list, as Windows reports it, then
        // the other way round, then Cancel.
        ui::input::run(dialog, [&seen, dialog] {
            HWND lists[2] = {GetDlgItem(dialog, 1001), GetDlgItem(dialog, 1002)};
            auto look = [&] {
                ui::WindowState p, q;
                ui::describe(lists[0], p);
                ui::describe(lists[1], q);
                seen.push_back({!p.items.empty() && p.items[0].selected, !q.items.empty() && q.items[0].selected});
            };
            auto activate = [&](int which) {
                NMITEMACTIVATE nm{};
                nm.hdr.hwndFrom = lists[which];
                nm.hdr.idFrom = static_cast<UINT_PTR>(which == 0 ? 1001 : 1002);
                nm.hdr.code = LVN_ITEMACTIVATE;
                nm.iItem = 0;
                SendMessageA(dialog, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
            };
            look();
            activate(1);
            look();
            ui::input::now::selectItem(lists[0], 0);
            ui::input::now::selectItem(lists[1], 0);
            activate(0);
            look();
            ui::input::now::close(dialog);
        });
    };
    ASSERT_TRUE(s.ui().scriptDialog(shellext::kGrantDialog, "select 1001 0; select 1002 0"));
    HandlerRef h = s.handler({});
    EXPECT_EQ(s.invoke(h.menu, kGrant), shellext::kCancelledAnswer);
    s.spy().onShown = nullptr;
    ASSERT_EQ(seen.size(), 3u) << s.transcript();
    EXPECT_TRUE(seen[0].personal && seen[0].system);
    EXPECT_FALSE(seen[1].personal) << "activation in the system list clears the personal one";
    EXPECT_TRUE(seen[1].system);
    EXPECT_TRUE(seen[2].personal);
    EXPECT_FALSE(seen[2].system) << "and the other way round";
    EXPECT_TRUE(s.shown(shellext::kProgressDialog).empty());
}

}  // namespace
}  // namespace vlt::vtmtest
