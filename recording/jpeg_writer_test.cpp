#include "recording/jpeg_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <jpeglib.h>

using namespace zarn;
namespace fs = std::filesystem;

namespace {

struct Decoded {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top-down
};

Decoded decode(const std::string& path) {
    Decoded d;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return d;
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    d.width = static_cast<int>(info.output_width);
    d.height = static_cast<int>(info.output_height);
    d.rgb.resize(static_cast<size_t>(d.width) * d.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = d.rgb.data() + static_cast<size_t>(info.output_scanline) * d.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return d;
}

// A capture whose every top-down row r has a colour of its own.
std::vector<uint8_t> bgrCapture(int w, int h) {
    std::vector<uint8_t> bgr(static_cast<size_t>(w) * 3 * h);
    for (int r = 0; r < h; ++r) {
        uint8_t* row = bgr.data() + static_cast<size_t>(h - 1 - r) * w * 3;  // bottom-up
        for (int x = 0; x < w; ++x) {
            row[3 * x] = static_cast<uint8_t>(r);            // blue
            row[3 * x + 1] = static_cast<uint8_t>(255 - r);  // green
            row[3 * x + 2] = static_cast<uint8_t>(x);        // red
        }
    }
    return bgr;
}

std::string tempPath(const char* name) {
    return (fs::temp_directory_path() / (std::string("zarn-jpeg-") + std::to_string(::getpid()) + name)).string();
}

}  // namespace

TEST(JpegWriter, StoresThe265RowsThatEndOneAboveTheBottomOfTheCapture) {
    const int w = 240, h = 268;
    auto capture = bgrCapture(w, h);
    auto image = composeSnapshotImage(capture.data(), w, h, w * 3);
    const std::string path = tempPath("a.jpg");
    ASSERT_EQ(WriteJpegFile(path, kSnapshotWidth, kSnapshotHeight, 100, image.data()), 1) << lastJpegError;
    const Decoded d = decode(path);
    fs::remove(path);
    ASSERT_EQ(d.width, 240);
    ASSERT_EQ(d.height, 265);
    for (int s : {0, 1, 100, 264}) {
        const int r = h - 266 + s;  // captured row, from the top
        for (int x : {0, 120, 239}) {
            const uint8_t* px = d.rgb.data() + (static_cast<size_t>(s) * 240 + x) * 3;
            EXPECT_NEAR(px[0], x, 3) << s << "," << x;
            EXPECT_NEAR(px[1], static_cast<uint8_t>(255 - r), 3) << s << "," << x;
            EXPECT_NEAR(px[2], static_cast<uint8_t>(r), 3) << s << "," << x;
        }
    }
}

TEST(JpegWriter, ASmallCaptureIsPaddedWithBlackNotReadPastItsEnd) {
    const int w = 100, h = 50;
    auto capture = bgrCapture(w, h);
    auto image = composeSnapshotImage(capture.data(), w, h, w * 3);
    ASSERT_EQ(image.size(), static_cast<size_t>(240) * 3 * kSnapshotRows);
    const std::string path = tempPath("b.jpg");
    ASSERT_EQ(WriteJpegFile(path, kSnapshotWidth, kSnapshotHeight, 100, image.data()), 1) << lastJpegError;
    const Decoded d = decode(path);
    fs::remove(path);
    ASSERT_EQ(d.height, 265);
    const uint8_t* inside = d.rgb.data() + (static_cast<size_t>(10) * 240 + 50) * 3;
    EXPECT_NEAR(inside[1], 255 - 10, 3);  // top rows are the capture's top rows
    const uint8_t* outside = d.rgb.data() + (static_cast<size_t>(200) * 240 + 200) * 3;
    EXPECT_LE(outside[0] + outside[1] + outside[2], 9);
}

TEST(JpegWriter, UnopenablePathGivesTheMessageWithThePath) {
    std::vector<uint8_t> image(240 * 3 * kSnapshotRows);
    EXPECT_EQ(WriteJpegFile("/nonexistent/dir/x.jpg", 240, 265, 100, image.data()), 0);
    EXPECT_EQ(lastJpegError, "Can't open file\"/nonexistent/dir/x.jpg\"");
}

TEST(JpegWriter, LibraryErrorReturnsZeroWithItsMessage) {
    std::vector<uint8_t> image(240 * 3 * kSnapshotRows);
    const std::string path = tempPath("c.jpg");
    EXPECT_EQ(WriteJpegFile(path, 0, 265, 100, image.data()), 0);  // the library refuses an empty image
    EXPECT_FALSE(lastJpegError.empty());
    fs::remove(path);
}
