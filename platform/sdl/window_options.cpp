#include "platform/sdl/window_options.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/screen_placement.h"

namespace zarn {

namespace {

// The value as a whole number, or fallback (said on stderr) when it is not one the caller takes.
template <typename Accept>
int number(const char* name, int fallback, Accept accept, const char* wanted, const char* instead) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end == '\0' && accept(value)) return static_cast<int>(value);
    std::fprintf(stderr, "zarn: %s=%s is not %s; %s\n", name, text, wanted, instead);
    return fallback;
}

bool flag(const char* name) {
    const char* text = std::getenv(name);
    return text && std::string(text) == "1";
}

}  // namespace

WindowOptions windowOptionsFromEnvironment() {
    WindowOptions o;
    o.scale = number("ZARN_SCALE", 0, [](long v) { return v >= 0 && v <= 16; }, "a whole scale from 1 to 16",
                     "taking the largest that fits");
    o.rotation = number("ZARN_ROTATE", 0, [](long v) { return ScreenPlacement::validRotation(static_cast<int>(v)); },
                        "0, 90, 180 or 270", "the picture stays upright");
    o.fullscreen = flag("ZARN_FULLSCREEN");
    o.muted = flag("ZARN_MUTE");
    return o;
}

}  // namespace zarn
