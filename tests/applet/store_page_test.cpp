// The certificate-store pages: list order, import with its duplicate scan, same-name question
// and new names, delete with the twins' difference, and the system store of an ordinary user.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "applet/certificate_store.h"
#include "applet/resources.h"
#include "applet/store_page.h"
#include "applet_page_support.h"
#include "registry/hives.h"
#include "shared/file_header.h"
#include "shared/profile_file.h"
#include "support/fixtures.h"

namespace vlt::test {
namespace {

using applet::CPersonalStorePage;
using applet::CSystemStorePage;

const std::string kZoe = "Zo\xEB";  // "Zoë" in Windows-1252

class StorePageTest : public AppletPageTest {
protected:
    // A certificate file of the fixtures' contact under `name`, with `algorithm` as its word.
    std::string certificateFile(const std::string& name, DWORD algorithm = kEnhancedRc2) {
        auto record = parseCertificateRecord(fixture("contact/base/cert-record.bin"));
        EXPECT_TRUE(record);
        record->identity.displayName = name;
        CertificateStoreEntry entry;
        entry.algorithm = algorithm;
        entry.enhancedRecord = fixture("contact/enhanced/cert-record.bin");
        entry.baseRecord = buildCertificateRecord(*record);
        const std::string path = world.path(name + std::to_string(algorithm) + ".Vtp");
        writeFile(path, buildProfileFile(entry));
        return path;
    }

    std::vector<std::string> storeNames(CertificateStore store = CertificateStore::Personal) {
        return storeEntryNames(store);
    }

    // Imports `file` on the page, answering the questions that come up in order.
    template <typename Page>
    std::vector<std::string> importOn(Page& page, const std::string& file) {
        world.ui().answerOpenDialog(file);
        std::vector<std::string> shown;
        runPage(page, page.m_store.templateId, [&](HWND dialog) {
            ui::input::now::click(GetDlgItem(dialog, applet::kStoreImportButton));
            shown = itemTexts(GetDlgItem(dialog, applet::kStoreList));
        });
        return shown;
    }

    std::vector<ui::MessageBoxRequest> boxes;
    void recordBoxes() {
        world.spy().onMessageBox = [this](const ui::MessageBoxRequest& r) { boxes.push_back(r); };
    }
};

TEST_F(StorePageTest, ListsTheStoreInReverseOrder) {
    world.addToStore("Ana", "contact", kEnhancedRc2, 1);
    world.addToStore(kZoe, "contact", kEnhancedRc2, 1);
    world.addToStore("Bo", "contact", kEnhancedRc2, 1);
    CPersonalStorePage page;
    std::vector<std::string> shown;
    runPage(page, applet::kPersonalStorePage, [&](HWND dialog) { shown = itemTexts(GetDlgItem(dialog, applet::kStoreList)); });
    EXPECT_EQ(shown, (std::vector<std::string>{"Bo", kZoe, "Ana"}));
}

TEST_F(StorePageTest, ImportingTheSameFileTwiceWritesOnce) {
    const std::string file = certificateFile("Marta");
    recordBoxes();
    for (int round = 0; round < 2; ++round) {
        CPersonalStorePage page;
        EXPECT_EQ(importOn(page, file), std::vector<std::string>{"Marta"});
    }
    EXPECT_EQ(storeNames(), std::vector<std::string>{"Marta"});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "The Certificate for Marta already exists in the store.");
    EXPECT_EQ(boxes[0].caption, "Certificate Import");
}

TEST_F(StorePageTest, SameNameWithOtherBytesAsksAndStoresUnderTheTypedName) {
    world.addToStore("Marta", "profile", kEnhancedRc2, 1);
    const auto before = readStoreEntry(CertificateStore::Personal, "Marta");
    const std::string newer = certificateFile("Marta", kBaseRc2);
    struct Case {
        const char* label;
        std::vector<int> answers;       // to the same-name question
        std::string dialog;             // actions on "New Name", empty when not shown
        std::vector<std::string> names;  // the store afterwards
    } cases[] = {
        {"No", {IDNO}, "", {"Marta"}},
        {"Yes, Cancel", {IDYES}, "type 1017 Other; click 2", {"Marta"}},
        {"Yes, Zoe", {IDYES}, "type 1017 \"" + kZoe + "\"; click 1", {"Marta", kZoe}},
        {"Yes, empty name", {IDYES}, "click 1", {"Marta", kZoe, ""}},
    };
    recordBoxes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        boxes.clear();
        for (int a : c.answers) world.ui().answerMessageBox(a);
        if (!c.dialog.empty()) {
            ASSERT_TRUE(world.ui().scriptDialog(applet::kNewNameDialog, c.dialog));
        }
        CPersonalStorePage page;
        importOn(page, newer);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  "The certificate with the same name already exists.\nDo you want to add this in another name?");
        EXPECT_EQ(boxes[0].caption, "VLT Status Report");
        EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
        EXPECT_EQ(storeNames(), c.names);
        EXPECT_EQ(readStoreEntry(CertificateStore::Personal, "Marta"), before);
    }
    EXPECT_TRUE(readStoreEntry(CertificateStore::Personal, kZoe));
}

TEST_F(StorePageTest, ANameDifferingInCaseIsNewToTheScanButReplacesTheEntry) {
    world.addToStore("marta", "profile", kEnhancedRc2, 1);
    const std::string file = certificateFile("Marta");
    recordBoxes();
    CPersonalStorePage page;
    EXPECT_EQ(importOn(page, file), (std::vector<std::string>{"Marta", "marta"}));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(storeNames(), std::vector<std::string>{"marta"});
    EXPECT_EQ(readStoreEntry(CertificateStore::Personal, "marta"), parseProfileFile(readFile(file))->entryBytes);
}

TEST_F(StorePageTest, AFileWhoseLengthsRunPastItsEndIsRefusedBeforeAnythingIsStored) {
    Bytes cut = readFile(certificateFile("Marta"));
    cut.resize(cut.size() - 3);
    writeFile(world.path("cut.Vtp"), cut);
    recordBoxes();
    CPersonalStorePage page;
    EXPECT_TRUE(importOn(page, world.path("cut.Vtp")).empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please check, the selected file is not a VLT Profile...");
    EXPECT_EQ(boxes[0].caption, "VLT Status Report");
    EXPECT_TRUE(storeNames().empty());
}

// Delete: without a click only Apply is enabled; after a click the question decides, and No
// keeps the selection on the personal page but clears it on the system page.
TEST_F(StorePageTest, DeleteFollowsTheClickAndTheTwinsDifferAfterNo) {
    for (CertificateStore store : {CertificateStore::Personal, CertificateStore::System}) {
        const bool personal = store == CertificateStore::Personal;
        SCOPED_TRACE(personal ? "personal" : "system");
        world.addToStore("Ana", "contact", kEnhancedRc2, personal ? 1 : 0);
        world.addToStore("Bo", "contact", kEnhancedRc2, personal ? 1 : 0);
        CPersonalStorePage personalPage;
        CSystemStorePage systemPage;
        applet::CStorePage& page = personal ? static_cast<applet::CStorePage&>(personalPage) : systemPage;
        bool applyEnabled = false;
        std::string keptName;
        std::vector<std::string> shown;
        recordBoxes();
        boxes.clear();
        world.ui().answerMessageBox(IDNO);
        world.ui().answerMessageBox(IDYES);
        runPage(page, page.m_store.templateId, [&](HWND dialog) {
            HWND list = GetDlgItem(dialog, applet::kStoreList);
            HWND remove = GetDlgItem(dialog, applet::kStoreDeleteButton);
            ui::input::now::click(remove);  // no click on the list yet: no question
            applyEnabled = IsWindowEnabled(GetDlgItem(GetParent(dialog), ID_APPLY_NOW)) != FALSE;
            ui::input::now::selectItem(list, 1);  // "Ana"
            ui::input::now::click(remove);        // No
            keptName = page.m_strSelectedName;
            ui::input::now::click(remove);  // Yes on the personal page; nothing on the system page
            shown = itemTexts(list);
        });
        EXPECT_TRUE(applyEnabled);
        EXPECT_EQ(keptName, personal ? "Ana" : "");
        ASSERT_EQ(boxes.size(), personal ? 2u : 1u);
        EXPECT_EQ(boxes[0].text, "This certificate is about to be deleted.\nDo you wish to continue?");
        EXPECT_EQ(boxes[0].caption, "VLT Emergency Report");
        const std::vector<std::string> left = personal ? std::vector<std::string>{"Bo"}
                                                       : std::vector<std::string>{"Ana", "Bo"};
        EXPECT_EQ(storeNames(store), left);
        EXPECT_EQ(shown, (personal ? std::vector<std::string>{"Bo"} : std::vector<std::string>{"Bo", "Ana"}));
        EXPECT_EQ(page.m_nSelectedIndex, -1);
        world.ui().clear();
    }
}

TEST_F(StorePageTest, AnOrdinaryUserSeesTheSystemStoreButCannotChangeIt) {
    world.addToStore("Ana", "contact", kEnhancedRc2, 0);
    registry::resetHives();
    ASSERT_EQ(chmod(world.sandbox().machine().c_str(), 0555), 0);
    recordBoxes();
    world.ui().answerMessageBox(IDYES);
    CSystemStorePage page;
    std::vector<std::string> shown;
    runPage(page, applet::kSystemStorePage, [&](HWND dialog) {
        shown = itemTexts(GetDlgItem(dialog, applet::kStoreList));
        ui::input::now::click(GetDlgItem(dialog, applet::kStoreImportButton));
        ui::input::now::selectItem(GetDlgItem(dialog, applet::kStoreList), 0);
        ui::input::now::click(GetDlgItem(dialog, applet::kStoreDeleteButton));
    });
    chmod(world.sandbox().machine().c_str(), 0755);
    EXPECT_EQ(shown, std::vector<std::string>{"Ana"});
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) EXPECT_EQ(box.text, kStoreChangeRefused);
    EXPECT_EQ(storeNames(CertificateStore::System), std::vector<std::string>{"Ana"});
}

}  // namespace
}  // namespace vlt::test
