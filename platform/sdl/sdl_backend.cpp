#include "platform/sdl/sdl_backend.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/ui/sound.h"

namespace zarn {

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr int kAudioRate = 22050;

int chooseScale() {
    if (const char* s = std::getenv("ZARN_SCALE"); s && *s) {
        int v = std::atoi(s);
        if (v >= 1) return v;
    }
    SDL_Rect bounds;
    if (SDL_GetDisplayUsableBounds(0, &bounds) != 0) return 1;
    int scale = 3;
    while (scale > 1 && (kWidth * scale > bounds.w || kHeight * scale > bounds.h)) --scale;
    return scale;
}

unsigned virtualKey(SDL_Keycode k) {
    switch (k) {
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 0x0D;
    case SDLK_ESCAPE: return 0x1B;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_DELETE: return 0x2E;
    case SDLK_HOME: return 0x24;
    case SDLK_END: return 0x23;
    default: return 0;
    }
}

class SdlBackend : public UiBackend {
public:
    bool start() {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::fprintf(stderr, "zarn: cannot start the window: %s\n", SDL_GetError());
            return false;
        }
        scale_ = chooseScale();
        window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth * scale_, kHeight * scale_,
                                   SDL_WINDOW_HIDDEN);
        if (!window_) {
            std::fprintf(stderr, "zarn: cannot open the window: %s\n", SDL_GetError());
            return false;
        }
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        texture_ = renderer_ ? SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight) : nullptr;
        if (!texture_) {
            std::fprintf(stderr, "zarn: cannot draw into the window: %s\n", SDL_GetError());
            return false;
        }
        wakeEvent_ = SDL_RegisterEvents(1);
        const char* mute = std::getenv("ZARN_MUTE");
        muted_ = mute && std::string(mute) == "1";
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            SDL_AudioSpec want{};
            want.freq = kAudioRate;
            want.format = AUDIO_U8;
            want.channels = 1;
            want.samples = 1024;
            audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
            if (audio_) SDL_PauseAudioDevice(audio_, 0);
        }
        SDL_StartTextInput();
        return true;
    }

    ~SdlBackend() override {
        if (audio_) SDL_CloseAudioDevice(audio_);
        if (cursor_) SDL_FreeCursor(cursor_);
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        SDL_Quit();
    }

    uint64_t nowMs() override { return SDL_GetTicks64(); }

    void localTime(int& hours, int& minutes) override {
        std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        hours = local.tm_hour;
        minutes = local.tm_min;
    }

    bool pollInput(InputEvent& out) override {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (translate(e, out)) return true;
        return false;
    }

    bool waitInput(uint64_t deadline) override {
        int timeout = -1;
        if (deadline != kNoDeadline) {
            uint64_t now = nowMs();
            timeout = deadline <= now ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, 1000000));
        }
        SDL_WaitEventTimeout(nullptr, timeout);
        return true;
    }

    void wake() override {
        SDL_Event e{};
        e.type = wakeEvent_;
        SDL_PushEvent(&e);
    }

    void present(const Surface& screen) override {
        SDL_UpdateTexture(texture_, nullptr, screen.pixels.data(), kWidth * 4);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    void setTitle(const std::string& title) override { SDL_SetWindowTitle(window_, title.c_str()); }
    void showMainWindow() override { SDL_ShowWindow(window_); }

    void setWaitCursor(bool on) override {
        if (on && !cursor_) cursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
        if (on && cursor_) SDL_SetCursor(cursor_);
        if (!on) SDL_SetCursor(SDL_GetDefaultCursor());
    }

    void playWave(const std::string&, const uint8_t* samples, size_t count, int rate, bool async) override {
        if (rate <= 0) return;
        uint64_t durationMs = static_cast<uint64_t>(count) * 1000 / static_cast<uint64_t>(rate);
        if (audio_ && !muted_) {
            // Nearest-sample resampling to the device rate is plenty for these sounds.
            size_t outCount = static_cast<size_t>(static_cast<uint64_t>(count) * kAudioRate / static_cast<uint64_t>(rate));
            std::vector<uint8_t> out(outCount);
            for (size_t i = 0; i < outCount; ++i) out[i] = samples[std::min(count - 1, i * static_cast<size_t>(rate) / kAudioRate)];
            SDL_ClearQueuedAudio(audio_);
            SDL_QueueAudio(audio_, out.data(), static_cast<Uint32>(out.size()));
        }
        if (!async) SDL_Delay(static_cast<Uint32>(durationMs));
    }

    void beep(unsigned) override {
        const auto& s = beepSound();
        playWave("beep", s.data(), s.size(), kSchemeRate, true);
    }

    bool read(Surface& out) {
        Surface scaled(kWidth * scale_, kHeight * scale_);
        if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB888, scaled.pixels.data(), scaled.width * 4) != 0) return false;
        out = Surface(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) out.at(x, y) = scaled.at(x * scale_, y * scale_) & 0x00FFFFFF;
        return true;
    }

private:
    bool translate(const SDL_Event& e, InputEvent& out) {
        out = InputEvent{};
        switch (e.type) {
        case SDL_QUIT:
            out.kind = InputEvent::Kind::Close;
            return true;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                out.kind = InputEvent::Kind::Close;
                return true;
            }
            if (e.window.event == SDL_WINDOWEVENT_MINIMIZED) {
                out.kind = InputEvent::Kind::Minimise;
                return true;
            }
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) SDL_RenderPresent(renderer_);
            return false;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT) return false;
            out.kind = e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Kind::PenDown : InputEvent::Kind::PenUp;
            out.x = e.button.x / scale_;
            out.y = e.button.y / scale_;
            return true;
        case SDL_MOUSEMOTION:
            out.kind = InputEvent::Kind::PenMove;
            out.x = e.motion.x / scale_;
            out.y = e.motion.y / scale_;
            return true;
        case SDL_KEYDOWN: {
            unsigned vk = virtualKey(e.key.keysym.sym);
            if (!vk) return false;
            out.kind = InputEvent::Kind::Key;
            out.key = vk;
            out.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
            return true;
        }
        case SDL_TEXTINPUT:
            return text(e.text.text, out);
        default:
            return false;
        }
    }

    // Typed text arrives as UTF-8; the dialogs take Latin-1 characters one at a time.
    bool text(const char* utf8, InputEvent& out) {
        const auto* p = reinterpret_cast<const unsigned char*>(utf8);
        unsigned c = 0;
        if (p[0] < 0x80) {
            c = p[0];
        } else if ((p[0] & 0xE0) == 0xC0 && p[1]) {
            c = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
        }
        if (c == 0 || c > 0xFF) return false;
        out.kind = InputEvent::Kind::Char;
        out.key = c;
        return true;
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_Cursor* cursor_ = nullptr;
    SDL_AudioDeviceID audio_ = 0;
    Uint32 wakeEvent_ = 0;
    int scale_ = 1;
    bool muted_ = false;
};

}  // namespace

std::unique_ptr<UiBackend> createSdlBackend() {
    auto backend = std::make_unique<SdlBackend>();
    if (!backend->start()) return nullptr;
    return backend;
}

bool readSdlWindow(UiBackend* backend, Surface& out) {
    auto* sdl = dynamic_cast<SdlBackend*>(backend);
    return sdl && sdl->read(out);
}

}  // namespace zarn
