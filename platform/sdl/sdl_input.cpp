#include "platform/sdl/sdl_input.h"

#include "platform/ui/wintypes.h"

namespace zarn {

namespace {

unsigned virtualKey(SDL_Keycode k) {
    switch (k) {
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    default: return 0;
    }
}

// Typed text arrives as UTF-8; the dialogs take Latin-1 characters one at a time.
unsigned latin1(const char* utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    if (p[0] < 0x80) return p[0];
    if ((p[0] & 0xE0) == 0xC0 && p[1]) {
        const unsigned c = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
        return c <= 0xFF ? c : 0;
    }
    return 0;
}

bool pen(InputEvent::Kind kind, CPoint window, const ScreenPlacement& placement, InputEvent& out) {
    const CPoint device = placement.toDevice(window);
    out.kind = kind;
    out.x = device.x;
    out.y = device.y;
    return true;
}

}  // namespace

bool SdlInput::translate(const SDL_Event& e, const ScreenPlacement& placement, CSize window, InputEvent& out) {
    out = InputEvent{};
    switch (e.type) {
    case SDL_QUIT:
        out.kind = InputEvent::Kind::Close;
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (e.button.button != SDL_BUTTON_LEFT || e.button.which == SDL_TOUCH_MOUSEID) return false;
        return pen(e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Kind::PenDown : InputEvent::Kind::PenUp,
                   {e.button.x, e.button.y}, placement, out);
    case SDL_MOUSEMOTION:
        if (e.motion.which == SDL_TOUCH_MOUSEID) return false;
        return pen(InputEvent::Kind::PenMove, {e.motion.x, e.motion.y}, placement, out);
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP:
        return finger(e.tfinger, placement, window, out);
    case SDL_KEYDOWN:
        out.key = virtualKey(e.key.keysym.sym);
        out.kind = InputEvent::Kind::Key;
        out.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
        return out.key != 0;
    case SDL_TEXTINPUT:
        out.key = latin1(e.text.text);
        out.kind = InputEvent::Kind::Char;
        return out.key != 0;
    default:
        return false;
    }
}

// Finger positions come as fractions of the window (of the display on KMS/DRM,
// where the window is the display).
bool SdlInput::finger(const SDL_TouchFingerEvent& f, const ScreenPlacement& placement, CSize window, InputEvent& out) {
    if (f.touchId == SDL_MOUSE_TOUCHID) return false;
    const CPoint at(static_cast<int>(f.x * static_cast<float>(window.cx)), static_cast<int>(f.y * static_cast<float>(window.cy)));
    if (f.type == SDL_FINGERDOWN) {
        if (finger_) return false;
        finger_ = f.fingerId;
        return pen(InputEvent::Kind::PenDown, at, placement, out);
    }
    if (finger_ != f.fingerId) return false;
    if (f.type == SDL_FINGERUP) {
        finger_.reset();
        return pen(InputEvent::Kind::PenUp, at, placement, out);
    }
    return pen(InputEvent::Kind::PenMove, at, placement, out);
}

}  // namespace zarn
