#pragma once
// runProgram: runs a command-line tool to its end (openssl, mosquitto_passwd, promtool),
// without a shell, feeding it `input` and collecting stdout and stderr together; as
// `user` when given (initdb refuses to run as root).

#include <string>
#include <vector>

#include "testing/servers/server_folder.h"

namespace zarn::testing {

struct ProgramRun {
    int status = -1;  // the exit status; -1 when it could not run or was killed
    std::string output;
};

ProgramRun runProgram(const std::vector<std::string>& argv, const std::string& input = "",
                      const ServerUser& user = {});

}  // namespace zarn::testing
