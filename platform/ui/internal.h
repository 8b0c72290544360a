// The window runtime's shared state, for its own files only: the handle tables, the message
// queue of every thread, timers. One mutex guards all of it; window procedures, front-end
// callbacks and remote hooks are always called with it released.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/export.h"
#include "base/wipe.h"
#include "ui/frontend.h"
#include "ui/resources.h"
#include "ui/state.h"
#include "win32/commctrl.h"
#include "win32/winbase.h"
#include "win32/winuser.h"

namespace vlt::ui::detail {

struct Queue;

struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<Queue> sender;
};

struct InputAction {
    HWND hwnd = nullptr;
    std::function<void()> action;
};

// A thread's message queue; made on the thread's first window-system call.
struct Queue {
    DWORD threadId = 0;
    std::condition_variable changed;
    std::deque<std::shared_ptr<SentMessage>> sent;  // waiting senders, oldest first
    std::deque<MSG> posted;
    std::deque<InputAction> input;
    bool quit = false;
    int quitCode = 0;
    bool alive = true;
    HWND focus = nullptr;
    std::uint64_t activity = 0;  // messages and actions handled on this thread
};

struct Item {
    std::string text;
    int image = 0;
    LPARAM param = 0;
    UINT state = 0;  // LVIS_*
};

// A tooltip's tool: the control it was found to cover when it was added (nullptr: none).
struct Tool {
    HWND owner = nullptr;  // TTTOOLINFOA::hwnd
    UINT_PTR id = 0;
    UINT flags = 0;
    RECT rect{};
    std::string text;
    HWND covers = nullptr;
};

struct Window {
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window() { base::secureWipe(text); }  // what was typed (a password) goes with the window

    HWND hwnd = nullptr;
    std::shared_ptr<Queue> queue;
    WindowKind kind = WindowKind::TopLevel;
    ControlKind control = ControlKind::Static;
    std::string className;
    WNDPROC proc = nullptr;
    DLGPROC dlgProc = nullptr;
    HINSTANCE module = nullptr;
    HWND parent = nullptr;  // a child's parent; a top-level window's owner
    std::vector<HWND> children;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    LONG_PTR userData = 0;
    std::vector<unsigned char> extra;  // cbWndExtra; DWLP_* for dialogs
    bool messageOnly = false;
    bool destroying = false;
    bool shown = false;          // the front end was told (windowShown)
    bool titleReported = false;  // the remote hook was told
    // Dialogs
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND disabledOwner = nullptr;  // re-enabled when the dialog ends
    // Controls
    int check = BST_UNCHECKED;
    int rangeMin = 0, rangeMax = 100, position = 0, step = 10, steps = 0;
    std::vector<Item> items;
    int selection = -1;  // combo box
    HIMAGELIST imageLists[2]{};
    int iconId = 0;
    int animationId = 0;
    bool playing = false;
    int textLimit = 32767;
    // Drawing state (gdi.cpp, tooltips.cpp)
    std::string tip;
    bool hasTextColor = false;
    COLORREF textColor = 0;
    bool transparent = false;
    bool underline = false;
    int cursorId = 0;
    HFONT font = nullptr;             // WM_SETFONT; controls of a dialog start with the dialog's
    bool invalid = false;             // needs WM_PAINT
    std::vector<PaintOp> paint;       // what the last WM_PAINT drew
    std::vector<PaintOp> painting;    // being drawn between BeginPaint and EndPaint
    // Tooltip windows: never shown themselves, their tools give controls their tips
    bool tooltip = false;
    std::vector<Tool> tools;
};

struct Timer {
    HWND hwnd = nullptr;
    DWORD threadId = 0;
    UINT_PTR id = 0;
    UINT period = 0;
    std::uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

struct ClassInfo {
    std::string name;
    WNDPROC proc = nullptr;
    HINSTANCE module = nullptr;
    int wndExtra = 0;
    ATOM atom = 0;
};

struct State {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel;  // creation order
    std::unordered_map<DWORD, std::shared_ptr<Queue>> queues;
    std::map<std::string, ClassInfo> classes;  // by lower-case name
    std::vector<Timer> timers;
    std::uintptr_t nextHandle = 0x00010020;
    UINT_PTR nextThreadTimer = 0x7FF0;
    ATOM nextAtom = 0xC000;
    HWND foreground = nullptr;
};

// Never destroyed: threads that end during exit still find it. (Exported with findLocked for
// the tests that look inside a control.)
VLT_EXPORT State& state();

// The calling thread's queue, made on first use.
std::shared_ptr<Queue> currentQueue();

std::uintptr_t newHandleLocked();
VLT_EXPORT std::shared_ptr<Window> findLocked(HWND hwnd);
// Sets ERROR_INVALID_WINDOW_HANDLE and gives back the caller's failure result.
template <typename R>
R invalidWindow(R failure) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return failure;
}
// Runs f(window) with the lock held and gives back what it returns. For a handle that is no
// window (never was, or destroyed), f does not run and `failure` comes back: with
// ERROR_INVALID_WINDOW_HANDLE as the last error, or the last error left alone for Quiet
// (steps inside the runtime, and the calls that answer FALSE without an error).
enum class IfGone { Fail, Quiet };
template <IfGone Gone = IfGone::Fail, typename R, typename F>
R withWindow(HWND hwnd, R failure, F&& f) {
    std::lock_guard lock(state().mutex);
    auto w = findLocked(hwnd);
    if (!w) return Gone == IfGone::Fail ? invalidWindow(failure) : failure;
    return f(*w);
}
inline HWND desktopWindow() { return reinterpret_cast<HWND>(std::uintptr_t{0x00010010}); }

// Wakes the thread of a queue (its condition variable and the front end's event loop).
void wakeLocked(Queue& queue);
void wakeFrontend();

// Calls the window's current procedure on the calling thread (counts as handled activity).
LRESULT callWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Handles every message that other threads sent to the calling thread. true when some were.
bool handleSentMessages(Queue& queue);

enum class Next { Message, Quit, Stopped, Empty, Invalid };
// The calling thread's next message as GetMessage/PeekMessage deliver it, handling sent
// messages and injected input along the way. stopLocked (called with the lock held) ends a
// wait early; without wait, returns Empty when nothing is due.
Next nextMessage(MSG* out, HWND filter, UINT first, UINT last, bool remove, bool wait,
                 const std::function<bool()>& stopLocked);

// Timers of the calling thread: the earliest due time, and a WM_TIMER that is due now.
bool takeTimerLocked(Queue& queue, MSG* out, HWND filter, UINT first, UINT last, bool remove);
bool timerDueLocked(const Queue& queue, HWND filter, UINT first, UINT last);
std::uint64_t nextTimerDueLocked(const Queue& queue);
void removeTimersLocked(HWND hwnd);
void removeThreadTimersLocked(DWORD threadId);

// Window creation with a known control kind (dialog templates use it).
struct CreateParams {
    DWORD exStyle = 0;
    std::string className;
    std::string text;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    HWND parent = nullptr;
    int id = 0;
    HINSTANCE module = nullptr;
    LPVOID createParam = nullptr;
    bool dialog = false;
    DLGPROC dlgProc = nullptr;
    bool hasControlKind = false;
    ControlKind control = ControlKind::Static;
    int iconId = 0;
};
HWND createWindow(const CreateParams& params);

// A dialog from a registered template, its controls and WM_INITDIALOG; null (with the
// error) when the template is unknown or a window could not be made. With `child`, a
// WS_CHILD dialog of parent at that place (a property page).
struct ChildPlacement {
    int x = 0, y = 0;
};
HWND createFromTemplate(HINSTANCE module, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param, bool modal,
                        const ChildPlacement* child = nullptr);
// The first child of parent with that control id, or nullptr.
HWND childWithIdLocked(const Window& parent, int id);
// Makes the dialog visible and tells the front end (windowShown, once), unless it ended.
void showDialog(HWND dialog);
// The modal loop of a dialog made already: disables its owner, shows it, handles messages
// until EndDialog, enables the owner again and destroys the dialog. The EndDialog value.
// afterShow runs once the dialog is shown (a sheet shows its start page then).
INT_PTR runModal(HWND dialog, const std::function<void()>& afterShow = {});

// Built-in control classes.
WNDPROC builtinClassProc(const std::string& lowerName);
ControlKind controlKindFor(const std::string& lowerName, DWORD style);
LRESULT dialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Drawing (gdi.cpp, tooltips.cpp).
LRESULT tooltipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The tooltip's tools go: the controls they covered lose their tips (no lock held).
void dropTools(HWND tooltip);
// A static control asks its parent for its colours (WM_CTLCOLORSTATIC) and keeps the answer.
void refreshStaticColors(HWND control);
// Marks a window for painting: statics ask for their colours at once, other windows get a
// WM_PAINT posted (once until painted).
void invalidate(HWND hwnd);
// WM_SETCURSOR to a control under the pointer; the cursor it set is kept on it.
bool hoverNow(HWND control);
// A window appears: its statics ask for their colours, then it gets WM_PAINT.
void firstPaint(HWND window);
// The window's origin on the screen, in the runtime's units; false when it is gone.
bool originLocked(const Window& w, POINT& out);
// A font for a dialog template's face and point size (shared, never freed).
HFONT dialogFont(const std::string& face, int pointSize);

// A child window's parent and control id; false for a window that is not a child.
bool controlParent(HWND control, HWND& parent, int& id);
// Sends WM_COMMAND(id, code) from a control to its parent.
void notifyParentCommand(HWND control, WORD code);

// The front end, or nullptr.
inline Frontend* fe() { return frontend(); }
void changed(HWND hwnd, Change what);

// Remote hook calls (no lock held).
void reportTitle(HWND hwnd);
void reportDestroyed(HWND hwnd);
bool remoteSend(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
bool remotePost(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam);
bool remoteIsWindow(HWND proxy);
HWND remoteFind(const char* className, const char* title);

// The window is gone: its notification-area icons go too (no lock held).
void dropNotifyIcons(HWND owner);

std::string lower(std::string s);
bool equalsNoCase(const std::string& a, const std::string& b);

// Input carried out on the owning thread; false when the control cannot take it (disabled,
// wrong kind, no such item).
bool clickNow(HWND control);
bool listClickNow(HWND list, int index, bool doubleClick);
bool comboSelectNow(HWND combo, int index);
bool tabSelectNow(HWND tab, int index);
LRESULT tabControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace vlt::ui::detail
