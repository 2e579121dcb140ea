#include "resources/gen/desktop_icons.h"

#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>

#include "resources/gen/artwork.h"
#include "resources/gen/encode.h"

namespace zarn::art {
namespace {

// Every size read back as a desktop reads it: each pixel is its drawn icon's pixel at
// the whole factor, and exactly the see-through ones are clear.
TEST(DesktopIcons, EverySizeIsTheDrawnIconEnlargedWithClearSeeThroughPixels) {
    char tmpl[] = "/tmp/zarn-icons-XXXXXX";
    const std::string folder = mkdtemp(tmpl);
    std::string error;
    ASSERT_TRUE(writeDesktopIcons(folder, error)) << error;
    for (const DesktopIconSize& size : desktopIconSizes()) {
        SCOPED_TRACE(size.size);
        Surface drawn;
        for (const Artwork& a : icons())
            if (a.id == 128 && a.width == size.drawn) drawn = render(a);
        ASSERT_EQ(drawn.width, size.drawn);
        const std::string n = std::to_string(size.size);
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder + "/" + n + "x" + n + "/apps/zarn.png").c_str()));
        ASSERT_EQ(image.width, static_cast<png_uint_32>(size.size));
        ASSERT_EQ(image.height, static_cast<png_uint_32>(size.size));
        image.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
        const int factor = size.size / size.drawn;
        size_t clear = 0, mismatched = 0;
        for (int y = 0; y < size.size; ++y) {
            for (int x = 0; x < size.size; ++x) {
                const uint8_t* p = &rgba[4 * (static_cast<size_t>(y) * size.size + x)];
                const uint32_t want = drawn.at(x / factor, y / factor);
                if (want == rgbToPixel(kTransparent)) {
                    clear += 1;
                    mismatched += p[3] != 0;
                } else {
                    mismatched += p[3] != 255 || (uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) != want;
                }
            }
        }
        EXPECT_EQ(mismatched, 0u);
        EXPECT_GT(clear, 0u);
        EXPECT_LT(clear, static_cast<size_t>(size.size * size.size) / 2);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace zarn::art
