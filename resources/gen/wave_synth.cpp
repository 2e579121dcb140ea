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

Signal glide(int rate, double seconds, const std::vector<GlidePoint>& points, double amplitude, double vibratoHz,
             double depth) {
    Signal s(sampleCount(rate, seconds));
    double phase = 0;
    size_t k = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = static_cast<double>(i) / rate;
        while (k + 1 < points.size() && points[k + 1].at <= t) ++k;
        double hz = points.empty() ? 0.0 : points[k].hz;
        if (k + 1 < points.size()) {
            double span = points[k + 1].at - points[k].at;
            double f = span > 0 ? (t - points[k].at) / span : 1.0;
            hz = points[k].hz + (points[k + 1].hz - points[k].hz) * std::clamp(f, 0.0, 1.0);
        }
        hz *= 1.0 + depth * std::sin(kTwoPi * vibratoHz * t);
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

// The start-up howl: a wailing tone that rises, holds and falls twice over
// 5.5 s, with an octave above it and a breath of noise, faded at both ends.
std::vector<uint8_t> makeHowl() {
    const int rate = 22050;
    const double seconds = 5.5;
    const std::vector<GlidePoint> contour = {{0.0, 220}, {0.9, 660}, {1.8, 600}, {2.6, 330},
                                             {3.3, 700}, {4.4, 640}, {5.5, 200}};
    Signal s = glide(rate, seconds, contour, 0.45, 5.5, 0.025);
    std::vector<GlidePoint> octave = contour;
    for (GlidePoint& p : octave) p.hz *= 2;
    mixInto(s, glide(rate, seconds, octave, 0.15, 5.5, 0.025), 0);
    mixInto(s, noise(rate, seconds, 0.04, 0x484F574Cu), 0);
    fade(s, rate, 0.6, 1.2);
    return toPcm8(s);
}

// The snapshot's shutter: two sharp clicks (the blades opening and closing)
// and the short whirr of the film advance, 0.8 s in all.
std::vector<uint8_t> makeCamera() {
    const int rate = 11025;
    Signal s(static_cast<size_t>(rate * 0.8), 0.0f);
    for (double at : {0.0, 0.11}) {
        Signal click = noise(rate, 0.04, 0.9, at > 0 ? 0xC11Cu : 0x5AA7u);
        mixInto(click, tone(rate, 0.04, 2400.0, 0.4), 0);
        decay(click, rate, 0.006);
        mixInto(s, click, static_cast<size_t>(at * rate));
    }
    Signal whirr = sweep(rate, 0.42, 180.0, 260.0, 0.25);
    mixInto(whirr, noise(rate, 0.42, 0.12, 0xF11Du), 0);
    fade(whirr, rate, 0.05, 0.12);
    mixInto(s, whirr, static_cast<size_t>(0.3 * rate));
    fade(s, rate, 0.0, 0.03);
    return toPcm8(s);
}

}  // namespace zarn::art
