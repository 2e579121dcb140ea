#include "platform/sdl/sdl_audio.h"

#include <algorithm>
#include <vector>

namespace zarn {

SdlAudio::SdlAudio(bool muted) {
    if (muted || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SDL_AudioSpec want{};
    want.freq = kRate;
    want.format = AUDIO_U8;
    want.channels = 1;
    want.samples = 1024;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device_) {
        SDL_PauseAudioDevice(device_, 0);
    } else {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

SdlAudio::~SdlAudio() {
    if (!device_) return;
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudio::play(const uint8_t* samples, size_t count, int rate) {
    if (!device_ || rate <= 0 || count == 0) return;
    // Nearest-sample resampling to the device rate is plenty for these sounds.
    const size_t outCount = static_cast<size_t>(static_cast<uint64_t>(count) * kRate / static_cast<uint64_t>(rate));
    std::vector<uint8_t> out(outCount);
    for (size_t i = 0; i < outCount; ++i) out[i] = samples[std::min(count - 1, i * static_cast<size_t>(rate) / kRate)];
    SDL_ClearQueuedAudio(device_);
    SDL_QueueAudio(device_, out.data(), static_cast<Uint32>(out.size()));
}

}  // namespace zarn
