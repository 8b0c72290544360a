#include "applet/link_static.h"

#include "applet/hyperlink.h"
#include "win32/commctrl.h"

namespace vlt::applet {
namespace {

constexpr UINT_PTR kTool = 1;

// Text drawn straight onto the dialog's background picture.
LRESULT transparentText(HDC dc, COLORREF colour) {
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CLinkStatic, ui::CWnd)
VLT_IMPLEMENT_DYNAMIC(CLabelStatic, ui::CWnd)

CLinkStatic::~CLinkStatic() {
    if (m_underlineFont != nullptr) DeleteObject(m_underlineFont);
}

void CLinkStatic::Attach() {
    SetWindowLongPtrA(m_hWnd, GWL_STYLE, GetWindowLongPtrA(m_hWnd, GWL_STYLE) | SS_NOTIFY);
    fitToText();
    m_cursor = LoadCursorA(nullptr, IDC_ARROW);
    m_tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, 0, 0, 0, 0, m_hWnd, nullptr, nullptr,
                                nullptr);
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hWnd;
    tool.uId = kTool;
    GetClientRect(m_hWnd, &tool.rect);
    tool.lpszText = m_target.data();
    ::SendMessageA(m_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CLinkStatic::SetTarget(const std::string& target) {
    m_target = target;
    fitToText();
    if (m_tooltip == nullptr) return;
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hWnd;
    tool.uId = kTool;
    tool.lpszText = m_target.data();
    ::SendMessageA(m_tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CLinkStatic::SetColours(COLORREF link, COLORREF visited) {
    m_linkColour = link;
    m_visitedColour = visited;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLinkStatic::SetVisited(BOOL visited) {
    m_visited = visited != FALSE;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLinkStatic::SetUnderline(BOOL underline) {
    m_underline = underline != FALSE;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLinkStatic::SetAutoSize(BOOL autoSize) {
    m_autoSize = autoSize != FALSE;
    fitToText();
}

void CLinkStatic::fitToText() {
    if (!m_autoSize || m_hWnd == nullptr) return;
    RECT r{};
    GetWindowRect(m_hWnd, &r);
    HWND parent = ::GetParent(m_hWnd);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const std::string text = GetWindowText();
    SIZE extent{};
    HDC dc = GetDC(m_hWnd);
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ReleaseDC(m_hWnd, dc);

    const auto style = static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_STYLE));
    if (style & SS_CENTERIMAGE) r.top += ((r.bottom - r.top) - extent.cy) / 2;
    r.bottom = r.top + extent.cy;
    if (style & SS_CENTER) {
        r.left += ((r.right - r.left) - extent.cx) / 2;
        r.right = r.left + extent.cx;
    } else if (style & SS_RIGHT) {
        r.left = r.right - extent.cx;
    } else {
        r.right = r.left + extent.cx;
    }
    SetWindowPos(m_hWnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
    // The tip keeps covering the whole control as it changes size.
    if (m_tooltip == nullptr) return;
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hWnd;
    tool.uId = kTool;
    GetClientRect(m_hWnd, &tool.rect);
    ::SendMessageA(m_tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
}

BOOL CLinkStatic::PreTranslateMessage(MSG* msg) {
    if (m_tooltip != nullptr) ::SendMessageA(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return ui::CWnd::PreTranslateMessage(msg);
}

LRESULT CLinkStatic::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETCURSOR) {
        ::SetCursor(m_cursor);
        return TRUE;
    }
    return ui::CWnd::WindowProc(msg, wParam, lParam);
}

BOOL CLinkStatic::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg == WM_CTLCOLORSTATIC) {
        auto dc = reinterpret_cast<HDC>(wParam);
        if (m_underline) {
            if (m_underlineFont == nullptr) {
                LOGFONTA font{};
                GetObjectA(reinterpret_cast<HANDLE>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)), sizeof font, &font);
                font.lfUnderline = TRUE;
                m_underlineFont = CreateFontIndirectA(&font);
            }
            SelectObject(dc, m_underlineFont);
        }
        *result = transparentText(dc, m_visited ? m_visitedColour : m_linkColour);
        return TRUE;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
        click();
        return TRUE;
    }
    return ui::CWnd::OnChildNotify(msg, wParam, lParam, result);
}

void CLinkStatic::click() {
    if (!m_linkEnabled) return;
    const UINT_PTR opened = openHyperlink(m_target, SW_SHOW);
    if (opened > 32) SetVisited(TRUE);
    else reportHyperlinkError(opened);
}

BOOL CLabelStatic::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg == WM_CTLCOLORSTATIC) {
        *result = transparentText(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
        return TRUE;
    }
    return ui::CWnd::OnChildNotify(msg, wParam, lParam, result);
}

}  // namespace vlt::applet
