#pragma once
// Loading a channel-table file chosen by the user into the board state.
//
// loadChannelTable shows the open dialog (.kct files, in \My Documents). On
// success the table holds the file's channels, their levels as they were.
// When the dialog is cancelled the table is unchanged; so it is when the file
// does not open ("File Open Error" with the system's text) or is not a
// channel table ("Invalid Channel Table."). The owner is the window the
// messages belong to; it may be null.

#include <string>

#include "board/board_state.h"
#include "channels/channel_table_file.h"

namespace zarn {

class CWnd;

void loadChannelTable(CWnd* owner, BoardState& board = boardState());
// The same for a chosen device path, without the dialog; false when nothing was loaded.
bool loadChannelTableFile(CWnd* owner, const std::string& devicePath, BoardState& board = boardState());

// The table of the file at a host path into the board, without a word: Loaded, or why
// not (OpenFailed with the system's errno, Invalid). The table is unchanged unless Loaded.
enum class TableLoad { Loaded, OpenFailed, Invalid };
TableLoad readChannelTableFile(const std::string& hostFile, BoardState& board, int& error);

constexpr const char* kFileOpenErrorCaption = "File Open Error";
constexpr const char* kInvalidChannelTableText = "Invalid Channel Table.";

}  // namespace zarn
