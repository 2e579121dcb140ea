#pragma once
// CAboutDlg: the About box, with the icon, the version and the maker's notice.

#include "platform/ui/dialog.h"

namespace zarn {

class CAboutDlg : public CDialog {
public:
    static constexpr UINT IDD = 155;
    explicit CAboutDlg(CWnd* parent = nullptr) : CDialog(IDD, parent) {}
};

}  // namespace zarn
