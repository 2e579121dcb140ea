// zarnlog: reads, exports and plots Zarn survey logs.
#include <signal.h>

#include <iostream>

#include "tools/zarnlog/zarnlog_command.h"

int main(int argc, char** argv) {
    // A file size limit then fails the write with EFBIG, reported like a full disk.
    signal(SIGXFSZ, SIG_IGN);
    return zarn::runZarnlog(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
