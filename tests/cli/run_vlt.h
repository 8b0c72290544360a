// Runs the vlt program as a user would: arguments, standard input, the sandbox's environment.
#pragma once

#include <string>
#include <vector>

namespace vlt::test {

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

Run runVlt(const std::vector<std::string>& args, const std::string& input = "");

}  // namespace vlt::test
