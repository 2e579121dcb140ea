// zarnlog: reads, exports and plots Zarn survey logs.
#include <iostream>

#include "tools/zarnlog/zarnlog_command.h"

int main(int argc, char** argv) {
    return zarn::runZarnlog(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
