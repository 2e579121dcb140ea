#pragma once
// The program's icon for desktops (the hicolor theme): the drawn 16 and 32 pixel icons
// and whole-factor enlargements of them (48 = 3 x 16, 64 = 2 x 32, 128 = 4 x 32), so
// every size keeps the drawn pixels' crisp edges. RGBA PNGs; the icons' see-through
// colour becomes alpha 0.
//
//  - writeDesktopIcons(folder): folder/NxN/apps/zarn.png for each size, making the
//    folders; false and error (the file and the system's reason) when one fails.

#include <string>
#include <vector>

#include "platform/gdi/surface.h"

namespace zarn::art {

struct DesktopIconSize {
    int size;
    int drawn;  // the drawn icon it is enlarged from
};
const std::vector<DesktopIconSize>& desktopIconSizes();

Surface enlarged(const Surface& s, int factor);
bool writeDesktopIcons(const std::string& folder, std::string& error);

}  // namespace zarn::art
