#pragma once
// The snapshot counter file: one decimal number and a line feed, the number
// of the next proposed snapshot name.

#include <string>

namespace zarn {

// 1 when the file does not open; 0 when its first line starts with no number;
// numbers past the range of an int stay at its top.
int readSnapshotCounter(const std::string& hostPath);
// Writes counter + 1 (the top of the range stays there); false when the file
// cannot be written.
bool writeNextSnapshotCounter(const std::string& hostPath, int counter);
// "zarn%04d.jpg".
std::string snapshotFileName(int counter);

}  // namespace zarn
