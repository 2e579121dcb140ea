#include "platform/gdi/golden.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace zarn {
namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

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

bool writePng(const std::string& path, const Surface& s) {
    File f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(s.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f.get());
    png_set_IHDR(png, info, s.width, s.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            uint32_t p = s.at(x, y);
            row[3 * x] = static_cast<uint8_t>(p >> 16);
            row[3 * x + 1] = static_cast<uint8_t>(p >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool readPng(const std::string& path, Surface& out) {
    File f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    Surface s;
    std::vector<uint8_t> row;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, f.get());
    png_read_info(png, info);
    // Whatever the file's format, read it as 8-bit RGB.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    s = Surface(static_cast<int>(png_get_image_width(png, info)), static_cast<int>(png_get_image_height(png, info)));
    row.resize(png_get_rowbytes(png, info));
    for (int y = 0; y < s.height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (int x = 0; x < s.width; ++x)
            s.at(x, y) = (static_cast<uint32_t>(row[3 * x]) << 16) | (static_cast<uint32_t>(row[3 * x + 1]) << 8) |
                         row[3 * x + 2];
    }
    png_destroy_read_struct(&png, &info, nullptr);
    out = std::move(s);
    return true;
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
