#pragma once
// SdlInput: SDL's events as the window system's input, pen positions in
// device pixels through the picture's placement.
//
//  - The left mouse button is the stylus. The first finger on a touch screen
//    is too; a second finger is ignored while the first is down.
//  - A touch is taken once: SDL's mouse events made from touches
//    (SDL_TOUCH_MOUSEID) and its touches made from the mouse (SDL_MOUSE_TOUCHID)
//    are dropped.
//  - Keys are the framework's virtual keys; typed text comes as Latin-1 characters.

#include <SDL.h>

#include <optional>

#include "platform/ui/backend.h"
#include "platform/ui/screen_placement.h"

namespace zarn {

class SdlInput {
public:
    // False when the event is nothing for the window system.
    bool translate(const SDL_Event& e, const ScreenPlacement& placement, CSize window, InputEvent& out);

private:
    bool finger(const SDL_TouchFingerEvent& f, const ScreenPlacement& placement, CSize window, InputEvent& out);

    std::optional<SDL_FingerID> finger_;  // the one that is the stylus
};

}  // namespace zarn
