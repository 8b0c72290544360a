// Property sheets: PropertySheetA (modal, tabbed), CreatePropertySheetPageA and
// DestroyPropertySheetPage.
//
// The sheet is a dialog with a tab control (id 0x3020) over its pages, then OK, Cancel and
// Apply (ID_APPLY_NOW; absent with PSH_NOAPPLYNOW, disabled until a page sends PSM_CHANGED).
// It is as large as its largest page template; each page becomes a WS_CHILD dialog of the
// sheet, made from its template the first time it becomes current.
//
// Reproduced: pages in the order given, nStartPage (or PSH_USEPSTARTPAGE by title), tab
// captions from PSP_USETITLE or else the templates' captions; PSN_SETACTIVE to a page as it
// becomes current (0 accepts, -1 refuses, a page's resource number goes there instead);
// PSN_KILLACTIVE before it is left (non-zero keeps it); OK and Apply send PSN_KILLACTIVE to
// the current page and PSN_APPLY (lParam TRUE for OK) to every page made so far, in order:
// PSNRET_INVALID makes that page current and keeps the sheet open, PSNRET_INVALID_NOCHANGEPAGE
// keeps it open on the current page; after Apply the current page hears PSN_SETACTIVE again
// and Apply is disabled. Cancel (button, Escape, close box) asks the current page
// (PSN_QUERYCANCEL, non-zero refuses) and then sends PSN_RESET to every page made. Results:
// 1 when some OK or Apply succeeded, 0 when none did, -1 (with the error) when the sheet
// cannot be made. PSM_SETCURSEL, PSM_CHANGED, PSM_UNCHANGED, PSM_SETTITLEA (PSH_PROPTITLE:
// "Properties for %s"), PSM_GETCURRENTPAGEHWND, PSM_APPLY, PSM_PRESSBUTTON, PSM_GETTABCONTROL;
// PSCB_INITIALIZED once the start page is shown; PSPCB_ADDREF/CREATE/RELEASE for pages with
// PSP_USECALLBACK; the sheet destroys the page handles it was given.
//
// A wizard (PSH_WIZARD) keeps its tab control hidden (it still tracks the current page) and has
// "< &Back", "&Next >", "Finish" and "Cancel" under the pages, in the old style: Finish takes
// Next's place while PSWIZB_FINISH or PSWIZB_DISABLEDFINISH is set. Back and Next ask the
// current page (PSN_WIZBACK, PSN_WIZNEXT: -1 stays, 0 the neighbour, a resource number that
// page), then PSN_KILLACTIVE, then PSN_SETACTIVE on arrival (a page refusing is skipped in the
// direction of travel). Finish asks PSN_WIZFINISH (non-zero keeps the wizard open) and ends
// with 1; Cancel ends with 0. PSM_SETFINISHTEXTA hides Back and Next and shows Finish enabled
// with the text. Enter presses whichever of Next and Finish is shown.
// Left out: modeless sheets (ERROR_NOT_SUPPORTED), templates in memory (PSP_DLGINDIRECT),
// PSM_ADDPAGE/REMOVEPAGE, icons, help, PSH_WIZARDHASFINISH.
#include <algorithm>
#include <cstring>
#include <set>

#include "ui/internal.h"
#include "win32/prsht.h"

// A page handle: the caller's record copied whole (dwSize bytes, so data a caller appends to
// it comes along, as on Windows), and the tab's caption.
struct PSP_ {
    std::vector<std::max_align_t> storage;
    std::string caption;
    PROPSHEETPAGEA* psp() { return reinterpret_cast<PROPSHEETPAGEA*>(storage.data()); }
};

namespace vlt::ui::detail {
namespace {

constexpr int kTabId = 0x3020;
constexpr int kMargin = 4;
constexpr int kTabHeader = 16;
constexpr int kButtonCx = 50;
constexpr int kButtonCy = 14;
constexpr int kMinPageCx = 100;
constexpr int kMinPageCy = 50;

struct Page {
    HPROPSHEETPAGE handle = nullptr;
    HWND hwnd = nullptr;
    bool modified = false;
};

struct Sheet {
    HWND hwnd = nullptr;
    HINSTANCE module = nullptr;
    DWORD flags = 0;
    std::vector<Page> pages;
    int current = -1;
    int creating = -1;  // the page whose WM_INITDIALOG runs (its handle is not known yet)
    HWND tab = nullptr;
    HWND apply = nullptr;
    bool wizard = false;
    HWND back = nullptr, next = nullptr, finish = nullptr;
    bool finishText = false;  // PSM_SETFINISHTEXTA was sent: Back and Next stay hidden
    ChildPlacement pagePlace;
    INT_PTR result = 0;
};

struct Sheets {
    std::mutex mutex;
    std::map<HWND, std::shared_ptr<Sheet>> byWindow;
    std::set<HPROPSHEETPAGE> pages;  // live page handles
};

Sheets& sheets() {
    static auto* s = new Sheets;
    return *s;
}

std::shared_ptr<Sheet> sheetOf(HWND hwnd) {
    auto& s = sheets();
    std::lock_guard lock(s.mutex);
    auto it = s.byWindow.find(hwnd);
    return it == s.byWindow.end() ? nullptr : it->second;
}

bool livePage(HPROPSHEETPAGE page) {
    auto& s = sheets();
    std::lock_guard lock(s.mutex);
    return s.pages.count(page) != 0;
}

// A string given as text or as a string resource of the module.
std::string textOrResource(HINSTANCE module, LPCSTR text) {
    if (text == nullptr) return {};
    if (!IS_INTRESOURCE(text)) return text;
    const std::string* loaded = findString(module, static_cast<int>(reinterpret_cast<std::uintptr_t>(text)));
    return loaded ? *loaded : std::string();
}

int templateIdOf(const PROPSHEETPAGEA& psp) {
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(psp.pszTemplate));
}

LRESULT notifyPage(const Sheet& sheet, int index, UINT code, LPARAM lParam = 0) {
    const HWND page = sheet.pages[static_cast<std::size_t>(index)].hwnd;
    PSHNOTIFY nm{};
    nm.hdr.hwndFrom = sheet.hwnd;
    nm.hdr.idFrom = 0;
    nm.hdr.code = code;
    nm.lParam = lParam;
    return SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
}

bool makePage(Sheet& sheet, int index) {
    Page& page = sheet.pages[static_cast<std::size_t>(index)];
    if (page.hwnd != nullptr) return true;
    PROPSHEETPAGEA* psp = page.handle->psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback && psp->pfnCallback(nullptr, PSPCB_CREATE, psp) == 0)
        return false;
    sheet.creating = index;
    const HWND hwnd = createFromTemplate(psp->hInstance, psp->pszTemplate, sheet.hwnd, psp->pfnDlgProc,
                                         reinterpret_cast<LPARAM>(psp), false, &sheet.pagePlace);
    sheet.creating = -1;
    sheet.pages[static_cast<std::size_t>(index)].hwnd = hwnd;
    return hwnd != nullptr;
}

int pageWithTemplate(const Sheet& sheet, int templateId) {
    for (std::size_t i = 0; i < sheet.pages.size(); ++i)
        if (templateIdOf(*sheet.pages[i].handle->psp()) == templateId) return static_cast<int>(i);
    return -1;
}

int pageWithWindow(const Sheet& sheet, HWND hwnd) {
    for (std::size_t i = 0; i < sheet.pages.size(); ++i)
        if (sheet.pages[i].hwnd == hwnd) return static_cast<int>(i);
    return sheet.creating;
}

// The front end hears of a page the first time it is shown, as of any dialog.
void showPage(HWND page) {
    bool shownBefore = false;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (auto w = findLocked(page)) shownBefore = w->shown;
    }
    if (shownBefore) ShowWindow(page, SW_SHOW);
    else showDialog(page);
}

// The current page may go: PSN_KILLACTIVE.
bool leave(Sheet& sheet) { return sheet.current < 0 || notifyPage(sheet, sheet.current, PSN_KILLACTIVE) == 0; }

// Makes page `index` current if it accepts (PSN_SETACTIVE); the page left is hidden.
bool enter(Sheet& sheet, int index) {
    if (!makePage(sheet, index)) return false;
    LRESULT answer = notifyPage(sheet, index, PSN_SETACTIVE);
    if (answer != 0 && answer != -1) {
        // The page names another page to show instead; that one is not asked again.
        const int other = pageWithTemplate(sheet, static_cast<int>(answer));
        if (other < 0 || other == index || !makePage(sheet, other)) return false;
        index = other;
        answer = 0;
    }
    if (answer != 0) return false;
    const int old = sheet.current;
    sheet.current = index;
    if (old >= 0 && old != index) ShowWindow(sheet.pages[static_cast<std::size_t>(old)].hwnd, SW_HIDE);
    // Before the sheet is shown, its start page waits to be shown with it.
    if (IsWindowVisible(sheet.hwnd)) showPage(sheet.pages[static_cast<std::size_t>(index)].hwnd);
    SendMessageA(sheet.tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return true;
}

bool select(Sheet& sheet, int index) {
    if (index < 0 || index >= static_cast<int>(sheet.pages.size())) return false;
    if (index == sheet.current) return true;
    if (!leave(sheet)) return false;
    const bool entered = enter(sheet, index);
    if (!entered) SendMessageA(sheet.tab, TCM_SETCURSEL, static_cast<WPARAM>(sheet.current), 0);
    return entered;
}

void updateApply(const Sheet& sheet) {
    if (sheet.apply == nullptr) return;
    const bool any = std::any_of(sheet.pages.begin(), sheet.pages.end(), [](const Page& p) { return p.modified; });
    EnableWindow(sheet.apply, any ? TRUE : FALSE);
}

bool apply(Sheet& sheet, bool closing) {
    if (!leave(sheet)) return false;
    for (std::size_t i = 0; i < sheet.pages.size(); ++i) {
        if (sheet.pages[i].hwnd == nullptr) continue;
        const LRESULT answer = notifyPage(sheet, static_cast<int>(i), PSN_APPLY, closing ? TRUE : FALSE);
        if (answer == PSNRET_INVALID) {
            if (static_cast<int>(i) != sheet.current) enter(sheet, static_cast<int>(i));
            return false;
        }
        if (answer == PSNRET_INVALID_NOCHANGEPAGE) return false;
    }
    sheet.result = 1;
    for (auto& page : sheet.pages) page.modified = false;
    updateApply(sheet);
    // The current page was told it is being left: it is current again.
    if (!closing && sheet.current >= 0) notifyPage(sheet, sheet.current, PSN_SETACTIVE);
    return true;
}

void cancel(Sheet& sheet) {
    if (sheet.current >= 0 && notifyPage(sheet, sheet.current, PSN_QUERYCANCEL) != 0) return;
    for (std::size_t i = 0; i < sheet.pages.size(); ++i)
        if (sheet.pages[i].hwnd != nullptr) notifyPage(sheet, static_cast<int>(i), PSN_RESET);
    EndDialog(sheet.hwnd, sheet.result);
}

// Makes `button` the sheet's default push button and `other` a plain one.
void setDefaultButton(HWND button, HWND other) {
    for (HWND h : {button, other}) {
        bool diff = false;
        {
            auto& s = state();
            std::lock_guard lock(s.mutex);
            auto w = findLocked(h);
            if (!w) continue;
            const ControlKind kind = h == button ? ControlKind::DefPushButton : ControlKind::PushButton;
            diff = w->control != kind;
            w->control = kind;
            w->style = (w->style & ~static_cast<DWORD>(BS_TYPEMASK)) | (h == button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        }
        if (diff) changed(h, Change::Style);
    }
}

void setWizardButtons(Sheet& sheet, DWORD flags) {
    if (!sheet.wizard) return;
    EnableWindow(sheet.back, (flags & PSWIZB_BACK) ? TRUE : FALSE);
    if (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) {
        ShowWindow(sheet.next, SW_HIDE);
        EnableWindow(sheet.finish, (flags & PSWIZB_FINISH) ? TRUE : FALSE);
        ShowWindow(sheet.finish, SW_SHOW);
        setDefaultButton(sheet.finish, sheet.next);
    } else {
        ShowWindow(sheet.finish, SW_HIDE);
        EnableWindow(sheet.next, (flags & PSWIZB_NEXT) ? TRUE : FALSE);
        ShowWindow(sheet.next, SW_SHOW);
        setDefaultButton(sheet.next, sheet.finish);
    }
}

void setFinishText(Sheet& sheet, LPCSTR text) {
    if (!sheet.wizard) return;
    sheet.finishText = true;
    SetWindowTextA(sheet.finish, textOrResource(sheet.module, text).c_str());
    ShowWindow(sheet.back, SW_HIDE);
    ShowWindow(sheet.next, SW_HIDE);
    EnableWindow(sheet.finish, TRUE);
    ShowWindow(sheet.finish, SW_SHOW);
    setDefaultButton(sheet.finish, sheet.next);
}

// Back (step -1) or Next (+1): the page may stay, name where to go, or let the neighbour come.
void wizardMove(Sheet& sheet, UINT code, int step) {
    if (sheet.current < 0) return;
    const LRESULT answer = notifyPage(sheet, sheet.current, code);
    if (answer == -1) return;
    int target = answer == 0 ? sheet.current + step : pageWithTemplate(sheet, static_cast<int>(answer));
    const int count = static_cast<int>(sheet.pages.size());
    if (target < 0 || target >= count || target == sheet.current || !leave(sheet)) return;
    for (; target >= 0 && target < count; target += step)
        if (target != sheet.current && enter(sheet, target)) return;
}

void wizardFinish(Sheet& sheet) {
    if (sheet.current < 0 || notifyPage(sheet, sheet.current, PSN_WIZFINISH) != 0) return;
    sheet.result = 1;
    EndDialog(sheet.hwnd, sheet.result);
}

// Enter: the default of Next and Finish, when the user could press it.
void pressDefault(Sheet& sheet) {
    for (HWND h : {sheet.next, sheet.finish})
        if (IsWindowVisible(h) && IsWindowEnabled(h)) {
            SendMessageA(sheet.hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), BN_CLICKED), reinterpret_cast<LPARAM>(h));
            return;
        }
}

void press(Sheet& sheet, int button) {
    switch (button) {
        case PSBTN_BACK: wizardMove(sheet, PSN_WIZBACK, -1); break;
        case PSBTN_NEXT: wizardMove(sheet, PSN_WIZNEXT, +1); break;
        case PSBTN_FINISH: wizardFinish(sheet); break;
        case PSBTN_OK:
            if (apply(sheet, true)) EndDialog(sheet.hwnd, sheet.result);
            break;
        case PSBTN_APPLYNOW: apply(sheet, false); break;
        case PSBTN_CANCEL: cancel(sheet); break;
        default: break;
    }
}

void setTitle(const Sheet& sheet, DWORD style, LPCSTR text) {
    std::string title = textOrResource(sheet.module, text);
    if (style & PSH_PROPTITLE) title = "Properties for " + title;
    SetWindowTextA(sheet.hwnd, title.c_str());
}

LRESULT sheetWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto sheet = sheetOf(hwnd);
    if (!sheet) return DefDlgProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) break;
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (sheet->wizard) pressDefault(*sheet);
                    else press(*sheet, PSBTN_OK);
                    return 0;
                case ID_WIZBACK: press(*sheet, PSBTN_BACK); return 0;
                case ID_WIZNEXT: press(*sheet, PSBTN_NEXT); return 0;
                case ID_WIZFINISH: press(*sheet, PSBTN_FINISH); return 0;
                case IDCANCEL: press(*sheet, PSBTN_CANCEL); return 0;
                case ID_APPLY_NOW: press(*sheet, PSBTN_APPLYNOW); return 0;
                default: break;
            }
            break;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
            if (hdr == nullptr || hdr->hwndFrom != sheet->tab) break;
            if (hdr->code == TCN_SELCHANGING) return leave(*sheet) ? FALSE : TRUE;
            if (hdr->code == TCN_SELCHANGE) {
                const int wanted = static_cast<int>(SendMessageA(sheet->tab, TCM_GETCURSEL, 0, 0));
                // The page left already agreed; one that refuses to come keeps the old one.
                if (!enter(*sheet, wanted))
                    SendMessageA(sheet->tab, TCM_SETCURSEL, static_cast<WPARAM>(sheet->current), 0);
                return 0;
            }
            break;
        }
        case PSM_SETCURSEL: {
            int index = static_cast<int>(wParam);
            if (lParam != 0) {
                const auto page = reinterpret_cast<HPROPSHEETPAGE>(lParam);
                index = -1;
                for (std::size_t i = 0; i < sheet->pages.size(); ++i)
                    if (sheet->pages[i].handle == page) index = static_cast<int>(i);
            }
            return select(*sheet, index) ? TRUE : FALSE;
        }
        case PSM_CHANGED:
        case PSM_UNCHANGED: {
            const int index = pageWithWindow(*sheet, reinterpret_cast<HWND>(wParam));
            if (index < 0) return 0;
            sheet->pages[static_cast<std::size_t>(index)].modified = msg == PSM_CHANGED;
            updateApply(*sheet);
            return 0;
        }
        case PSM_SETTITLEA: setTitle(*sheet, static_cast<DWORD>(wParam), reinterpret_cast<LPCSTR>(lParam)); return 0;
        case PSM_GETCURRENTPAGEHWND:
            return sheet->current < 0 ? 0 : reinterpret_cast<LRESULT>(sheet->pages[static_cast<std::size_t>(sheet->current)].hwnd);
        case PSM_GETTABCONTROL: return reinterpret_cast<LRESULT>(sheet->tab);
        case PSM_APPLY: return apply(*sheet, false) ? TRUE : FALSE;
        case PSM_PRESSBUTTON: press(*sheet, static_cast<int>(wParam)); return 0;
        case PSM_SETWIZBUTTONS: setWizardButtons(*sheet, static_cast<DWORD>(lParam)); return 0;
        case PSM_SETFINISHTEXTA: setFinishText(*sheet, reinterpret_cast<LPCSTR>(lParam)); return 0;
        default: break;
    }
    return DefDlgProcA(hwnd, msg, wParam, lParam);
}

HWND addControl(HWND sheet, HINSTANCE module, ControlKind kind, const char* className, const char* text, int id,
                DWORD style, int x, int y, int cx, int cy) {
    CreateParams p;
    p.className = className;
    p.text = text;
    p.style = style | WS_CHILD | WS_VISIBLE;
    p.x = x;
    p.y = y;
    p.cx = cx;
    p.cy = cy;
    p.parent = sheet;
    p.id = id;
    p.module = module;
    p.hasControlKind = true;
    p.control = kind;
    return createWindow(p);
}

HWND addButton(const Sheet& sheet, bool isDefault, const char* text, int id, DWORD style, int x, int y) {
    return addControl(sheet.hwnd, sheet.module, isDefault ? ControlKind::DefPushButton : ControlKind::PushButton,
                      "Button", text, id, style | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), x, y,
                      kButtonCx, kButtonCy);
}

// OK, Cancel and (unless PSH_NOAPPLYNOW) a disabled Apply at the bottom right.
void addSheetButtons(Sheet& sheet, int sheetCx, int y) {
    const bool hasApply = !(sheet.flags & PSH_NOAPPLYNOW);
    const int applyX = sheetCx - kMargin - kButtonCx;
    const int cancelX = hasApply ? applyX - kMargin - kButtonCx : applyX;
    addButton(sheet, true, "OK", IDOK, 0, cancelX - kMargin - kButtonCx, y);
    addButton(sheet, false, "Cancel", IDCANCEL, 0, cancelX, y);
    if (hasApply) sheet.apply = addButton(sheet, false, "&Apply", ID_APPLY_NOW, WS_DISABLED, applyX, y);
}

// Back and Next side by side (Finish hidden in Next's place), Cancel apart at the right.
void addWizardButtons(Sheet& sheet, int sheetCx, int ruleY, int y) {
    ShowWindow(sheet.tab, SW_HIDE);
    addControl(sheet.hwnd, sheet.module, ControlKind::Separator, "Static", "", -1, SS_ETCHEDHORZ, 0, ruleY,
               sheetCx, 1);
    const int cancelX = sheetCx - kMargin - kButtonCx;
    const int nextX = cancelX - 2 * kMargin - kButtonCx;
    sheet.back = addButton(sheet, false, "< &Back", ID_WIZBACK, 0, nextX - kButtonCx, y);
    sheet.next = addButton(sheet, true, "&Next >", ID_WIZNEXT, 0, nextX, y);
    sheet.finish = addButton(sheet, false, "Finish", ID_WIZFINISH, 0, nextX, y);
    ShowWindow(sheet.finish, SW_HIDE);
    addButton(sheet, false, "Cancel", IDCANCEL, 0, cancelX, y);
}

void destroyPages(std::vector<Page>& pages) {
    for (auto& page : pages) DestroyPropertySheetPage(page.handle);
    pages.clear();
}

// The pages of the header as handles the sheet owns; false (with the error) when one is bad.
bool takePages(const PROPSHEETHEADERA& header, std::vector<Page>& out) {
    const auto* next = reinterpret_cast<const unsigned char*>(header.ppsp);
    for (UINT i = 0; i < header.nPages; ++i) {
        Page page;
        DWORD error = ERROR_INVALID_PARAMETER;
        if (header.dwFlags & PSH_PROPSHEETPAGE) {
            const auto* psp = reinterpret_cast<LPCPROPSHEETPAGEA>(next);
            if (psp != nullptr) {
                page.handle = CreatePropertySheetPageA(psp);
                error = GetLastError();
                next += psp->dwSize;
            }
        } else if (header.phpage != nullptr && livePage(header.phpage[i])) {
            page.handle = header.phpage[i];
        }
        if (page.handle == nullptr) {
            destroyPages(out);
            SetLastError(error);
            return false;
        }
        out.push_back(page);
    }
    return true;
}

}  // namespace
}  // namespace vlt::ui::detail

using namespace vlt::ui::detail;

HPROPSHEETPAGE CreatePropertySheetPageA(LPCPROPSHEETPAGEA lppsp) {
    if (lppsp == nullptr || lppsp->dwSize < sizeof(PROPSHEETPAGEA) || (lppsp->dwFlags & PSP_DLGINDIRECT) ||
        !IS_INTRESOURCE(lppsp->pszTemplate)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* page = new PSP_;
    page->storage.resize((lppsp->dwSize + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    std::memcpy(page->storage.data(), lppsp, lppsp->dwSize);
    PROPSHEETPAGEA* psp = page->psp();
    if (psp->dwFlags & PSP_USETITLE) {
        page->caption = textOrResource(psp->hInstance, psp->pszTitle);
    } else if (const auto* t = vlt::ui::findDialog(psp->hInstance, templateIdOf(*psp))) {
        page->caption = t->caption;
    }
    {
        auto& s = sheets();
        std::lock_guard lock(s.mutex);
        s.pages.insert(page);
    }
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback) psp->pfnCallback(nullptr, PSPCB_ADDREF, psp);
    return page;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE hPSPage) {
    {
        auto& s = sheets();
        std::lock_guard lock(s.mutex);
        if (s.pages.erase(hPSPage) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    PROPSHEETPAGEA* psp = hPSPage->psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback) psp->pfnCallback(nullptr, PSPCB_RELEASE, psp);
    delete hPSPage;
    return TRUE;
}

INT_PTR PropertySheetA(LPCPROPSHEETHEADERA lppsph) {
    if (lppsph == nullptr || lppsph->dwSize < sizeof(PROPSHEETHEADERA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const PROPSHEETHEADERA& header = *lppsph;
    if (header.dwFlags & PSH_MODELESS) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return -1;
    }
    auto sheet = std::make_shared<Sheet>();
    sheet->flags = header.dwFlags;
    sheet->wizard = (header.dwFlags & PSH_WIZARD) != 0;
    sheet->module = header.hInstance;
    if (!takePages(header, sheet->pages)) return -1;

    int pageCx = kMinPageCx, pageCy = kMinPageCy;
    for (auto& page : sheet->pages) {
        const auto* t = vlt::ui::findDialog(page.handle->psp()->hInstance, templateIdOf(*page.handle->psp()));
        if (t == nullptr) {
            destroyPages(sheet->pages);
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return -1;
        }
        pageCx = std::max(pageCx, t->cx);
        pageCy = std::max(pageCy, t->cy);
    }
    // A wizard's pages lie where its hidden tab control would show them, over a rule.
    const int tabCy = kTabHeader + pageCy + kMargin;
    const int ruleY = kMargin + pageCy + kMargin;
    const int buttonsY = sheet->wizard ? ruleY + 2 * kMargin : kMargin + tabCy + kMargin;
    const int sheetCx = pageCx + (sheet->wizard ? 2 : 4) * kMargin;
    const int sheetCy = buttonsY + kButtonCy + kMargin;
    sheet->pagePlace = sheet->wizard ? ChildPlacement{kMargin, kMargin} : ChildPlacement{2 * kMargin, kMargin + kTabHeader};

    std::string caption = textOrResource(header.hInstance, header.pszCaption);
    if (header.dwFlags & PSH_PROPTITLE) caption = "Properties for " + caption;
    CreateParams p;
    p.dialog = true;
    p.className = "#32770";
    p.text = caption;
    p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_CENTER;
    p.cx = sheetCx;
    p.cy = sheetCy;
    p.parent = header.hwndParent;
    p.module = header.hInstance;
    const HWND hwnd = createWindow(p);
    if (hwnd == nullptr) {
        const DWORD error = GetLastError();
        destroyPages(sheet->pages);
        SetLastError(error);
        return -1;
    }
    sheet->hwnd = hwnd;
    {
        auto& s = sheets();
        std::lock_guard lock(s.mutex);
        s.byWindow[hwnd] = sheet;
    }
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&sheetWindowProc));

    sheet->tab = addControl(hwnd, header.hInstance, vlt::ui::ControlKind::Tab, WC_TABCONTROLA, "", kTabId,
                            WS_TABSTOP, kMargin, kMargin, sheetCx - 2 * kMargin, tabCy);
    for (std::size_t i = 0; i < sheet->pages.size(); ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = sheet->pages[i].handle->caption.data();
        SendMessageA(sheet->tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    if (sheet->wizard) addWizardButtons(*sheet, sheetCx, ruleY, buttonsY);
    else addSheetButtons(*sheet, sheetCx, buttonsY);


    // The start page, else the first page that accepts.
    const int count = static_cast<int>(sheet->pages.size());
    int start = static_cast<int>(header.nStartPage);
    if (header.dwFlags & PSH_USEPSTARTPAGE) {
        const std::string wanted = textOrResource(header.hInstance, header.pStartPage);
        start = 0;
        for (int i = 0; i < count; ++i)
            if (sheet->pages[static_cast<std::size_t>(i)].handle->caption == wanted) start = i;
    }
    if (start < 0 || start >= count) start = 0;
    for (int k = 0; k < count && IsWindow(hwnd); ++k)
        if (enter(*sheet, (start + k) % count)) break;

    if (IsWindow(hwnd) && (header.dwFlags & PSH_USECALLBACK) && header.pfnCallback)
        header.pfnCallback(hwnd, PSCB_INITIALIZED, 0);

    const INT_PTR result = IsWindow(hwnd) ? runModal(hwnd, [&] {
        if (sheet->current >= 0) showPage(sheet->pages[static_cast<std::size_t>(sheet->current)].hwnd);
    })
                                          : 0;
    {
        auto& s = sheets();
        std::lock_guard lock(s.mutex);
        s.byWindow.erase(hwnd);
    }
    destroyPages(sheet->pages);
    return result < 0 ? 0 : result;
}
