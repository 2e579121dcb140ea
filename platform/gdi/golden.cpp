#include "platform/gdi/golden.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace zarn {
namespace {

std::string hex(uint32_t p) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", p & 0xFFFFFF);
    return buf;
}

}  // namespace

std::string goldenDirectory() {
    const char* env = std::getenv("ZARN_SOURCE_DIR");
    std::string root = env && *env ? env : ZARN_DEFAULT_SOURCE_DIR;
    return root + "/tests/golden";
}

GoldenResult compareWithGolden(const Surface& surface, const std::string& name) {
    std::string dir = goldenDirectory();
    std::string path = dir + "/" + name + ".png", actual = dir + "/" + name + ".actual.png";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        std::filesystem::create_directories(dir, ec);
        bool written = writePng(path, surface);
        return {false, written ? "no golden image yet; wrote " + path + " - look at it and commit it"
                               : "no golden image and cannot write " + path};
    }
    Surface expected;
    if (!readPng(path, expected)) return {false, "cannot read the golden image " + path};
    std::string diff;
    if (expected.width != surface.width || expected.height != surface.height) {
        diff = "size " + std::to_string(surface.width) + "x" + std::to_string(surface.height) + ", golden " +
               std::to_string(expected.width) + "x" + std::to_string(expected.height);
    } else {
        for (size_t i = 0; i < expected.pixels.size() && diff.empty(); ++i) {
            if (expected.pixels[i] == surface.pixels[i]) continue;
            diff = "first difference at (" + std::to_string(i % surface.width) + ", " +
                   std::to_string(i / surface.width) + "): expected " + hex(expected.pixels[i]) + ", actual " +
                   hex(surface.pixels[i]);
        }
    }
    if (diff.empty()) {
        std::filesystem::remove(actual, ec);
        return {true, {}};
    }
    writePng(actual, surface);
    return {false, name + ": " + diff + "; actual image written to " + actual};
}

}  // namespace zarn
