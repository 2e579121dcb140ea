#pragma once
// Channel-table files (.kct): up to 30 channels of either band, as text.
//
//   line 1   the format number, ended by CR LF; accepted when its low 16 bits are 2
//   line 2   any text, ended by CR LF: the table's title
//   then     band,channel,name LF   (one per channel; a channel of 65535 or -1 ends the list)
//
// Numbers are read as atoi reads them (blanks, a sign, digits, up to the first
// non-digit; no digits is 0); the band keeps the value's low 8 bits, the
// channel and the format number their low 16 bits.
//
// readChannelTable reads such a file byte by byte:
//  - false (an invalid table) when the format number is not 2, the file ends
//    inside line 1 or 2, or no slot could be read: not one channel line whose
//    channel field is complete, not even the end line. `table` is then left
//    as it was.
//  - Lines 1 and 2 may also end in a bare LF.
//  - A field keeps at most 255 characters; the rest is skipped up to its delimiter.
//    The title and the names are kept as written, a CR before their line's end dropped.
//  - The file may end anywhere among the channel lines: the slots whose channel
//    field was complete are kept.
//  - The line that ends the list has its band and channel stored in the slot
//    after the last counted one.
//  - Band values are stored as read, not checked.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstddef>
#include <string>

namespace zarn {

constexpr int kChannelTableLines = 30;
constexpr uint16_t kChannelListEnd = 65535;

struct ChannelLine {
    uint8_t band = 0;
    uint16_t channel = 0;
    std::string name;
};

struct ChannelTableContents {
    std::string title;
    std::array<ChannelLine, kChannelTableLines> slots{};
    uint8_t count = 0;
    uint8_t stored = 0;  // slots written, the end line's included
};

// Where the reader takes its bytes from; next() gives -1 at the end.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int next() = 0;
};

class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(std::FILE* file) : file_(file) {}
    int next() override { return std::fgetc(file_); }

private:
    std::FILE* file_;
};

class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int next() override { return at_ < size_ ? data_[at_++] : -1; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

bool readChannelTable(ByteSource& source, ChannelTableContents& table);

// The low 32 bits of the decimal number at the start of text, read as atoi reads it.
uint32_t decimalLowBits(const char* text);

}  // namespace zarn
