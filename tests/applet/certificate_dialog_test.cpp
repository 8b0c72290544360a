// The certificate card: what it shows in each mode, its mail link (shell, browser fallback,
// error report), its painted background, and the export of the own certificate.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "applet/certificate_dialog.h"
#include "applet/hyperlink.h"
#include "applet/resources.h"
#include "applet_world.h"
#include "registry/hives.h"
#include "shared/certificate_record.h"
#include "shared/profile_file.h"
#include "shared/registry_key.h"
#include "support/launches.h"
#include "win32/shellapi.h"
#include "win32/wingdi.h"

namespace vlt::applet {
namespace {

constexpr const char* kOwnerMail = "marta.okafor@example.net";

class CertificateCardTest : public ::testing::Test {
protected:
    // Runs a card with the headless actions given and returns it as it closed.
    TranscriptEntry show(int mode, const std::string& name, const std::string& actions, INT_PTR expected = IDCANCEL) {
        EXPECT_TRUE(world.ui().scriptDialog(kCertificateDialog, actions).ok());
        CCertificateDialog card(mode, name);
        EXPECT_EQ(card.DoModal(), expected);
        return world.lastClosed(kCertificateDialog);
    }
    static const ControlRecord& at(const TranscriptEntry& card, int id) { return AppletWorld::control(card, id); }
    std::optional<TranscriptEntry> lastShown() const {
        std::optional<TranscriptEntry> last;
        for (const auto& e : world.ui().transcript())
            if (e.kind == TranscriptEntry::Kind::DialogShown && e.resourceId == kCertificateDialog) last = e;
        return last;
    }
    TranscriptEntry shownCard() const {
        auto last = lastShown();
        EXPECT_TRUE(last.has_value());
        return last.value_or(TranscriptEntry{});
    }
    AppletWorld world;
};

TEST_F(CertificateCardTest, TheOwnCardShowsTheRecordWithTipsAMailLinkAndItsBackground) {
    test::Launches launches;
    const auto card = show(2, "", "hover 1001; cancel");
    // The tips as the user saw them: the tooltips go before the card closes.
    const auto seen = shownCard();
    EXPECT_EQ(at(card, kCardName).text, "Marta Okafor");
    EXPECT_EQ(at(seen, kCardName).tip, "Name of the person to whome the certificate is issued.");
    EXPECT_EQ(at(seen, kCardStreet).tip, "Street of the person to whome the certificate is issued.");
    EXPECT_EQ(at(seen, kCardCity).tip, "City of the person to whome the certificate is issued.");
    EXPECT_EQ(at(seen, kCardState).tip, "State of the person to whome the certificate is issued.");
    const auto& mail = at(card, kCardEmail);
    EXPECT_EQ(mail.text, kOwnerMail);
    EXPECT_EQ(at(seen, kCardEmail).tip, std::string("mailto:") + kOwnerMail);
    EXPECT_TRUE(mail.underline);
    EXPECT_EQ(mail.cursorId, kLinkCursor);
    EXPECT_EQ(mail.textColor, RGB(0, 0, 238));
    EXPECT_EQ(at(card, kCardNameLabel).textColor, RGB(255, 0, 0));
    EXPECT_TRUE(at(card, kCardNameLabel).transparent);
    EXPECT_TRUE(at(card, kExportButton).visible);
    EXPECT_FALSE(at(card, kCardFrame).visible);
    ASSERT_FALSE(card.paint.empty());
    EXPECT_EQ(card.paint.back().bitmapId, kCardBitmap);
    EXPECT_EQ(card.paint.back().cx, 212);
    EXPECT_EQ(card.paint.back().cy, 139);
    EXPECT_TRUE(launches.list().empty());
}

TEST_F(CertificateCardTest, StoreEntriesHaveNoExportAndTheSystemStoreIsReadByEveryone) {
    world.addToStore("Tomas Reyes", "contact", test::kBaseRc2, 1);
    world.addToStore("Tomas Reyes", "contact", test::kBaseRc2, 0);
    EXPECT_FALSE(at(show(0, "Tomas Reyes", "cancel"), kExportButton).visible);
    registry::resetHives();
    ASSERT_EQ(chmod(world.sandbox().machine().c_str(), 0555), 0);
    const auto system = show(1, "Tomas Reyes", "cancel");
    EXPECT_FALSE(at(system, kExportButton).visible);
    EXPECT_EQ(at(system, kCardName).text, "Tomas Reyes");
}

TEST_F(CertificateCardTest, AMissingEntryEndsTheCardBeforeItIsShown) {
    CCertificateDialog card(0, "Nobody");
    EXPECT_EQ(card.DoModal(), 0);
    EXPECT_FALSE(lastShown().has_value());
    EXPECT_TRUE(world.boxes().empty());
}

TEST_F(CertificateCardTest, AnEmptyAddressIsNoLink) {
    CertificateStoreEntry entry;
    entry.baseRecord = buildCertificateRecord({{1, 2, 3}, {"No Mail", "", "S", "C", "St"}});
    RegistryKey store;
    ASSERT_EQ(store.Create(HKEY_CURRENT_USER, layout::kCertificateKey), ERROR_SUCCESS);
    const Bytes bytes = buildCertificateStoreEntry(entry);
    ASSERT_EQ(RegSetValueExA(store.Handle(), "No Mail", 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    test::Launches launches;
    const auto card = show(0, "No Mail", "click 1001; cancel");
    EXPECT_EQ(at(card, kCardEmail).text, "");
    EXPECT_EQ(at(shownCard(), kCardEmail).tip, "");
    EXPECT_EQ(at(card, kCardState).text, "St");
    EXPECT_TRUE(launches.list().empty());
    EXPECT_TRUE(world.boxes().empty());
}

TEST_F(CertificateCardTest, AClickOpensTheMailHandlerAndTheLinkTurnsVisited) {
    test::Launches launches;
    const auto card = show(2, "", "click 1001; cancel");
    const auto started = launches.list();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].args, (std::vector<std::string>{std::string("mailto:") + kOwnerMail}));
    EXPECT_EQ(at(card, kCardEmail).textColor, RGB(85, 26, 139));
    EXPECT_TRUE(world.boxes().empty());
}

TEST_F(CertificateCardTest, WithoutAMailHandlerTheBrowserOfHtmGetsTheLink) {
    test::Launches launches([](const shell::Launch& l) { return l.program == "xdg-open" ? ENOENT : 0; });
    ASSERT_EQ(RegistryKey::SetKeyValue(HKEY_CLASSES_ROOT, ".htm", "htmlfile"), ERROR_SUCCESS);
    ASSERT_EQ(RegistryKey::SetKeyValue(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command",
                                       "\"/opt/web/browser\" -new \"%1\""),
              ERROR_SUCCESS);
    show(2, "", "click 1001; cancel");
    const auto started = launches.list();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].program, "/opt/web/browser");
    EXPECT_EQ(started[1].args, (std::vector<std::string>{"-new", std::string("mailto:") + kOwnerMail}));
    EXPECT_TRUE(world.boxes().empty());
}

TEST_F(CertificateCardTest, WithNeitherTheReportNamesTheShellsCode) {
    test::Launches launches([](const shell::Launch&) { return ENOENT; });
    show(2, "", "click 1001; cancel");
    const auto boxes = world.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
    EXPECT_EQ(boxes[0].caption, "VTCert32");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONEXCLAMATION));
}

TEST(HyperlinkError, EachCodeHasItsMessage) {
    EXPECT_EQ(hyperlinkErrorText(26), "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(hyperlinkErrorText(0), "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
    EXPECT_EQ(hyperlinkErrorText(11),
              "Unable to open hyperlink:\n\nThe .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    EXPECT_EQ(hyperlinkErrorText(33), "Unable to open hyperlink:\n\nUnknown Error (33) occurred.");
}

TEST_F(CertificateCardTest, ExportWritesTheProfileFileOrLeavesWhatWasThere) {
    const std::string path = world.path("me.Vtp");
    const std::string kept = "the user's own file";
    test::writeFile(path, kept);
    world.deleteSetting(layout::kEncrypt);
    world.ui().answerSaveDialog(path);
    show(2, "", "click 1015; cancel");
    EXPECT_EQ(test::readFile(path), std::vector<unsigned char>(kept.begin(), kept.end()));
    world.setSetting(layout::kEncrypt, test::kEnhancedRc2);
    world.ui().answerSaveDialog(std::nullopt);
    world.ui().answerSaveDialog(path);
    show(2, "", "click 1015; click 1015; cancel");

    const auto boxes = world.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text,
              "An error ocured while trying to export your profile.\nEnsure to select \"VLT Settings\" tab before "
              "exporting your profile.");
    EXPECT_EQ(boxes[0].caption, "VLT Emergency Report");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(boxes[1].text, "Your profile is successfully expoprted...");
    EXPECT_EQ(boxes[1].caption, "VLT Success Report");
    EXPECT_EQ(boxes[1].style, static_cast<UINT>(MB_OK));
    const auto written = parseProfileFile(test::readFile(path));
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written->displayName, "Marta Okafor");
    EXPECT_EQ(written->entry.algorithm, test::kEnhancedRc2);
    EXPECT_EQ(test::namesIn(world.sandbox().files()), (std::vector<std::string>{"me.Vtp"}));
}

}  // namespace
}  // namespace vlt::applet
