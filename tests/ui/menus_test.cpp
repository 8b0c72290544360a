// Menus as data, and popup menus answered by the headless front end.
#include <cstring>

#include "ui_support.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

using frontends::TranscriptEntry;

HMENU trayMenu(bool locked) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1036, "E&xit");
    AppendMenuA(menu, MF_STRING, 1037, "&About");
    AppendMenuA(menu, MF_STRING, 1041, "&Help");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, 1038, "&Settings");
    AppendMenuA(menu, MF_STRING | (locked ? MF_GRAYED : 0), 1039, "&Lock VLT");
    return menu;
}

TEST(Menus, PositionsIdsAndStates) {
    HMENU menu = trayMenu(true);
    EXPECT_EQ(GetMenuItemCount(menu), 6);
    EXPECT_EQ(GetMenuItemID(menu, 0), 1036u);
    EXPECT_EQ(GetMenuItemID(menu, 3), 0u) << "a separator";
    EXPECT_EQ(GetMenuItemID(menu, 6), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(menu, 1039, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuState(menu, 3, MF_BYPOSITION), static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuState(menu, 4711, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(EnableMenuItem(menu, 1039, MF_BYCOMMAND | MF_ENABLED), static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuState(menu, 1039, MF_BYCOMMAND), 0u);
    EXPECT_EQ(EnableMenuItem(menu, 4, MF_BYPOSITION | MF_GRAYED), 0u);
    EXPECT_EQ(GetMenuState(menu, 1038, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(EnableMenuItem(menu, 4711, MF_GRAYED), static_cast<UINT>(-1));

    char text[8];
    EXPECT_EQ(GetMenuStringA(menu, 1041, text, sizeof text, MF_BYCOMMAND), 5);
    EXPECT_STREQ(text, "&Help");
    EXPECT_EQ(GetMenuStringA(menu, 1039, text, 4, MF_BYCOMMAND), 3);
    EXPECT_STREQ(text, "&Lo");
    EXPECT_EQ(GetMenuStringA(menu, 1039, nullptr, 0, MF_BYCOMMAND), 9);

    EXPECT_TRUE(DeleteMenu(menu, 1037, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(menu), 5);
    EXPECT_EQ(GetMenuItemID(menu, 1), 1041u);
    EXPECT_FALSE(DeleteMenu(menu, 1037, MF_BYCOMMAND));
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(GetMenuItemCount(menu), -1);
    EXPECT_FALSE(DestroyMenu(menu));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
}

TEST(Menus, PopupInsertedByPositionOwnsItsSubmenu) {
    HMENU shell = CreatePopupMenu();
    AppendMenuA(shell, MF_STRING, 1, "&Open");
    AppendMenuA(shell, MF_STRING, 2, "&Print");
    HMENU sub = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 100, "&Lock File");
    AppendMenuA(sub, MF_STRING, 101, "&Grand For...");
    AppendMenuA(sub, MF_STRING | MF_GRAYED, 102, "&UnLock File");
    AppendMenuA(sub, MF_SEPARATOR, 0, nullptr);
    EXPECT_TRUE(InsertMenuA(shell, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "V L T"));
    EXPECT_EQ(GetMenuItemCount(shell), 3);
    EXPECT_EQ(GetSubMenu(shell, 1), sub);
    EXPECT_EQ(GetSubMenu(shell, 0), nullptr);
    EXPECT_EQ(GetMenuItemID(shell, 1), static_cast<UINT>(-1)) << "a popup has no command id";
    EXPECT_EQ(GetMenuItemID(shell, 2), 2u);
    EXPECT_EQ(GetMenuState(shell, 1, MF_BYPOSITION), (4u << 8) | MF_POPUP) << "item count in the high byte";
    EXPECT_EQ(GetMenuState(shell, 102, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED)) << "searched in submenus";
    char text[8];
    EXPECT_EQ(GetMenuStringA(shell, 1, text, sizeof text, MF_BYPOSITION), 5);
    EXPECT_STREQ(text, "V L T");
    // Inserting before a command found in a submenu puts the item in that submenu.
    EXPECT_TRUE(InsertMenuA(shell, 101, MF_BYCOMMAND, 99, "Before grant"));
    EXPECT_EQ(GetMenuItemID(sub, 1), 99u);
    EXPECT_FALSE(InsertMenuA(shell, 4711, MF_BYCOMMAND, 98, "nowhere"));
    EXPECT_TRUE(InsertMenuA(shell, 99, MF_BYPOSITION, 97, "last"));
    EXPECT_EQ(GetMenuItemID(shell, 3), 97u) << "a position past the end appends";
    EXPECT_FALSE(AppendMenuA(shell, MF_POPUP, 0x7777, "bad submenu"));

    EXPECT_TRUE(DestroyMenu(shell));
    EXPECT_EQ(GetMenuItemCount(sub), -1) << "destroyed with the menu that holds it";
}

TEST(Menus, DeletingAPopupDestroysItsSubmenu) {
    HMENU menu = CreateMenu();
    HMENU sub = CreatePopupMenu();
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Sub");
    EXPECT_TRUE(DeleteMenu(menu, 0, MF_BYPOSITION));
    EXPECT_EQ(GetMenuItemCount(sub), -1);
    EXPECT_EQ(GetMenuItemCount(menu), 0);
    DestroyMenu(menu);
}

LRESULT ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND || msg == WM_INITMENUPOPUP) {
        if (auto* rec = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
            rec->add(received(msg, wParam, lParam));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class PopupMenus : public ::testing::Test {
protected:
    void SetUp() override {
        registerClassOnce("VltTestMenuOwner", ownerProc);
        owner = CreateWindowExA(WS_EX_TOOLWINDOW, "VltTestMenuOwner", "Vaultine Tray", 0, 1, 1, 0, 0, GetDesktopWindow(),
                                nullptr, testModule(), nullptr);
        ASSERT_NE(owner, nullptr);
        SetWindowLongPtrA(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rec));
    }
    void TearDown() override {
        DestroyWindow(owner);
        ui::pumpMessages();
    }
    HeadlessScope ui;
    HWND owner = nullptr;
    Recorder rec;
};

TEST_F(PopupMenus, ScriptedAnswerArrivesAsPostedCommand) {
    ASSERT_TRUE(ui.frontend.loadScript("menu 1039\nmenu none\n").ok());
    HMENU menu = trayMenu(false);
    SetForegroundWindow(owner);
    POINT at{};
    GetCursorPos(&at);
    EXPECT_TRUE(TrackPopupMenu(menu, TPM_LEFTBUTTON, at.x, at.y, 0, owner, nullptr));
    EXPECT_TRUE(rec.of(WM_COMMAND).empty()) << "posted, not sent";
    EXPECT_EQ(rec.of(WM_INITMENUPOPUP).size(), 1u);
    ui::pumpMessages();
    ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
    EXPECT_EQ(rec.of(WM_COMMAND)[0].wParam, MAKEWPARAM(1039, 0));
    EXPECT_EQ(rec.of(WM_COMMAND)[0].lParam, 0);

    rec.clear();
    EXPECT_TRUE(TrackPopupMenu(menu, TPM_LEFTBUTTON, 0, 0, 0, owner, nullptr)) << "dismissed";
    ui::pumpMessages();
    EXPECT_TRUE(rec.of(WM_COMMAND).empty());

    const auto t = ui.frontend.transcript();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].kind, TranscriptEntry::Kind::PopupMenu);
    EXPECT_EQ(t[0].answer, 1039);
    ASSERT_EQ(t[0].menu.size(), 6u);
    EXPECT_TRUE(t[0].menu[3].separator);
    EXPECT_EQ(t[0].menu[5].text, "&Lock VLT");
    EXPECT_EQ(t[1].answer, 0);
    EXPECT_NE(ui.frontend.transcriptText().find("menu [E&xit=1036|&About=1037|&Help=1041|-|&Settings=1038|&Lock VLT=1039] -> 1039"),
              std::string::npos)
        << ui.frontend.transcriptText();
    DestroyMenu(menu);
}

TEST_F(PopupMenus, GrayedCommandCannotBeChosen) {
    ui.frontend.answerMenu(1039);
    HMENU menu = trayMenu(true);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 0, 0, 0, owner, nullptr), 0);
    EXPECT_TRUE(rec.of(WM_INITMENUPOPUP).empty()) << "TPM_NONOTIFY";
    const std::string text = ui.frontend.transcriptText();
    EXPECT_NE(text.find("(&Lock VLT=1039)"), std::string::npos) << text;
    EXPECT_NE(text.find("cannot be chosen"), std::string::npos) << text;

    ui.frontend.answerMenu(1036);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 1036);
    ui::pumpMessages();
    EXPECT_TRUE(rec.of(WM_COMMAND).empty()) << "TPM_RETURNCMD posts nothing";
    EXPECT_FALSE(TrackPopupMenu(menu, 0, 0, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    DestroyMenu(menu);
}

}  // namespace
}  // namespace vlt::uitest
