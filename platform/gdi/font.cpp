#include "platform/gdi/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>

namespace zarn {
namespace {

constexpr const char* kFontFolders[] = {"/usr/share/fonts/X11/misc", "/usr/local/share/fonts/X11/misc"};

const char* fileName(FontFace::Size size) {
    return size == FontFace::Size::Small ? "5x8.pcf.gz" : "6x12.pcf.gz";
}

// Copies FreeType's rendered glyph into a mask trimmed to its ink columns.
Glyph trimmedGlyph(const FT_GlyphSlot slot, int ascent) {
    const FT_Bitmap& bm = slot->bitmap;
    int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
    auto ink = [&](int x, int y) {
        const unsigned char* row = bm.buffer + y * bm.pitch;
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO) return (row[x >> 3] & (0x80 >> (x & 7))) != 0;
        return row[x] >= 128;
    };
    int first = w, last = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ink(x, y)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    Glyph g;
    if (last < 0) return g;
    g.width = last - first + 1;
    g.height = h;
    g.top = ascent - slot->bitmap_top;
    g.left = 0;
    g.advance = g.width + 1;
    g.mask.resize(static_cast<size_t>(g.width) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < g.width; ++x) g.mask[static_cast<size_t>(y) * g.width + x] = ink(first + x, y);
    return g;
}

FT_Library freetype() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return lib;
}

}  // namespace

int FontFace::textWidth(std::string_view text) const {
    int w = 0;
    for (char c : text) w += glyphs_[static_cast<uint8_t>(c)].advance;
    return w;
}

std::shared_ptr<const FontFace> FontFace::load(const std::string& path) {
    FT_Library lib = freetype();
    FT_Face face = nullptr;
    if (!lib || FT_New_Face(lib, path.c_str(), 0, &face) != 0) return nullptr;
    if (face->num_fixed_sizes > 0) FT_Select_Size(face, 0);
    auto font = std::make_shared<FontFace>();
    font->ascent_ = static_cast<int>(face->size->metrics.ascender >> 6);
    font->descent_ = static_cast<int>(-face->size->metrics.descender >> 6);
    int cellWidth = static_cast<int>(face->size->metrics.max_advance >> 6);
    for (int code = 33; code < 256; ++code) {
        if (code >= 127 && code < 160) continue;
        if (FT_Get_Char_Index(face, code) == 0) continue;
        if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        font->glyphs_[code] = trimmedGlyph(face->glyph, font->ascent_);
    }
    FT_Done_Face(face);
    font->glyphs_[' '].advance = (cellWidth + 1) / 2;
    for (int code = 33; code < 256; ++code)
        if (font->glyphs_[code].advance == 0) font->glyphs_[code] = font->glyphs_['?'];
    return font;
}

std::string fontFilePath(FontFace::Size size) {
    for (const char* folder : kFontFolders) {
        std::string path = std::string(folder) + "/" + fileName(size);
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return {};
}

std::shared_ptr<const FontFace> loadFontFace(FontFace::Size size) {
    static std::mutex mutex;
    static std::map<FontFace::Size, std::shared_ptr<const FontFace>> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(size);
    if (it != cache.end()) return it->second;
    std::string path = fontFilePath(size);
    auto face = path.empty() ? nullptr : FontFace::load(path);
    if (!face)
        std::fprintf(stderr, "zarn: cannot read the font %s from %s (Debian package xfonts-base)\n",
                     fileName(size), kFontFolders[0]);
    cache[size] = face;
    return face;
}

}  // namespace zarn
