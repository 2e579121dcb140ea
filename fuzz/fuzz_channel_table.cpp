// Arbitrary files through the channel-table reader, from memory and from a
// FILE; both must agree, a table never holds more than 30 channels, and a
// table is valid exactly when it read a slot.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "channels/channel_table_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zarn::MemoryByteSource memory(data, size);
    zarn::ChannelTableContents fromMemory;
    const bool validMemory = zarn::readChannelTable(memory, fromMemory);
    if (fromMemory.count > zarn::kChannelTableLines || fromMemory.count > fromMemory.stored ||
        fromMemory.stored > fromMemory.count + 1)
        __builtin_trap();
    if (validMemory != (fromMemory.stored != 0)) __builtin_trap();  // a valid table read at least one slot
    if (!validMemory && fromMemory.count != 0) __builtin_trap();

    if (size == 0) return 0;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    zarn::FileByteSource source(file);
    zarn::ChannelTableContents fromFile;
    const bool validFile = zarn::readChannelTable(source, fromFile);
    std::fclose(file);
    if (validFile != validMemory || fromFile.count != fromMemory.count || fromFile.stored != fromMemory.stored ||
        fromFile.title != fromMemory.title)
        __builtin_trap();
    for (size_t i = 0; i < fromFile.stored; ++i)
        if (fromFile.slots[i].band != fromMemory.slots[i].band || fromFile.slots[i].channel != fromMemory.slots[i].channel ||
            fromFile.slots[i].name != fromMemory.slots[i].name)
            __builtin_trap();
    return 0;
}
