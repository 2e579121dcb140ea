// zarn: the receiver application.
#include "platform/sdl/window_options.h"
#include "platform/ui/win_main.h"
#include "shell/zarn_app.h"

namespace {
zarn::CZarnApp theApp;
}

int main(int argc, char** argv) {
    if (const auto status = zarn::readWindowArguments(argc, argv)) return *status;
    return zarn::AfxWinMain(argc, argv);
}
