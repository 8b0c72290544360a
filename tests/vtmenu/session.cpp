#include "session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "com/dataobject.h"
#include "shellext/menu/context_menu.h"
#include "shellext/menu/dialogs.h"
#include "ui/resources.h"

namespace vlt::vtmtest {
namespace {

using frontends::TranscriptEntry;

constexpr const char* kShellClass = "VltVtmTestShell";

LRESULT shellProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The dialogs, icons and clips of the handler linked into this program live in its module,
// as the library's live in the library's.
void registerOnce() {
    static const bool done = [] {
        shellext::registerDialogs(testModule());
        WNDCLASSA wc{};
        wc.lpfnWndProc = shellProc;
        wc.hInstance = testModule();
        wc.lpszClassName = kShellClass;
        RegisterClassA(&wc);
        return true;
    }();
    (void)done;
}

}  // namespace

HINSTANCE testModule() {
    static int anchor;
    return ui::moduleOf(&anchor);
}

// ---- Handler ------------------------------------------------------------------------------------

HandlerRef::HandlerRef(HandlerRef&& other) noexcept : init(other.init), menu(other.menu) {
    other.init = nullptr;
    other.menu = nullptr;
}

HandlerRef::~HandlerRef() {
    if (menu) menu->Release();
    if (init) init->Release();
}

// ---- Session ------------------------------------------------------------------------------------

Session::Session() {
    registerOnce();
    m_window = CreateWindowExA(0, kShellClass, "Explorer", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, testModule(),
                               nullptr);
    EXPECT_NE(m_window, nullptr);
}

Session::~Session() {
    if (m_window) DestroyWindow(m_window);
}

HandlerRef Session::handlerFrom(IClassFactory* factory, const std::vector<std::string>& files) {
    HandlerRef h;
    void* init = nullptr;
    if (factory == nullptr || FAILED(factory->CreateInstance(nullptr, IID_IShellExtInit, &init))) return h;
    h.init = static_cast<IShellExtInit*>(init);
    void* menu = nullptr;
    if (FAILED(h.init->QueryInterface(IID_IContextMenu, &menu))) return h;
    h.menu = static_cast<IContextMenu*>(menu);
    IDataObject* data = com::makeFileListDataObject(files);
    EXPECT_NE(data, nullptr);
    if (data) {
        EXPECT_EQ(h.init->Initialize(nullptr, data, nullptr), S_OK);
        data->Release();
    }
    return h;
}

HandlerRef Session::handler(const std::vector<std::string>& files) {
    auto* factory = new shellext::CContextMenuFactory;
    factory->AddRef();
    HandlerRef h = handlerFrom(factory, files);
    factory->Release();
    return h;
}

HRESULT Session::invoke(IContextMenu* menu, UINT offset) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = m_window;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
}

std::vector<Posted> Session::takeFocusMessages() {
    std::vector<Posted> out;
    MSG m{};
    while (PeekMessageA(&m, m_window, WM_SETFOCUS, WM_KILLFOCUS, PM_REMOVE)) out.push_back({m.message, m.wParam, m.lParam});
    return out;
}

std::vector<TranscriptEntry> Session::shown(int resourceId) const {
    std::vector<TranscriptEntry> out;
    for (const auto& e : ui().transcript())
        if (e.kind == TranscriptEntry::Kind::DialogShown && e.resourceId == resourceId) out.push_back(e);
    return out;
}

std::vector<TranscriptEntry> Session::closed(int resourceId) const {
    std::vector<TranscriptEntry> out;
    for (const auto& e : ui().transcript())
        if (e.kind == TranscriptEntry::Kind::DialogClosed && e.resourceId == resourceId) out.push_back(e);
    return out;
}

std::vector<std::string> Session::notes() const {
    std::vector<std::string> out;
    for (const auto& e : ui().transcript())
        if (e.kind == TranscriptEntry::Kind::Note) out.push_back(e.text);
    return out;
}

// ---- Helpers ------------------------------------------------------------------------------------

const frontends::ControlRecord& control(const frontends::TranscriptEntry& dialog, int id) {
    for (const auto& c : dialog.controls)
        if (c.id == id) return c;
    ADD_FAILURE() << "dialog " << dialog.resourceId << " has no control " << id;
    static const frontends::ControlRecord none;
    return none;
}

std::vector<unsigned char> pattern(std::size_t n, unsigned seed) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 31 + seed) & 0xFF);
    return v;
}

std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace vlt::vtmtest
