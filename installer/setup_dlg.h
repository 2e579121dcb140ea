#pragma once
// CZarnSetupDlg: the installer's one dialog. Each of its two buttons installs
// a product from the storage card (program folder, copy, store copy, Start-menu
// shortcut), says how it went, and ends the program.

#include <string>

#include "installer/install_paths.h"
#include "platform/ui/dialog.h"

namespace zarn {

constexpr UINT IDD_ZARNSETUP = 102;
constexpr int IDC_INSTALL_ZARN = 1000;
constexpr int IDC_INSTALL_BRAXMOOR = 1001;
constexpr int IDR_SETUP_ICON = 128;

class CZarnSetupDlg : public CDialog {
public:
    explicit CZarnSetupDlg(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT type, int cx, int cy) override;

    // The installation proper; each failure it meets is shown in a message box.
    void installProduct(const Product& product);
    // The copy of m_source to m_target failed: FROM:, TO: and the system's reason.
    void reportCopyError();

    std::string m_source;
    std::string m_target;
    HICON m_hIcon = nullptr;

private:
    void install(const Product& product);
};

}  // namespace zarn
