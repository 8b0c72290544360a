// The shell extension's own dialogs in real windows: the unlock command's password prompt and
// the grant dialog, driven through the Qt widgets while the extension's modal loops run.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "frontends/qt/qt_frontend.h"
#include "hosts/shell/shell_host.h"
#include "qt_support.h"
#include "registry/hives.h"
#include "support/fixtures.h"
#include "support/sandbox.h"
#include "win32/winreg.h"

namespace vlt::testing::qt {
namespace {

using test::fixture;

void setBinary(HKEY root, const char* key, const char* name, const std::vector<unsigned char>& data) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, name, 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
    RegCloseKey(h);
}

void setDword(const char* key, const char* name, DWORD value) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
    RegCloseKey(h);
}

constexpr const char* kProfile = "Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";
constexpr const char* kSettings = "Software\\Quillon Softworks\\Vaultine\\1.00\\Settings";
constexpr const char* kStore = "Software\\Quillon Softworks\\Vaultine\\1.00\\Certificate";

class ShellExtensionInQt : public ::testing::Test {
protected:
    void SetUp() override {
        registry::resetHives();  // this test's sandbox, not the last one's
        setenv("VLT_SYSTEM_DIR", (std::string(VLT_BINARY_DIR) + "/shellext").c_str(), 1);
        setBinary(HKEY_CURRENT_USER, kProfile, "ExchangeBlob1", fixture("profile/base/cert-record.bin"));
        setBinary(HKEY_CURRENT_USER, kProfile, "ExchangeBlob2", fixture("profile/base/wrapped-key.bin"));
        setBinary(HKEY_CURRENT_USER, kProfile, "ExchangeBlob3", fixture("profile/enhanced/cert-record.bin"));
        setBinary(HKEY_CURRENT_USER, kProfile, "ExchangeBlob4", fixture("profile/enhanced/wrapped-key.bin"));
        setDword(kProfile, "InitUser", 1);
        setDword(kSettings, "Encrypt", 0x10006602);
        ui::setFrontend(&m_frontend);
    }
    void TearDown() override {
        ui::setFrontend(nullptr);
        registry::resetHives();
    }

    test::Sandbox m_box;
    frontends::QtFrontend m_frontend;
};

TEST_F(ShellExtensionInQt, PasswordTypedInTheWindowUnlocksTheFile) {
    const std::string file = m_box.path("memo.txt");
    test::writeFile(file, std::string("for your eyes"));
    {
        host::ShellHost shell;
        ASSERT_TRUE(shell.load({file}));
        shell.buildMenu();
        ASSERT_TRUE(shell.invoke("Vaultine", 0));  // lock: no dialog but the progress
    }
    std::remove(file.c_str());

    bool typed = false;
    auto timer = poll([&] {
        m_frontend.sync();
        auto* dialog = findTopLevel<QWidget>("vlt_dialog_130");
        if (!dialog) return false;
        auto* edit = dialog->findChild<QLineEdit*>("vlt_control_1000");
        auto* ok = dialog->findChild<QPushButton*>("vlt_control_1");
        if (!edit || !ok) return false;
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        typeText(edit, "Lantern-Frost 1984");
        ok->click();
        typed = true;
        return true;
    });
    host::ShellHost shell;
    ASSERT_TRUE(shell.load({file + ".Vtf"}));
    shell.buildMenu();
    ASSERT_TRUE(shell.invoke("Vaultine", 2));
    EXPECT_TRUE(typed);
    EXPECT_EQ(test::readFile(file), std::vector<unsigned char>({'f', 'o', 'r', ' ', 'y', 'o', 'u', 'r', ' ', 'e', 'y', 'e', 's'}));
}

TEST_F(ShellExtensionInQt, GrantDialogListsBothStoresAndLocksForTheChosenPerson) {
    std::vector<unsigned char> entry = {0x02, 0x66, 0x00, 0x00};  // the contact's word: Base RC2
    const auto enhanced = fixture("contact/enhanced/cert-record.bin");
    const auto base = fixture("contact/base/cert-record.bin");
    auto put = [&](const std::vector<unsigned char>& record) {
        const auto n = static_cast<std::uint32_t>(record.size());
        for (int i = 0; i < 4; ++i) entry.push_back(static_cast<unsigned char>(n >> (8 * i)));
        entry.insert(entry.end(), record.begin(), record.end());
    };
    put(enhanced);
    put(base);
    setBinary(HKEY_CURRENT_USER, kStore, "Tomas Reyes", entry);
    setBinary(HKEY_LOCAL_MACHINE, kStore, "Office Printer Room", entry);

    const std::string file = m_box.path("minutes.txt");
    test::writeFile(file, std::string("minutes"));
    QStringList personal, system;
    auto timer = poll([&] {
        m_frontend.sync();
        auto* dialog = findTopLevel<QWidget>("vlt_dialog_141");
        if (!dialog) return false;
        auto* mine = dialog->findChild<QListWidget*>("vlt_control_1001");
        auto* machine = dialog->findChild<QListWidget*>("vlt_control_1002");
        auto* lock = dialog->findChild<QPushButton*>("vlt_control_1000");
        if (!mine || !machine || !lock || mine->count() == 0) return false;
        for (int i = 0; i < mine->count(); ++i) personal << mine->item(i)->text();
        for (int i = 0; i < machine->count(); ++i) system << machine->item(i)->text();
        // A click on the name, as a user picks it, then "&Lock".
        QTest::mouseClick(mine->viewport(), Qt::LeftButton, {}, mine->visualItemRect(mine->item(0)).center());
        lock->click();
        return true;
    });
    host::ShellHost shell;
    ASSERT_TRUE(shell.load({file}));
    shell.buildMenu();
    ASSERT_TRUE(shell.invoke("Vaultine", 1));
    EXPECT_EQ(personal, QStringList{"Tomas Reyes"});
    EXPECT_EQ(system, QStringList{"Office Printer Room"});
    const auto locked = test::readFile(file + ".Vtf");
    ASSERT_GT(locked.size(), 100u);
    // The sender is the owner; the key block's word is the contact's.
    const std::string text(locked.begin(), locked.end());
    EXPECT_NE(text.find("Marta Okafor"), std::string::npos);
}

}  // namespace
}  // namespace vlt::testing::qt
