#include "platform/ui/sound.h"

#include <cmath>
#include <string>
#include <strings.h>

#include "platform/gdi/resource.h"
#include "platform/ui/window_system.h"

namespace zarn {

namespace {

// Notes of (frequency, milliseconds), each faded in and out so it does not click.
std::vector<uint8_t> synthesise(std::initializer_list<std::pair<double, int>> notes) {
    std::vector<uint8_t> out;
    for (auto [hz, ms] : notes) {
        int n = kSchemeRate * ms / 1000;
        for (int i = 0; i < n; ++i) {
            double envelope = std::min({1.0, i / 200.0, (n - i) / 400.0});
            double v = std::sin(2.0 * M_PI * hz * i / kSchemeRate) * envelope * 0.6;
            out.push_back(static_cast<uint8_t>(std::lround(128.0 + 127.0 * v)));
        }
    }
    return out;
}

}  // namespace

const std::vector<uint8_t>& onlineSound() {
    static const std::vector<uint8_t> sound = synthesise({{880.0, 120}, {1318.5, 180}});
    return sound;
}

const std::vector<uint8_t>& beepSound() {
    static const std::vector<uint8_t> sound = synthesise({{1000.0, 100}});
    return sound;
}

BOOL PlaySound(const char* name, void*, DWORD flags) {
    UiBackend* backend = WindowSystem::get().backend();
    if (!name || !backend) return FALSE;
    if ((flags & SND_RESOURCE) == SND_RESOURCE) {
        const WaveResource* wave = findWave(name);
        if (!wave) return FALSE;
        backend->playWave(name, wave->samples, wave->sampleCount, wave->sampleRate, (flags & SND_ASYNC) != 0);
        return TRUE;
    }
    if (strcasecmp(name, "Online") == 0) {
        const auto& s = onlineSound();
        backend->playWave("Online", s.data(), s.size(), kSchemeRate, (flags & SND_ASYNC) != 0);
        return TRUE;
    }
    return FALSE;
}

BOOL PlaySoundW(const wchar_t* name, void* module, DWORD flags) {
    if (!name) return FALSE;
    std::string narrow;
    for (const wchar_t* p = name; *p; ++p) narrow.push_back(*p < 0x80 ? static_cast<char>(*p) : '?');
    return PlaySound(narrow.c_str(), module, flags);
}

BOOL MessageBeep(UINT type) {
    UiBackend* backend = WindowSystem::get().backend();
    if (!backend) return FALSE;
    backend->beep(type);
    return TRUE;
}

}  // namespace zarn
