// Runs vlt_ipc_peer as a separate process with its standard input and output on pipes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vlt::test {

class PeerProcess {
public:
    PeerProcess() = default;
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // Starts the peer with these arguments; the environment (VLT_RUNTIME_DIR) is inherited.
    bool start(const std::vector<std::string>& args);
    // The next line of output without its newline; "" at the end of output or after the wait.
    std::string readLine(std::chrono::milliseconds wait = std::chrono::seconds(20));
    // Closes the peer's input (it ends), then collects what it still prints and its exit code.
    int finish(std::vector<std::string>* remainingLines = nullptr);
    void kill(int signal);
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
    bool m_eof = false;
};

}  // namespace vlt::test
