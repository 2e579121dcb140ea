#include "channels/channel_table_file.h"

namespace zarn {
namespace {

constexpr size_t kFieldLength = 255;

enum class FieldEnd { kDelimiter, kEndOfFile };

// Collects bytes up to (not including) the delimiter; a bare LF also ends a
// header line (lfEnds). Keeps kFieldLength characters at most.
FieldEnd readField(ByteSource& source, char delimiter, bool lfEnds, char (&field)[kFieldLength + 1], bool& endedByLf) {
    size_t length = 0;
    endedByLf = false;
    for (;;) {
        const int c = source.next();
        if (c < 0) {
            field[length] = '\0';
            return FieldEnd::kEndOfFile;
        }
        if (c == delimiter || (lfEnds && c == '\n')) {
            endedByLf = c == '\n' && delimiter != '\n';
            field[length] = '\0';
            return FieldEnd::kDelimiter;
        }
        if (length < kFieldLength) field[length++] = static_cast<char>(c);
    }
}

// A header line: up to its CR, then one more byte (the LF) is dropped.
bool readHeaderLine(ByteSource& source, char (&field)[kFieldLength + 1]) {
    bool endedByLf = false;
    if (readField(source, '\r', true, field, endedByLf) == FieldEnd::kEndOfFile) return false;
    if (!endedByLf) source.next();
    return true;
}

std::string withoutCr(const char* text) {
    std::string s(text);
    if (!s.empty() && s.back() == '\r') s.pop_back();
    return s;
}

}  // namespace

uint32_t decimalLowBits(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
    return negative ? 0u - value : value;
}

bool readChannelTable(ByteSource& source, ChannelTableContents& table) {
    char field[kFieldLength + 1] = {};
    if (!readHeaderLine(source, field)) return false;
    if (static_cast<uint16_t>(decimalLowBits(field)) != 2) return false;
    if (!readHeaderLine(source, field)) return false;

    ChannelTableContents read;
    read.title = field;
    bool endedByLf = false;
    for (int k = 0; k < kChannelTableLines; ++k) {
        if (readField(source, ',', false, field, endedByLf) == FieldEnd::kEndOfFile) break;
        const auto band = static_cast<uint8_t>(decimalLowBits(field));
        if (readField(source, ',', false, field, endedByLf) == FieldEnd::kEndOfFile) break;
        const auto channel = static_cast<uint16_t>(decimalLowBits(field));
        ChannelLine& line = read.slots[static_cast<size_t>(k)];
        line = {band, channel, {}};
        read.stored = static_cast<uint8_t>(k + 1);
        if (channel == kChannelListEnd) break;
        read.count = static_cast<uint8_t>(k + 1);
        const FieldEnd end = readField(source, '\n', false, field, endedByLf);
        line.name = withoutCr(field);
        if (end == FieldEnd::kEndOfFile) break;
    }
    if (read.stored == 0) return false;  // not one channel line, not even the end line
    table = read;
    return true;
}

}  // namespace zarn
