#pragma once
// SdlAudio: the sound device, 8-bit unsigned mono at 22050 Hz. Muted, it
// opens nothing at all (no audio driver is even asked), so a machine without
// sound stays quiet; the backend still lets a synchronous sound take its time.

#include <SDL.h>

#include <cstddef>
#include <cstdint>

namespace zarn {

class SdlAudio {
public:
    static constexpr int kRate = 22050;

    explicit SdlAudio(bool muted);
    ~SdlAudio();
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

    bool open() const { return device_ != 0; }
    // Cuts off what is playing.
    void play(const uint8_t* samples, size_t count, int rate);

private:
    SDL_AudioDeviceID device_ = 0;
};

}  // namespace zarn
