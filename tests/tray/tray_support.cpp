#include "tray_support.h"

#include "registry/hives.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "tray/messages.h"
#include "ui/frontend.h"
#include "ui/loop.h"

namespace vlt::test {

TrayTest::TrayTest() {
    registry::resetHives();
    base::setClock(&m_clock);
    ui::setFrontend(&m_ui);
}

TrayTest::~TrayTest() {
    if (m_app && m_app->Window() && m_app->Window()->m_hWnd) stop();
    m_app.reset();
    pump();
    // A window that ended posts WM_QUIT; the next test starts with an empty queue.
    MSG m{};
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    ui::setFrontend(nullptr);
    base::setClock(nullptr);
    registry::resetHives();
}

bool TrayTest::start() {
    m_app = std::make_unique<tray::CTrayApp>();
    return m_app->InitInstance() != FALSE;
}

void TrayTest::stop() {
    PostMessageA(hwnd(), WM_COMMAND, tray::kExitCommand, 0);
    pump();
    m_app->ExitInstance();
}

void TrayTest::tick(int n) {
    for (int i = 0; i < n; ++i) {
        m_clock.advanceMs(1000);
        ui::pumpMessages();
    }
}

void TrayTest::pump() { ui::pumpMessages(); }

LRESULT TrayTest::send(UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageA(hwnd(), msg, wParam, lParam); }

void TrayTest::fillCache() {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    const BYTE key1[] = {7, 2, 0, 0, 0, 0xA4, 0, 0};
    const BYTE key2[] = {7, 2, 0, 0, 0, 0xA4, 0, 1};
    ASSERT_EQ(RegSetValueExA(k.Handle(), layout::kTempExchangeBlob1, 0, REG_BINARY, key1, sizeof key1), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k.Handle(), layout::kTempExchangeBlob2, 0, REG_BINARY, key2, sizeof key2), ERROR_SUCCESS);
}

bool TrayTest::cachePresent(const char* name) {
    RegistryKey k;
    if (k.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    return RegQueryValueExA(k.Handle(), name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

void TrayTest::unlockNotified() {
    fillCache();
    EXPECT_EQ(send(kTrayUnlockedMessage), 0);
}

void TrayTest::setProfileDword(const char* name, DWORD value) {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    ASSERT_EQ(k.SetDword(value, name), ERROR_SUCCESS);
}

void TrayTest::setSetting(const char* name, DWORD value) {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kSettingsKey), ERROR_SUCCESS);
    ASSERT_EQ(k.SetDword(value, name), ERROR_SUCCESS);
}

const frontends::TrayIconRecord* TrayTest::icon() {
    m_icons = m_ui.trayIcons();
    return m_icons.empty() ? nullptr : &m_icons.back();
}

std::vector<std::string> TrayTest::menus() const {
    std::vector<std::string> out;
    std::string all = m_ui.transcriptText();
    for (std::size_t at = 0; (at = all.find("menu [", at)) != std::string::npos;) {
        const auto end = all.find('\n', at);
        out.push_back(all.substr(at, end - at));
        at = end;
    }
    return out;
}

}  // namespace vlt::test
