// The hook to platform/ipc: calls out with no runtime lock held.
#include "ui/remote.h"

#include "ui/internal.h"

namespace vlt::ui {
namespace {

std::mutex g_hooksMutex;
std::shared_ptr<const RemoteHooks> g_hooks;

std::shared_ptr<const RemoteHooks> hooks() {
    std::lock_guard lock(g_hooksMutex);
    return g_hooks;
}

}  // namespace

void setRemoteHooks(RemoteHooks h) {
    const bool empty = !h.titleChanged && !h.destroyed && !h.find && !h.send && !h.post && !h.isWindow;
    auto installed = empty ? nullptr : std::make_shared<const RemoteHooks>(std::move(h));
    std::lock_guard lock(g_hooksMutex);
    g_hooks = std::move(installed);
}

std::vector<TitledWindow> titledTopLevelWindows() {
    std::vector<TitledWindow> out;
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    for (HWND h : s.topLevel) {
        auto w = detail::findLocked(h);
        if (!w || w->destroying || w->text.empty()) continue;
        w->titleReported = true;  // so that its destruction is reported too
        out.push_back(TitledWindow{h, w->className, w->text});
    }
    return out;
}

}  // namespace vlt::ui

namespace vlt::ui::detail {

void reportTitle(HWND hwnd) {
    std::string className;
    std::string title;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto w = findLocked(hwnd);
        if (!w || (w->style & WS_CHILD) || w->messageOnly || w->destroying) return;
        if (w->text.empty() && !w->titleReported) return;
        w->titleReported = true;
        className = w->className;
        title = w->text;
    }
    auto h = hooks();
    if (h && h->titleChanged) h->titleChanged(hwnd, className, title);
}

void reportDestroyed(HWND hwnd) {
    auto h = hooks();
    if (h && h->destroyed) h->destroyed(hwnd);
}

bool remoteSend(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto h = hooks();
    return h && h->send && h->send(proxy, msg, wParam, lParam, result);
}

bool remotePost(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto h = hooks();
    return h && h->post && h->post(proxy, msg, wParam, lParam);
}

bool remoteIsWindow(HWND proxy) {
    auto h = hooks();
    if (!h) return false;
    return h->isWindow ? h->isWindow(proxy) : static_cast<bool>(h->send);
}

HWND remoteFind(const char* className, const char* title) {
    auto h = hooks();
    if (!h || !h->find) return nullptr;
    HWND found = h->find(className, title);
    return isRemoteHandle(found) ? found : nullptr;
}

}  // namespace vlt::ui::detail
