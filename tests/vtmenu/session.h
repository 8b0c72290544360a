// A sandboxed user at the Explorer: the interop fixtures' owner as the profile, a shell window
// that invokes the commands, a headless front end with hooks, and the context-menu handler of
// this process (the logic linked in) or of libVTMenu32.so.
#pragma once

#include <string>
#include <vector>

#include "support/world/world.h"
#include "ui/state.h"
#include "win32/objbase.h"
#include "win32/shlobj.h"

namespace vlt::vtmtest {

using test::kBaseRc2;
using test::kEnhancedRc2;
using test::kOwnerPassword;
using test::SpyFrontend;

inline constexpr UINT kLock = 0, kGrant = 1, kUnlock = 2, kShred = 3, kAbout = 4;

// The two interfaces of one handler object, released at the end.
struct HandlerRef {
    IShellExtInit* init = nullptr;
    IContextMenu* menu = nullptr;
    HandlerRef() = default;
    HandlerRef(const HandlerRef&) = delete;
    HandlerRef& operator=(const HandlerRef&) = delete;
    HandlerRef(HandlerRef&& other) noexcept;
    ~HandlerRef();
    explicit operator bool() const { return init != nullptr && menu != nullptr; }
};

struct Posted {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool operator==(const Posted&) const = default;
};

// The sandboxed user at the Explorer: a World with a shell window that invokes the commands.
class Session : public test::World {
public:
    Session();
    ~Session();

    // A handler of this process, initialised with the files in the shell's order.
    HandlerRef handler(const std::vector<std::string>& files);
    // A handler made through a class factory (the library's), initialised the same way.
    HandlerRef handlerFrom(IClassFactory* factory, const std::vector<std::string>& files);
    // InvokeCommand with the command offset, from the shell window.
    HRESULT invoke(IContextMenu* menu, UINT offset);

    // WM_KILLFOCUS and WM_SETFOCUS posted to the shell window since the last call, in order.
    std::vector<Posted> takeFocusMessages();

    HWND shellWindow() const { return m_window; }

    // From the transcript.
    std::vector<frontends::TranscriptEntry> messageBoxes() const { return ui().messageBoxes(); }
    std::vector<frontends::TranscriptEntry> shown(int resourceId) const;
    std::vector<frontends::TranscriptEntry> closed(int resourceId) const;
    std::vector<std::string> notes() const;
    std::string transcript() const { return ui().transcriptText(); }

private:
    HWND m_window = nullptr;
};

// One control of a recorded dialog; fails the test when it is missing.
const frontends::ControlRecord& control(const frontends::TranscriptEntry& dialog, int id);

std::vector<unsigned char> pattern(std::size_t n, unsigned seed = 7);
// The entries of a folder (names only), sorted.
std::vector<std::string> namesIn(const std::string& dir);
// "x/y/name" -> "name".
std::string baseName(const std::string& path);
// The process's module, for registering this program's dialogs.
HINSTANCE testModule();

}  // namespace vlt::vtmtest
