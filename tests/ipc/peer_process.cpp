#include "peer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace vlt::test {

PeerProcess::~PeerProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        finish();
    }
}

bool PeerProcess::start(const std::vector<std::string>& args) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> argvText;
    argvText.push_back(VLT_IPC_PEER);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, VLT_IPC_PEER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
    if (rc != 0) {
        m_pid = -1;
        return false;
    }
    return true;
}

std::string PeerProcess::readLine(std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto nl = m_buffer.find('\n');
        if (nl != std::string::npos) {
            std::string line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return line;
        }
        if (m_eof || m_out < 0) return {};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {};
        pollfd p{m_out, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return {};
        char buf[512];
        const ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n <= 0) {
            m_eof = true;
            continue;
        }
        m_buffer.append(buf, static_cast<std::size_t>(n));
    }
}

int PeerProcess::finish(std::vector<std::string>* remainingLines) {
    if (m_in >= 0) {
        ::close(m_in);
        m_in = -1;
    }
    for (;;) {
        std::string line = readLine();
        if (line.empty() && (m_eof || m_out < 0)) break;
        if (line.empty()) break;
        if (remainingLines) remainingLines->push_back(line);
    }
    if (m_out >= 0) {
        ::close(m_out);
        m_out = -1;
    }
    int status = 0;
    if (m_pid > 0) {
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void PeerProcess::kill(int signal) {
    if (m_pid > 0) ::kill(m_pid, signal);
}

}  // namespace vlt::test
