#include "screens/screen_host.h"

#include "platform/ui/app.h"

namespace zarn {

ScreenHost* screenHost() { return dynamic_cast<ScreenHost*>(AfxGetMainWnd()); }

}  // namespace zarn
