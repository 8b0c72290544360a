// vlt reg import | export | query: the registry hives as text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/byte_codec.h"
#include "cli.h"
#include "hosts/shell/run_outcome.h"
#include "registry/nls.h"
#include "registry/regtext.h"
#include "shared/registry_key.h"
#include "sys/files.h"
#include "win32/winreg.h"

namespace vlt::cli {

const char* const kRegHelp =
    "usage: vlt reg import FILE.reg\n"
    "       vlt reg export [KEYPATH] [FILE]\n"
    "       vlt reg query KEYPATH [VALUE]\n"
    "\n"
    "KEYPATH starts with HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT (or HKCU,\n"
    "HKLM, HKCR), e.g. 'HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Profile'.\n"
    "import  applies a .reg file (REGEDIT4 or Windows Registry Editor Version 5.00; UTF-16LE or\n"
    "        UTF-8; at most 64 MiB, a regular file); a file with an error changes nothing, and\n"
    "        the rest is stored as one transaction per hive. Keys lie at most 512 levels deep.\n"
    "export  writes the key and everything below it in the Version 5.00 format: to FILE as\n"
    "        UTF-16LE (what Windows writes), to standard output as UTF-8. Without KEYPATH,\n"
    "        the product key of the current user.\n"
    "query   prints one value, or every value of the key; exit status 1 when it does not exist.\n";

namespace {

const char* kDefaultExport = "HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00";

std::string hex(const BYTE* data, DWORD size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        if (i) out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string describe(DWORD type, const std::vector<BYTE>& data) {
    switch (type) {
        case REG_DWORD:
            if (data.size() == 4) {
                const DWORD v = loadLE<DWORD>(data.data());
                char text[32];
                std::snprintf(text, sizeof text, "0x%08x (%u)", v, v);
                return std::string("REG_DWORD ") + text;
            }
            return "REG_DWORD " + hex(data.data(), static_cast<DWORD>(data.size()));
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::string s(data.begin(), data.end());
            if (!s.empty() && s.back() == '\0') s.pop_back();
            return std::string(type == REG_SZ ? "REG_SZ " : "REG_EXPAND_SZ ") + registry::fromAnsi(s);
        }
        case REG_BINARY: return "REG_BINARY " + hex(data.data(), static_cast<DWORD>(data.size()));
        default: return "type " + std::to_string(type) + " " + hex(data.data(), static_cast<DWORD>(data.size()));
    }
}

// Far more than any profile or settings export; what an import may hold in memory.
constexpr std::size_t kMaxImportBytes = std::size_t{64} << 20;

// The whole of a regular file of at most kMaxImportBytes. Opened without blocking, so that a
// FIFO nobody writes to is refused rather than waited for; devices and directories are refused.
Result<std::string> readImportFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(std::string("cannot open it: ") + std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail("not a regular file; only .reg files can be imported");
    }
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail(std::string("cannot read it: ") + std::strerror(err));
        }
        if (n == 0) break;
        // Checked as it grows: the file may be growing while it is read.
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxImportBytes) {
            ::close(fd);
            return fail("larger than 64 MiB, the most an import reads");
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

int import(const std::vector<std::string>& operands) {
    if (operands.size() != 1) return usageError("reg import takes one file", kRegHelp);
    const auto bytes = readImportFile(operands[0]);
    if (!bytes) {
        std::fprintf(stderr, "vlt: %s: %s\n", operands[0].c_str(), bytes.error().message.c_str());
        return kFailed;
    }
    if (auto r = registry::importRegText(*bytes); !r) {
        std::fprintf(stderr, "vlt: %s: %s\n", operands[0].c_str(), r.error().message.c_str());
        return kFailed;
    }
    return kOk;
}

int exportKey(const std::vector<std::string>& operands) {
    if (operands.size() > 2) return usageError("reg export takes a key path and a file", kRegHelp);
    const std::string path = operands.empty() ? kDefaultExport : operands[0];
    auto split = registry::splitRootPath(path);
    if (!split) return usageError(split.error().message, kRegHelp);
    const bool toFile = operands.size() == 2;
    auto text = registry::exportRegText(split->first, split->second,
                                        toFile ? registry::RegTextFormat::Version5Utf16
                                               : registry::RegTextFormat::Version5Utf8);
    if (!text) {
        std::fprintf(stderr, "vlt: %s: %s\n", path.c_str(), text.error().message.c_str());
        return kFailed;
    }
    if (!toFile) {
        if (std::fwrite(text->data(), 1, text->size(), stdout) != text->size()) return finishOutput(kFailed);
        return finishOutput(kOk);
    }
    if (auto r = sys::writeFileAtomically(host::absolutePaths({operands[1]}).front(), text->data(), text->size(), 0600); !r) {
        std::fprintf(stderr, "vlt: %s\n", r.error().message.c_str());
        return kFailed;
    }
    return kOk;
}

int query(const std::vector<std::string>& operands) {
    if (operands.empty() || operands.size() > 2) return usageError("reg query takes a key path and a value", kRegHelp);
    auto split = registry::splitRootPath(operands[0]);
    if (!split) return usageError(split.error().message, kRegHelp);
    HKEY key = nullptr;
    if (LONG rc = RegOpenKeyExA(split->first, split->second.c_str(), 0, KEY_READ, &key); rc != ERROR_SUCCESS) {
        // Other failures (a damaged or refused hive) were told by the registry itself.
        if (rc == ERROR_FILE_NOT_FOUND) std::fprintf(stderr, "vlt: %s: no such key\n", operands[0].c_str());
        else std::fprintf(stderr, "vlt: %s: cannot be read (error %ld)\n", operands[0].c_str(), static_cast<long>(rc));
        return kFailed;
    }
    int status = kOk;
    auto read = [&](const char* name, DWORD& type, std::vector<BYTE>& data) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        data.resize(size);
        rc = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
        data.resize(size);
        return rc;
    };
    if (operands.size() == 2) {
        DWORD type = 0;
        std::vector<BYTE> data;
        if (read(operands[1].c_str(), type, data) != ERROR_SUCCESS) {
            std::fprintf(stderr, "vlt: %s: no value '%s'\n", operands[0].c_str(), operands[1].c_str());
            status = kFailed;
        } else {
            std::printf("%s\n", describe(type, data).c_str());
        }
    } else {
        char name[16384];
        for (DWORD i = 0;; ++i) {
            DWORD nameLength = sizeof name;
            if (RegEnumValueA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            DWORD type = 0;
            std::vector<BYTE> data;
            if (read(name, type, data) != ERROR_SUCCESS) continue;
            std::printf("%s\t%s\n", nameLength ? name : "(default)", describe(type, data).c_str());
        }
    }
    RegCloseKey(key);
    return status;
}

}  // namespace

int cmdReg(const std::vector<std::string>& words) {
    if (words.empty()) return usageError("reg needs import, export or query", kRegHelp);
    Args args(std::vector<std::string>(words.begin() + 1, words.end()), {}, {});
    if (!args.ok()) return usageError(args.error(), kRegHelp);
    if (words.front() == "import") return import(args.operands());
    if (words.front() == "export") return exportKey(args.operands());
    if (words.front() == "query") return query(args.operands());
    return usageError("unknown reg command '" + words.front() + "'", kRegHelp);
}

}  // namespace vlt::cli
