#pragma once
// CDC: a device context over a Surface (a window's pixels) or over the bitmap
// selected into a memory context. GDI's rules for what the screens use:
//
// Coordinates and clipping
// - Logical (x, y) is device pixel (x + origin.x, y + origin.y). Everything
//   drawn is clipped to the target's bounds and to the optional clip rectangle
//   (device pixels), so a window's context can map client (0,0) to a window
//   offset and never paint outside the client area.
// - A memory context draws nothing until a bitmap is selected; selecting one
//   sets origin (0,0) and the clip to the bitmap's bounds.
//
// Shapes (rectangles are right and bottom exclusive)
// - FillSolidRect fills with a colour and, as the framework does, makes that
//   colour the background colour. An empty or negative size fills nothing.
// - FrameRect: a 1-pixel frame in the brush's colour on the rectangle's
//   outermost pixels (left..right-1, top..bottom-1).
// - Rectangle: the pen's outline on the inside edge of the rectangle (a 2-pixel
//   pen takes the two outermost rings), the interior filled with the brush.
//   Rectangles given the wrong way round are normalised.
// - MoveTo/LineTo: Bresenham from the current position to the end point; the
//   end pixel is not drawn; the end becomes the current position. A line of
//   length 0 draws nothing.
// - A 2-pixel pen thickens each pixel of the 1-pixel line across its major
//   axis: mostly horizontal lines (|dx| >= |dy|) also paint the pixel below
//   (x, y+1), mostly vertical lines the pixel to the right (x+1, y). Ends stay
//   exclusive along the line; at a corner of a polyline the segments meet with
//   no gap.
//
// Text
// - DrawText takes 8-bit text (ISO 8859-1; wide text is narrowed, codes above
//   255 become '?'). Without DT_SINGLELINE, '\n' starts a new line ("\r\n"
//   counts once) and the lines stack from the rectangle's top; DT_VCENTER and
//   DT_BOTTOM are honoured only with DT_SINGLELINE, as on the device.
//   DT_CENTER centres each line (an odd spare pixel goes to the right),
//   DT_RIGHT aligns it right. DT_WORDBREAK breaks lines at blanks to fit the
//   width. In the default opaque mode each line's text cell (its width by the
//   font's height) is filled with the background colour first. Output is
//   clipped to the rectangle unless DT_NOCLIP. DT_CALCRECT draws nothing and
//   sets the rectangle's right and bottom to the text's extent. Returns the
//   height of the text drawn.
// - The default font is the 8-point "System" face; without any font file
//   text draws nothing.
//
// Copies
// - BitBlt and StretchBlt support SRCCOPY only (other operations return
//   false). Source pixels outside the source bitmap leave the destination
//   unchanged. StretchBlt samples the nearest source pixel to each
//   destination pixel's centre; widths and heights must be positive.
// - A DIB section takes part as source or destination of both.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/gdi/geometry.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/surface.h"

namespace zarn {

constexpr unsigned DT_TOP = 0x0000;
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_BOTTOM = 0x0008;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr uint32_t SRCCOPY = 0x00CC0020;

class CDC {
public:
    CDC() = default;
    // A context over a surface: logical (0,0) is device pixel origin; drawing stays inside clip.
    explicit CDC(Surface& target, CPoint origin = {}, std::optional<CRect> clip = std::nullopt);
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Makes this a memory context (no bitmap yet); other may be null.
    bool CreateCompatibleDC(CDC* other);
    bool DeleteDC();

    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);

    COLORREF SetTextColor(COLORREF c);
    COLORREF SetBkColor(COLORREF c);
    int SetBkMode(int mode);
    COLORREF GetTextColor() const { return textColor_; }
    COLORREF GetBkColor() const { return bkColor_; }
    int GetBkMode() const { return bkMode_; }

    void FillSolidRect(int x, int y, int w, int h, COLORREF c);
    void FillSolidRect(const CRect& r, COLORREF c) { FillSolidRect(r.left, r.top, r.Width(), r.Height(), c); }
    void FillRect(const CRect& r, CBrush* brush);
    void FrameRect(const CRect& r, CBrush* brush);
    bool Rectangle(int l, int t, int r, int b);
    bool Rectangle(const CRect& r) { return Rectangle(r.left, r.top, r.right, r.bottom); }
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(CPoint p) { return MoveTo(p.x, p.y); }
    bool LineTo(int x, int y);
    bool LineTo(CPoint p) { return LineTo(p.x, p.y); }
    COLORREF SetPixel(int x, int y, COLORREF c);
    COLORREF GetPixel(int x, int y) const;   // 0xFFFFFFFF outside the drawable area

    int DrawText(std::string_view text, CRect* rect, unsigned format);
    int DrawText(std::string_view text, const CRect& rect, unsigned format);
    int DrawText(std::wstring_view text, const CRect& rect, unsigned format);
    CSize GetTextExtent(std::string_view text);

    bool BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, uint32_t rop);
    bool StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, uint32_t rop);

    // The pixels drawn on (null for a memory context without a bitmap or over a DIB section).
    Surface* surface() const { return target_; }
    CPoint origin() const { return origin_; }
    // The drawable area in logical coordinates.
    CRect clipBox() const;

private:
    friend struct Blitter;
    void retarget(Surface* target, CPoint origin, std::optional<CRect> clip);
    void fillDevice(CRect deviceRect, uint32_t pixel);
    void plot(int x, int y, uint32_t pixel);   // logical, clipped
    void drawSegment(CPoint from, CPoint to);
    const FontFace* currentFace();
    void drawLine(std::string_view line, int x, int y, const CRect& clip);

    Surface* target_ = nullptr;
    std::shared_ptr<BitmapStore> bitmap_;    // the selected bitmap, kept alive
    CPoint origin_;
    CRect clip_;                             // device pixels, inside the target

    CPen* pen_ = nullptr;
    CBrush* brush_ = nullptr;
    CFont* font_ = nullptr;
    CBitmap* bitmapObject_ = nullptr;
    int penStyle_ = PS_SOLID;
    int penWidth_ = 1;
    COLORREF penColor_ = 0;
    COLORREF brushColor_ = 0x00FFFFFF;
    std::shared_ptr<const FontFace> face_;
    CPoint position_;

    COLORREF textColor_ = 0;
    COLORREF bkColor_ = 0x00FFFFFF;
    int bkMode_ = OPAQUE;
};

}  // namespace zarn
