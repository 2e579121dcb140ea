#include "platform/gdi/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace zarn {
namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

bool encode(FILE* f, const Surface& s, std::optional<uint32_t> seeThrough) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    const int channels = seeThrough ? 4 : 3;
    std::vector<uint8_t> row(static_cast<size_t>(s.width) * channels);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, s.width, s.height, 8, seeThrough ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const uint32_t p = s.at(x, y);
            const bool clear = seeThrough && p == *seeThrough;
            uint8_t* out = &row[static_cast<size_t>(x) * channels];
            out[0] = clear ? 0 : static_cast<uint8_t>(p >> 16);
            out[1] = clear ? 0 : static_cast<uint8_t>(p >> 8);
            out[2] = clear ? 0 : static_cast<uint8_t>(p);
            if (seeThrough) out[3] = clear ? 0 : 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, const Surface& s, std::string* error, std::optional<uint32_t> seeThrough) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    errno = 0;
    bool ok = encode(f, s, seeThrough);
    int why = ok ? 0 : errno;
    if (ok && std::fflush(f) != 0) ok = false, why = errno;
    if (std::fclose(f) != 0 && ok) ok = false, why = errno;
    if (ok) return true;
    if (error) *error = std::strerror(why ? why : EIO);
    std::remove(path.c_str());
    return false;
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

}  // namespace zarn
