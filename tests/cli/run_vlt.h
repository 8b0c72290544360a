// Runs the suite's programs as a user would: arguments, standard input, the sandbox's environment.
#pragma once

#include <string>
#include <vector>

namespace vlt::test {

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

// A program of the build tree by its path below the build directory, e.g. "tools/vlt/vlt".
Run runProgram(const std::string& relative, const std::vector<std::string>& args, const std::string& input = "");
Run runVlt(const std::vector<std::string>& args, const std::string& input = "");
Run runShell(const std::vector<std::string>& args, const std::string& input = "");

std::string buildPath(const std::string& relative);

}  // namespace vlt::test
