// What a shared object offers a host that loads it, and what code a program holds.
#pragma once

#include <set>
#include <string>

namespace vlt::test {

// The names a shared object exports: defined global or weak symbols of its dynamic table.
// Adds a test failure and returns what it found so far when the file is not a 64-bit ELF file.
std::set<std::string> dynamicExports(const std::string& path);
// The (mangled) names of the functions a file defines, from its full symbol table; empty when
// it was stripped.
std::set<std::string> definedFunctions(const std::string& path);

}  // namespace vlt::test
