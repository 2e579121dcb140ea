#include "testing/run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace zarn::testing {

CommandRun runCommand(const std::string& command) {
    CommandRun r;
    FILE* p = popen(("(" + command + ") 2>&1").c_str(), "r");
    if (!p) return r;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, p)) > 0;) r.output.append(chunk, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace zarn::testing
