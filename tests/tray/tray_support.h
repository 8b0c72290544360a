// A tray program in this process for one test: a sandboxed registry, the headless front end and
// a manual clock, so that seconds pass when the test says so.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "frontends/headless/headless_frontend.h"
#include "support/sandbox.h"
#include "tray/tray_app.h"
#include "win32/winreg.h"

namespace vlt::test {

class TrayTest : public ::testing::Test {
protected:
    TrayTest();
    ~TrayTest() override;

    // Makes the application object and its window, as the program's start does.
    bool start();
    // Exit as the menu does it, then the application's end.
    void stop();
    tray::CTrayWindow& window() { return *m_app->Window(); }
    HWND hwnd() { return m_app->Window()->m_hWnd; }

    // n seconds pass, one tick at a time, each handled.
    void tick(int n = 1);
    LRESULT send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void pump();

    // The unlock cache as the shell extension leaves it (the tray looks at its presence only).
    void fillCache();
    bool cachePresent(const char* name = "TempExchangeBlob1");
    // An unlock reported as the shell extension reports it.
    void unlockNotified();
    void setProfileDword(const char* name, DWORD value);
    void setSetting(const char* name, DWORD value);

    // The icon the notification area shows, or nullptr.
    const frontends::TrayIconRecord* icon();
    // The popup menus shown so far, as the transcript writes them.
    std::vector<std::string> menus() const;
    std::vector<frontends::TranscriptEntry> messageBoxes() const { return m_ui.messageBoxes(); }

    Sandbox m_box;
    frontends::HeadlessFrontend m_ui;
    base::ManualClock m_clock;
    std::unique_ptr<tray::CTrayApp> m_app;

private:
    std::vector<frontends::TrayIconRecord> m_icons;
};

inline constexpr UINT kCallback = WM_USER + 10;

}  // namespace vlt::test
