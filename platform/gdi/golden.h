#pragma once
// Golden-image checks: a Surface against a committed PNG, tests/golden/<name>.png.
//
// - The folder is tests/golden under the source tree named by the environment
//   variable ZARN_SOURCE_DIR (every test gets it), else the source tree this
//   library was built from.
// - A missing reference is written from the surface and the check FAILS, so a
//   new golden image is always looked at before it is committed.
// - On a mismatch <name>.actual.png is written beside the reference and the
//   message names the first differing pixel (x, y, expected, actual) in
//   reading order, or the differing sizes. A match removes a stale
//   <name>.actual.png.
// - PNG files are 8-bit RGB, no alpha (png_file.h reads and writes them).

#include <string>

#include "platform/gdi/png_file.h"
#include "platform/gdi/surface.h"

namespace zarn {

struct GoldenResult {
    bool ok = false;
    std::string message;
};

GoldenResult compareWithGolden(const Surface& surface, const std::string& name);

std::string goldenDirectory();

}  // namespace zarn
