#include "shell/zarn_app.h"

#include "platform/gdi/resource.h"
#include "platform/message_box.h"
#include "screens/band_raster_view.h"
#include "shell/main_frame.h"
#include "shell/zarn_doc.h"

namespace zarn {

namespace {
constexpr Accelerator kAccelerators[] = {
    {'N', ID_FILE_NEW},   {'O', ID_FILE_OPEN}, {'S', ID_FILE_SAVE},  {'Q', ID_APP_EXIT},
    {'Z', ID_EDIT_UNDO},  {'X', ID_EDIT_CUT},  {'C', ID_EDIT_COPY},  {'V', ID_EDIT_PASTE},
};
}  // namespace

std::span<const Accelerator> mainAccelerators() { return kAccelerators; }

BOOL CZarnApp::InitInstance() {
    started_ = false;
    if (!AfxSocketInit()) {
        AfxMessageBox(loadString(IDP_SOCKETS_INIT_FAILED), MB_OK);
        return FALSE;
    }
    SetRegistryKey(kRegistryKey);
    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CZarnDoc), RUNTIME_CLASS(CMainFrame),
                                          RUNTIME_CLASS(CZarnView)));
    CCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    if (!ProcessShellCommand(commandLine)) return FALSE;
    m_pMainWnd->SetWindowText(kMainWindowTitle);
    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    started_ = true;
    return TRUE;
}

}  // namespace zarn
