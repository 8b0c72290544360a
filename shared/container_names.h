// Names of the key containers the profile operations use; each lives for one operation.
#pragma once

#include <string>
#include <string_view>

namespace vlt {

// Every lock, grant and unlock of the shell extension.
inline constexpr char kWorkContainerName[] = "Vaultine";
// Filling the unlock cache.
inline constexpr char kCacheContainerName[] = "TempContainer";

// The logged-on user's name, empty when the system cannot tell.
std::string loggedOnUserName();
// userName + "VTC", "DefaultVTC" when userName is empty.
std::string profileContainerNameFor(std::string_view userName);
// Profile creation, password verification and change.
std::string profileContainerName();

}  // namespace vlt
