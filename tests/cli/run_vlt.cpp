#include "run_vlt.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace vlt::test {

std::string buildPath(const std::string& relative) {
    const char* dir = std::getenv("VLT_BINARY_DIR");
    return std::string(dir ? dir : VLT_BINARY_DIR) + "/" + relative;
}

Run runVlt(const std::vector<std::string>& args, const std::string& input) { return runProgram("tools/vlt/vlt", args, input); }

Run runShell(const std::vector<std::string>& args, const std::string& input) {
    return runProgram("hosts/vlt-shell", args, input);
}

Run runProgram(const std::string& relative, const std::vector<std::string>& args, const std::string& input) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return {};
    const std::string program = buildPath(relative);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        // No controlling terminal: questions take their defaults, passwords come from stdin.
        setsid();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    (void)!write(in[1], input.data(), input.size());
    close(in[1]);
    Run run;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buf[4096];
    while (open > 0 && poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? run.out : run.err).append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace vlt::test
