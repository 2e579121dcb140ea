#pragma once
// What a screen asks of the main frame that shows it. The frame implements it;
// screens find it as the application's main window.

#include "platform/ui/cobject.h"
#include "platform/ui/wintypes.h"

namespace zarn {

class ScreenHost {
public:
    virtual ~ScreenHost() = default;
    // Shows the one screen of that class, creating it with the given id the first time.
    virtual void SwitchView(const CRuntimeClass* screenClass, UINT newId) = 0;
    virtual void switchToMainMenu() = 0;
};

// The main window as a ScreenHost; null when there is none.
ScreenHost* screenHost();

}  // namespace zarn
