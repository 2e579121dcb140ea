#include "platform/sdl/window_options.h"

#include <getopt.h>
#include <stdlib.h>

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

int usage(const char* program, const char* problem) {
    std::fprintf(stderr, "%s: %s\nUsage: %s [--fullscreen] [--rotate 0|90|180|270]\n", program, problem, program);
    return 2;
}

}  // namespace

std::optional<int> readWindowArguments(int argc, char** argv) {
    static const option kOptions[] = {{"fullscreen", no_argument, nullptr, 'f'},
                                      {"rotate", required_argument, nullptr, 'r'},
                                      {nullptr, 0, nullptr, 0}};
    const char* program = argc > 0 ? argv[0] : "zarn";
    opterr = 0;
    optind = 1;
    for (int c; (c = getopt_long(argc, argv, "", kOptions, nullptr)) != -1;) {
        if (c == 'f') {
            setenv("ZARN_FULLSCREEN", "1", 1);
        } else if (c == 'r' && ScreenPlacement::validRotation(std::atoi(optarg)) &&
                   std::to_string(std::atoi(optarg)) == optarg) {
            setenv("ZARN_ROTATE", optarg, 1);
        } else if (c == 'r') {
            return usage(program, "--rotate takes 0, 90, 180 or 270");
        } else {
            return usage(program, "unknown option or missing value");
        }
    }
    if (optind < argc) return usage(program, "unexpected argument");
    return std::nullopt;
}

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
