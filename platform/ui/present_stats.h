#pragma once
// PresentStats: what reached the screen, for the measuring tool. Only when
// ZARN_STATS names a file does anything happen: a thread then rewrites that
// file in place at start, within 250 ms of a change (at most four times a second;
// a program with nothing to show sleeps) and at exit, with running totals, so a reader
// diffs two looks (one that does not end in the line "end" was torn: look again):
//
//   presents N        screens handed to the backend
//   paints N          windows painted (WM_PAINT)
//   updates N         messages posted from other threads and handled
//   latency_us N      the longest update-to-present time so far
//   latency_ms B N    N updates reached the screen within [B, B+1) ms
//
// An update's time runs from its post (the link thread posts right after it
// decoded a frame) to the first present after it was handled; an update whose
// handling changed no pixel is not counted. Real time, whatever the backend's clock.

#include <cstdint>

namespace zarn {

namespace present_stats {

bool enabled();
uint64_t nowUs();  // monotonic, for stamping posts

void painted();
// The oldest handled-but-unshown update, kept until the next present.
void updateHandled(uint64_t postedUs);
void nothingToShow();
void presented();

}  // namespace present_stats

}  // namespace zarn
