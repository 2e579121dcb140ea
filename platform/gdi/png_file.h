#pragma once
// Surfaces as PNG files: 8-bit RGB, no alpha; or RGBA where one pixel value stands for
// see-through (an icon's), which is written clear (alpha 0) and every other pixel opaque.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/gdi/surface.h"

namespace zarn {

// False when the file cannot be written, with the system's reason in `error`
// when given; a file begun is removed again.
bool writePng(const std::string& path, const Surface& surface, std::string* error = nullptr,
              std::optional<uint32_t> seeThrough = std::nullopt);
// Reads any PNG as 8-bit RGB.
bool readPng(const std::string& path, Surface& surface);

}  // namespace zarn
