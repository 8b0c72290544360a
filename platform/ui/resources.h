// What a Windows module's resource script declares, declared in C++ instead: dialog templates,
// icons and animation clips, registered per module and found by resource number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/export.h"
#include "win32/commctrl.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

enum class ControlKind {
    Static,         // text (SS_LEFT/SS_CENTER)
    Icon,           // SS_ICON; iconId names the picture
    GroupBox,       // BS_GROUPBOX
    Edit,           // ES_PASSWORD, ES_READONLY, ES_NUMBER honoured
    PushButton,
    DefPushButton,  // the default button: Enter presses it
    CheckBox,       // BS_AUTOCHECKBOX
    RadioButton,    // BS_AUTORADIOBUTTON
    ListView,       // LVS_LIST etc.; items with small icons
    ComboBox,       // CBS_DROPDOWNLIST (for later dialogs)
    ProgressBar,
    Animation,      // ACS_* styles; plays an AnimationClip
    Separator,      // SS_ETCHEDHORZ / a sunken line
    Tab,            // SysTabControl32: items are the tabs' captions, one of them current
};

// Positions and sizes in dialog units, as in a resource script.
struct ControlTemplate {
    int id = -1;  // -1: IDC_STATIC
    ControlKind kind = ControlKind::Static;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;    // WS_* and the control's own styles (WS_VISIBLE is implied)
    DWORD exStyle = 0;
    int iconId = 0;     // ControlKind::Icon
};

struct DialogTemplate {
    int resourceId = 0;
    std::string caption;  // may be empty
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;  // DS_*, WS_*
    std::string font = "MS Sans Serif";
    int pointSize = 8;
    std::vector<ControlTemplate> controls;
};

// A picture of our own: 32-bit ARGB pixels, row by row.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

struct AnimationClip {
    std::vector<Image> frames;
    int frameMs = 100;
};

// The module handle of the shared object or program that contains `address` (dladdr).
HINSTANCE moduleOf(const void* address);

// Registering again under the same module and number replaces the earlier entry; register
// at start-up, before the resource is used.
void registerDialog(HINSTANCE module, DialogTemplate dialog);
void registerIcon(HINSTANCE module, int id, Image image);
void registerAnimation(HINSTANCE module, int id, AnimationClip clip);
// An entry of the module's string table (LoadStringA), in the ANSI code page.
void registerString(HINSTANCE module, int id, std::string text);
void registerBitmap(HINSTANCE module, int id, Image image);
void registerCursor(HINSTANCE module, int id, Image image);

const DialogTemplate* findDialog(HINSTANCE module, int id);
const Image* findIcon(HINSTANCE module, int id);
const AnimationClip* findAnimation(HINSTANCE module, int id);
const std::string* findString(HINSTANCE module, int id);
const Image* findBitmap(HINSTANCE module, int id);
const Image* findCursor(HINSTANCE module, int id);

// What LoadIconA and the image lists hold, for front ends that draw them.
struct IconInfo {
    HINSTANCE module = nullptr;
    int id = 0;
    Image image;
};
bool describeIcon(HICON icon, IconInfo& out);
// LoadCursorA's handles: a module's cursor (id its number) or a stock one (module NULL, id the
// IDC_* number).
bool describeCursor(HCURSOR cursor, IconInfo& out);

struct ImageListInfo {
    int cx = 0;
    int cy = 0;
    std::vector<Image> images;
};
bool describeImageList(HIMAGELIST list, ImageListInfo& out);

// Every registered dialog, for the gallery.
std::vector<std::pair<HINSTANCE, const DialogTemplate*>> allDialogs();

// Dialog units to pixels for the template's font, as Windows computes them (base units of the
// font: average character width and height; x * baseX / 4, y * baseY / 8).
struct DialogUnits {
    int baseX = 6;
    int baseY = 13;
    int toPixelsX(int x) const { return (x * baseX + 2) / 4; }
    int toPixelsY(int y) const { return (y * baseY + 4) / 8; }
};

}  // namespace vlt::ui

VLT_EXPORT_END
