#include "resources/gen/desktop_icons.h"

#include <filesystem>

#include "platform/gdi/png_file.h"
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
        const std::string path = (dir / "zarn.png").string();
        if (!writePng(path, enlarged(drawn, size.size / size.drawn), &error, rgbToPixel(kTransparent))) {
            error = path + ": " + error;
            return false;
        }
    }
    return true;
}

}  // namespace zarn::art
