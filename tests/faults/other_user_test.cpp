// Another local user, while the profile is unlocked: reads nothing of the hive or the unlock
// cache, writes nothing into their folders, and finds no private key bytes in what it can read.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "faults/harness.h"

namespace vlt::test::faults {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// What the user kNobody may do to each path: "r" it opened the file, "w" it created a file in
// the folder. One line per path, from a child that dropped root.
std::vector<std::string> tryAsNobody(const std::vector<std::string>& files, const std::vector<std::string>& folders) {
    int out[2];
    if (pipe(out) != 0) return {"pipe failed"};
    const pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
        for (const auto& f : files) {
            const int fd = open(f.c_str(), O_RDONLY);
            if (fd >= 0) dprintf(out[1], "r %s\n", f.c_str());
        }
        for (const auto& d : folders) {
            const std::string probe = d + "/planted";
            if (open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644) >= 0) dprintf(out[1], "w %s\n", d.c_str());
        }
        _exit(0);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {"the child could not become another user"};
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

TEST(HostileUser, ReadsAndPlantsNothingWhileUnlocked) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second local user";
    Template from;
    auto box = sandboxFrom(from);
    // Folders anyone may enter, as a home usually is: what protects the profile is its own.
    for (const auto& dir : {box->root(), box->home(), box->machine(), box->runtime(), box->files()})
        chmod(dir.c_str(), 0755);
    // Unlocked, with the cache filled, and a file locked and one unlocked in the user's folder.
    const std::string plain = box->path("doc.bin");
    writeFile(plain, sampleBytes(5000, 5));
    ASSERT_EQ(lockWith(true, plain).status, 0);
    ASSERT_EQ(runVlt({"unlock", "--password-stdin", box->files() + "/base.bin.Vtf"}, std::string(kOldPassword) + "\n")
                  .status,
              0);
    const auto runs = cachedKeyRuns();
    ASSERT_FALSE(runs.empty());

    std::vector<std::string> files, privateFolders;
    for (const auto& dir : {box->home(), box->runtime(), box->machine(), box->files()})
        for (const auto& f : listFiles(dir)) files.push_back(f);
    for (const auto& dir : {box->home(), box->runtime()})
        for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it)
            if (it->is_directory()) privateFolders.push_back(it->path().string());
    for (const auto& line : tryAsNobody(files, privateFolders)) {
        if (line.size() < 3 || line[1] != ' ') {
            ADD_FAILURE() << line;
            continue;
        }
        const std::string path = line.substr(2);
        const bool ours = path.rfind(box->home(), 0) == 0 || path.rfind(box->runtime(), 0) == 0;
        if (line[0] == 'w' || ours) {
            ADD_FAILURE() << "another user could " << (line[0] == 'w' ? "create a file in " : "read ") << path;
            continue;
        }
        const auto bytes = readFile(path);
        for (const auto& run : runs)
            EXPECT_EQ(std::search(bytes.begin(), bytes.end(), run.begin(), run.end()), bytes.end())
                << "another user reads private key bytes in " << path;
    }
    EXPECT_EQ(runVlt({"profile", "lock"}).status, 0);
}

}  // namespace
}  // namespace vlt::test::faults
