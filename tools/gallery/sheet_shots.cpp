#include "tools/gallery/sheet_shots.h"

#include <cstdio>

#include "ui/state.h"
#include "win32/commctrl.h"
#include "win32/prsht.h"
#include "win32/winuser.h"

namespace vlt::gallery {
namespace {

SheetShots* g_shots = nullptr;

void shootPage(HWND sheet, UINT, UINT_PTR timer, DWORD) {
    SheetShots& s = *g_shots;
    if (s.sample) fillSample(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)));
    const std::filesystem::path file = s.out / (s.prefix + "-" + std::to_string(s.ids[s.next]) + ".png");
    if (auto saved = s.frontend->saveImage(sheet, file.string())) {
        std::printf("%s\n", file.c_str());
    } else {
        std::fprintf(stderr, "vlt-gallery: %s: %s\n", file.c_str(), saved.error().message.c_str());
        ++s.failures;
    }
    if (++s.next < s.ids.size()) {
        SendMessageA(sheet, PSM_SETCURSEL, s.next, 0);
        return;
    }
    KillTimer(sheet, timer);
    g_shots = nullptr;
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

void startShots(HWND sheet, SheetShots& shots) {
    g_shots = &shots;
    SetTimer(sheet, 1, 10, shootPage);
}

void fillSample(HWND dialog) {
    static const char* const kPeople[] = {"Alice Example", "Bob Example", "Carol Example"};
    static const char* const kChoices[] = {"RC2, 40 bit", "RC2, 128 bit"};
    for (HWND child : ui::children(dialog)) {
        ui::WindowState s;
        if (!ui::describe(child, s)) continue;
        switch (s.control) {
            case ui::ControlKind::ListView:
                for (int i = 0; i < 3; ++i) {
                    LVITEMA item{};
                    item.mask = LVIF_TEXT | LVIF_IMAGE;
                    item.iItem = i;
                    item.pszText = const_cast<char*>(kPeople[i]);
                    SendMessageA(child, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
                }
                break;
            case ui::ControlKind::ComboBox:
                for (const char* choice : kChoices)
                    SendMessageA(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
                SendMessageA(child, CB_SETCURSEL, 1, 0);
                break;
            case ui::ControlKind::ProgressBar: SendMessageA(child, PBM_SETPOS, 40, 0); break;
            case ui::ControlKind::Edit:
                if (s.style & ES_PASSWORD) SetWindowTextA(child, "password");
                break;
            default: break;
        }
    }
}

}  // namespace vlt::gallery
