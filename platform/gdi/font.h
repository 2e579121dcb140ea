#pragma once
// FontFace: one bitmap font read through FreeType, rendered once into 1-bit
// glyph masks for the 8-bit (ISO 8859-1) character codes 32..255.
//
// - The faces come from the misc-fixed fonts of Debian's xfonts-base, looked
//   up by fontFilePath in the standard X11 font folder; a missing file makes
//   loadFontFace return null and prints one line naming the file and the
//   package.
// - Glyphs are spaced by their ink, not the font's fixed cell: each advance is
//   the glyph's ink width plus one pixel, so that narrow signs ('.', '(', '1')
//   take less room and the long status lines fit 240 pixels. The space is half
//   a cell wide, rounded up.
// - A code the font lacks is drawn as '?'. Codes below 32 draw nothing and
//   take no room.
// - Faces are cached: each file is read once per process and shared.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

struct Glyph {
    int advance = 0;          // pen movement after the glyph
    int left = 0;             // ink offset from the pen position
    int top = 0;              // ink offset from the top of the line
    int width = 0;            // ink size; mask holds width * height bytes, 1 = ink
    int height = 0;
    std::vector<uint8_t> mask;
};

class FontFace {
public:
    // The two sizes of the "System" face the screens ask for.
    enum class Size { Small, Large };

    int height() const { return ascent_ + descent_; }
    int ascent() const { return ascent_; }
    const Glyph& glyph(uint8_t code) const { return glyphs_[code]; }
    int textWidth(std::string_view text) const;

    // Reads the face from a font file; null when the file is missing or unreadable.
    static std::shared_ptr<const FontFace> load(const std::string& path);

private:
    int ascent_ = 0;
    int descent_ = 0;
    Glyph glyphs_[256];
};

// The one place that knows where the fonts live. Empty when the file is missing.
std::string fontFilePath(FontFace::Size size);

// The cached face for a size, or null (with one message on stderr) when its file is missing.
std::shared_ptr<const FontFace> loadFontFace(FontFace::Size size);

}  // namespace zarn
