// Resources declared in C++ per module, icons and image lists, system metrics.
#include "ui/resources.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "ui/internal.h"

namespace vlt::ui {
namespace {

using Key = std::pair<HINSTANCE, int>;

struct Registry {
    std::mutex mutex;
    std::map<Key, std::unique_ptr<DialogTemplate>> dialogs;
    std::map<Key, std::unique_ptr<Image>> icons;
    std::map<Key, std::unique_ptr<AnimationClip>> clips;
    std::map<Key, std::unique_ptr<std::string>> strings;
    std::map<Key, std::unique_ptr<Image>> bitmaps;
    std::map<Key, std::unique_ptr<Image>> cursors;
};

Registry& registry() {
    static Registry* r = new Registry;  // outlives every static user
    return *r;
}

template <typename T>
void put(std::map<Key, std::unique_ptr<T>>& map, Key key, T value) {
    auto& slot = map[key];
    if (slot) *slot = std::move(value);  // earlier pointers stay valid
    else slot = std::make_unique<T>(std::move(value));
}

template <typename T>
const T* get(std::map<Key, std::unique_ptr<T>>& map, Key key) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : it->second.get();
}

// Icons and image lists; guarded by the window runtime's mutex.
struct IconRecord {
    IconInfo info;
};
struct ImageListRecord {
    int cx = 0;
    int cy = 0;
    std::vector<Image> images;
};

std::map<std::uintptr_t, IconRecord>& icons() {
    static auto* m = new std::map<std::uintptr_t, IconRecord>;
    return *m;
}
std::map<Key, HICON>& sharedIcons() {
    static auto* m = new std::map<Key, HICON>;
    return *m;
}
std::map<Key, HCURSOR>& sharedCursors() {
    static auto* m = new std::map<Key, HCURSOR>;
    return *m;
}
std::map<std::uintptr_t, ImageListRecord>& imageLists() {
    static auto* m = new std::map<std::uintptr_t, ImageListRecord>;
    return *m;
}

}  // namespace

HINSTANCE moduleOf(const void* address) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

void registerDialog(HINSTANCE module, DialogTemplate dialog) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const int id = dialog.resourceId;
    put(r.dialogs, Key{module, id}, std::move(dialog));
}

void registerIcon(HINSTANCE module, int id, Image image) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    put(r.icons, Key{module, id}, std::move(image));
}

void registerAnimation(HINSTANCE module, int id, AnimationClip clip) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    put(r.clips, Key{module, id}, std::move(clip));
}

void registerString(HINSTANCE module, int id, std::string text) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    put(r.strings, Key{module, id}, std::move(text));
}

const std::string* findString(HINSTANCE module, int id) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return get(r.strings, Key{module, id});
}

void registerBitmap(HINSTANCE module, int id, Image image) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    put(r.bitmaps, Key{module, id}, std::move(image));
}

void registerCursor(HINSTANCE module, int id, Image image) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    put(r.cursors, Key{module, id}, std::move(image));
}

const Image* findBitmap(HINSTANCE module, int id) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return get(r.bitmaps, Key{module, id});
}

const Image* findCursor(HINSTANCE module, int id) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return get(r.cursors, Key{module, id});
}

const DialogTemplate* findDialog(HINSTANCE module, int id) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return get(r.dialogs, Key{module, id});
}

const Image* findIcon(HINSTANCE module, int id) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return get(r.icons, Key{module, id});
}

const AnimationClip* findAnimation(HINSTANCE module, int id) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return get(r.clips, Key{module, id});
}

std::vector<std::pair<HINSTANCE, const DialogTemplate*>> allDialogs() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<std::pair<HINSTANCE, const DialogTemplate*>> out;
    for (const auto& [key, dialog] : r.dialogs) out.emplace_back(key.first, dialog.get());
    return out;
}

bool describeIcon(HICON icon, IconInfo& out) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    auto it = icons().find(reinterpret_cast<std::uintptr_t>(icon));
    if (it == icons().end()) return false;
    out = it->second.info;
    return true;
}

bool describeCursor(HCURSOR cursor, IconInfo& out) { return describeIcon(cursor, out); }

bool describeImageList(HIMAGELIST list, ImageListInfo& out) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    auto it = imageLists().find(reinterpret_cast<std::uintptr_t>(list));
    if (it == imageLists().end()) return false;
    out.cx = it->second.cx;
    out.cy = it->second.cy;
    out.images = it->second.images;
    return true;
}

}  // namespace vlt::ui

using namespace vlt::ui;
namespace detail = vlt::ui::detail;

namespace {

// LoadIcon and LoadCursor hand out one shared handle per resource.
HICON sharedHandle(std::map<Key, HICON>& shared, HINSTANCE module, int id, Image image) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    auto& handle = shared[Key{module, id}];
    if (handle == nullptr) {
        const auto value = detail::newHandleLocked();
        icons()[value] = IconRecord{IconInfo{module, id, std::move(image)}};
        handle = reinterpret_cast<HICON>(value);
    }
    return handle;
}

}  // namespace

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (lpIconName == nullptr || !IS_INTRESOURCE(lpIconName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);  // icons named by string are not kept
        return nullptr;
    }
    const int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(lpIconName));
    Image image;
    if (const Image* found = findIcon(hInstance, id)) {
        image = *found;
    } else if (hInstance == nullptr && id >= 32512 && id <= 32518) {
        image.width = image.height = 32;  // a stock icon: the front end draws its own
    } else {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return sharedHandle(sharedIcons(), hInstance, id, std::move(image));
}

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    if (lpCursorName == nullptr || !IS_INTRESOURCE(lpCursorName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const int id = static_cast<int>(reinterpret_cast<std::uintptr_t>(lpCursorName));
    Image image;
    if (const Image* found = findCursor(hInstance, id)) {
        image = *found;
    } else if (hInstance == nullptr && ((id >= 32512 && id <= 32516) || id == 32649)) {
        image.width = image.height = 32;  // a stock cursor: the front end shows its own
    } else {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return sharedHandle(sharedCursors(), hInstance, id, std::move(image));
}

BOOL DestroyIcon(HICON hIcon) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    if (icons().count(reinterpret_cast<std::uintptr_t>(hIcon)) == 0) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    return TRUE;  // shared icons stay until the process ends
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT, int, int) {
    if (cx <= 0 || cy <= 0) return nullptr;
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    const auto handle = detail::newHandleLocked();
    imageLists()[handle] = ImageListRecord{cx, cy, {}};
    return reinterpret_cast<HIMAGELIST>(handle);
}

int ImageList_ReplaceIcon(HIMAGELIST himl, int i, HICON hicon) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    auto list = imageLists().find(reinterpret_cast<std::uintptr_t>(himl));
    auto icon = icons().find(reinterpret_cast<std::uintptr_t>(hicon));
    if (list == imageLists().end() || icon == icons().end()) return -1;
    auto& images = list->second.images;
    if (i == -1) {
        images.push_back(icon->second.info.image);  // the list keeps a copy
        return static_cast<int>(images.size()) - 1;
    }
    if (i < 0 || static_cast<std::size_t>(i) >= images.size()) return -1;
    images[static_cast<std::size_t>(i)] = icon->second.info.image;
    return i;
}

int ImageList_GetImageCount(HIMAGELIST himl) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    auto list = imageLists().find(reinterpret_cast<std::uintptr_t>(himl));
    return list == imageLists().end() ? 0 : static_cast<int>(list->second.images.size());
}

BOOL ImageList_Destroy(HIMAGELIST himl) {
    auto& s = detail::state();
    std::lock_guard lock(s.mutex);
    return imageLists().erase(reinterpret_cast<std::uintptr_t>(himl)) ? TRUE : FALSE;
}

void InitCommonControls() {}

// ---- LoadStringA ---------------------------------------------------------------------------
// Reproduced: the count of characters copied without the terminating zero, a string cut to
// fit the buffer, 0 and ERROR_RESOURCE_NAME_NOT_FOUND for a string the module does not have.
// Left out: a zero-sized buffer asking for a pointer into the resource (the wide version's).
int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (lpBuffer == nullptr || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = '\0';
    const std::string* text = vlt::ui::findString(hInstance, static_cast<int>(uID));
    if (text == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(text->size(), static_cast<std::size_t>(cchBufferMax) - 1);
    std::memcpy(lpBuffer, text->data(), n);
    lpBuffer[n] = '\0';
    return static_cast<int>(n);
}

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
        case SM_CXSCREEN: return 1920;
        case SM_CYSCREEN: return 1080;
        case SM_CXICON:
        case SM_CYICON: return 32;
        case SM_CXSMICON:
        case SM_CYSMICON: return 16;
        default: return 0;
    }
}

BOOL GetCursorPos(POINT* lpPoint) {
    if (lpPoint == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Without a pointer (no front end, or one that cannot tell) menus open where the front end
    // puts them.
    POINT at{0, 0};
    if (auto* f = detail::fe(); f == nullptr || !f->cursorPos(at)) at = POINT{0, 0};
    *lpPoint = at;
    return TRUE;
}
