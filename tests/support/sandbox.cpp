#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace vlt::test {
namespace {
// A value no real environment variable has, marking "was not set".
const std::string kUnset = "\1";
}  // namespace

Sandbox::Sandbox() {
    std::string tmpl = (fs::temp_directory_path() / "vlt-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    m_root = tmpl;
    for (const auto& d : {home(), machine(), runtime(), files()}) fs::create_directories(d);
    const std::pair<const char*, std::string> vars[] = {
        {"VLT_HOME", home()}, {"VLT_MACHINE_DIR", machine()}, {"VLT_RUNTIME_DIR", runtime()}};
    for (const auto& [name, value] : vars) {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::string(old) : kUnset);
        setenv(name, value.c_str(), 1);
    }
}

Sandbox::~Sandbox() {
    for (const auto& [name, value] : m_saved) {
        if (value == kUnset) unsetenv(name.c_str());
        else setenv(name.c_str(), value.c_str(), 1);
    }
    std::error_code ec;
    fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(m_root, ec); it != fs::recursive_directory_iterator(); ++it)
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_root, ec);
}

std::vector<unsigned char> readFile(const std::string& path) {
    // In blocks: a program of the build tree is tens of megabytes.
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> out;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) out.insert(out.end(), block, block + in.gcount());
    return out;
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeFile(const std::string& path, const std::string& text) {
    writeFile(path, std::vector<unsigned char>(text.begin(), text.end()));
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::vector<std::string> listFiles(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file()) out.push_back(it->path().string());
    return out;
}

std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace vlt::test
