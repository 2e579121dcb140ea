#pragma once
// WriteJpegFile: a baseline JPEG of an RGB capture, through libjpeg.
//
// `pixels` is a bottom-up RGB image of width x 3 bytes per row with at least
// height + 1 rows: JPEG row s (0 = top) is stored row height - s, so the row at
// the very bottom of the capture is not part of the picture.

#include <cstdint>
#include <string>
#include <vector>

namespace zarn {

// The message of the last failure inside WriteJpegFile; empty at start.
extern std::string lastJpegError;

// 1 when the file was written, 0 with lastJpegError set on failure.
int WriteJpegFile(const std::string& path, int width, int height, int quality, uint8_t* pixels);

constexpr int kSnapshotWidth = 240;
constexpr int kSnapshotHeight = 265;
constexpr int kSnapshotRows = kSnapshotHeight + 1;

// A capture of any size (bottom-up, blue-green-red, `stride` bytes a row) as
// the bottom-up RGB image WriteJpegFile reads: exactly kSnapshotWidth wide and
// at least kSnapshotRows high, the capture's top rows on top, black where the
// capture is smaller.
std::vector<uint8_t> composeSnapshotImage(const uint8_t* bgrBottomUp, int width, int height, int stride);

}  // namespace zarn
