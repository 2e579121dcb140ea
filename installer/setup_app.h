#pragma once
// CZarnSetupApp: the installer program. Its start-up shows the installation
// dialog as the main window and ends the program when the dialog closes.

#include "platform/ui/app.h"

namespace zarn {

constexpr const char* kSetupWindowTitle = "Zarn Installation";

class CZarnSetupApp : public CWinApp {
public:
    CZarnSetupApp() : CWinApp("ZarnSetup") {}
    BOOL InitInstance() override;
};

}  // namespace zarn
