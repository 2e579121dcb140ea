#pragma once
// AfxWinMain: how a program starts. The program defines one global CWinApp
// object and calls AfxWinMain from main(). It loads the device registry
// (ROOT/registry.reg and the host's USB serial adapters) first. ZARN_UI=headless runs it without a
// window (every dialog it shows is cancelled, as no one answers); otherwise
// it opens the SDL window. Returns the exit status: 1 when no window could be
// opened, ExitInstance's value when InitInstance returns FALSE, else what Run returns.

namespace zarn {

int AfxWinMain(int argc, char** argv);

}  // namespace zarn
