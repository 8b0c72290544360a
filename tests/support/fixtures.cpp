#include "support/fixtures.h"

#include <cctype>
#include <fstream>
#include <stdexcept>

#include "support/sandbox.h"

namespace vlt::test {

std::string fixturePath(const std::string& relative) { return std::string(VLT_FIXTURE_DIR) + "/" + relative; }

std::vector<unsigned char> fixture(const std::string& relative) { return readFile(fixturePath(relative)); }

const nlohmann::json& manifest() {
    static const nlohmann::json m = [] {
        std::ifstream in(fixturePath("manifest.json"));
        return nlohmann::json::parse(in);
    }();
    return m;
}

std::vector<unsigned char> fromHex(const std::string& hex) {
    std::vector<unsigned char> out;
    int hi = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;  // spaces and separators
        if (hi < 0) hi = v;
        else {
            out.push_back(static_cast<unsigned char>(hi * 16 + v));
            hi = -1;
        }
    }
    return out;
}

std::string toHex(const std::vector<unsigned char>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

unsigned parseWord(const std::string& text) { return static_cast<unsigned>(std::stoul(text, nullptr, 0)); }

std::string ProfileProvider::name() const {
    std::string out = person + provider;
    out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    out[person.size()] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[person.size()])));
    return out;
}

const std::vector<ProfileProvider>& profileProviders() {
    static const std::vector<ProfileProvider> all = {
        {"owner", "base"}, {"owner", "enhanced"}, {"contact", "base"}, {"contact", "enhanced"}};
    return all;
}

}  // namespace vlt::test
