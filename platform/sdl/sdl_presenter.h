#pragma once
// How the screen reaches the SDL window, turned, scaled and placed by a
// ScreenPlacement; the area around the picture is black.
//
//  - The window's own framebuffer (XShm on X11): the CPU turns and scales the
//    changed rectangle into it and only that rectangle is flushed. With no GPU
//    this is the cheapest path: a renderer's texture would go through a
//    software OpenGL rasteriser (measured in docs/efficiency.md).
//  - An accelerated SDL renderer with vsync: a streaming texture of the turned
//    picture, scaled by the GPU. Chosen when a GPU draws, or when the video
//    driver has no framebuffer of its own (KMS/DRM).
//
// createPresenter(window) returns null (with SDL's reason) when neither works.

#include <SDL.h>

#include <memory>
#include <vector>

#include "platform/gdi/surface.h"
#include "platform/ui/screen_placement.h"

namespace zarn {

class SdlPresenter {
public:
    virtual ~SdlPresenter() = default;
    virtual const char* name() const = 0;
    virtual bool vsync() const = 0;
    // A new placement (a new window size): everything is drawn again.
    virtual void place(const ScreenPlacement& placement, const Surface& screen) = 0;
    virtual void present(const Surface& screen, const std::vector<CRect>& changed) = 0;
    // The window was uncovered: show the last picture again.
    virtual void refresh() = 0;
    // The window's pixels as shown, for tests.
    virtual bool read(Surface& out) = 0;
};

std::unique_ptr<SdlPresenter> createPresenter(SDL_Window* window);

}  // namespace zarn
