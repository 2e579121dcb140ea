#include "resources/gen/as_shown.h"

#include <vector>

namespace zarn::art {
namespace {

// For each picture row (or column), the shown row that the stretch samples
// from it or, where it samples none, from the nearest one before it.
std::vector<int> shownIndex(int pictureLength, const std::vector<int>& sampled) {
    std::vector<int> index(static_cast<size_t>(pictureLength), -1);
    for (size_t j = 0; j < sampled.size(); ++j) index[static_cast<size_t>(sampled[j])] = static_cast<int>(j);
    for (size_t i = 0; i < index.size(); ++i)
        if (index[i] < 0) index[i] = i == 0 ? 0 : index[i - 1];
    return index;
}

}  // namespace

void drawAsShown(CDC& dc, CSize shown, const std::function<void(CDC&)>& paint) {
    Surface* picture = dc.surface();
    if (!picture || shown.cx <= 0 || shown.cy <= 0) return;
    const int w = picture->width, h = picture->height;
    // Which picture pixel each shown pixel comes from, as the stretch itself picks it.
    Surface origins(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) origins.at(x, y) = static_cast<uint32_t>(y) << 16 | static_cast<uint32_t>(x);
    Surface sampled(shown.cx, shown.cy), before(shown.cx, shown.cy);
    CDC originsDc(origins), sampledDc(sampled), beforeDc(before);
    sampledDc.StretchBlt(0, 0, shown.cx, shown.cy, &originsDc, 0, 0, w, h, SRCCOPY);
    beforeDc.StretchBlt(0, 0, shown.cx, shown.cy, &dc, 0, 0, w, h, SRCCOPY);
    std::vector<int> rows, columns;
    for (int j = 0; j < shown.cy; ++j) rows.push_back(static_cast<int>(sampled.at(0, j) >> 16));
    for (int i = 0; i < shown.cx; ++i) columns.push_back(static_cast<int>(sampled.at(i, 0) & 0xFFFF));
    const std::vector<int> rowShown = shownIndex(h, rows), columnShown = shownIndex(w, columns);

    Surface after = before;
    CDC afterDc(after);
    paint(afterDc);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = columnShown[static_cast<size_t>(x)], j = rowShown[static_cast<size_t>(y)];
            if (after.at(i, j) != before.at(i, j)) picture->at(x, y) = after.at(i, j);
        }
}

}  // namespace zarn::art
