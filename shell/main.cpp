// zarn: the receiver application.
#include "platform/ui/win_main.h"
#include "shell/command_line.h"
#include "shell/zarn_app.h"

namespace {
zarn::CZarnApp theApp;
}

int main(int argc, char** argv) {
    zarn::ZarnCommandLine line;
    if (const auto status = zarn::readZarnCommandLine(argc, argv, line)) return *status;
    zarn::applyZarnCommandLine(line);
    return zarn::AfxWinMain(argc, argv);
}
