#pragma once
// Building blocks for the WAVE resources: signals as floats in -1..1 at a
// sample rate, turned into 8-bit unsigned mono PCM at the end (128 is
// silence; values beyond full scale are clipped). Everything is
// deterministic: noise comes from a seeded generator.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarn::art {

using Signal = std::vector<float>;

Signal tone(int rate, double seconds, double hz, double amplitude);
Signal sweep(int rate, double seconds, double fromHz, double toHz, double amplitude);
Signal noise(int rate, double seconds, double amplitude, uint32_t seed);
// A tone gliding through (time s, frequency Hz) points, linearly between
// them, with a vibrato of vibratoHz and +-depth (fraction of the frequency).
struct GlidePoint {
    double at;
    double hz;
};
Signal glide(int rate, double seconds, const std::vector<GlidePoint>& points, double amplitude, double vibratoHz,
             double depth);
// Multiplies by exp(-t / timeConstant).
void decay(Signal& s, int rate, double timeConstant);
// Linear fade in over attack seconds and out over release seconds.
void fade(Signal& s, int rate, double attack, double release);
// Adds src into dst starting at sample `at`, growing dst as needed.
void mixInto(Signal& dst, const Signal& src, size_t at);
std::vector<uint8_t> toPcm8(const Signal& s);

// The sounds.
std::vector<uint8_t> makePing();
std::vector<uint8_t> makeHowl();
std::vector<uint8_t> makeCamera();

}  // namespace zarn::art
