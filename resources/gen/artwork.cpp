#include "resources/gen/artwork.h"

#include "resources/gen/wave_synth.h"

namespace zarn::art {

const std::vector<Artwork>& bitmaps() {
    static const std::vector<Artwork> list = {
        {128, 112, 16, 4, drawToolbar},   // the command bar's seven button images
    };
    return list;
}

const std::vector<Artwork>& icons() {
    static const std::vector<Artwork> list = {
        {128, 32, 32, 4, drawAppIcon},
    };
    return list;
}

const std::vector<Sound>& sounds() {
    static const std::vector<Sound> list = {
        {"PING", 11025, makePing},
    };
    return list;
}

}  // namespace zarn::art
