#include "installer/setup_dlg.h"

#include "platform/file_calls.h"
#include "platform/message_box.h"
#include "platform/ui/app.h"

namespace zarn {
namespace {

void waitCursor(int code) {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(code);
}

}  // namespace

CZarnSetupDlg::CZarnSetupDlg(CWnd* parent) : CDialog(IDD_ZARNSETUP, parent), m_hIcon(findIcon(IDR_SETUP_ICON)) {}

BOOL CZarnSetupDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    CenterWindow();
    return TRUE;
}

BOOL CZarnSetupDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_INSTALL_ZARN: install(kZarnController); return TRUE;
    case IDC_INSTALL_BRAXMOOR: install(kBraxmoor); return TRUE;
    default: return CDialog::OnCommand(wParam, lParam);
    }
}

void CZarnSetupDlg::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    if (type == SIZE_MINIMIZED) SendMessage(WM_CLOSE);
}

// One installation, successful or not, and the program is done.
void CZarnSetupDlg::install(const Product& product) {
    waitCursor(1);
    installProduct(product);
    waitCursor(-1);
    PostQuitMessage(0);
}

void CZarnSetupDlg::installProduct(const Product& product) {
    std::string autoRun, card;
    // Without a card path there is nothing to copy from: say so before touching the device.
    if (!SHGetAutoRunPath(autoRun) || !cardFolderOf(autoRun, card)) {
        AfxMessageBox("The storage card's installation files were not found.\nNothing was installed.");
        return;
    }
    CreateDirectory(programFolder(product), nullptr);
    m_source = sourceFile(card, product);
    m_target = installedFile(product);
    if (!CopyFile(m_source, m_target, false)) {
        reportCopyError();
        return;
    }
    // A store folder made now means a first installation on a device that has the store.
    if (CreateDirectory(storeFolder(product), nullptr)) {
        m_target = storeCopy(product);
        CopyFile(m_source, m_target, false);
    }
    SHCreateShortcut(shortcutFile(product), shortcutTarget(product));
    AfxMessageBox("Installation is Complete.", MB_OK);
}

void CZarnSetupDlg::reportCopyError() {
    const uint32_t code = GetLastError();
    std::string reason;
    const uint32_t flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    // No text for the code leaves the reason empty rather than undefined.
    if (FormatMessage(flags, nullptr, code, 0, &reason) == 0) reason.clear();
    AfxMessageBox("FROM:" + m_source + "\nTO:" + m_target + "\nERROR:" + reason, MB_OK);
}

}  // namespace zarn
