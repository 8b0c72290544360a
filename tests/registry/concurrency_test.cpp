// Several processes and threads on one hive, as the four deliverables use it.
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <thread>

#include "registry_test.h"

namespace vlt::test {
namespace {

const char* const kKey = "Software\\Quillon Softworks\\Vaultine\\1.00\\Certificate";
constexpr int kValuesPerWriter = 150;

std::string valueName(int writer, int i) { return "w" + std::to_string(writer) + "-" + std::to_string(i); }
std::string valueData(int writer, int i) { return std::string(40 + i % 7, static_cast<char>('a' + writer)) + std::to_string(i); }

// Writes its share of values and a subkey per ten, each through a key opened for the purpose,
// as a deliverable would. Returns the number of failed calls.
int writeShare(int writer) {
    int failures = 0;
    for (int i = 0; i < kValuesPerWriter; ++i) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
            ++failures;
            continue;
        }
        const std::string name = valueName(writer, i);
        const std::string data = valueData(writer, i);
        if (RegSetValueExA(key, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
            ++failures;
        if (i % 10 == 0) {
            HKEY sub = nullptr;
            const std::string subName = "sub-" + name;
            if (RegCreateKeyExA(key, subName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) !=
                ERROR_SUCCESS)
                ++failures;
            else
                RegCloseKey(sub);
        }
        RegCloseKey(key);
    }
    return failures;
}

class Concurrency : public RegistryTest {
protected:
    void expectEverything(int writers) {
        registry::resetHives();
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
        const auto names = valueNames(key);
        EXPECT_EQ(names.size(), static_cast<size_t>(writers * kValuesPerWriter));
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
        for (int w = 0; w < writers; ++w)
            for (int i = 0; i < kValuesPerWriter; ++i)
                EXPECT_EQ(get(key, valueName(w, i).c_str()), valueData(w, i)) << valueName(w, i);
        EXPECT_EQ(subkeyNames(key).size(), static_cast<size_t>(writers * ((kValuesPerWriter + 9) / 10)));
        RegCloseKey(key);
    }
};

TEST_F(Concurrency, TwoProcessesWritingAtOnceLoseNothing) {
    // The parent has the hive open before it forks: the children must not share its connection.
    RegCloseKey(create(HKEY_CURRENT_USER, kKey));
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    pid_t children[2];
    for (int w = 0; w < 2; ++w) {
        children[w] = fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0) {
            close(pipefd[1]);
            char go;
            if (read(pipefd[0], &go, 1) != 1) _exit(100);  // start together
            _exit(writeShare(w) == 0 ? 0 : 1);
        }
    }
    close(pipefd[0]);
    ASSERT_EQ(write(pipefd[1], "gg", 2), 2);
    close(pipefd[1]);
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a child saw a failed call";
    }
    expectEverything(2);
}

TEST_F(Concurrency, ThreadsShareTheHandleTable) {
    int failures[4] = {};
    std::vector<std::thread> threads;
    for (int w = 0; w < 4; ++w) threads.emplace_back([w, &failures] { failures[w] = writeShare(w); });
    for (auto& t : threads) t.join();
    for (int f : failures) EXPECT_EQ(f, 0);
    expectEverything(4);
}

}  // namespace
}  // namespace vlt::test
