// ZarnSetup: installs the receiver application from the storage card.
#include "installer/setup_app.h"
#include "platform/command_line.h"
#include "platform/ui/win_main.h"

namespace {

zarn::CZarnSetupApp theApp;

const zarn::CommandLine kCommandLine{
    "ZarnSetup",
    "Installs the Zarn receiver program from the storage card into the device: copies\n"
    "files/zarn/zarn.exe of the card to \\Program Files\\ZarnController (and, the first\n"
    "time, to \\iPAQ File Store\\ZarnController) and writes the Start Menu shortcut.",
    {},
    "Environment:\n"
    "  ZARN_ROOT  host folder of the device's root (default $XDG_DATA_HOME/zarn)\n"
    "  ZARN_CARD  host folder of the storage card (default: this program's folder when\n"
    "             it holds files/, else ROOT/Storage Card)\n"};

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = zarn::parseCommandLine(kCommandLine, argc, argv)) return *status;
    return zarn::AfxWinMain(argc, argv);
}
