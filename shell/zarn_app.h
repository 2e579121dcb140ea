#pragma once
// CZarnApp: the receiver application. Its start-up registers the one document
// template, lets the framework make the document, the main frame (which
// brings up the board) and the band-raster screen, then shows the window.

#include <span>

#include "platform/ui/app.h"

namespace zarn {

constexpr UINT IDR_MAINFRAME = 128;
constexpr int IDP_SOCKETS_INIT_FAILED = 104;
constexpr const char* kMainWindowTitle = "KMT Zarn";
constexpr const char* kRegistryKey = "Local AppWizard-Generated Applications";

struct Accelerator {
    char key;  // with Ctrl
    UINT command;
};
// The main window's accelerator table.
std::span<const Accelerator> mainAccelerators();

class CZarnApp : public CWinApp {
public:
    CZarnApp() : CWinApp("zarn") {}
    BOOL InitInstance() override;
    // 1 after a start-up that failed, so the program's exit status says so.
    int ExitInstance() override { return started_ ? 0 : 1; }

private:
    bool started_ = false;
};

}  // namespace zarn
