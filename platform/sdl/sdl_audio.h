#pragma once
// SdlAudio: the sound device, 8-bit unsigned mono at 22050 Hz. Muted, it
// opens nothing at all (no audio driver is even asked), so a machine without
// sound stays quiet; the backend still lets a synchronous sound take its time.
//
// An open device has a thread that wakes for every buffer it fills, silence
// too, and the audio driver may have one that looks for new devices ten times
// a second; so the driver is started and the device opened for a sound, and
// both closed a second after the last one has played. closeAt() is when the
// backend's idle wait is to end for closeIfDone(); never while nothing is open.
// A machine where no device opens is not asked again.

#include <SDL.h>

#include <cstddef>
#include <cstdint>

namespace zarn {

class SdlAudio {
public:
    static constexpr int kRate = 22050;
    static constexpr uint64_t kLingerMs = 1000;  // sounds in quick succession share the device

    explicit SdlAudio(bool muted);
    ~SdlAudio();
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

    // Cuts off what is playing.
    void play(const uint8_t* samples, size_t count, int rate, uint64_t nowMs);
    uint64_t closeAt() const;
    void closeIfDone(uint64_t nowMs);

private:
    bool open();
    void close();

    bool enabled_ = false;  // not muted, and no device has failed to open
    SDL_AudioDeviceID device_ = 0;
    uint64_t closeAt_ = 0;
};

}  // namespace zarn
