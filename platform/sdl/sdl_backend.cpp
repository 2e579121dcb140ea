#include "platform/sdl/sdl_backend.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_presenter.h"
#include "platform/sdl/window_options.h"
#include "platform/ui/screen_placement.h"
#include "platform/ui/sound.h"

namespace zarn {

namespace {

constexpr int kMostWindowScale = 3;
constexpr int kMostPresentsPerSecond = 60;

class SdlBackend : public UiBackend {
public:
    explicit SdlBackend(const WindowOptions& options) : options_(options) {}

    bool start() {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::fprintf(stderr, "zarn: cannot start the window: %s\n", SDL_GetError());
            return false;
        }
        if (!openWindow()) {
            std::fprintf(stderr, "zarn: cannot open the window: %s\n", SDL_GetError());
            return false;
        }
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        presenter_ = createPresenter(window_);
        if (!presenter_) {
            std::fprintf(stderr, "zarn: cannot draw into the window: %s\n", SDL_GetError());
            return false;
        }
        frameInterval_ = frameInterval();
        wakeEvent_ = SDL_RegisterEvents(1);
        audio_ = std::make_unique<SdlAudio>(options_.muted);
        SDL_StartTextInput();
        return true;
    }

    ~SdlBackend() override {
        audio_.reset();
        presenter_.reset();
        if (cursor_) SDL_FreeCursor(cursor_);
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

    uint32_t msToNextMinute() override {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::tm local{};
        localtime_r(&now.tv_sec, &local);
        const long ms = (60 - std::min(local.tm_sec, 59)) * 1000L - now.tv_nsec / 1000000;
        return static_cast<uint32_t>(std::max(ms, 1L));
    }

    bool pollInput(InputEvent& out) override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_WINDOWEVENT) {
                if (windowEvent(e.window, out)) return true;
            } else if (input_.translate(e, placement_, windowSize(), out)) {
                return true;
            }
        }
        return false;
    }

    // The sound device is closed from here, once the program has nothing else to do.
    bool waitInput(uint64_t deadline) override {
        deadline = std::min(deadline, audio_->closeAt());
        int timeout = -1;
        if (deadline != kNoDeadline) {
            uint64_t now = nowMs();
            timeout = deadline <= now ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, 1000000));
        }
        SDL_WaitEventTimeout(nullptr, timeout);
        audio_->closeIfDone(nowMs());
        return true;
    }

    void wake() override {
        SDL_Event e{};
        e.type = wakeEvent_;
        SDL_PushEvent(&e);
    }

    void present(const Surface& screen, const std::vector<CRect>& changed) override {
        const bool first = !screen_;
        screen_ = &screen;
        if (first) {
            presenter_->place(placement_, screen);
        } else {
            presenter_->present(screen, changed);
        }
    }

    uint32_t frameIntervalMs() override { return frameInterval_; }

    void setTitle(const std::string& title) override { SDL_SetWindowTitle(window_, title.c_str()); }
    void showMainWindow() override { SDL_ShowWindow(window_); }

    void setWaitCursor(bool on) override {
        if (on && !cursor_) cursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
        if (on && cursor_) SDL_SetCursor(cursor_);
        if (!on) SDL_SetCursor(SDL_GetDefaultCursor());
    }

    void playWave(const std::string&, const uint8_t* samples, size_t count, int rate, bool async) override {
        if (rate <= 0) return;
        audio_->play(samples, count, rate, nowMs());
        if (!async) SDL_Delay(static_cast<Uint32>(static_cast<uint64_t>(count) * 1000 / static_cast<uint64_t>(rate)));
    }

    void beep(unsigned) override {
        const auto& s = beepSound();
        playWave("beep", s.data(), s.size(), kSchemeRate, true);
    }

    // The mask makes the icon's background see-through.
    void setIcon(const BitmapResource& icon) override {
        Surface pixels;
        if (!decodeBitmap(icon, pixels)) return;
        SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, pixels.width, pixels.height, 32, SDL_PIXELFORMAT_ARGB8888);
        if (!image) return;
        for (int y = 0; y < pixels.height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(image->pixels) + y * image->pitch);
            for (int x = 0; x < pixels.width; ++x) {
                const bool opaque = !icon.mask || icon.mask[static_cast<size_t>(y) * pixels.width + x];
                row[x] = (opaque ? 0xFF000000u : 0u) | (pixels.at(x, y) & 0x00FFFFFF);
            }
        }
        SDL_SetWindowIcon(window_, image);
        SDL_FreeSurface(image);
    }

    bool read(Surface& out) { return presenter_->read(out); }

private:
    // In a window: the turned picture at its scale. Full screen: the whole
    // display, the picture placed when the window's size is known.
    bool openWindow() {
        Uint32 flags = SDL_WINDOW_HIDDEN;
        SDL_Rect area{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 0, 0};
        if (options_.fullscreen) {
            if (SDL_GetDisplayBounds(0, &area) != 0) return false;
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
            mostScale_ = options_.scale;
            SDL_ShowCursor(SDL_DISABLE);
            // Minimising ends the program; losing the focus to another window must not.
            SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        } else {
            mostScale_ = options_.scale >= 1 ? options_.scale : largestWindowScale();
            const CSize size = ScreenPlacement(options_.rotation, mostScale_, {}).pictureSize();
            area.w = size.cx;
            area.h = size.cy;
        }
        window_ = SDL_CreateWindow("", area.x, area.y, area.w, area.h, flags);
        if (!window_) return false;
        placement_ = ScreenPlacement::fit(windowSize(), options_.rotation, mostScale_);
        return true;
    }

    int largestWindowScale() const {
        SDL_Rect bounds;
        if (SDL_GetDisplayUsableBounds(0, &bounds) != 0) return 1;
        return ScreenPlacement::fit({bounds.w, bounds.h}, options_.rotation, kMostWindowScale).scale();
    }

    CSize windowSize() const {
        int w = 0, h = 0;
        SDL_GetWindowSize(window_, &w, &h);
        return {w, h};
    }

    // One display refresh: vsync paces a renderer; otherwise at most 60 a second.
    uint32_t frameInterval() const {
        SDL_DisplayMode mode{};
        const int refresh = SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
        if (presenter_->vsync()) return static_cast<uint32_t>(1000 / refresh);
        const int rate = std::min(refresh, kMostPresentsPerSecond);
        return static_cast<uint32_t>((1000 + rate - 1) / rate);
    }

    bool windowEvent(const SDL_WindowEvent& w, InputEvent& out) {
        out = InputEvent{};
        switch (w.event) {
        case SDL_WINDOWEVENT_CLOSE:
            out.kind = InputEvent::Kind::Close;
            return true;
        case SDL_WINDOWEVENT_MINIMIZED:
            out.kind = InputEvent::Kind::Minimise;
            return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            placement_ = ScreenPlacement::fit(windowSize(), options_.rotation, mostScale_);
            if (screen_) presenter_->place(placement_, *screen_);
            return false;
        case SDL_WINDOWEVENT_EXPOSED:
            if (screen_) presenter_->refresh();
            return false;
        default:
            return false;
        }
    }

    WindowOptions options_;
    int mostScale_ = 0;
    SDL_Window* window_ = nullptr;
    std::unique_ptr<SdlPresenter> presenter_;
    std::unique_ptr<SdlAudio> audio_;
    SdlInput input_;
    SDL_Cursor* cursor_ = nullptr;
    ScreenPlacement placement_;
    const Surface* screen_ = nullptr;  // the window system's, once presented
    uint32_t frameInterval_ = 0;
    Uint32 wakeEvent_ = 0;
};

}  // namespace

std::unique_ptr<UiBackend> createSdlBackend() {
    auto backend = std::make_unique<SdlBackend>(windowOptionsFromEnvironment());
    if (!backend->start()) return nullptr;
    return backend;
}

bool readSdlWindow(UiBackend* backend, Surface& out) {
    auto* sdl = dynamic_cast<SdlBackend*>(backend);
    return sdl && sdl->read(out);
}

}  // namespace zarn
