#pragma once
// Test helper: a surface as rows of characters, so expected pixels read as pictures.

#include <map>
#include <string>
#include <vector>

#include "platform/gdi/colours.h"
#include "platform/gdi/surface.h"

namespace zarn::test {

// Each pixel becomes the character its colour maps to, '?' for colours not in the map.
inline std::vector<std::string> art(const Surface& s, const std::map<COLORREF, char>& key) {
    std::vector<std::string> rows;
    for (int y = 0; y < s.height; ++y) {
        std::string row;
        for (int x = 0; x < s.width; ++x) {
            auto it = key.find(pixelToRgb(s.at(x, y)));
            row.push_back(it == key.end() ? '?' : it->second);
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace zarn::test
