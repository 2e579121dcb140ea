#include "platform/ui/win_main.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/headless/headless_backend.h"
#include "platform/registry_file.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/ui/app.h"
#include "platform/ui/window_system.h"

namespace zarn {

int AfxWinMain(int, char**) {
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    const char* ui = std::getenv("ZARN_UI");
    std::unique_ptr<UiBackend> backend;
    if (ui && std::string(ui) == "headless") {
        backend = std::make_unique<HeadlessBackend>();
    } else {
        backend = createSdlBackend();
    }
    if (!backend) return 1;
    WindowSystem::get().reset(backend.get());
    loadRegistry(registryFilePath());  // the device's registry, as at power-on
    // A start-up that ends the program at once has ExitInstance give the status.
    int status = app->InitInstance() ? app->Run() : app->ExitInstance();
    if (app->m_pMainWnd && app->m_pMainWnd->isCreated()) app->m_pMainWnd->DestroyWindow();
    WindowSystem::get().reset(nullptr);
    return status;
}

}  // namespace zarn
