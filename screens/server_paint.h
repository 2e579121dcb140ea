#pragma once
// The best-servers screen's picture, onto the black image of a measurement
// paint; and its texts, one function each.

#include <string>

#include "board/board_state.h"
#include "platform/gdi/dc.h"
#include "screens/status_strip.h"

namespace zarn {

void paintServers(CDC* dc, BoardState& board, StatusStrip& strip);

std::string progressText(BoardState& board);
struct ServerRow {
    std::string frequency, channel, level;
};
ServerRow serverRow(BoardState& board, const ServerEntry& entry);

}  // namespace zarn
