#include "platform/sdl/sdl_presenter.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace zarn {

namespace {

SDL_Rect sdlRect(const CRect& r) { return {r.left, r.top, r.Width(), r.Height()}; }

const CRect kWholeDevice(0, 0, ScreenPlacement::kDevice.cx, ScreenPlacement::kDevice.cy);

class SurfacePresenter : public SdlPresenter {
public:
    explicit SurfacePresenter(SDL_Window* window) : window_(window) {}

    // False when the driver has no framebuffer or it is not XRGB8888.
    bool start() {
        SDL_Surface* s = SDL_GetWindowSurface(window_);
        return s && s->format->BytesPerPixel == 4 && s->format->Rmask == 0xFF0000 && s->format->Gmask == 0xFF00 &&
               s->format->Bmask == 0xFF;
    }

    const char* name() const override { return "window framebuffer"; }
    bool vsync() const override { return false; }

    void place(const ScreenPlacement& placement, const Surface& screen) override {
        placement_ = placement;
        SDL_Surface* s = SDL_GetWindowSurface(window_);  // a resized window has a new one
        if (!s) return;
        SDL_FillRect(s, nullptr, 0);
        draw(s, screen, kWholeDevice);
        SDL_UpdateWindowSurface(window_);
    }

    void present(const Surface& screen, const std::vector<CRect>& changed) override {
        SDL_Surface* s = SDL_GetWindowSurface(window_);
        if (!s) return;
        rects_.clear();
        for (const CRect& area : changed) {
            draw(s, screen, area);
            CRect shown;
            if (shown.IntersectRect(placement_.toOutput(area), CRect(0, 0, s->w, s->h))) rects_.push_back(sdlRect(shown));
        }
        if (!rects_.empty()) SDL_UpdateWindowSurfaceRects(window_, rects_.data(), static_cast<int>(rects_.size()));
    }

    void refresh() override { SDL_UpdateWindowSurface(window_); }

    bool read(Surface& out) override {
        SDL_Surface* s = SDL_GetWindowSurface(window_);
        if (!s) return false;
        out = Surface(s->w, s->h);
        for (int y = 0; y < s->h; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) + y * s->pitch);
            for (int x = 0; x < s->w; ++x) out.at(x, y) = row[x] & 0x00FFFFFF;
        }
        return true;
    }

private:
    void draw(SDL_Surface* s, const Surface& screen, const CRect& changed) {
        if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return;
        placement_.draw(screen, changed, static_cast<uint32_t*>(s->pixels), {s->w, s->h}, s->pitch / 4);
        if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    }

    SDL_Window* window_;
    ScreenPlacement placement_;
    std::vector<SDL_Rect> rects_;
};

class RendererPresenter : public SdlPresenter {
public:
    explicit RendererPresenter(SDL_Window* window) : window_(window) {}
    ~RendererPresenter() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
    }

    bool start() {
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
        SDL_RendererInfo info{};
        if (renderer_ && SDL_GetRendererInfo(renderer_, &info) == 0) vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
        return renderer_ != nullptr;
    }

    const char* name() const override { return "renderer"; }
    bool vsync() const override { return vsync_; }

    void place(const ScreenPlacement& placement, const Surface& screen) override {
        placement_ = placement;
        const CSize turned = placement.turnedSize();
        if (!texture_ || turned != turnedSize_) {
            if (texture_) SDL_DestroyTexture(texture_);
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, turned.cx, turned.cy);
            turnedSize_ = turned;
            turned_.assign(static_cast<size_t>(turned.cx) * turned.cy, 0);
        }
        present(screen, {kWholeDevice});
    }

    void present(const Surface& screen, const std::vector<CRect>& changed) override {
        if (!texture_) return;
        const ScreenPlacement unscaled(placement_.rotation(), 1, {});
        for (const CRect& device : changed) {
            unscaled.draw(screen, device, turned_.data(), turnedSize_, turnedSize_.cx);
            CRect area;
            if (!area.IntersectRect(unscaled.toOutput(device), CRect({0, 0}, turnedSize_))) continue;
            const SDL_Rect r = sdlRect(area);
            SDL_UpdateTexture(texture_, &r, &turned_[static_cast<size_t>(area.top) * turnedSize_.cx + area.left],
                              turnedSize_.cx * static_cast<int>(sizeof(uint32_t)));
        }
        refresh();
    }

    void refresh() override {
        render();
        SDL_RenderPresent(renderer_);
    }

    bool read(Surface& out) override {
        int w = 0, h = 0;
        if (SDL_GetRendererOutputSize(renderer_, &w, &h) != 0) return false;
        render();
        out = Surface(w, h);
        const bool ok = SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB888, out.pixels.data(), w * 4) == 0;
        SDL_RenderPresent(renderer_);
        for (auto& p : out.pixels) p &= 0x00FFFFFF;
        return ok;
    }

private:
    void render() {
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        const CSize size = placement_.pictureSize();
        const SDL_Rect target{placement_.origin().x, placement_.origin().y, size.cx, size.cy};
        if (texture_) SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    }

    SDL_Window* window_;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool vsync_ = false;
    ScreenPlacement placement_;
    CSize turnedSize_;
    std::vector<uint32_t> turned_;  // the turned picture at scale 1
};

bool hasRenderNode() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", ec))
        if (entry.path().filename().string().rfind("renderD", 0) == 0) return true;
    return false;
}

// Whether OpenGL on this display is drawn by a GPU, asked of a throw-away
// context: llvmpipe and its kin are the CPU in disguise. Without a DRM render
// node no GPU can be there, and no OpenGL library is even loaded.
bool gpuDraws() {
    if (!hasRenderNode()) return false;
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
    if (!probe) return false;
    bool hardware = false;
    if (SDL_GLContext context = SDL_GL_CreateContext(probe)) {
        using GetString = const unsigned char* (*)(unsigned);
        auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
        const auto* name = getString ? reinterpret_cast<const char*>(getString(0x1F01 /* GL_RENDERER */)) : nullptr;
        hardware = name && !std::strstr(name, "llvmpipe") && !std::strstr(name, "softpipe") &&
                   !std::strstr(name, "Software") && !std::strstr(name, "swrast");
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(probe);
    return hardware;
}

bool driverHasFramebuffer() { return std::strcmp(SDL_GetCurrentVideoDriver(), "kmsdrm") != 0; }

}  // namespace

std::unique_ptr<SdlPresenter> createPresenter(SDL_Window* window) {
    const bool userChoseRenderer = SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr;
    if (driverHasFramebuffer() && !userChoseRenderer && !gpuDraws()) {
        // The window's own framebuffer, not one emulated through a renderer.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        auto surface = std::make_unique<SurfacePresenter>(window);
        if (surface->start()) return surface;
    }
    auto renderer = std::make_unique<RendererPresenter>(window);
    if (renderer->start()) return renderer;
    return nullptr;
}

}  // namespace zarn
