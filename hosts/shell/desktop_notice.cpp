#include "hosts/shell/desktop_notice.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace vlt::host {
namespace {

constexpr int kNotStarted = -2;
// A notification daemon started on demand takes a moment; a bus that hangs must not hold the
// action for long.
constexpr auto kPatience = std::chrono::seconds(5);

// Runs a program from PATH with nothing of ours attached: its exit status, -1 when it ended by
// a signal or took too long (it is killed then), kNotStarted when there is no such program.
int runQuietly(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return kNotStarted;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if ((done < 0 && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// A string in GVariant text, which gdbus parses its arguments as.
std::string variantText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

bool standardErrorUnseen() { return isatty(STDERR_FILENO) == 0; }

bool notifyDesktop(const std::string& text) {
    const int sent = runQuietly({"notify-send", "--app-name=VLT", "--icon=dialog-error", "--", "VLT", text});
    if (sent != kNotStarted) return sent == 0;
    return runQuietly({"gdbus", "call", "--session", "--dest", "org.freedesktop.Notifications", "--object-path",
                       "/org/freedesktop/Notifications", "--method", "org.freedesktop.Notifications.Notify", "--",
                       "VLT", "0", "dialog-error", variantText("VLT"), variantText(text), "[]", "{}", "-1"}) == 0;
}

}  // namespace vlt::host
