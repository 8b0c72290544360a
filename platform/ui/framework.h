// The framework the deliverables' programs are written in, kept thin over the window runtime:
// a base object with run-time class names, a window whose messages go to a virtual function of
// a C++ object, and the application object that owns a program's main window and message loop.
// Dialogs, property sheets and pages with data exchange build on CWnd the same way.
#pragma once

#include <string>

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

// What an object says about its class: its name and its base's record (null for CObject).
struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

// Inside a class derived from CObject: declares its run-time class record.
#define VLT_DECLARE_DYNAMIC(name)                             \
public:                                                       \
    static const ::vlt::ui::CRuntimeClass& runtimeClass();    \
    const ::vlt::ui::CRuntimeClass* GetRuntimeClass() const override;

// In one source file: the record, named as the class and chained to the base's.
#define VLT_IMPLEMENT_DYNAMIC(name, base)                                                   \
    const ::vlt::ui::CRuntimeClass& name::runtimeClass() {                                  \
        static const ::vlt::ui::CRuntimeClass record{#name, &base::runtimeClass()};         \
        return record;                                                                      \
    }                                                                                       \
    const ::vlt::ui::CRuntimeClass* name::GetRuntimeClass() const { return &runtimeClass(); }

class CObject {
public:
    static const CRuntimeClass& runtimeClass();
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    // The base class's storage and diagnostic operations; nothing to store, check or print.
    virtual void Serialize() {}
    virtual void AssertValid() const {}
    virtual void Dump() const {}

    bool IsKindOf(const CRuntimeClass& cls) const { return GetRuntimeClass()->IsDerivedFrom(&cls); }

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

// A window handled by a C++ object. Every message of the window, WM_CREATE included, reaches
// WindowProc; what it does not handle goes to Default(). The window is the object's until
// WM_NCDESTROY; a CWnd that is destroyed first destroys its window.
class CWnd : public CObject {
    VLT_DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // CreateWindowExA with this object as the window's handler. className must be registered
    // with the framework's procedure (AfxRegisterWndClass). FALSE when creation failed (also
    // when WM_CREATE returned -1).
    BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int cx, int cy,
                  HWND parent, HMENU menu, LPVOID param = nullptr);
    virtual BOOL DestroyWindow();

    // The object handling hwnd, or null (a window the framework did not make).
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Controls of a dialog and the window's own state.
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetDlgItemText(int id, LPCSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }
    std::string GetDlgItemText(int id) const;
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    std::string GetWindowText() const;
    // The framework's object of the parent (a child) or owner window; null when there is none
    // or the framework did not make it.
    CWnd* GetParent() const;
    // Centres the window on `alternate` (its owner when null), or on the screen when there is
    // none, kept inside the screen.
    void CenterWindow(CWnd* alternate = nullptr);
    // The window is painted again.
    void Invalidate(BOOL erase = TRUE);
    BOOL ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, elapse, proc); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::PostMessageA(m_hWnd, msg, wParam, lParam); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageA(m_hWnd, msg, wParam, lParam); }
    // A message box owned by this window; without a caption, the application's name.
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);

    // Takes over a window the framework did not make (a dialog's control): its messages reach
    // this object first, and Default() hands them to the procedure it had. FALSE when this
    // object already has a window or hwnd already has an object.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(int id, CWnd* parentDialog);
    // Gives the window its procedure back; returns it.
    HWND UnsubclassWindow();

    // Reflection: a WM_COMMAND, WM_NOTIFY or WM_CTLCOLOR* that this window's parent receives
    // from it is offered here first. TRUE = handled, *result is the parent's answer.
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A message for this window or one of its children, before a framework-run message loop
    // (the application's, a modal dialog's, a property sheet's) dispatches it. TRUE = eaten.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // The procedure of every window class registered with AfxRegisterWndClass.
    static LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    // The window's message map. The default offers WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR* to
    // the child they come from (ReflectToChild); the rest, and what the child leaves, goes
    // to Default().
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Offers a child's notification to the child's object. TRUE = the child handled it.
    BOOL ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The default handling of the message being handled: the procedure the window had before
    // it was subclassed, else DefWindowProcA.
    LRESULT Default();
    // After the window's last message (WM_NCDESTROY); the object is no longer attached.
    virtual void PostNcDestroy() {}

private:
    struct Current {
        UINT msg = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    Current m_current;
    WNDPROC m_pfnSuper = nullptr;  // a subclassed window's own procedure
};

// The application object: one per program, made before anything else of the framework is used.
// Main() runs InitInstance, then the message loop while InitInstance succeeded, then
// ExitInstance, and returns the program's exit status. When the main window is destroyed the
// message loop ends.
class CWinApp : public CObject {
    VLT_DECLARE_DYNAMIC(CWinApp)
public:
    // appName: the module's name, the caption of message boxes that have none of their own.
    // module: where the program's resources are registered.
    CWinApp(const char* appName, HINSTANCE module);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    const char* m_pszAppName;
    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;

    virtual BOOL InitInstance() { return TRUE; }
    // GetMessage/DispatchMessage until WM_QUIT, then ExitInstance with the quit code.
    virtual int Run();
    // Called last; returns the exit status (the quit code, or 1 when InitInstance failed).
    virtual int ExitInstance();
    // InitInstance, then Run; ExitInstance alone when InitInstance failed.
    int Main();

    // The three-dimensional control look of old Windows: the front end draws as it does.
    void Enable3dControls() {}

protected:
    int m_exitCode = 0;
};

// The application object of the process, or null.
CWinApp* AfxGetApp();
// The module whose dialog templates and strings the framework loads: the one set, else the
// application's.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);
// Makes the window runtime's modal loops (dialogs, property sheets) offer each message to
// PreTranslateMessage; the framework's DoModal calls it.
void installMessageFilter();
// A message box captioned with the application's name.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK);
// Registers (once) a window class with the framework's procedure and these attributes, and
// returns its name; empty when it cannot be registered.
std::string AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                HICON icon = nullptr);

}  // namespace vlt::ui

VLT_EXPORT_END
