// vlt-gallery: draws every registered dialog template with the Qt front end (off screen by
// default) into PNG files, one per dialog, for review and for the documentation.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "frontends/qt/qt_frontend.h"
#include "tools/gallery/demo_dialogs.h"
#include "tools/gallery/sheet_shots.h"
#include "tools/gallery/wizard_pictures.h"
#include "ui/resources.h"
#include "ui/state.h"
#include "win32/commctrl.h"
#include "win32/prsht.h"
#include "win32/winuser.h"

namespace {

constexpr const char* kUsage =
    "usage: vlt-gallery [--out DIR] [--demo] [--sample] [--wizard] [LIBRARY.so ...]\n"
    "\n"
    "Loads each LIBRARY (its dialogs register themselves as it loads) and writes one PNG per\n"
    "registered dialog template to DIR, named MODULE-ID.png after the module that registered\n"
    "it and the template's resource number. The property pages of a module (its WS_CHILD\n"
    "templates) are drawn together in one property sheet, one picture per current page.\n"
    "\n"
    "  --out DIR   where the pictures go (default: the current directory; made when missing)\n"
    "  --demo      also draw the gallery's own dialogs (one of each control kind)\n"
    "  --sample    show example content in lists, combo boxes, progress bars and password\n"
    "              fields, as the dialogs look in use\n"
    "  --wizard    also draw the profile wizard VTInit32, page by page, as it starts to create,\n"
    "              to import and to update a profile (VTInit32-create-ID.png, ...-import-,\n"
    "              ...-update-), against a registry of its own in a temporary folder\n"
    "\n"
    "QT_QPA_PLATFORM chooses the Qt platform; without it the windows are drawn off screen.\n";

INT_PTR galleryProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

bool g_sample = false;

INT_PTR galleryPageProc(HWND page, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    if (g_sample) vlt::gallery::fillSample(page);
    return TRUE;
}

// "libVTMenu32.so" -> "VTMenu32", "VTCert32.Cpl" -> "VTCert32"; the program by its own name.
std::string moduleName(HINSTANCE module) {
    Dl_info info{};
    std::string path;
    if (module != nullptr && dladdr(reinterpret_cast<void*>(module), &info) != 0 && info.dli_fname)
        path = info.dli_fname;
    std::string name = std::filesystem::path(path).filename().string();
    if (name.empty()) return "module";
    if (auto so = name.find(".so"); so != std::string::npos) name.erase(so);
    else if (auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);  // "VTCert32.Cpl"
    if (name.rfind("lib", 0) == 0 && name.size() > 3) name.erase(0, 3);
    return name;
}

vlt::gallery::SheetShots* g_shots = nullptr;

int sheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED) vlt::gallery::startShots(sheet, *g_shots);
    return 0;
}

// The failures; 0 when the module has no pages.
int drawSheet(vlt::frontends::QtFrontend& frontend, HINSTANCE module, const std::vector<int>& ids,
              const std::filesystem::path& out) {
    if (ids.empty()) return 0;
    std::vector<PROPSHEETPAGEA> pages(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        pages[i] = PROPSHEETPAGEA{};
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = module;
        pages[i].pszTemplate = MAKEINTRESOURCEA(ids[i]);
        pages[i].pfnDlgProc = galleryPageProc;
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hInstance = module;
    header.pszCaption = "Properties";
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();
    header.pfnCallback = sheetCallback;
    vlt::gallery::SheetShots shots{.frontend = &frontend, .out = out, .prefix = moduleName(module), .ids = ids};
    g_shots = &shots;
    const INT_PTR result = PropertySheetA(&header);
    g_shots = nullptr;
    if (result < 0) {
        std::fprintf(stderr, "vlt-gallery: %s: the property sheet cannot be made\n", shots.prefix.c_str());
        return 1;
    }
    return shots.failures + static_cast<int>(ids.size() - shots.next);
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path out = ".";
    bool demo = false;
    bool sample = false;
    bool wizard = false;
    std::vector<std::string> libraries;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--out" && i + 1 < argc) out = argv[++i];
        else if (arg == "--demo") demo = true;
        else if (arg == "--sample") sample = g_sample = true;
        else if (arg == "--wizard") wizard = true;
        else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "vlt-gallery: unknown option %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        } else libraries.push_back(arg);
    }

    vlt::frontends::QtApplication app(argc, argv, true);
    vlt::frontends::QtFrontend frontend;
    vlt::ui::setFrontend(&frontend);

    for (const auto& library : libraries) {
        // The library's registration runs as it loads; it stays loaded for the drawing
        if (dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
            std::fprintf(stderr, "vlt-gallery: cannot load %s: %s\n", library.c_str(), dlerror());
            vlt::ui::setFrontend(nullptr);
            return 1;
        }
    }
    if (demo) vlt::gallery::registerDemoDialogs(vlt::ui::moduleOf(reinterpret_cast<const void*>(&galleryProc)));

    const auto dialogs = vlt::ui::allDialogs();
    if (dialogs.empty() && !wizard) {
        std::fputs("vlt-gallery: no dialog templates are registered (name libraries, or use --demo)\n", stderr);
        vlt::ui::setFrontend(nullptr);
        return 1;
    }
    std::error_code error;
    std::filesystem::create_directories(out, error);
    if (error) {
        std::fprintf(stderr, "vlt-gallery: cannot make %s: %s\n", out.c_str(), error.message().c_str());
        vlt::ui::setFrontend(nullptr);
        return 1;
    }

    int failures = 0;
    std::map<HINSTANCE, std::vector<int>> pages;
    for (const auto& [module, dialog] : dialogs) {
        if (dialog->style & WS_CHILD) {
            pages[module].push_back(dialog->resourceId);  // a page needs its sheet
            continue;
        }
        const std::string name = moduleName(module) + "-" + std::to_string(dialog->resourceId) + ".png";
        const std::filesystem::path file = out / name;
        HWND hwnd = CreateDialogParamA(module, MAKEINTRESOURCEA(dialog->resourceId), nullptr, galleryProc, 0);
        if (hwnd == nullptr) {
            std::fprintf(stderr, "vlt-gallery: %s: the dialog cannot be made\n", name.c_str());
            ++failures;
            continue;
        }
        if (sample) vlt::gallery::fillSample(hwnd);
        ShowWindow(hwnd, SW_SHOW);
        auto saved = frontend.saveImage(hwnd, file.string());
        DestroyWindow(hwnd);
        frontend.sync();
        if (!saved) {
            std::fprintf(stderr, "vlt-gallery: %s: %s\n", name.c_str(), saved.error().message.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", file.c_str());
    }
    for (const auto& [module, ids] : pages) failures += drawSheet(frontend, module, ids, out);
    // after the others: its templates share numbers with the gallery's own
    if (wizard) failures += vlt::gallery::drawWizardVariants(frontend, out, sample);
    vlt::ui::setFrontend(nullptr);
    return failures == 0 ? 0 : 1;
}
