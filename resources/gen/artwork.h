#pragma once
// The pictures and sounds the generator bakes into every program. Adding a
// bitmap is one drawing function (against a CDC over a bitmap of the given
// size, black at the start) and one row in the table of artwork.cpp.

#include <cstdint>
#include <vector>

#include "platform/gdi/dc.h"

namespace zarn::art {

struct Artwork {
    int id;
    int width;
    int height;
    int bitsPerPixel;          // the depth the picture is meant to have (4, 8 or 24)
    void (*draw)(CDC& dc);
};

// Icons are drawn on kTransparent; pixels left in that colour are see-through.
constexpr COLORREF kTransparent = RGB(255, 0, 255);

struct Sound {
    const char* name;
    int sampleRate;
    std::vector<uint8_t> (*make)();
};

const std::vector<Artwork>& bitmaps();
const std::vector<Artwork>& icons();
const std::vector<Sound>& sounds();

// The drawing functions, one file each.
void drawToolbar(CDC& dc);
void drawAppIcon(CDC& dc);
void drawAppIconSmall(CDC& dc);
void drawTitlePicture(CDC& dc);
void drawMenuPicture(CDC& dc);
void drawSingleChart(CDC& dc);
void drawTableScale(CDC& dc);
// Frame 0..14 of the title band's cycle.
void drawTitleBand(CDC& dc, int frame);
template <int Frame>
void drawTitleBandFrame(CDC& dc) {
    drawTitleBand(dc, Frame);
}

// The sweep screens' pictures.
void drawServerTable(CDC& dc);                                     // 157
void drawSpectrumGraticule(CDC& dc);                               // 158
void drawSpectrumButton(CDC& dc, int id);                          // 159 - 164
void drawTraceButton(CDC& dc, int flag, int trace, bool set);      // 165 - 182; flag 0 enable, 1 visible, 2 hold

}  // namespace zarn::art
