#include "ui/framework.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>

#include "ui/loop.h"
#include "ui/state.h"
#include "win32/winbase.h"

namespace vlt::ui {
namespace {

std::atomic<CWinApp*> g_app{nullptr};
std::atomic<HINSTANCE> g_resources{nullptr};

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

// The framework's PreTranslateMessage for the runtime's modal loops: the window the message
// is for, then its parents up to its top-level window.
bool preTranslate(MSG* msg) {
    for (HWND h = msg->hwnd; h != nullptr;) {
        if (CWnd* wnd = lookup(h); wnd && wnd->PreTranslateMessage(msg)) return true;
        if (!(static_cast<DWORD>(GetWindowLongPtrA(h, GWL_STYLE)) & WS_CHILD)) break;
        h = ::GetParent(h);
    }
    return false;
}

}  // namespace

void installMessageFilter() { setMessageFilter(&preTranslate); }

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
    // default handling (its own procedure, for a subclassed window).
    const HWND hwnd = m_hWnd;
    if (m_pfnSuper != nullptr) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
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

std::string CWnd::GetDlgItemText(int id) const {
    const HWND item = ::GetDlgItem(m_hWnd, id);
    if (item == nullptr) return {};
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(item)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string CWnd::GetWindowText() const {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(m_hWnd)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

CWnd* CWnd::GetParent() const { return m_hWnd ? lookup(::GetParent(m_hWnd)) : nullptr; }

// Positions are in the units the window has (dialog units for dialogs); the screen is
// converted to dialog units with the default font's base units.
void CWnd::CenterWindow(CWnd* alternate) {
    if (m_hWnd == nullptr) return;
    const DialogUnits units;
    const int screenCx = GetSystemMetrics(SM_CXSCREEN) * 4 / units.baseX;
    const int screenCy = GetSystemMetrics(SM_CYSCREEN) * 8 / units.baseY;
    HWND around = alternate ? alternate->m_hWnd : nullptr;
    if (around == nullptr && !(static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_STYLE)) & WS_CHILD))
        around = ::GetParent(m_hWnd);
    WindowState me, other;
    if (!describe(m_hWnd, me)) return;
    int x0 = 0, y0 = 0, cx = screenCx, cy = screenCy;
    if (around != nullptr && IsWindowVisible(around) && describe(around, other)) {
        x0 = other.x;
        y0 = other.y;
        cx = other.cx;
        cy = other.cy;
    }
    const int x = std::clamp(x0 + (cx - me.cx) / 2, 0, std::max(0, screenCx - me.cx));
    const int y = std::clamp(y0 + (cy - me.cy) / 2, 0, std::max(0, screenCy - me.cy));
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::Invalidate(BOOL erase) { InvalidateRect(m_hWnd, nullptr, erase); }

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (m_hWnd != nullptr || hwnd == nullptr || !IsWindow(hwnd) || lookup(hwnd) != nullptr) return FALSE;
    m_hWnd = hwnd;
    attach(hwnd, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(int id, CWnd* parentDialog) {
    if (parentDialog == nullptr) return FALSE;
    return SubclassWindow(::GetDlgItem(parentDialog->m_hWnd, id));
}

HWND CWnd::UnsubclassWindow() {
    const HWND hwnd = m_hWnd;
    if (hwnd == nullptr || m_pfnSuper == nullptr) return nullptr;
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    detach(hwnd);
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND child = nullptr;
    if (msg == WM_COMMAND || (msg >= 0x0132 && msg <= 0x0138))  // WM_CTLCOLOR*
        child = reinterpret_cast<HWND>(lParam);
    else if (msg == WM_NOTIFY && lParam != 0)
        child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    if (child == nullptr || child == m_hWnd) return FALSE;
    CWnd* wnd = lookup(child);
    if (wnd == nullptr) return FALSE;
    LRESULT answer = 0;
    if (!wnd->OnChildNotify(msg, wParam, lParam, &answer)) return FALSE;
    if (result) *result = answer;
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectToChild(msg, wParam, lParam, &result)) return result;
    return Default();
}

LRESULT CWnd::Default() {
    if (m_pfnSuper != nullptr) return CallWindowProcA(m_pfnSuper, m_hWnd, m_current.msg, m_current.wParam, m_current.lParam);
    return DefWindowProcA(m_hWnd, m_current.msg, m_current.wParam, m_current.lParam);
}

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
        wnd->m_pfnSuper = nullptr;
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
        if (preTranslate(&msg)) continue;
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

HINSTANCE AfxGetResourceHandle() {
    if (HINSTANCE module = g_resources.load()) return module;
    CWinApp* app = AfxGetApp();
    return app ? app->m_hInstance : nullptr;
}

void AfxSetResourceHandle(HINSTANCE module) { g_resources.store(module); }

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
