// CLinkStatic: a static text with its own colours, a tooltip, an optional underline and an
// optional target opened on a click. CLabelStatic: a static text in red on whatever lies below.
// Both draw through the colour request their dialog reflects to them.
#pragma once

#include <string>

#include "ui/framework.h"
#include "win32/wingdi.h"

namespace vlt::applet {

class CLinkStatic : public ui::CWnd {
    VLT_DECLARE_DYNAMIC(CLinkStatic)
public:
    CLinkStatic() = default;
    ~CLinkStatic() override;

    // Once the dialog subclassed the control: clicks reported (SS_NOTIFY), the window fitted to
    // its text, the arrow cursor, and a tooltip over the whole control showing the target.
    void Attach();

    // The target is also the tooltip's text.
    void SetTarget(const std::string& target);
    void SetColours(COLORREF link, COLORREF visited);
    void SetVisited(BOOL visited = TRUE);
    void SetUnderline(BOOL underline = TRUE);
    void SetAutoSize(BOOL autoSize = TRUE);
    void SetLinkCursor(HCURSOR cursor) { m_cursor = cursor; }

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    bool m_linkEnabled = false;
    COLORREF m_linkColour = RGB(0, 0, 238);
    COLORREF m_visitedColour = RGB(85, 26, 139);
    bool m_visited = false;
    bool m_underline = false;
    bool m_autoSize = true;
    std::string m_target;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void fitToText();
    void click();

    HFONT m_underlineFont = nullptr;
    HCURSOR m_cursor = nullptr;
    HWND m_tooltip = nullptr;
};

class CLabelStatic : public ui::CWnd {
    VLT_DECLARE_DYNAMIC(CLabelStatic)
public:
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

}  // namespace vlt::applet
