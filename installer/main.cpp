// ZarnSetup: installs the receiver application from the storage card.
#include "installer/setup_app.h"
#include "platform/ui/win_main.h"

namespace {
zarn::CZarnSetupApp theApp;
}

int main(int argc, char** argv) { return zarn::AfxWinMain(argc, argv); }
