#include "recording/jpeg_writer.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace zarn {

std::string lastJpegError;

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf recovery;
};

void outputMessage(j_common_ptr info) {
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    lastJpegError = text;
}

[[noreturn]] void errorExit(j_common_ptr info) {
    (*info->err->output_message)(info);
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->recovery, 1);
}

void resetErrorManager(j_common_ptr info) {
    info->err->num_warnings = 0;
    info->err->msg_code = 0;
    lastJpegError.clear();
}

// Kept free of objects with destructors: a library error jumps back into it.
int compress(FILE* file, int width, int height, int quality, uint8_t* pixels) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = errorExit;
    errors.base.output_message = outputMessage;
    errors.base.reset_error_mgr = resetErrorManager;
    if (setjmp(errors.recovery)) {
        jpeg_destroy_compress(&info);
        std::fclose(file);
        return 0;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = pixels + static_cast<size_t>(height - static_cast<int>(info.next_scanline)) * rowBytes;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::fclose(file);
    jpeg_destroy_compress(&info);
    return 1;
}

}  // namespace

int WriteJpegFile(const std::string& path, int width, int height, int quality, uint8_t* pixels) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        char text[1200];
        std::snprintf(text, sizeof text, "Can't open file\"%.1024s\"", path.c_str());
        lastJpegError = text;
        return 0;
    }
    return compress(file, width, height, quality, pixels);
}

std::vector<uint8_t> composeSnapshotImage(const uint8_t* bgrBottomUp, int width, int height, int stride) {
    const int rows = std::max(height, kSnapshotRows);
    const size_t rowBytes = kSnapshotWidth * 3;
    std::vector<uint8_t> rgb(rowBytes * static_cast<size_t>(rows), 0);
    const int copyWidth = std::clamp(width, 0, kSnapshotWidth);
    for (int top = 0; top < height; ++top) {
        // Top-down row `top` of the capture keeps its place from the top.
        const uint8_t* from = bgrBottomUp + static_cast<size_t>(height - 1 - top) * stride;
        uint8_t* to = rgb.data() + static_cast<size_t>(rows - 1 - top) * rowBytes;
        for (int x = 0; x < copyWidth; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return rgb;
}

}  // namespace zarn
