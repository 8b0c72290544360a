// Runs one page of the applet in a sheet of its own, with the headless front end of a sandboxed
// World: the test acts on the page on its thread once it is shown, then the sheet is closed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "applet/templates.h"
#include "support/world/world.h"
#include "ui/framework_dialogs.h"
#include "ui/input.h"
#include "ui/state.h"

namespace vlt::test {

class AppletPageTest : public ::testing::Test {
protected:
    AppletPageTest() {
        applet::registerAppletResources(applet::appletModule());
        ui::AfxSetResourceHandle(applet::appletModule());
    }
    ~AppletPageTest() override { world.spy().onShown = nullptr; }

    // Shows `page` in a sheet; `act` runs on the page's thread when it is first shown, then the
    // sheet's button `close` (IDOK, IDCANCEL) is pressed.
    void runPage(ui::CPropertyPage& page, int templateId, const std::function<void(HWND page)>& act,
                 int close = IDOK) {
        world.spy().onShown = [&, templateId, close](HWND dialog, int id) {
            if (id != templateId) return;
            ui::input::run(dialog, [&, dialog, close] {
                act(dialog);
                ui::input::now::click(GetDlgItem(GetParent(dialog), close));
            });
        };
        ui::CPropertySheet sheet("Test sheet");
        sheet.AddPage(&page);
        sheet.DoModal();
        world.spy().onShown = nullptr;
    }

    static std::vector<std::string> itemTexts(HWND control) {
        ui::WindowState state;
        std::vector<std::string> texts;
        if (ui::describe(control, state))
            for (const auto& item : state.items) texts.push_back(item.text);
        return texts;
    }

    World world;
};

}  // namespace vlt::test
