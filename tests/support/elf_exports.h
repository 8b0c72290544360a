// What a shared object offers a host that loads it.
#pragma once

#include <set>
#include <string>

namespace vlt::test {

// The names a shared object exports: defined global or weak symbols of its dynamic table.
// Adds a test failure and returns what it found so far when the file is not a 64-bit ELF file.
std::set<std::string> dynamicExports(const std::string& path);

}  // namespace vlt::test
