#include "resources/gen/artwork.h"

#include "resources/gen/wave_synth.h"

namespace zarn::art {

const std::vector<Artwork>& bitmaps() {
    static const std::vector<Artwork> list = {
        {128, 112, 16, 4, drawToolbar},   // the command bar's seven button images
        // Start screens and the title band: the band-raster screen's title
        // picture, the fifteen title-band frames (135 is the cycle's start and
        // is shown last), the main menu's picture.
        {134, 240, 320, 24, drawTitlePicture},
        {135, 240, 15, 8, drawTitleBandFrame<0>},
        {136, 240, 15, 8, drawTitleBandFrame<1>},
        {137, 240, 15, 8, drawTitleBandFrame<2>},
        {138, 240, 15, 8, drawTitleBandFrame<3>},
        {139, 240, 15, 8, drawTitleBandFrame<4>},
        {140, 240, 15, 8, drawTitleBandFrame<5>},
        {141, 240, 15, 8, drawTitleBandFrame<6>},
        {142, 240, 15, 8, drawTitleBandFrame<7>},
        {143, 240, 15, 8, drawTitleBandFrame<8>},
        {144, 240, 15, 8, drawTitleBandFrame<9>},
        {145, 240, 15, 8, drawTitleBandFrame<10>},
        {146, 240, 15, 8, drawTitleBandFrame<11>},
        {147, 240, 15, 8, drawTitleBandFrame<12>},
        {148, 240, 15, 8, drawTitleBandFrame<13>},
        {149, 240, 15, 8, drawTitleBandFrame<14>},
        {150, 240, 320, 24, drawMenuPicture},
        // End of the start screens and the title band.
        // The channel screens: the single-channel chart and the channel-table scale.
        {154, 240, 268, 8, drawSingleChart},
        {183, 240, 255, 8, drawTableScale},
        // End of the channel screens.
        // The sweep screens: best-servers table, spectrum graticule, big buttons and trace buttons.
        {157, 240, 150, 4, drawServerTable},
        {158, 221, 141, 4, drawSpectrumGraticule},
        {159, 35, 27, 8, [](CDC& dc) { drawSpectrumButton(dc, 159); }},
        {160, 35, 27, 8, [](CDC& dc) { drawSpectrumButton(dc, 160); }},
        {161, 35, 27, 8, [](CDC& dc) { drawSpectrumButton(dc, 161); }},
        {162, 35, 27, 8, [](CDC& dc) { drawSpectrumButton(dc, 162); }},
        {163, 35, 27, 8, [](CDC& dc) { drawSpectrumButton(dc, 163); }},
        {164, 35, 27, 8, [](CDC& dc) { drawSpectrumButton(dc, 164); }},
        {165, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 0, 3, true); }},
        {166, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 0, 1, false); }},
        {167, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 0, 1, true); }},
        {168, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 0, 2, false); }},
        {169, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 0, 2, true); }},
        {170, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 0, 3, false); }},
        {171, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 2, 3, true); }},
        {172, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 2, 1, false); }},
        {173, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 2, 1, true); }},
        {174, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 2, 2, false); }},
        {175, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 2, 2, true); }},
        {176, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 2, 3, false); }},
        {177, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 1, 3, true); }},
        {178, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 1, 1, false); }},
        {179, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 1, 1, true); }},
        {180, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 1, 2, false); }},
        {181, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 1, 2, true); }},
        {182, 35, 18, 4, [](CDC& dc) { drawTraceButton(dc, 1, 3, false); }},
        // End of the sweep screens' rows.
    };
    return list;
}

const std::vector<Artwork>& icons() {
    static const std::vector<Artwork> list = {
        {128, 32, 32, 4, drawAppIcon},        // the about box and the program's large icon
        {128, 16, 16, 4, drawAppIconSmall},   // the same for lists and the Start menu
    };
    return list;
}

const std::vector<Sound>& sounds() {
    static const std::vector<Sound> list = {
        {"PING", 11025, makePing},
        {"HOWL", 22050, makeHowl},
        {"CAMERA", 11025, makeCamera},
    };
    return list;
}

}  // namespace zarn::art
