#include "ui/framework.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>

#include "win32/winbase.h"

namespace vlt::ui {
namespace {

std::atomic<CWinApp*> g_app{nullptr};

struct Handlers {
    std::mutex mutex;
    std::map<HWND, CWnd*> byWindow;
    std::set<std::string> classes;  // registered by AfxRegisterWndClass
};

Handlers& handlers() {
    static auto* h = new Handlers;  // windows may outlive static destruction order
    return *h;
}

// The object whose CreateEx is running on this thread: its window's first message attaches it.
thread_local CWnd* t_creating = nullptr;

CWnd* lookup(HWND hwnd) {
    auto& h = handlers();
    std::lock_guard lock(h.mutex);
    auto it = h.byWindow.find(hwnd);
    return it == h.byWindow.end() ? nullptr : it->second;
}

void attach(HWND hwnd, CWnd* wnd) {
    auto& h = handlers();
    std::lock_guard lock(h.mutex);
    h.byWindow[hwnd] = wnd;
}

void detach(HWND hwnd) {
    auto& h = handlers();
    std::lock_guard lock(h.mutex);
    h.byWindow.erase(hwnd);
}

}  // namespace

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass)
        if (c == base) return true;
    return false;
}

const CRuntimeClass& CObject::runtimeClass() {
    static const CRuntimeClass record{"CObject", nullptr};
    return record;
}
const CRuntimeClass* CObject::GetRuntimeClass() const { return &runtimeClass(); }

// ---- CWnd -----------------------------------------------------------------------------------

VLT_IMPLEMENT_DYNAMIC(CWnd, CObject)

CWnd::~CWnd() {
    if (m_hWnd == nullptr) return;
    // What is left of the object cannot handle messages any more: the window ends with the
    // default handling.
    const HWND hwnd = m_hWnd;
    detach(hwnd);
    m_hWnd = nullptr;
    if (auto* app = AfxGetApp(); app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    ::DestroyWindow(hwnd);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int cx, int cy,
                    HWND parent, HMENU menu, LPVOID param) {
    if (m_hWnd != nullptr) return FALSE;
    CWnd* const outer = t_creating;
    t_creating = this;
    HINSTANCE module = AfxGetApp() ? AfxGetApp()->m_hInstance : nullptr;
    const HWND hwnd = CreateWindowExA(exStyle, className, windowName, style, x, y, cx, cy, parent, menu, module, param);
    t_creating = outer;
    if (hwnd == nullptr) {
        // Refused in WM_CREATE: the window was destroyed again and detached on its way out.
        m_hWnd = nullptr;
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) { return lookup(hwnd); }

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
    if (caption == nullptr) caption = AfxGetApp() ? AfxGetApp()->m_pszAppName : nullptr;
    return MessageBoxA(m_hWnd, text, caption, type);
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) { return Default(); }

LRESULT CWnd::Default() { return DefWindowProcA(m_hWnd, m_current.msg, m_current.wParam, m_current.lParam); }

LRESULT CWnd::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = lookup(hwnd);
    if (wnd == nullptr && t_creating != nullptr && t_creating->m_hWnd == nullptr) {
        wnd = t_creating;
        wnd->m_hWnd = hwnd;
        attach(hwnd, wnd);
    }
    if (wnd == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);

    const Current outer = wnd->m_current;
    wnd->m_current = Current{msg, wParam, lParam};
    const LRESULT result = wnd->WindowProc(msg, wParam, lParam);
    wnd->m_current = outer;

    if (msg == WM_NCDESTROY) {
        detach(hwnd);
        wnd->m_hWnd = nullptr;
        // The main window is gone: so is the program's reason to run.
        if (auto* app = AfxGetApp(); app && app->m_pMainWnd == wnd) {
            app->m_pMainWnd = nullptr;
            PostQuitMessage(0);
        }
        wnd->PostNcDestroy();
    }
    return result;
}

// ---- CWinApp --------------------------------------------------------------------------------

VLT_IMPLEMENT_DYNAMIC(CWinApp, CObject)

CWinApp::CWinApp(const char* appName, HINSTANCE module) : m_pszAppName(appName), m_hInstance(module) {
    g_app.store(this);
}

CWinApp::~CWinApp() {
    CWinApp* self = this;
    g_app.compare_exchange_strong(self, nullptr);
}

int CWinApp::Run() {
    MSG msg{};
    for (;;) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            m_exitCode = 1;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance() { return m_exitCode; }

int CWinApp::Main() {
    if (!InitInstance()) {
        m_exitCode = 1;
        return ExitInstance();
    }
    return Run();
}

CWinApp* AfxGetApp() { return g_app.load(); }

int AfxMessageBox(LPCSTR text, UINT type) {
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    return MessageBoxA(owner, text, app ? app->m_pszAppName : nullptr, type);
}

std::string AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    char name[96];
    std::snprintf(name, sizeof name, "Vlt:%x:%jx:%jx:%jx", classStyle, static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(cursor)),
                  static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(background)),
                  static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(icon)));
    auto& h = handlers();
    std::lock_guard lock(h.mutex);
    if (h.classes.count(name)) return name;
    WNDCLASSA wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::WndProc;
    wc.hInstance = AfxGetApp() ? AfxGetApp()->m_hInstance : nullptr;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    if (RegisterClassA(&wc) == 0) return {};
    h.classes.insert(name);
    return name;
}

}  // namespace vlt::ui
