// A control-panel library for the runner's tests. It appends every call it gets to the file
// named by VLT_FAKE_APPLET_LOG ("message index data" per line); VLT_FAKE_APPLET_INIT=0 makes it
// refuse CPL_INIT, VLT_FAKE_APPLET_COUNT sets how many applets it offers (default 2). Opening an
// applet shows a message box naming it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/export.h"
#include "win32/cpl.h"
#include "win32/winuser.h"

namespace {

long setting(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

void note(UINT msg, LPARAM a, LPARAM b) {
    const char* path = std::getenv("VLT_FAKE_APPLET_LOG");
    if (!path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%u %ld %ld\n", msg, static_cast<long>(a), static_cast<long>(b));
        std::fclose(f);
    }
}

}  // namespace

extern "C" VLT_EXPORT LONG CPlApplet(HWND, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    note(msg, lParam1, msg == CPL_INQUIRE ? 0 : lParam2);
    switch (msg) {
        case CPL_INIT: return setting("VLT_FAKE_APPLET_INIT", 1);
        case CPL_GETCOUNT: return setting("VLT_FAKE_APPLET_COUNT", 2);
        case CPL_INQUIRE: {
            auto* info = reinterpret_cast<CPLINFO*>(lParam2);
            info->idIcon = 100 + static_cast<int>(lParam1);
            info->idName = 200 + static_cast<int>(lParam1);
            info->idInfo = 300 + static_cast<int>(lParam1);
            info->lData = 40 + lParam1;
            return 0;
        }
        case CPL_DBLCLK: {
            const std::string text = "applet " + std::to_string(lParam1) + " opened";
            MessageBoxA(nullptr, text.c_str(), "Fake Applet", MB_OK | MB_ICONINFORMATION);
            return 0;
        }
        default: return 0;
    }
}
