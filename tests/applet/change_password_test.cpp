// The password dialog's rules: what each refusal says, clears and focuses, and a change that
// takes.
#include <gtest/gtest.h>

#include "applet/change_password_dialog.h"
#include "applet/resources.h"
#include "applet_world.h"
#include "shared/profile_keys.h"

namespace vlt::applet {
namespace {

struct Refusal {
    const char* name;
    const char* actions;   // before OK
    const char* message;   // "" for none
    int focus;
    bool newCleared;
};

class ChangePasswordTest : public ::testing::TestWithParam<Refusal> {
protected:
    AppletWorld world;
};

TEST_P(ChangePasswordTest, RefusalKeepsTheDialogOpen) {
    const Refusal& r = GetParam();
    ASSERT_TRUE(world.ui().scriptDialog(kChangePasswordDialog, std::string(r.actions) + "; click 1; cancel").ok());
    CChangePasswordDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);

    const auto boxes = world.boxes();
    if (*r.message == '\0') {
        EXPECT_TRUE(boxes.empty());
    } else {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, r.message);
        EXPECT_EQ(boxes[0].caption, "VLT Status Report");
        EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONEXCLAMATION));
    }
    const auto closed = world.lastClosed(kChangePasswordDialog);
    EXPECT_EQ(AppletWorld::control(closed, kConfirmPasswordEdit).text, "");
    EXPECT_EQ(AppletWorld::control(closed, kNewPasswordEdit).text.empty(), r.newCleared);
    EXPECT_TRUE(AppletWorld::control(closed, r.focus).focused);
    EXPECT_TRUE(verifyPassword(test::kOwnerPassword, AfterVerify::DeleteContainer));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangePasswordTest,
    ::testing::Values(
        Refusal{"EmptyOld", "type 1006 fresh; type 1007 fresh", "", kOldPasswordEdit, false},
        Refusal{"CaseOnlyMismatch", "type 1005 old; type 1006 Fresh; type 1007 fresh",
                "The new and confirmed passwords do not match. Please type them again.", kNewPasswordEdit, true},
        Refusal{"WrongOld", "type 1005 wrong; type 1006 fresh; type 1007 fresh",
                "The VLT password you typed is incorrect.", kOldPasswordEdit, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ChangePassword, TheRightOldPasswordChangesItAndSaysSoUnderTheModuleName) {
    AppletWorld world;
    ASSERT_TRUE(world.ui()
                    .scriptDialog(kChangePasswordDialog,
                                  std::string("type 1005 \"") + test::kOwnerPassword +
                                      "\"; type 1006 \"New one 2\"; type 1007 \"New one 2\"; click 1")
                    .ok());
    CChangePasswordDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    const auto boxes = world.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Your VLT password has been successfully changed.");
    EXPECT_EQ(boxes[0].caption, "VTCert32");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_TRUE(verifyPassword("New one 2", AfterVerify::DeleteContainer));
}

}  // namespace
}  // namespace vlt::applet
