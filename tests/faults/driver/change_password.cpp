// Changes the profile's password as the settings page will: the old password on the first
// line of standard input, the new one on the second. Exit 0 when changed, 1 otherwise.
#include <iostream>
#include <string>

#include "shared/profile_keys.h"
#include "shared/registry_layout.h"

int main() {
    std::string oldPassword, newPassword;
    if (!std::getline(std::cin, oldPassword) || !std::getline(std::cin, newPassword)) return 2;
    vlt::layout::declareVolatileValues();
    return vlt::changePassword(oldPassword, newPassword) ? 0 : 1;
}
