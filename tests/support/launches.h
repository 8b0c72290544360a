// Programs a test's code starts through the shell are recorded, not started.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "shell/execute.h"

namespace vlt::test {

class Launches {
public:
    // `outcome` answers each launch as the spawner would (0 started, else an errno value);
    // without it every launch starts. Refused launches are recorded too.
    explicit Launches(std::function<int(const shell::Launch&)> outcome = {}) : m_outcome(std::move(outcome)) {
        m_previous = shell::setSpawner([this](const shell::Launch& l) {
            std::lock_guard lock(m_mutex);
            m_list.push_back(l);
            return m_outcome ? m_outcome(l) : 0;
        });
    }
    ~Launches() { shell::setSpawner(m_previous); }
    Launches(const Launches&) = delete;
    Launches& operator=(const Launches&) = delete;
    std::vector<shell::Launch> list() {
        std::lock_guard lock(m_mutex);
        return m_list;
    }

private:
    std::function<int(const shell::Launch&)> m_outcome;
    std::mutex m_mutex;
    std::vector<shell::Launch> m_list;
    shell::Spawner m_previous;
};

}  // namespace vlt::test
