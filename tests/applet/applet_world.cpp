#include "applet_world.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "applet/container_sheet.h"
#include "ui/state.h"

namespace vlt::applet {

AppletWorld::AppletWorld() {
    std::filesystem::create_directories(systemDir());
    setenv("VLT_SYSTEM_DIR", systemDir().c_str(), 1);
    // The transcript records top-level dialogs only: a sheet's pages are looked at here.
    spy().onClosing = [this](HWND dialog, int) {
        for (HWND child : ui::children(dialog)) {
            ui::WindowState page;
            if (!ui::describe(child, page) || page.kind != ui::WindowKind::Dialog) continue;
            TranscriptEntry entry;
            entry.kind = TranscriptEntry::Kind::DialogClosed;
            entry.resourceId = page.id;
            for (HWND control : ui::children(child)) {
                ui::WindowState c;
                if (!ui::describe(control, c)) continue;
                ControlRecord record;
                record.id = c.id;
                record.kind = c.control;
                record.text = c.text;
                record.enabled = c.enabled;
                record.visible = c.visible;
                record.focused = c.focused;
                entry.controls.push_back(std::move(record));
            }
            m_closedPages.push_back(std::move(entry));
        }
    };
}

AppletWorld::~AppletWorld() { unsetenv("VLT_SYSTEM_DIR"); }

std::string AppletWorld::systemDir() { return sandbox().root() + "/system"; }

void AppletWorld::runSheet(const std::string& script) {
    ASSERT_TRUE(ui().loadScript(script).ok());
    runContainerSheet();
}

TranscriptEntry AppletWorld::lastClosed(int resourceId) const {
    TranscriptEntry last;
    for (const auto& e : ui().transcript())
        if (e.kind == TranscriptEntry::Kind::DialogClosed && e.resourceId == resourceId) last = e;
    for (const auto& e : m_closedPages)
        if (e.resourceId == resourceId) last = e;
    EXPECT_EQ(last.resourceId, resourceId) << "dialog " << resourceId << " never closed";
    return last;
}

const ControlRecord& AppletWorld::control(const TranscriptEntry& dialog, int id) {
    static const ControlRecord none;
    for (const auto& c : dialog.controls)
        if (c.id == id) return c;
    ADD_FAILURE() << "no control " << id;
    return none;
}

}  // namespace vlt::applet
