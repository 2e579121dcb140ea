#pragma once
// RadioScene: what the simulated board's receiver hears: carriers on fixed frequencies
// over a noise floor, with measurement noise and slow fading.
//
// Scene file (text, one item a line, `#` starts a comment):
//   noise <dBm>                                   noise floor (default -110)
//   jitter <dB>                                   measurement noise's deviation (default 1.5;
//                                                 0: each level exactly the scene's, to 1/16 dB)
//   carrier <band> <MHz> <dBm> [width kHz] [fade dB] [fade period s] [from S] [until S]
// band 0 is the 800 MHz cellular band, 1 the 1900 MHz PCS band. A carrier is heard at full
// level within half its width (default 30 kHz) of its frequency and falls off outside.
// With `from` and `until` it is heard only from S seconds after the simulator started and
// before S: a carrier that steps up at a known moment and down later.

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace zarn::sim {

struct Carrier {
    uint8_t band = 0;
    double megahertz = 0;
    double dbm = -60;
    double widthKhz = 30;
    double fadeDb = 3;
    double fadePeriodS = 7;
    double fromS = 0;
    double untilS = std::numeric_limits<double>::infinity();
    bool on(double t) const { return t >= fromS && t < untilS; }
};

class RadioScene {
public:
    static RadioScene standard();
    // Reads a scene file; false (and a message in error) for a missing file or a bad line.
    bool load(const std::string& path, std::string& error);
    bool parse(const std::string& text, std::string& error);

    // Level at a frequency at time t, in 1/16 dB, with measurement noise.
    int16_t level(uint8_t band, uint64_t frequencyHz, double t);
    double meanDbm(uint8_t band, uint64_t frequencyHz, double t) const;

    double noiseDbm = -110;
    double jitterDb = 1.5;
    std::vector<Carrier> carriers;

private:
    std::mt19937 random_{12345};
};

// Frequencies of the board's numbers: band offsets and tuned steps.
uint64_t offsetFrequencyHz(uint8_t band, uint32_t offset);
uint64_t stepFrequencyHz(uint8_t band, uint32_t step);

}  // namespace zarn::sim
