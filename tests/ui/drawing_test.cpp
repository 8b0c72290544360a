// Drawing as the runtime records it: static colours asked of the parent, paint records,
// tooltips, cursors, fonts, rectangles and clicks on statics.
#include "ui/input.h"
#include "ui/state.h"
#include "ui_support.h"
#include "win32/wingdi.h"

namespace vlt::uitest {
namespace {

using ui::ControlKind;

constexpr int kCard = 102;
constexpr int kRed = 1005, kLink = 1001, kPlain = 1002, kFrame = 1004;
constexpr int kBitmap = 148, kHand = 193;

// What the card's procedure does, set by each test.
struct Card {
    int colourQuestions = 0;
    int paints = 0;
    int clicks = 0;
    COLORREF linkColour = RGB(0, 0, 238);
    HFONT underline = nullptr;
};
Card* g_card = nullptr;

void registerCard() {
    ui::DialogTemplate t;
    t.resourceId = kCard;
    t.x = 30;
    t.y = 20;
    t.cx = 212;
    t.cy = 139;
    t.style = WS_POPUP | WS_BORDER;
    ui::ControlTemplate frame = control(kFrame, ControlKind::Static, "", SS_BLACKFRAME);
    frame.cx = 212;
    frame.cy = 139;
    ui::ControlTemplate link = control(kLink, ControlKind::Static, "jo@example.org", SS_CENTERIMAGE);
    link.x = 60;
    link.y = 40;
    t.controls = {control(kRed, ControlKind::Static, "Name:"), link, control(kPlain, ControlKind::Static, "x"),
                  frame};
    ui::registerDialog(testModule(), t);
    ui::registerBitmap(testModule(), kBitmap, ui::Image{424, 278, std::vector<std::uint32_t>(424 * 278, 0xFFEEDDCC)});
    ui::registerCursor(testModule(), kHand, ui::Image{32, 32, std::vector<std::uint32_t>(32 * 32, 0)});
}

INT_PTR cardProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            ++g_card->colourQuestions;
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            auto dc = reinterpret_cast<HDC>(wParam);
            if (id == kRed) SetTextColor(dc, RGB(255, 0, 0));
            if (id == kLink) {
                SetTextColor(dc, g_card->linkColour);
                if (g_card->underline) SelectObject(dc, g_card->underline);
            }
            if (id != kRed && id != kLink) return FALSE;
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        }
        case WM_PAINT: {
            ++g_card->paints;
            RECT r{};
            GetClientRect(GetDlgItem(dlg, kFrame), &r);
            PAINTSTRUCT ps{};
            HDC dc = BeginPaint(dlg, &ps);
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = LoadBitmapA(testModule(), MAKEINTRESOURCEA(kBitmap));
            BITMAP size{};
            GetObjectA(bitmap, sizeof size, &size);
            HGDIOBJ old = SelectObject(memory, bitmap);
            StretchBlt(dc, 0, 0, r.right, r.bottom, memory, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            EndPaint(dlg, &ps);
            return TRUE;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == STN_CLICKED) g_card->clicks += LOWORD(wParam) == kLink ? 1 : 100;
            return TRUE;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dlg, kLink)) {
                SetCursor(LoadCursorA(testModule(), MAKEINTRESOURCEA(kHand)));
                SetWindowLongPtrA(dlg, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}

class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        registerCard();
        g_card = &card;
        dlg = CreateDialogParamA(testModule(), MAKEINTRESOURCEA(kCard), nullptr, cardProc, 0);
        ASSERT_NE(dlg, nullptr);
    }
    void TearDown() override {
        DestroyWindow(dlg);
        ui::pumpMessages();
        g_card = nullptr;
    }
    ui::WindowState stateOf(int id) {
        ui::WindowState s;
        describe(id ? GetDlgItem(dlg, id) : dlg, s);
        return s;
    }
    HeadlessScope headless;
    Card card;
    HWND dlg = nullptr;
};

TEST_F(Drawing, StaticsAskTheirParentForColoursOnceShownAndWhenTheyChange) {
    EXPECT_EQ(card.colourQuestions, 0) << "nothing paints before the dialog appears";
    ShowWindow(dlg, SW_SHOW);
    auto red = stateOf(kRed);
    EXPECT_TRUE(red.hasTextColor);
    EXPECT_EQ(red.textColor, RGB(255, 0, 0));
    EXPECT_TRUE(red.transparent);
    EXPECT_FALSE(red.underline);
    auto plain = stateOf(kPlain);
    EXPECT_FALSE(plain.hasTextColor);
    EXPECT_FALSE(plain.transparent);

    // A visited link: a new colour and the underlined font, seen after an invalidation.
    LOGFONTA lf{};
    ASSERT_EQ(GetObjectA(reinterpret_cast<HANDLE>(SendMessageA(GetDlgItem(dlg, kLink), WM_GETFONT, 0, 0)),
                         sizeof lf, &lf),
              static_cast<int>(sizeof lf));
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif") << "controls have their dialog's font";
    lf.lfUnderline = TRUE;
    card.underline = CreateFontIndirectA(&lf);
    card.linkColour = RGB(85, 26, 139);
    EXPECT_EQ(stateOf(kLink).textColor, RGB(0, 0, 238));
    InvalidateRect(GetDlgItem(dlg, kLink), nullptr, TRUE);
    auto link = stateOf(kLink);
    EXPECT_EQ(link.textColor, RGB(85, 26, 139));
    EXPECT_TRUE(link.underline);

    const int before = card.colourQuestions;
    SetDlgItemTextA(dlg, kPlain, "changed");
    EXPECT_EQ(card.colourQuestions, before + 1) << "a new text is painted";
    DeleteObject(card.underline);
}

TEST_F(Drawing, PaintingRecordsTheStretchedBitmapOnceAPaint) {
    ShowWindow(dlg, SW_SHOW);
    EXPECT_EQ(card.paints, 1) << "a dialog is painted when it first appears";
    auto s = stateOf(0);
    ASSERT_EQ(s.paint.size(), 1u);
    EXPECT_EQ(s.paint[0].module, testModule());
    EXPECT_EQ(s.paint[0].bitmapId, kBitmap);
    EXPECT_EQ(s.paint[0].image.width, 424);
    EXPECT_EQ(s.paint[0].image.height, 278);
    EXPECT_EQ((std::vector<int>{s.paint[0].x, s.paint[0].y, s.paint[0].cx, s.paint[0].cy}),
              (std::vector<int>{0, 0, 212, 139}))
        << "in dialog units, as the frame's client rectangle";

    UpdateWindow(dlg);
    EXPECT_EQ(card.paints, 1) << "nothing to paint while valid";
    InvalidateRect(dlg, nullptr, TRUE);
    InvalidateRect(dlg, nullptr, TRUE);
    ui::pumpMessages();
    EXPECT_EQ(card.paints, 2) << "one WM_PAINT for any number of invalidations";
    EXPECT_EQ(stateOf(0).paint.size(), 1u) << "BeginPaint starts a fresh list";
}

TEST_F(Drawing, ToolsGiveTheControlsTheyCoverTheirTips) {
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, dlg, nullptr,
                               testModule(), nullptr);
    ASSERT_NE(tip, nullptr);
    HWND link = GetDlgItem(dlg, kLink), red = GetDlgItem(dlg, kRed), plain = GetDlgItem(dlg, kPlain);
    auto tool = [&](HWND owner, UINT_PTR id, UINT flags, RECT rect, const char* text) {
        TTTOOLINFOA ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = flags;
        ti.hwnd = owner;
        ti.uId = id;
        ti.rect = rect;
        ti.lpszText = const_cast<char*>(text);
        return ti;
    };
    struct Case {
        const char* what;
        UINT msg;
        TTTOOLINFOA info;
        HWND control;
        const char* tip;
    };
    const Case cases[] = {
        {"the whole client rectangle", TTM_ADDTOOLA, tool(link, 1, TTF_SUBCLASS, {0, 0, 50, 14}, "mailto:jo"), link,
         "mailto:jo"},
        {"a new text for that tool", TTM_UPDATETIPTEXTA, tool(link, 1, 0, {}, "mailto:ann"), link, "mailto:ann"},
        {"the control by handle", TTM_ADDTOOLA,
         tool(dlg, reinterpret_cast<UINT_PTR>(red), TTF_IDISHWND, {}, "Name of the person"), red,
         "Name of the person"},
        {"part of a control only", TTM_ADDTOOLA, tool(plain, 1, 0, {0, 0, 20, 14}, "part"), plain, ""},
        {"the tool removed", TTM_DELTOOLA, tool(link, 1, 0, {}, nullptr), link, ""},
    };
    for (const auto& c : cases) {
        SendMessageA(tip, c.msg, 0, reinterpret_cast<LPARAM>(&c.info));
        ui::WindowState s;
        describe(c.control, s);
        EXPECT_EQ(s.tip, c.tip) << c.what;
    }
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
    for (HWND h : ui::topLevelWindows()) EXPECT_NE(h, tip) << "front ends never see the tooltip window";
    DestroyWindow(tip);
    EXPECT_EQ(stateOf(kRed).tip, "") << "tips go with their tooltip";
}

TEST_F(Drawing, RectanglesFitTextAndMoveConsistently) {
    HWND link = GetDlgItem(dlg, kLink);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(link, &r));
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{90, 60, 140, 74}));
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top}), (std::vector<LONG>{60, 40})) << "the parent's client coordinates";

    HDC dc = GetDC(link);
    SIZE text{};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "jo@example.org", 14, &text));
    ReleaseDC(link, dc);
    EXPECT_EQ(text.cx, 56);
    EXPECT_EQ(text.cy, 8);
    // Centred vertically, left aligned: as the card's links fit themselves.
    const LONG top = r.top + (14 - text.cy) / 2;
    SetWindowPos(link, nullptr, r.left, top, text.cx, text.cy, SWP_NOZORDER);
    auto s = stateOf(kLink);
    EXPECT_EQ((std::vector<int>{s.x, s.y, s.cx, s.cy}), (std::vector<int>{60, 43, 56, 8}));

    struct Case {
        UINT flags;
        std::vector<int> expected;
    };
    for (const auto& c : {Case{SWP_NOMOVE | SWP_NOZORDER, {60, 43, 10, 11}}, Case{SWP_NOSIZE, {1, 2, 10, 11}},
                          Case{SWP_NOSIZE | SWP_NOMOVE | SWP_HIDEWINDOW, {1, 2, 10, 11}}}) {
        SetWindowPos(link, nullptr, 1, 2, 10, 11, c.flags);
        s = stateOf(kLink);
        EXPECT_EQ((std::vector<int>{s.x, s.y, s.cx, s.cy}), c.expected) << c.flags;
    }
    EXPECT_FALSE(stateOf(kLink).visible);
}

TEST_F(Drawing, OnlyNotifyingStaticsHearClicksAndCursorsAreKeptPerControl) {
    ShowWindow(dlg, SW_SHOW);
    HWND link = GetDlgItem(dlg, kLink), red = GetDlgItem(dlg, kRed);
    SetWindowLongPtrA(link, GWL_STYLE, GetWindowLongPtrA(link, GWL_STYLE) | SS_NOTIFY);
    EXPECT_FALSE(ui::input::now::click(red));
    EXPECT_TRUE(ui::input::now::click(link));
    EXPECT_EQ(card.clicks, 1) << "STN_CLICKED from the notifying static only";

    EXPECT_TRUE(ui::input::now::hover(link));
    EXPECT_TRUE(ui::input::now::hover(red));
    EXPECT_EQ(stateOf(kLink).cursorId, kHand);
    EXPECT_EQ(stateOf(kRed).cursorId, 0) << "the arrow when the parent does not choose";
    EXPECT_NE(LoadCursorA(nullptr, IDC_HAND), nullptr);
    EXPECT_EQ(LoadCursorA(testModule(), MAKEINTRESOURCEA(999)), nullptr);
}

TEST_F(Drawing, TranscriptShowsColoursTipsPaintAndBeeps) {
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, 0, 0, 0, 0, dlg, nullptr, testModule(), nullptr);
    TTTOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = dlg;
    ti.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dlg, kLink));
    ti.lpszText = const_cast<char*>("mailto:jo@example.org");
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    ASSERT_TRUE(headless.frontend.scriptDialog(kCard, "hover 1001").ok());
    ShowWindow(dlg, SW_SHOW);
    MessageBeep(MB_ICONEXCLAMATION);
    ui::pumpMessages();
    EXPECT_EQ(stateOf(kLink).cursorId, kHand) << "the script's hover";
    const std::string text = headless.frontend.transcriptText();
    for (const char* line : {"  1005 Static \"Name:\" color=#FF0000 transparent\n",
                             "  1001 Static \"jo@example.org\" color=#0000EE transparent tip=\"mailto:jo@example.org\"\n",
                             "  1002 Static \"x\"\n", "  paint bitmap 148 -> 0,0 212x139\n", "note beep 0x30\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
}

}  // namespace
}  // namespace vlt::uitest
