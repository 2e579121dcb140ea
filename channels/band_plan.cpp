#include "channels/band_plan.h"

#include <cmath>
#include <cstring>

namespace zarn {

void BandPlan::resetPlan() {
    std::memset(segments_, 0, sizeof segments_);
    tunedStep_ = 1;
}

int BandPlan::defineSegment(uint8_t index, uint32_t firstFrequencyHz, uint32_t lastFrequencyHz,
                            uint32_t spacingHz, uint32_t firstChannel) {
    if (index >= kSegments) return -1;
    if (lastFrequencyHz <= firstFrequencyHz) return -2;
    if (spacingHz == 0) return -2;  // would divide by zero in every conversion
    BandSegment& s = segments_[index];
    s.firstFrequencyHz = firstFrequencyHz;
    s.lastFrequencyHz = lastFrequencyHz;
    s.spacingHz = spacingHz;
    s.firstChannel = firstChannel;
    s.lastChannel = firstChannel + (lastFrequencyHz - firstFrequencyHz) / spacingHz;
    s.valid = 1;
    return 0;
}

const BandSegment* BandPlan::segmentHoldingFrequency(uint32_t f) const {
    for (const BandSegment& s : segments_) {
        if (!s.valid) break;
        if (s.firstFrequencyHz <= f && f <= s.lastFrequencyHz) return &s;
    }
    return nullptr;
}

const BandSegment* BandPlan::segmentHoldingChannel(uint32_t c) const {
    for (const BandSegment& s : segments_) {
        if (!s.valid) break;
        if (s.firstChannel <= c && c <= s.lastChannel) return &s;
    }
    return nullptr;
}

uint32_t BandPlan::frequencyToChannel(uint32_t f) const {
    const BandSegment* s = segmentHoldingFrequency(f);
    return s ? (f - s->firstFrequencyHz) / s->spacingHz + s->firstChannel : 0;
}

uint32_t BandPlan::channelToFrequency(uint32_t c) const {
    const BandSegment* s = segmentHoldingChannel(c);
    return s ? (c - s->firstChannel) * s->spacingHz + s->firstFrequencyHz : 0;
}

uint32_t BandPlan::frequencyToStep(uint32_t f) const {
    const BandSegment* s = segmentHoldingFrequency(f);
    return s ? f / s->spacingHz : 0;
}

uint32_t BandPlan::stepToFrequency(uint32_t step) const {
    return step * segments_[0].spacingHz;
}

uint32_t BandPlan::frequencyToOffset(uint32_t f) const {
    const BandSegment& s = segments_[0];
    if (!s.valid || f < s.firstFrequencyHz) return 0;
    return (f - s.firstFrequencyHz) / s.spacingHz;
}

uint32_t BandPlan::offsetToFrequency(uint32_t offset) const {
    const BandSegment& s = segments_[0];
    return s.valid ? offset * s.spacingHz + s.firstFrequencyHz : 0;
}

uint32_t BandPlan::clampStep(uint32_t step) const {
    uint32_t low = 4000000000u;
    uint32_t high = 0;
    for (const BandSegment& s : segments_) {
        if (!s.valid) break;
        if (s.firstFrequencyHz < low) low = s.firstFrequencyHz;
        if (s.lastFrequencyHz > high) high = s.lastFrequencyHz;
    }
    uint32_t f = stepToFrequency(step);
    if (f > high) f = high;
    if (f < low) f = low;
    return frequencyToStep(f);
}

uint32_t megahertzToHz(double megahertz, bool roundHalfUp) {
    double hz = megahertz * 1000000.0;
    if (roundHalfUp) hz += 0.5;
    if (!(hz > 0.0)) return 0;  // negative, zero and NaN
    if (hz >= 4294967295.0) return 4294967295u;
    return static_cast<uint32_t>(hz);
}

uint32_t BandPlan::tuneMegahertz(double megahertz) {
    tunedStep_ = clampStep(frequencyToStep(megahertzToHz(megahertz, true)));
    return tunedStep_;
}

uint32_t BandPlan::tuneChannel(uint32_t channel) {
    tunedStep_ = clampStep(channelToStep(channel));
    return tunedStep_;
}

uint32_t BandPlan::setSpanMegahertz(double megahertz) {
    const uint32_t spacing = segments_[0].spacingHz;
    span_ = spacing ? megahertzToHz(megahertz, false) / spacing : 0;
    return span_;
}

uint32_t BandPlan::pcsChannelToFrequency(uint32_t c) const {
    switch (pcsRaster_) {
    case 30000:
        if (c < 1) c = 1;
        if (c > 1999) c = 1999;
        return (c + 64334) * 30000;
    case 50000:
        if (c > 1200) c = 1200;
        return (c + 38600) * 50000;
    case 200000:
        if (c < 512) c = 512;
        if (c > 810) c = 810;
        return (c + 9139) * 200000;
    default:
        return 1930200000;
    }
}

uint32_t BandPlan::offsetToPcsChannel(uint32_t offset) const {
    const uint32_t f = offsetToFrequency(offset);
    switch (pcsRaster_) {
    case 30000:
        return f < 1930020000u ? 0 : (f - 1930020000u) / 30000;
    case 50000:
        return f < 1930000000u ? 0 : (f - 1930000000u) / 50000;
    case 200000:
        return f < 1930200000u ? 512 : (f - 1930200000u) / 200000 + 512;
    default:
        return 0;
    }
}

void setUpCellularPlan(BandPlan& plan) {
    plan.resetPlan();
    plan.defineSegment(0, 869010000, 870000000, 30000, 990);
    plan.defineSegment(1, 870030000, 893970000, 30000, 1);
    plan.tuneMegahertz(881.52);
}

void setUpPcsPlan(BandPlan& plan) {
    plan.resetPlan();
    plan.defineSegment(0, 1930000000, 1990000000, 10000, 0);
    plan.setPcsRaster(50000);
    plan.tuneMegahertz(1962.5);
}

}  // namespace zarn
