#include "com/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/paths.h"
#include "win32/libloaderapi.h"
#include "win32/winbase.h"

namespace vlt::com {
namespace {

struct Search {
    std::uintptr_t base = 0;
    bool found = false;
    bool mainProgram = false;
    std::string name;
};

// The lowest mapped address of an object: what dladdr reports as dli_fbase.
int visit(dl_phdr_info* info, std::size_t, void* data) {
    auto* s = static_cast<Search*>(data);
    std::uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        const std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (start < lowest) lowest = start;
    }
    if (lowest == UINTPTR_MAX) return 0;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    lowest &= ~(page - 1);
    if (lowest != s->base) return 0;
    s->found = true;
    s->name = info->dlpi_name ? info->dlpi_name : "";
    s->mainProgram = s->name.empty();
    return 1;
}

}  // namespace

HMODULE moduleHandleOf(const void* address) {
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fbase) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

Result<std::string> moduleFileName(HMODULE module) {
    if (!module) {
        std::string path = base::programPath();
        if (path.empty()) return fail("the program's path is not known", ERROR_MOD_NOT_FOUND);
        return path;
    }
    Search s;
    s.base = reinterpret_cast<std::uintptr_t>(module);
    dl_iterate_phdr(visit, &s);
    if (!s.found) return fail("not a module handle", ERROR_MOD_NOT_FOUND);
    if (s.mainProgram) return moduleFileName(nullptr);
    if (!s.name.empty() && s.name[0] != '/') {
        char resolved[PATH_MAX];
        if (realpath(s.name.c_str(), resolved)) return std::string(resolved);
    }
    return s.name;
}

}  // namespace vlt::com

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    auto name = vlt::com::moduleFileName(hModule);
    if (!name) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string& path = *name;
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(path.size());
    }
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}
