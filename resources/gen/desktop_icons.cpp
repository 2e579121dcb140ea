#include "resources/gen/desktop_icons.h"

#include <png.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "resources/gen/artwork.h"
#include "resources/gen/encode.h"

namespace zarn::art {
namespace {

constexpr int kIconId = 128;

Surface drawnIcon(int width) {
    for (const Artwork& a : icons())
        if (a.id == kIconId && a.width == width) return render(a);
    return {};
}

bool writeRgbaPng(const std::string& path, const Surface& s, std::string& error) {
    const uint32_t seeThrough = rgbToPixel(kTransparent);
    std::vector<uint8_t> rgba;
    rgba.reserve(s.pixels.size() * 4);
    for (uint32_t p : s.pixels) {
        const bool clear = p == seeThrough;
        for (int shift : {16, 8, 0}) rgba.push_back(clear ? 0 : static_cast<uint8_t>(p >> shift));
        rgba.push_back(clear ? 0 : 255);
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(s.width);
    image.height = static_cast<png_uint_32>(s.height);
    image.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr)) return true;
    error = path + ": " + (errno ? std::strerror(errno) : image.message);
    return false;
}

}  // namespace

const std::vector<DesktopIconSize>& desktopIconSizes() {
    static const std::vector<DesktopIconSize> sizes = {{16, 16}, {32, 32}, {48, 16}, {64, 32}, {128, 32}};
    return sizes;
}

Surface enlarged(const Surface& s, int factor) {
    Surface big(s.width * factor, s.height * factor);
    for (int y = 0; y < big.height; ++y)
        for (int x = 0; x < big.width; ++x) big.at(x, y) = s.at(x / factor, y / factor);
    return big;
}

bool writeDesktopIcons(const std::string& folder, std::string& error) {
    for (const DesktopIconSize& size : desktopIconSizes()) {
        const Surface drawn = drawnIcon(size.drawn);
        if (drawn.width != size.drawn) {
            error = "no drawn icon of " + std::to_string(size.drawn) + " pixels";
            return false;
        }
        const std::string n = std::to_string(size.size);
        const std::filesystem::path dir = std::filesystem::path(folder) / (n + "x" + n) / "apps";
        std::error_code made;
        std::filesystem::create_directories(dir, made);
        if (made) {
            error = dir.string() + ": " + made.message();
            return false;
        }
        errno = 0;
        if (!writeRgbaPng((dir / "zarn.png").string(), enlarged(drawn, size.size / size.drawn), error)) return false;
    }
    return true;
}

}  // namespace zarn::art
