// zarn: the receiver application.
#include "platform/ui/win_main.h"
#include "shell/zarn_app.h"

namespace {
zarn::CZarnApp theApp;
}

int main(int argc, char** argv) { return zarn::AfxWinMain(argc, argv); }
