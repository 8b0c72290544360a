// The tooltip control ("tooltips_class32"). Front ends show tips themselves, next to the
// controls they belong to, so a tooltip window is never shown: its tools give the controls
// they cover their tip text (ui::WindowState::tip). A tool covers a control when it names it
// (TTF_IDISHWND) or when its rectangle, given in a window's client coordinates, takes in that
// whole window when the tool is added or its rectangle changes.
//
// Reproduced: TTM_ADDTOOLA (a tool with the same window and id replaces the earlier one),
// TTM_DELTOOLA, TTM_UPDATETIPTEXTA, TTM_NEWTOOLRECTA, TTM_GETTOOLCOUNT, TTM_GETTOOLINFOA;
// TTM_RELAYEVENT and TTM_ACTIVATE are accepted. Left out: texts from string resources and
// LPSTR_TEXTCALLBACKA (read as empty), balloon and tracking tips.
#include <algorithm>
#include <cstring>

#include "ui/internal.h"

namespace vlt::ui::detail {
namespace {

constexpr UINT kMinToolInfoSize = offsetof(TTTOOLINFOA, lParam);

std::string toolText(LPCSTR text) {
    if (text == nullptr || text == LPSTR_TEXTCALLBACKA || IS_INTRESOURCE(text)) return {};
    return text;
}

HWND coveredLocked(const Tool& tool) {
    if (tool.flags & TTF_IDISHWND) {
        auto c = findLocked(reinterpret_cast<HWND>(tool.id));
        return c ? c->hwnd : nullptr;
    }
    auto w = findLocked(tool.owner);
    if (!w) return nullptr;
    const RECT& r = tool.rect;
    return r.left <= 0 && r.top <= 0 && r.right >= w->cx && r.bottom >= w->cy ? w->hwnd : nullptr;
}

// Sets a control's tip; the control goes into `news` when it changed.
void setTipLocked(HWND control, const std::string& text, std::vector<HWND>& news) {
    auto c = findLocked(control);
    if (!c || c->tip == text) return;
    c->tip = text;
    news.push_back(control);
}

bool sameTool(const Tool& t, const TTTOOLINFOA& info) { return t.owner == info.hwnd && t.id == info.uId; }

}  // namespace

LRESULT tooltipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* info = reinterpret_cast<TTTOOLINFOA*>(lParam);
    switch (msg) {
        case TTM_ADDTOOLA:
        case TTM_DELTOOLA:
        case TTM_UPDATETIPTEXTA:
        case TTM_NEWTOOLRECTA:
        case TTM_GETTOOLINFOA: break;
        case TTM_GETTOOLCOUNT:
            return withWindow<IfGone::Quiet>(hwnd, LRESULT{0},
                                             [](Window& w) { return static_cast<LRESULT>(w.tools.size()); });
        case TTM_RELAYEVENT:
        case TTM_ACTIVATE: return 0;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (info == nullptr || info->cbSize < kMinToolInfoSize) return FALSE;
    std::vector<HWND> news;
    LRESULT result = FALSE;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hwnd);
        if (!w) return FALSE;
        auto& tools = w->tools;
        auto it = std::find_if(tools.begin(), tools.end(), [&](const Tool& t) { return sameTool(t, *info); });
        switch (msg) {
            case TTM_ADDTOOLA: {
                Tool tool;
                tool.owner = info->hwnd;
                tool.id = info->uId;
                tool.flags = info->uFlags;
                tool.rect = info->rect;
                tool.text = toolText(info->lpszText);
                tool.covers = coveredLocked(tool);
                if (it != tools.end()) {
                    if (it->covers != tool.covers) setTipLocked(it->covers, {}, news);
                    *it = tool;
                } else {
                    tools.push_back(tool);
                }
                setTipLocked(tool.covers, tool.text, news);
                result = TRUE;
                break;
            }
            case TTM_DELTOOLA:
                if (it != tools.end()) {
                    setTipLocked(it->covers, {}, news);
                    tools.erase(it);
                }
                break;
            case TTM_UPDATETIPTEXTA:
                if (it != tools.end()) {
                    it->text = toolText(info->lpszText);
                    setTipLocked(it->covers, it->text, news);
                }
                break;
            case TTM_NEWTOOLRECTA:
                if (it != tools.end()) {
                    it->rect = info->rect;
                    const HWND covers = coveredLocked(*it);
                    if (covers != it->covers) setTipLocked(it->covers, {}, news);
                    it->covers = covers;
                    setTipLocked(covers, it->text, news);
                }
                break;
            case TTM_GETTOOLINFOA:
                if (it != tools.end()) {
                    info->uFlags = it->flags;
                    info->rect = it->rect;
                    // The caller's buffer holds 80 characters, as the control's contract says.
                    if (info->lpszText != nullptr && !IS_INTRESOURCE(info->lpszText) &&
                        info->lpszText != LPSTR_TEXTCALLBACKA) {
                        const std::size_t n = std::min<std::size_t>(it->text.size(), 79);
                        std::memcpy(info->lpszText, it->text.data(), n);
                        info->lpszText[n] = '\0';
                    }
                    result = TRUE;
                }
                break;
            default: break;
        }
    }
    for (HWND control : news) changed(control, Change::Style);
    return result;
}

void dropTools(HWND tooltip) {
    std::vector<HWND> news;
    withWindow<IfGone::Quiet>(tooltip, false, [&](Window& w) {
        if (!w.tooltip) return false;
        for (const Tool& t : w.tools) setTipLocked(t.covers, {}, news);
        w.tools.clear();
        return true;
    });
    for (HWND control : news) changed(control, Change::Style);
}

}  // namespace vlt::ui::detail
