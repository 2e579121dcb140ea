#include "installer/setup_app.h"

#include "installer/setup_dlg.h"

namespace zarn {

BOOL CZarnSetupApp::InitInstance() {
    CZarnSetupDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    if (dlg.isCreated()) dlg.DestroyWindow();
    m_pMainWnd = nullptr;
    return FALSE;
}

}  // namespace zarn
