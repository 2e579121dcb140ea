#include "resources/gen/wave_synth.h"

#include <algorithm>
#include <cmath>

namespace zarn::art {
namespace {

constexpr double kTwoPi = 6.283185307179586;

size_t sampleCount(int rate, double seconds) { return static_cast<size_t>(std::lround(rate * seconds)); }

}  // namespace

Signal tone(int rate, double seconds, double hz, double amplitude) {
    Signal s(sampleCount(rate, seconds));
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<float>(amplitude * std::sin(kTwoPi * hz * i / rate));
    return s;
}

Signal sweep(int rate, double seconds, double fromHz, double toHz, double amplitude) {
    Signal s(sampleCount(rate, seconds));
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double hz = fromHz + (toHz - fromHz) * static_cast<double>(i) / static_cast<double>(s.size());
        phase += kTwoPi * hz / rate;
        s[i] = static_cast<float>(amplitude * std::sin(phase));
    }
    return s;
}

Signal noise(int rate, double seconds, double amplitude, uint32_t seed) {
    Signal s(sampleCount(rate, seconds));
    uint32_t x = seed ? seed : 1;
    for (auto& v : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = static_cast<float>(amplitude * (static_cast<double>(x) / 2147483648.0 - 1.0));
    }
    return s;
}

void decay(Signal& s, int rate, double timeConstant) {
    for (size_t i = 0; i < s.size(); ++i) s[i] *= static_cast<float>(std::exp(-static_cast<double>(i) / rate / timeConstant));
}

void fade(Signal& s, int rate, double attack, double release) {
    size_t a = sampleCount(rate, attack), r = sampleCount(rate, release);
    for (size_t i = 0; i < s.size(); ++i) {
        double g = 1.0;
        if (i < a) g = static_cast<double>(i) / static_cast<double>(a);
        if (s.size() - i <= r) g = std::min(g, static_cast<double>(s.size() - i) / static_cast<double>(r));
        s[i] *= static_cast<float>(g);
    }
}

void mixInto(Signal& dst, const Signal& src, size_t at) {
    if (dst.size() < at + src.size()) dst.resize(at + src.size(), 0.0f);
    for (size_t i = 0; i < src.size(); ++i) dst[at + i] += src[i];
}

std::vector<uint8_t> toPcm8(const Signal& s) {
    std::vector<uint8_t> out(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        double v = std::clamp(static_cast<double>(s[i]), -1.0, 1.0);
        out[i] = static_cast<uint8_t>(std::lround(128.0 + v * 127.0));
    }
    return out;
}

// A bell-like ping: two partials ringing down over about 1.7 s.
std::vector<uint8_t> makePing() {
    const int rate = 11025;
    Signal s = tone(rate, 1.7, 1760.0, 0.6);
    mixInto(s, tone(rate, 1.7, 2637.0, 0.25), 0);
    decay(s, rate, 0.35);
    fade(s, rate, 0.002, 0.05);
    return toPcm8(s);
}

}  // namespace zarn::art
