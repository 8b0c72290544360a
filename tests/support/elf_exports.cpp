#include "support/elf_exports.h"

#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "support/sandbox.h"

namespace vlt::test {
namespace {

// The names of the symbols of every table of the given type that `keep` accepts.
std::set<std::string> symbols(const std::string& path, Elf64_Word table,
                              const std::function<bool(const Elf64_Sym&)>& keep) {
    const auto bytes = readFile(path);
    std::set<std::string> out;
    if (bytes.size() < sizeof(Elf64_Ehdr)) {
        ADD_FAILURE() << "not an ELF file";
        return out;
    }
    Elf64_Ehdr eh;
    std::memcpy(&eh, bytes.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) {
        ADD_FAILURE() << "not a 64-bit ELF file";
        return out;
    }
    auto section = [&](std::size_t i) {
        Elf64_Shdr sh{};
        const std::size_t at = eh.e_shoff + i * eh.e_shentsize;
        if (at + sizeof sh <= bytes.size()) std::memcpy(&sh, bytes.data() + at, sizeof sh);
        return sh;
    };
    for (std::size_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr sh = section(i);
        if (sh.sh_type != table) continue;
        const Elf64_Shdr strings = section(sh.sh_link);
        for (std::size_t off = 0; off + sizeof(Elf64_Sym) <= sh.sh_size; off += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            std::memcpy(&sym, bytes.data() + sh.sh_offset + off, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || sym.st_name == 0 || !keep(sym)) continue;
            out.insert(reinterpret_cast<const char*>(bytes.data() + strings.sh_offset + sym.st_name));
        }
    }
    return out;
}

}  // namespace

std::set<std::string> dynamicExports(const std::string& path) {
    return symbols(path, SHT_DYNSYM, [](const Elf64_Sym& sym) {
        const unsigned bind = ELF64_ST_BIND(sym.st_info);
        return bind == STB_GLOBAL || bind == STB_WEAK;
    });
}

std::set<std::string> definedFunctions(const std::string& path) {
    return symbols(path, SHT_SYMTAB, [](const Elf64_Sym& sym) { return ELF64_ST_TYPE(sym.st_info) == STT_FUNC; });
}

}  // namespace vlt::test
