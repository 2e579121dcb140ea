#pragma once
// BandPlan: how one receiver band maps channel numbers to frequencies, to the
// absolute step numbers the board understands and to band offsets.
//
// All conversions are unsigned 32-bit integer arithmetic on frequencies in Hz;
// a search over segments that finds nothing yields 0. Frequencies below the
// band's first frequency saturate to offset 0 instead of wrapping, and the MHz
// entry points clamp their doubles (negative and NaN give 0) before converting.

#include <cstdint>

namespace zarn {

#pragma pack(push, 1)
struct BandSegment {
    uint8_t valid;
    uint32_t firstFrequencyHz;
    uint32_t lastFrequencyHz;  // inclusive
    uint32_t spacingHz;
    uint32_t firstChannel;
    uint32_t lastChannel;
};
#pragma pack(pop)
static_assert(sizeof(BandSegment) == 21);

class BandPlan {
public:
    static constexpr int kSegments = 5;

    BandPlan() { resetPlan(); }
    virtual ~BandPlan() = default;

    void resetPlan();
    int defineSegment(uint8_t index, uint32_t firstFrequencyHz, uint32_t lastFrequencyHz,
                      uint32_t spacingHz, uint32_t firstChannel);

    uint32_t frequencyToChannel(uint32_t frequencyHz) const;
    uint32_t channelToFrequency(uint32_t channel) const;
    uint32_t frequencyToStep(uint32_t frequencyHz) const;
    uint32_t stepToFrequency(uint32_t step) const;
    uint32_t frequencyToOffset(uint32_t frequencyHz) const;
    uint32_t offsetToFrequency(uint32_t offset) const;
    uint32_t channelToStep(uint32_t channel) const { return frequencyToStep(channelToFrequency(channel)); }
    uint32_t stepToChannel(uint32_t step) const { return frequencyToChannel(stepToFrequency(step)); }
    uint32_t stepToOffset(uint32_t step) const { return frequencyToOffset(stepToFrequency(step)); }
    uint32_t clampStep(uint32_t step) const;

    uint32_t tuneMegahertz(double megahertz);
    uint32_t tuneChannel(uint32_t channel);
    uint32_t tunedStep() const { return tunedStep_; }
    uint32_t tunedFrequency() const { return stepToFrequency(tunedStep_); }
    uint32_t tunedChannel() const { return stepToChannel(tunedStep_); }
    uint32_t tunedOffset() const { return stepToOffset(tunedStep_); }

    uint32_t setSpanMegahertz(double megahertz);
    void setSpan(uint32_t value) { span_ = value; }
    uint32_t span() const { return span_; }

    void setPcsRaster(uint32_t hz) { pcsRaster_ = hz; }
    uint32_t pcsRaster() const { return pcsRaster_; }
    uint32_t pcsChannelToFrequency(uint32_t pcsChannel) const;
    uint32_t pcsChannelToOffset(uint32_t pcsChannel) const { return frequencyToOffset(pcsChannelToFrequency(pcsChannel)); }
    uint32_t offsetToPcsChannel(uint32_t offset) const;

    const BandSegment& segment(int index) const { return segments_[index]; }

private:
    const BandSegment* segmentHoldingFrequency(uint32_t frequencyHz) const;
    const BandSegment* segmentHoldingChannel(uint32_t channel) const;

    BandSegment segments_[kSegments];
    uint32_t tunedStep_ = 1;
    uint32_t span_ = 0;
    uint32_t pcsRaster_ = 0;
};

// Hz of a non-negative MHz value, or 0 for negative and NaN; huge values stop
// at the largest frequency a u32 holds. `roundHalfUp` adds 0.5 Hz first.
uint32_t megahertzToHz(double megahertz, bool roundHalfUp);

// The two plans as the board state sets them up.
void setUpCellularPlan(BandPlan& plan);
void setUpPcsPlan(BandPlan& plan);

}  // namespace zarn
