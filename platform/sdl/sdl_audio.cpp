#include "platform/sdl/sdl_audio.h"

#include <algorithm>
#include <vector>

#include "platform/ui/backend.h"

namespace zarn {

namespace {
constexpr uint64_t kLookAgainMs = 100;  // what is queued has not all gone to the device yet
}  // namespace

SdlAudio::SdlAudio(bool muted) : enabled_(!muted) {}

SdlAudio::~SdlAudio() { close(); }

void SdlAudio::close() {
    if (!device_) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudio::open() {
    if (device_) return true;
    if (!enabled_ || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return enabled_ = false;
    SDL_AudioSpec want{};
    want.freq = kRate;
    want.format = AUDIO_U8;
    want.channels = 1;
    want.samples = 1024;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (!device_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return enabled_ = false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudio::play(const uint8_t* samples, size_t count, int rate, uint64_t nowMs) {
    if (rate <= 0 || count == 0 || !open()) return;
    // Nearest-sample resampling to the device rate is plenty for these sounds.
    const size_t outCount = static_cast<size_t>(static_cast<uint64_t>(count) * kRate / static_cast<uint64_t>(rate));
    std::vector<uint8_t> out(outCount);
    for (size_t i = 0; i < outCount; ++i) out[i] = samples[std::min(count - 1, i * static_cast<size_t>(rate) / kRate)];
    SDL_ClearQueuedAudio(device_);
    SDL_QueueAudio(device_, out.data(), static_cast<Uint32>(out.size()));
    closeAt_ = nowMs + outCount * 1000 / kRate + kLingerMs;
}

uint64_t SdlAudio::closeAt() const { return device_ ? closeAt_ : UiBackend::kNoDeadline; }

void SdlAudio::closeIfDone(uint64_t nowMs) {
    if (!device_ || nowMs < closeAt_) return;
    if (SDL_GetQueuedAudioSize(device_) > 0) {
        closeAt_ = nowMs + kLookAgainMs;
        return;
    }
    close();
}

}  // namespace zarn
