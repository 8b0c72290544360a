#include "shared/container_names.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "win32/windef.h"

namespace vlt {

std::string loggedOnUserName() {
    std::string name;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr)
        name = found->pw_name;
    if (name.empty()) {
        char login[MAX_PATH] = {};
        if (getlogin_r(login, sizeof login) == 0) name = login;
    }
    // The name came in a buffer of MAX_PATH characters.
    if (name.size() > MAX_PATH - 1) name.resize(MAX_PATH - 1);
    return name;
}

std::string profileContainerNameFor(std::string_view userName) {
    return std::string(userName.empty() ? std::string_view("Default") : userName) + "VTC";
}

std::string profileContainerName() { return profileContainerNameFor(loggedOnUserName()); }

}  // namespace vlt
