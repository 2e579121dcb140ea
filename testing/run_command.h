#pragma once
// A shell command run to its end, for tests that run a program as a user does.

#include <string>

namespace zarn::testing {

struct CommandRun {
    int status = -1;     // the exit status; -1 when it did not exit
    std::string output;  // standard output and standard error together
};

CommandRun runCommand(const std::string& command);

}  // namespace zarn::testing
