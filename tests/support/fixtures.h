// The interoperability fixtures made with the Windows providers, and their manifest.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace vlt::test {

std::string fixturePath(const std::string& relative);
std::vector<unsigned char> fixture(const std::string& relative);
const nlohmann::json& manifest();

std::vector<unsigned char> fromHex(const std::string& hex);
std::string toHex(const std::vector<unsigned char>& bytes);
// "0x10006602" -> 0x10006602
unsigned parseWord(const std::string& text);

// A profile of the manifest with one of its providers ("owner"/"contact", "base"/"enhanced"):
// the cases of tests that run once for each, named by name() ("OwnerBase").
struct ProfileProvider {
    std::string person;
    std::string provider;
    std::string name() const;
};
const std::vector<ProfileProvider>& profileProviders();
inline void PrintTo(const ProfileProvider& p, std::ostream* os) { *os << p.name(); }

}  // namespace vlt::test
