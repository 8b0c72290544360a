#include "session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "com/dataobject.h"
#include "crypt/providers.h"
#include "registry/hives.h"
#include "shared/certificate_record.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shellext/menu/context_menu.h"
#include "shellext/menu/dialogs.h"
#include "shellext/process_state.h"
#include "support/fixtures.h"
#include "ui/resources.h"

namespace vlt::vtmtest {
namespace {

using frontends::TranscriptEntry;

constexpr const char* kShellClass = "VltVtmTestShell";

LRESULT shellProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void setBinary(HKEY root, const char* key, const char* name, const std::vector<unsigned char>& data) {
    RegistryKey k;
    ASSERT_EQ(k.Create(root, key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k.Handle(), name, 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
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

// ---- Front end ----------------------------------------------------------------------------------

int SpyFrontend::messageBox(const ui::MessageBoxRequest& request) {
    if (onMessageBox) onMessageBox(request);
    return headless.messageBox(request);
}

ui::SaveDialogAnswer SpyFrontend::saveDialog(const ui::SaveDialogRequest& request) {
    return headless.saveDialog(request);
}

void SpyFrontend::windowShown(HWND hwnd) {
    headless.windowShown(hwnd);
    ui::WindowState d;
    if (onShown && ui::describe(hwnd, d) && d.kind == ui::WindowKind::Dialog) onShown(hwnd, d.id);
}

void SpyFrontend::windowChanged(HWND hwnd, ui::Change what) {
    if (onChanged) onChanged(hwnd, what);
    headless.windowChanged(hwnd, what);
}

void SpyFrontend::windowClosing(HWND hwnd) {
    ui::WindowState d;
    if (onClosing && ui::describe(hwnd, d) && d.kind == ui::WindowKind::Dialog) onClosing(hwnd, d.id);
    headless.windowClosing(hwnd);
}

UINT SpyFrontend::popupMenu(const ui::PopupMenuRequest& request) { return headless.popupMenu(request); }

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
    registry::resetHives();
    crypt::resetForTesting();
    layout::declareVolatileValues();
    shellext::clearPassword();
    shellext::g_busy.store(0);
    shellext::g_cancel.store(0);
    ui::setFrontend(&m_spy);
    installOwnerProfile();
    setSetting(layout::kEncrypt, kEnhancedRc2);
    m_window = CreateWindowExA(0, kShellClass, "Explorer", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, testModule(),
                               nullptr);
    EXPECT_NE(m_window, nullptr);
}

Session::~Session() {
    if (m_window) DestroyWindow(m_window);
    ui::setFrontend(nullptr);
    shellext::clearPassword();
    shellext::g_busy.store(0);
    shellext::g_cancel.store(0);
    registry::resetHives();
}

void Session::installOwnerProfile() {
    using test::fixture;
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob1, fixture("profile/base/cert-record.bin"));
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob2, fixture("profile/base/wrapped-key.bin"));
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob3,
              fixture("profile/enhanced/cert-record.bin"));
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob4,
              fixture("profile/enhanced/wrapped-key.bin"));
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    ASSERT_EQ(k.SetDword(1, layout::kInitUser), ERROR_SUCCESS);
}

void Session::removeProfile() {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    for (const char* name : {layout::kExchangeBlob1, layout::kExchangeBlob2, layout::kExchangeBlob3,
                             layout::kExchangeBlob4, layout::kInitUser})
        RegDeleteValueA(k.Handle(), name);
}

void Session::setSetting(const char* name, DWORD value) {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kSettingsKey), ERROR_SUCCESS);
    ASSERT_EQ(k.SetDword(value, name), ERROR_SUCCESS);
}

void Session::fillCache(const std::string& profile) {
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTempExchangeBlob1,
              test::fixture(profile + "/base/plain-key.bin"));
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTempExchangeBlob2,
              test::fixture(profile + "/enhanced/plain-key.bin"));
}

void Session::clearCache() {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob1);
    RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob2);
}

bool Session::cachePresent() const {
    RegistryKey k;
    if (k.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    return RegQueryValueExA(k.Handle(), layout::kTempExchangeBlob1, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

void Session::addToStore(const std::string& name, const std::string& profile, DWORD algorithmWord, DWORD storeFlag) {
    CertificateStoreEntry entry;
    entry.algorithm = algorithmWord;
    entry.enhancedRecord = test::fixture(profile + "/enhanced/cert-record.bin");
    entry.baseRecord = test::fixture(profile + "/base/cert-record.bin");
    setBinary(storeFlag == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, layout::kCertificateKey, name.c_str(),
              buildCertificateStoreEntry(entry));
}

shellext::RunReport Session::lockDirect(const std::vector<std::string>& files, const std::string& recipient,
                                        DWORD storeFlag) {
    shellext::OperationRequest request;
    request.selection = files;
    request.recipient = recipient;
    request.storeFlag = storeFlag;
    shellext::g_busy.store(1);
    auto report = shellext::runLock(request);
    shellext::g_busy.store(0);
    return report;
}

shellext::RunReport Session::unlockDirect(const std::vector<std::string>& files, const std::string& password) {
    if (!password.empty()) shellext::setPassword(password.data(), password.size());
    shellext::OperationRequest request;
    request.selection = files;
    shellext::g_busy.store(1);
    auto report = shellext::runUnlock(request);
    shellext::g_busy.store(0);
    return report;
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

std::vector<std::string> Session::messages() const {
    std::vector<std::string> out;
    for (const auto& e : m_spy.headless.messageBoxes()) out.push_back(e.text);
    return out;
}

std::vector<TranscriptEntry> Session::shown(int resourceId) const {
    std::vector<TranscriptEntry> out;
    for (const auto& e : m_spy.headless.transcript())
        if (e.kind == TranscriptEntry::Kind::DialogShown && e.resourceId == resourceId) out.push_back(e);
    return out;
}

std::vector<TranscriptEntry> Session::closed(int resourceId) const {
    std::vector<TranscriptEntry> out;
    for (const auto& e : m_spy.headless.transcript())
        if (e.kind == TranscriptEntry::Kind::DialogClosed && e.resourceId == resourceId) out.push_back(e);
    return out;
}

std::vector<std::string> Session::notes() const {
    std::vector<std::string> out;
    for (const auto& e : m_spy.headless.transcript())
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
