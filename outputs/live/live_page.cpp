#include "outputs/live/live_page.h"

#include <string_view>

#include "survey/colour_map.h"

namespace zarn {

extern const std::string_view kPageHtml, kPageCss, kPageJs;

namespace {

// zarnlog plot's grey where a sweep has no level.
constexpr uint32_t kNoData = 0xC8C8C8;

void replace(std::string& text, std::string_view marker, std::string_view with) {
    const size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, marker.size(), with);
}

}  // namespace

std::string pageColours() {
    std::string out = "{\"viridis\":[";
    for (int i = 0; i < 256; ++i) out += (i ? "," : "") + std::to_string(viridisPixel(i / 255.0));
    const LevelScale scale;
    out += "],\"lo\":" + std::to_string(static_cast<int>(scale.lo)) + ",\"hi\":" + std::to_string(static_cast<int>(scale.hi));
    out += ",\"no_data\":" + std::to_string(kNoData) + "}";
    return out;
}

std::string livePage() {
    std::string page(kPageHtml);
    replace(page, "/*ZARN_STYLE*/", kPageCss);
    replace(page, "/*ZARN_COLOURS*/", pageColours());
    replace(page, "/*ZARN_SCRIPT*/", kPageJs);
    return page;
}

}  // namespace zarn
