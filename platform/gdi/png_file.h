#pragma once
// Surfaces as PNG files: 8-bit RGB, no alpha.

#include <string>

#include "platform/gdi/surface.h"

namespace zarn {

// False when the file cannot be written, with the system's reason in `error`
// when given; a file begun is removed again.
bool writePng(const std::string& path, const Surface& surface, std::string* error = nullptr);
// Reads any PNG as 8-bit RGB.
bool readPng(const std::string& path, Surface& surface);

}  // namespace zarn
