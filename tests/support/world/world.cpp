#include "support/world/world.h"

#include <gtest/gtest.h>

#include "crypt/providers.h"
#include "registry/hives.h"
#include "shared/certificate_record.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shellext/process_state.h"
#include "support/fixtures.h"
#include "ui/state.h"

namespace vlt::test {
namespace {

void setBinary(HKEY root, const char* key, const char* name, const std::vector<unsigned char>& data) {
    RegistryKey k;
    ASSERT_EQ(k.Create(root, key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k.Handle(), name, 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

}  // namespace

int SpyFrontend::messageBox(const ui::MessageBoxRequest& request) {
    if (onMessageBox) onMessageBox(request);
    return headless.messageBox(request);
}

ui::FileDialogAnswer SpyFrontend::saveDialog(const ui::FileDialogRequest& request) {
    return headless.saveDialog(request);
}

ui::FileDialogAnswer SpyFrontend::openDialog(const ui::FileDialogRequest& request) {
    if (openDialogError != 0) return {false, "", openDialogError};
    return headless.openDialog(request);
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

World::World(ProfileOptions options) {
    registry::resetHives();
    crypt::resetForTesting();
    layout::declareVolatileValues();
    shellext::clearPassword();
    shellext::g_busy.store(0);
    shellext::g_cancel.store(0);
    ui::setFrontend(&m_spy);
    installOwnerProfile(options);
    setSetting(layout::kEncrypt, kEnhancedRc2);
}

World::~World() {
    ui::setFrontend(nullptr);
    shellext::clearPassword();
    shellext::g_busy.store(0);
    shellext::g_cancel.store(0);
    registry::resetHives();
}

void World::installOwnerProfile(ProfileOptions options) {
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob1, fixture("profile/base/cert-record.bin"));
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob2, fixture("profile/base/wrapped-key.bin"));
    if (options.enhanced) {
        setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob3,
                  fixture("profile/enhanced/cert-record.bin"));
        setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kExchangeBlob4,
                  fixture(options.legacyEnhanced ? "profile/enhanced/wrapped-key-legacy-rc2.bin"
                                                 : "profile/enhanced/wrapped-key.bin"));
    }
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    ASSERT_EQ(k.SetDword(1, layout::kInitUser), ERROR_SUCCESS);
}

void World::removeProfile() {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    for (const char* name : {layout::kExchangeBlob1, layout::kExchangeBlob2, layout::kExchangeBlob3,
                             layout::kExchangeBlob4, layout::kInitUser})
        RegDeleteValueA(k.Handle(), name);
}

void World::setSetting(const char* name, DWORD value) {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kSettingsKey), ERROR_SUCCESS);
    ASSERT_EQ(k.SetDword(value, name), ERROR_SUCCESS);
}

void World::deleteSetting(const char* name) {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kSettingsKey), ERROR_SUCCESS);
    RegDeleteValueA(k.Handle(), name);
}

void World::fillCache(const std::string& profile) {
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTempExchangeBlob1, fixture(profile + "/base/plain-key.bin"));
    setBinary(HKEY_CURRENT_USER, layout::kProfileKey, layout::kTempExchangeBlob2,
              fixture(profile + "/enhanced/plain-key.bin"));
}

void World::clearCache() {
    RegistryKey k;
    ASSERT_EQ(k.Create(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob1);
    RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob2);
}

bool World::cachePresent() const {
    RegistryKey k;
    if (k.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    return RegQueryValueExA(k.Handle(), layout::kTempExchangeBlob1, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

void World::addToStore(const std::string& name, const std::string& profile, DWORD algorithmWord, DWORD storeFlag) {
    CertificateStoreEntry entry;
    entry.algorithm = algorithmWord;
    entry.enhancedRecord = fixture(profile + "/enhanced/cert-record.bin");
    entry.baseRecord = fixture(profile + "/base/cert-record.bin");
    const auto bytes = buildCertificateStoreEntry(entry);
    setBinary(storeFlag == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, layout::kCertificateKey, name.c_str(), bytes);
}

shellext::RunReport World::lock(const std::vector<std::string>& files, const std::string& recipient, DWORD storeFlag) {
    shellext::OperationRequest request;
    request.selection = files;
    request.recipient = recipient;
    request.storeFlag = storeFlag;
    shellext::g_busy.store(1);
    auto report = shellext::runLock(request);
    shellext::g_busy.store(0);
    return report;
}

shellext::RunReport World::unlock(const std::vector<std::string>& files, const std::string& password) {
    if (!password.empty()) shellext::setPassword(password.data(), password.size());
    shellext::OperationRequest request;
    request.selection = files;
    shellext::g_busy.store(1);
    auto report = shellext::runUnlock(request);
    shellext::g_busy.store(0);
    return report;
}

std::vector<std::string> World::messages() const {
    std::vector<std::string> out;
    for (const auto& e : m_spy.headless.messageBoxes()) out.push_back(e.text);
    return out;
}

}  // namespace vlt::test
