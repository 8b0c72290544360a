// The built-in controls: their state, their answers and the notifications they send.
#include <string>

#include "ui/input.h"
#include "ui/internal.h"
#include "ui/state.h"
#include "ui_support.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

LRESULT hostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND || msg == WM_NOTIFY) {
        if (auto* rec = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
            rec->add(received(msg, wParam, lParam));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A visible top-level window holding controls, whose notifications are recorded.
class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        registerClassOnce("VltTestHost", hostProc);
        host = CreateWindowExA(0, "VltTestHost", "Host", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                               testModule(), nullptr);
        ASSERT_NE(host, nullptr);
        SetWindowLongPtrA(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rec));
    }
    void TearDown() override {
        DestroyWindow(host);
        ui::pumpMessages();
    }
    HWND make(const char* cls, DWORD style, int id, const char* text = "") {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, host,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), testModule(), nullptr);
    }
    static int insert(HWND list, const char* text, int at = 0x7FFF) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = at;
        item.pszText = const_cast<char*>(text);
        return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }
    static std::string textOf(HWND list, int index) {
        char buffer[64] = {};
        LVITEMA item{};
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        return buffer;
    }
    static void setState(HWND list, int index, UINT state, UINT mask) {
        LVITEMA item{};
        item.state = state;
        item.stateMask = mask;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    HWND host = nullptr;
    Recorder rec;
};

// ---- List view ----------------------------------------------------------------------------------

TEST_F(Controls, ListViewSortsOnInsertWithoutRegardToCase) {
    HWND list = make(WC_LISTVIEWA, LVS_LIST | LVS_SORTASCENDING, 1001);
    EXPECT_EQ(insert(list, "Tomas Reyes", 0), 0);
    EXPECT_EQ(insert(list, "ann Lee", 0), 0);
    EXPECT_EQ(insert(list, "Bob", 0), 1);
    EXPECT_EQ(insert(list, "zed", 0), 3) << "the position asked for is ignored when sorting";
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_EQ(textOf(list, 0), "ann Lee");
    EXPECT_EQ(textOf(list, 1), "Bob");
    EXPECT_EQ(textOf(list, 2), "Tomas Reyes");
    EXPECT_EQ(textOf(list, 3), "zed");

    HWND down = make(WC_LISTVIEWA, LVS_LIST | LVS_SORTDESCENDING, 1002);
    insert(down, "b");
    insert(down, "C");
    insert(down, "a");
    EXPECT_EQ(textOf(down, 0), "C");
    EXPECT_EQ(textOf(down, 2), "a");

    HWND plain = make(WC_LISTVIEWA, LVS_LIST, 1003);
    EXPECT_EQ(insert(plain, "x", 0), 0);
    EXPECT_EQ(insert(plain, "y", 0), 0) << "unsorted lists insert where asked";
    EXPECT_EQ(insert(plain, "z", 99), 2) << "past the end appends";
    EXPECT_EQ(insert(plain, "w", -1), -1);
    EXPECT_EQ(textOf(plain, 0), "y");
}

TEST_F(Controls, ListViewSingleSelectionAndNextSelected) {
    HWND list = make(WC_LISTVIEWA, LVS_LIST | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 1001);
    for (const char* name : {"a", "b", "c"}) insert(list, name);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
    setState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    rec.clear();
    setState(list, 2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_SELECTED), 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, 2, LVNI_SELECTED), -1);
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, 0, LVNI_ALL), 1);

    const auto notes = rec.of(WM_NOTIFY);
    ASSERT_EQ(notes.size(), 2u) << "one LVN_ITEMCHANGED per item whose state changed";
    EXPECT_EQ(notes[0].code, LVN_ITEMCHANGED);
    EXPECT_EQ(notes[0].item, 0);
    EXPECT_EQ(notes[0].oldState, static_cast<UINT>(LVIS_SELECTED));
    EXPECT_EQ(notes[0].newState, 0u);
    EXPECT_EQ(notes[1].item, 2);
    EXPECT_EQ(notes[1].newState, static_cast<UINT>(LVIS_SELECTED));
    EXPECT_EQ(notes[1].wParam, 1001u);

    // Clearing the selection of every item, as the grant dialog does for the other list.
    setState(list, -1, 0, LVIS_SELECTED);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);

    HWND multi = make(WC_LISTVIEWA, LVS_LIST, 1004);
    for (const char* name : {"a", "b"}) insert(multi, name);
    setState(multi, 0, LVIS_SELECTED, LVIS_SELECTED);
    setState(multi, 1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(SendMessageA(multi, LVM_GETSELECTEDCOUNT, 0, 0), 2);
}

TEST_F(Controls, ListViewTextIsCutToTheBuffer) {
    HWND list = make(WC_LISTVIEWA, LVS_LIST, 1001);
    insert(list, "Tomas Reyes");
    char buffer[6] = "?????";
    LVITEMA item{};
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item)), 5);
    EXPECT_STREQ(buffer, "Tomas");
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 7, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(Controls, DoubleClickSelectsThenNotifiesDoubleClickAndActivation) {
    HWND list = make(WC_LISTVIEWA, LVS_LIST | LVS_SINGLESEL, 1002);
    for (const char* name : {"a", "b"}) insert(list, name);
    rec.clear();
    ui::input::activateItem(list, 1);
    ui::pumpMessages();
    const auto notes = rec.of(WM_NOTIFY);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].code, LVN_ITEMCHANGED);
    EXPECT_EQ(notes[0].newState, static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(notes[1].code, NM_CLICK);
    EXPECT_EQ(notes[2].code, NM_DBLCLK);
    EXPECT_EQ(notes[2].item, 1);
    EXPECT_EQ(notes[3].code, LVN_ITEMACTIVATE);
    EXPECT_EQ(notes[3].item, 1);
    EXPECT_EQ(GetFocus(), list);

    rec.clear();
    ui::input::activateItem(list, -1);  // an empty area
    ui::pumpMessages();
    const auto empty = rec.of(WM_NOTIFY);
    ASSERT_EQ(empty.size(), 3u);
    EXPECT_EQ(empty[0].code, LVN_ITEMCHANGED);
    EXPECT_EQ(empty[1].code, NM_CLICK);
    EXPECT_EQ(empty[2].code, NM_DBLCLK);
    EXPECT_EQ(empty[2].item, -1);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
}

TEST_F(Controls, InputIsDroppedForDisabledOrHiddenControls) {
    HWND list = make(WC_LISTVIEWA, LVS_LIST, 1002);
    insert(list, "a");
    HWND button = make("Button", BS_PUSHBUTTON, 7, "Go");
    EnableWindow(button, FALSE);
    ShowWindow(list, SW_HIDE);
    rec.clear();
    ui::input::click(button);
    ui::input::selectItem(list, 0);
    ui::pumpMessages();
    EXPECT_TRUE(rec.all().empty());
    EXPECT_FALSE(ui::input::now::click(button));
    EnableWindow(button, TRUE);
    EXPECT_TRUE(ui::input::now::click(button));
    ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
    EXPECT_EQ(rec.of(WM_COMMAND)[0].wParam, MAKEWPARAM(7, BN_CLICKED));
    EXPECT_EQ(reinterpret_cast<HWND>(rec.of(WM_COMMAND)[0].lParam), button);
}

TEST_F(Controls, ImageListsAndIcons) {
    ui::Image picture;
    picture.width = picture.height = 16;
    picture.pixels.assign(256, 0xFF00FF00u);
    ui::registerIcon(testModule(), 144, picture);
    HICON icon = LoadIconA(testModule(), MAKEINTRESOURCEA(144));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(testModule(), MAKEINTRESOURCEA(144)), icon) << "one shared handle per resource";
    EXPECT_EQ(LoadIconA(testModule(), MAKEINTRESOURCEA(145)), nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);

    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_MASK, 1, 1);
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_AddIcon(images, icon), 0);
    EXPECT_EQ(ImageList_GetImageCount(images), 1);
    ui::ImageListInfo info;
    ASSERT_TRUE(ui::describeImageList(images, info));
    EXPECT_EQ(info.cx, 16);
    EXPECT_EQ(info.images.at(0).pixels.at(0), 0xFF00FF00u);

    HWND a = make(WC_LISTVIEWA, LVS_LIST, 1001);
    HWND b = make(WC_LISTVIEWA, LVS_LIST, 1002);
    EXPECT_EQ(SendMessageA(a, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)), 0);
    EXPECT_EQ(SendMessageA(b, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)), 0);
    EXPECT_EQ(SendMessageA(a, LVM_GETIMAGELIST, LVSIL_SMALL, 0), reinterpret_cast<LRESULT>(images));
    // Without LVS_SHAREIMAGELISTS a list view destroys its image lists; one list given to two
    // views is destroyed once and the second view finds it gone.
    DestroyWindow(a);
    EXPECT_EQ(ImageList_GetImageCount(images), 0);
    DestroyWindow(b);
    EXPECT_FALSE(ImageList_Destroy(images));
}

// ---- Progress bar ---------------------------------------------------------------------------------

TEST_F(Controls, ProgressRangeHalvesAreSixteenBits) {
    HWND bar = make(PROGRESS_CLASSA, 0, 104);
    EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 65535)), static_cast<LRESULT>(MAKELPARAM(0, 100)));
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 65535) << "the maximum is unsigned";
    EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(5, 70000)), static_cast<LRESULT>(MAKELPARAM(0, 65535)));
    PBRANGE range{};
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 5);
    EXPECT_EQ(range.iLow, 5);
    EXPECT_EQ(range.iHigh, 70000 & 0xFFFF);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 5) << "the position is kept inside the range";
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 100000, 0), 5);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 70000 & 0xFFFF);
    SendMessageA(bar, PBM_SETRANGE32, 0, 70000);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 70000) << "PBM_SETRANGE32 takes whole ints";
}

TEST_F(Controls, StepItWrapsPastTheMaximum) {
    HWND bar = make(PROGRESS_CLASSA, 0, 104);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    EXPECT_EQ(SendMessageA(bar, PBM_SETSTEP, 30, 0), 10) << "the default step is 10";
    int previous[5];
    for (int& p : previous) p = static_cast<int>(SendMessageA(bar, PBM_STEPIT, 0, 0));
    EXPECT_EQ(previous[0], 0);
    EXPECT_EQ(previous[1], 30);
    EXPECT_EQ(previous[2], 60);
    EXPECT_EQ(previous[3], 90);
    EXPECT_EQ(previous[4], 20) << "120 wrapped to 20";
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 50);

    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(10, 20));
    SendMessageA(bar, PBM_SETPOS, 20, 0);
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 11) << "one past the maximum starts over from the minimum";
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 10);
    EXPECT_EQ(SendMessageA(bar, PBM_DELTAPOS, 4, 0), 10);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 14);
    ui::WindowState s;
    ASSERT_TRUE(ui::describe(bar, s));
    EXPECT_EQ(s.steps, 6);
}

// ---- Animation, edit, buttons, combo box ------------------------------------------------------------

TEST_F(Controls, AnimationOpensRegisteredClipsOnly) {
    ui::AnimationClip clip;
    clip.frames.resize(3);
    ui::registerAnimation(testModule(), 161, clip);
    HWND auto_ = make(ANIMATE_CLASSA, ACS_AUTOPLAY | ACS_TRANSPARENT, 106);
    HWND manual = make(ANIMATE_CLASSA, 0, 107);
    EXPECT_FALSE(SendMessageA(manual, ACM_PLAY, 0, -1)) << "nothing open";
    EXPECT_TRUE(SendMessageA(auto_, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(161))));
    EXPECT_TRUE(SendMessageA(manual, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(161))));
    ui::WindowState s;
    ASSERT_TRUE(ui::describe(auto_, s));
    EXPECT_EQ(s.animationId, 161);
    EXPECT_TRUE(s.playing);
    ASSERT_TRUE(ui::describe(manual, s));
    EXPECT_FALSE(s.playing);
    EXPECT_TRUE(SendMessageA(manual, ACM_PLAY, 0, -1));
    ASSERT_TRUE(ui::describe(manual, s));
    EXPECT_TRUE(s.playing);
    EXPECT_TRUE(SendMessageA(manual, ACM_OPENA, 0, 0));
    ASSERT_TRUE(ui::describe(manual, s));
    EXPECT_EQ(s.animationId, 0);
    EXPECT_FALSE(s.playing);
    EXPECT_FALSE(SendMessageA(manual, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(999))));
    EXPECT_FALSE(SendMessageA(manual, ACM_OPENA, 0, reinterpret_cast<LPARAM>("clip.avi")));
}

TEST_F(Controls, TypingHonoursLimitDigitsAndReadOnly) {
    HWND edit = make("Edit", ES_AUTOHSCROLL, 1000);
    HWND digits = make("Edit", ES_NUMBER, 1001);
    HWND readOnly = make("Edit", ES_READONLY, 1002, "fixed");
    SendMessageA(edit, EM_LIMITTEXT, 4, 0);
    rec.clear();
    EXPECT_TRUE(ui::input::now::type(edit, "abcdef"));
    EXPECT_TRUE(ui::input::now::type(digits, "1a2b3"));
    EXPECT_FALSE(ui::input::now::type(readOnly, "x"));
    char buffer[16];
    GetWindowTextA(edit, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "abcd");
    GetWindowTextA(digits, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "123");
    GetWindowTextA(readOnly, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "fixed");
    const auto commands = rec.of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(1000, EN_CHANGE));
    EXPECT_EQ(commands[1].wParam, MAKEWPARAM(1001, EN_CHANGE));

    // WM_SETTEXT is not limited, and a long text reads back cut to the caller's buffer.
    const std::string longText(150, 'p');
    SetWindowTextA(edit, longText.c_str());
    char password[100];
    EXPECT_EQ(SendMessageA(edit, WM_GETTEXT, sizeof password, reinterpret_cast<LPARAM>(password)), 99);
    EXPECT_EQ(std::string(password), longText.substr(0, 99));
}

// All the bytes an edit control's text buffer holds, past the text too.
std::string heldBytes(HWND edit) {
    std::lock_guard lock(ui::detail::state().mutex);
    auto w = ui::detail::findLocked(edit);
    return w ? std::string(w->text.data(), w->text.capacity()) : std::string();
}

TEST_F(Controls, ReplacedEditTextLeavesNothingOfTheOldOne) {
    HWND edit = make("Edit", ES_PASSWORD, 1000);
    const std::string secret = "correct horse battery staple";
    for (auto replace : {+[](HWND e) { SetWindowTextA(e, "x"); }, +[](HWND e) { ui::input::now::type(e, "y"); }}) {
        ASSERT_TRUE(ui::input::now::type(edit, secret));
        replace(edit);
        EXPECT_EQ(heldBytes(edit).find("horse"), std::string::npos);
    }
}

TEST_F(Controls, CheckBoxesToggleAndRadioButtonsKeepOnePerGroup) {
    HWND check = make("Button", BS_AUTOCHECKBOX, 10, "&Delete");
    HWND manual = make("Button", BS_CHECKBOX, 11, "Manual");
    HWND r1 = make("Button", BS_AUTORADIOBUTTON | WS_GROUP, 20, "One");
    HWND r2 = make("Button", BS_AUTORADIOBUTTON, 21, "Two");
    HWND r3 = make("Button", BS_AUTORADIOBUTTON | WS_GROUP, 30, "Other group");
    EXPECT_TRUE(ui::input::now::click(check));
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(ui::input::now::click(check));
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(ui::input::now::click(manual));
    EXPECT_EQ(SendMessageA(manual, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "BS_CHECKBOX leaves it to the program";

    ui::input::now::click(r3);
    ui::input::now::click(r1);
    ui::input::now::click(r2);
    EXPECT_EQ(SendMessageA(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(r3, BM_GETCHECK, 0, 0), BST_CHECKED) << "another group is left alone";
    EXPECT_EQ(rec.of(WM_COMMAND).size(), 6u);

    ui::WindowState s;
    ASSERT_TRUE(ui::describe(r1, s));
    EXPECT_EQ(s.control, ui::ControlKind::RadioButton);
    ASSERT_TRUE(ui::describe(check, s));
    EXPECT_EQ(s.control, ui::ControlKind::CheckBox);
}

TEST_F(Controls, ComboBoxSelection) {
    HWND combo = make("ComboBox", CBS_DROPDOWNLIST | CBS_SORT, 1005);
    EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("RC4")), 0);
    EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("DES")), 0);
    EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("RC2")), 1);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("rc4")), 2);
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
    char buffer[8];
    GetWindowTextA(combo, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "RC2");
    rec.clear();
    EXPECT_TRUE(ui::input::now::selectItem(combo, 2));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2);
    ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
    EXPECT_EQ(rec.of(WM_COMMAND)[0].wParam, MAKEWPARAM(1005, CBN_SELCHANGE));
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 9, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(Controls, WindowLongsTextAndVisibility) {
    HWND edit = make("Edit", 0, 1000, "abc");
    EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_ID), 1000);
    EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(host));
    EXPECT_TRUE(GetWindowLongPtrA(edit, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(SetWindowLongPtrA(edit, GWLP_USERDATA, 5), 0);
    EXPECT_EQ(SetWindowLongPtrA(edit, GWLP_USERDATA, 6), 5);
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_TRUE(ShowWindow(host, SW_HIDE)) << "was visible";
    EXPECT_FALSE(IsWindowVisible(edit)) << "hidden with its parent";
    EXPECT_FALSE(EnableWindow(edit, FALSE)) << "was enabled";
    EXPECT_TRUE(EnableWindow(edit, TRUE)) << "was disabled";
    EXPECT_TRUE(IsChild(host, edit));
    EXPECT_FALSE(IsChild(edit, host));
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(edit, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, GetCurrentProcessId());
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
}

}  // namespace
}  // namespace vlt::uitest
