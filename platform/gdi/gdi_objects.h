#pragma once
// The drawing objects a device context selects: CPen, CBrush, CFont, CBitmap.
//
// - CPen: solid pens only (PS_SOLID), 1 or 2 pixels wide; a width of 0 counts
//   as 1, wider pens are drawn 2 wide. PS_NULL draws nothing.
// - CBrush: solid brushes only.
// - CFont::CreatePointFont takes tenths of a point: 90 and below give the small
//   "System" face (the 8-point one), above 90 the large one (the 10-point
//   one); every face name maps to these two. Fails when the font file is
//   missing.
// - CBitmap: a 32-bit bitmap (CreateCompatibleBitmap, LoadBitmap) or a 24-bit
//   bottom-up DIB section (CreateDIBSection: bytes blue, green, red per pixel,
//   the first stored row is the bottom row, rows padded to 4 bytes). A DIB
//   section takes part in BitBlt and StretchBlt, as source or destination;
//   other drawing into it does nothing.
// - A selected object may be deleted or go out of scope: the device context
//   keeps what it needs (the bitmap's pixels stay alive while selected).
// - CreateCompatibleBitmap's pixels start black; a width or height below 1
//   fails.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/font.h"
#include "platform/gdi/surface.h"

namespace zarn {

class CDC;

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

class CPen {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    bool CreatePen(int style, int width, COLORREF color);
    bool DeleteObject() { return true; }

    int style() const { return style_; }
    int width() const { return width_; }
    COLORREF color() const { return color_; }

private:
    int style_ = PS_SOLID;
    int width_ = 1;
    COLORREF color_ = 0;
};

class CBrush {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    bool CreateSolidBrush(COLORREF color) { color_ = color; return true; }
    bool DeleteObject() { return true; }

    COLORREF color() const { return color_; }

private:
    COLORREF color_ = 0x00FFFFFF;
};

class CFont {
public:
    bool CreatePointFont(int pointSizeTenths, const char* faceName, CDC* dc = nullptr);
    bool DeleteObject() { face_.reset(); return true; }

    const std::shared_ptr<const FontFace>& face() const { return face_; }

private:
    std::shared_ptr<const FontFace> face_;
};

struct BITMAP {
    int bmWidth = 0;
    int bmHeight = 0;
    int bmBitsPixel = 0;
};

// The pixels behind a CBitmap, shared with the device contexts it is selected into.
struct BitmapStore {
    int width = 0;
    int height = 0;
    int bitsPixel = 32;
    Surface surface;             // 32-bit bitmaps
    std::vector<uint8_t> dib;    // 24-bit DIB sections
    int dibStride = 0;
    bool dibSection = false;

    bool isDib() const { return dibSection; }
    uint32_t pixel(int x, int y) const;
    void setPixel(int x, int y, uint32_t p);
};

class CBitmap {
public:
    bool CreateCompatibleBitmap(CDC* dc, int width, int height);
    // Reads a bitmap resource compiled into the program; false when there is none of that number.
    bool LoadBitmap(unsigned id);
    // A 24-bit bottom-up DIB section; *bits receives the first byte of its storage.
    bool CreateDIBSection(CDC* dc, int width, int height, int bitCount, void** bits);
    int GetBitmap(BITMAP* info) const;
    bool DeleteObject() { store_.reset(); return true; }

    // The 32-bit pixels, or null for a DIB section or an empty bitmap.
    Surface* surface() const { return store_ && !store_->isDib() ? &store_->surface : nullptr; }
    const std::shared_ptr<BitmapStore>& store() const { return store_; }

private:
    std::shared_ptr<BitmapStore> store_;
};

}  // namespace zarn
