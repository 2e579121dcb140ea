#pragma once
// RecordingSession: one run of zarn-record, from opening the board to the last record.
//
//  1. The board's port is found as zarn finds it (the registry's active drivers, a given
//     port first) and the board brought up (board_link.h); no port, or nothing answering
//     on it: exit 3, naming what was looked at. A run of --tasks is given the site's link
//     instead, the board up or being looked for, and leaves it open at its end.
//  2. The measurement is opened as its screen opens it: idle, the options applied, the
//     screen's opening sequence. Then the log starts (with its track when gpsd is there),
//     opening with the board's version and serial-number records.
//  3. What the decoder staged (each record stamped then) is written in one batch with
//     one flush (and streamed as CSV rows); each line on stdin notes a record of its
//     own, in turn, and a terminal is read only while this is its foreground job; the
//     progress line goes to stderr. Records the log drops are said there.
//  4. A lost board is the link thread's to find again; when it answers the sequence is
//     sent again. --give-up ends the run after that many seconds without it.
//  5. The end (signal, --seconds, give-up, a failed write), also in the middle of a
//     request sequence, which is abandoned: the board idle, every staged record written,
//     the port restored, notes left without a record counted; exit 0, 3 after giving
//     up, 1 after a failure or when records were dropped.

#include "shell/record_options.h"

namespace zarn {

class BoardLink;

int runRecording(const RecordOptions& options, BoardLink* link = nullptr);

// SIGINT and SIGTERM end the recording under way (and --tasks), SIGPIPE is ignored.
void catchStopSignals();
bool stopSignalled();
// From another thread: the recording under way ends as at a signal (a task stopped);
// false clears it for the next.
void endRecording(bool end = true);

}  // namespace zarn
