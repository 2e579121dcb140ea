#include "tools/zarnlog/report/report_options.h"

#include <charconv>
#include <cmath>

namespace zarn {

std::optional<double> parseDecimal(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || stop != end || error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::vector<double>> parseLevelBands(const std::string& text) {
    std::vector<double> edges;
    for (size_t from = 0;;) {
        const size_t comma = text.find(',', from);
        const std::optional<double> edge = parseDecimal(text.substr(from, comma - from));
        if (!edge || (!edges.empty() && !(*edge < edges.back()))) return std::nullopt;
        edges.push_back(*edge);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (edges.size() > 12) return std::nullopt;
    return edges;
}

}  // namespace zarn
