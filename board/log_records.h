#pragma once
// The log records the decoder builds while logging, one per screen mode.

#include <cstdint>

#include "board/board_state.h"
#include "board/frame_parser.h"

namespace zarn {

// Most sweep entries a spectrum record holds within kMaxLogPayload.
constexpr int kMaxSpectrumEntries = (kMaxLogPayload - 5) / 4;

// Builds the record that frame (t, p, n) calls for, if any, and hands it to
// `sink`. Returns true when a record was staged.
bool stageLogRecord(BoardState& board, RecordSink& sink, uint8_t t, const uint8_t* p, uint16_t n);

// The board's version and serial-number replies, each answered one as the record its
// frame gives a log while no measurement is open: for a log that starts with one open.
void stageBoardIdentity(const BoardState& board, RecordSink& sink);

// The spectrum record's payload; returns its length.
int buildSpectrumRecord(const BoardState& board, uint8_t* out);

}  // namespace zarn
