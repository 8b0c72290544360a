// Programs a test's code starts through the shell are recorded, not started.
#pragma once

#include <mutex>
#include <vector>

#include "shell/execute.h"

namespace vlt::test {

class Launches {
public:
    Launches() {
        m_previous = shell::setSpawner([this](const shell::Launch& l) {
            std::lock_guard lock(m_mutex);
            m_list.push_back(l);
            return 0;
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
    std::mutex m_mutex;
    std::vector<shell::Launch> m_list;
    shell::Spawner m_previous;
};

}  // namespace vlt::test
