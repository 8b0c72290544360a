// A throwaway home for one test: a temporary directory with VLT_HOME, VLT_MACHINE_DIR and
// VLT_RUNTIME_DIR pointing inside it. The environment is restored and the tree removed at the end.
#pragma once

#include <string>
#include <vector>

namespace vlt::test {

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& root() const { return m_root; }
    std::string home() const { return m_root + "/home"; }
    std::string machine() const { return m_root + "/machine"; }
    std::string runtime() const { return m_root + "/run"; }
    // A folder for the test's own files.
    std::string files() const { return m_root + "/files"; }
    std::string path(const std::string& name) const { return files() + "/" + name; }

private:
    std::string m_root;
    std::vector<std::pair<std::string, std::string>> m_saved;  // name, value ("\1" = unset)
};

std::vector<unsigned char> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<unsigned char>& bytes);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
// Every regular file below a folder, recursively.
std::vector<std::string> listFiles(const std::string& dir);
// The names of the entries of one folder (hidden ones too), sorted.
std::vector<std::string> namesIn(const std::string& dir);

}  // namespace vlt::test
