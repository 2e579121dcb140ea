#pragma once
// CServerOptions: the band of the best-servers screen, and the server count
// that rides along in "\optv.zrn" (its controls stay hidden).
//
//  - loadOptions reads the two choices; a missing file, line or number
//    keeps -1.
//  - applyOptions sets the band and its full-band sweep window, then writes
//    the file. Without a band choice the previous band is kept (band 0 when
//    there is none) and gets its full-band window all the same; a server
//    count outside 0..9 leaves the stored setting alone. The file records the
//    choices as they are.

#include <string>

#include "board/board_state.h"
#include "platform/ui/dialog.h"

namespace zarn {

constexpr UINT IDD_SERVER_OPTIONS = 151;
extern const char* const kServerOptionsFile;

class CServerOptions : public CDialog {
public:
    CServerOptions() : CDialog(IDD_SERVER_OPTIONS) {}

    void loadOptions();
    void applyOptions(BoardState& board = boardState());

    void DoDataExchange(CDataExchange* dx) override;

    int m_band = -1;
    int m_servers = -1;
};

}  // namespace zarn
