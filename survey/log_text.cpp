#include "survey/log_text.h"

#include <cstdio>

namespace zarn {
namespace {

// Windows-1252 at 0x80..0x9F; 0 where it defines no character.
constexpr uint16_t k1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The character of a note byte; 0 for a control character or an undefined byte.
uint32_t characterOf(uint8_t byte) {
    if (byte < 0x20 || byte == 0x7F) return 0;
    if (byte >= 0x80 && byte < 0xA0) return k1252[byte - 0x80];
    return byte;
}

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string isoTime(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string clockTime(const LocalTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

std::string recordTypeName(uint8_t type) {
    switch (type) {
    case 216: return "single channel";
    case 217: return "channel table";
    case 218: return "spectrum";
    case 219: return "best servers";
    default: return "frame " + std::to_string(type);
    }
}

std::string noteUtf8(const std::string& note) {
    std::string out;
    for (char byte : note) {
        const auto b = static_cast<uint8_t>(byte);
        const uint32_t c = characterOf(b);
        if (c) appendUtf8(out, c);
        else if (b >= 0x80) appendUtf8(out, 0xFFFD);
        else out += ' ';
    }
    return out;
}

std::string noteForTerminal(const std::string& note) {
    std::string out;
    for (char byte : note) {
        const auto b = static_cast<uint8_t>(byte);
        const uint32_t c = characterOf(b);
        if (b == '\\') {
            out += "\\\\";
        } else if (c) {
            appendUtf8(out, c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", b);
            out += escaped;
        }
    }
    return out;
}

}  // namespace zarn
