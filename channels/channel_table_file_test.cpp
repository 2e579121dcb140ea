#include "channels/channel_table_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace zarn {
namespace {

struct Read {
    bool valid;
    ChannelTableContents table;
};

Read readText(const std::string& text, const ChannelTableContents& before = {}) {
    MemoryByteSource source(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    Read r{false, before};
    r.valid = readChannelTable(source, r.table);
    return r;
}

std::string header(const std::string& format = "2") { return format + "\r\nSite survey A\r\n"; }

ChannelTableContents marked() {
    ChannelTableContents t;
    t.count = 1;
    t.stored = 1;
    t.slots[0] = {1, 77, {}};
    return t;
}

TEST(ChannelTableFile, ReadsTheExample) {
    Read r = readText(header() + "0,384,\r\n1,512,GSM, the mast\r\n0,-1,\r\n");
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.table.count, 2);
    EXPECT_EQ(r.table.title, "Site survey A");
    EXPECT_EQ(r.table.slots[0].name, "");
    EXPECT_EQ(r.table.slots[1].name, "GSM, the mast") << "the rest of the line, commas and all, without its CR";
    EXPECT_EQ(r.table.slots[0].band, 0);
    EXPECT_EQ(r.table.slots[0].channel, 384);
    EXPECT_EQ(r.table.slots[1].band, 1);
    EXPECT_EQ(r.table.slots[1].channel, 512);
    // The end line is stored after the counted slots.
    EXPECT_EQ(r.table.stored, 3);
    EXPECT_EQ(r.table.slots[2].channel, 65535);
}

TEST(ChannelTableFile, FormatLine) {
    struct Case {
        const char* line;
        bool accepted;
    } cases[] = {
        {"2", true},  {"02", true}, {" 2", true}, {"2.0", true}, {"+2", true}, {"65538", true},
        {"3", false}, {"", false},  {"x2", false}, {"-2", false}, {"20", false},
    };
    for (const Case& c : cases) {
        Read r = readText(header(c.line) + "0,384,\n0,-1,\n", marked());
        EXPECT_EQ(r.valid, c.accepted) << c.line;
        if (c.accepted) {
            EXPECT_EQ(r.table.count, 1) << c.line;
            EXPECT_EQ(r.table.slots[0].channel, 384) << c.line;
        } else {
            EXPECT_EQ(r.table.count, 1) << c.line;  // left as it was
            EXPECT_EQ(r.table.slots[0].channel, 77) << c.line;
        }
    }
}

TEST(ChannelTableFile, ThirtyOrMoreLinesGiveThirty) {
    for (int lines : {30, 31, 45}) {
        std::string text = header();
        for (int i = 0; i < lines; ++i) text += std::to_string(i % 2) + "," + std::to_string(100 + i) + ",row\r\n";
        text += "0,-1,\r\n";
        Read r = readText(text);
        ASSERT_TRUE(r.valid);
        EXPECT_EQ(r.table.count, 30) << lines;
        EXPECT_EQ(r.table.slots[29].channel, 129) << lines;
        EXPECT_EQ(r.table.slots[29].band, 1) << lines;
    }
}

TEST(ChannelTableFile, EndMarkFirstGivesAnEmptyTable) {
    for (const char* end : {"0,-1,\r\n", "1,65535,\r\n", " 7,-1,name\n"}) {
        Read r = readText(header() + end + "0,384,\r\n", marked());
        ASSERT_TRUE(r.valid) << end;
        EXPECT_EQ(r.table.count, 0) << end;
    }
}

TEST(ChannelTableFile, NamesAfterTheSecondCommaAreIgnored) {
    Read r = readText(header() + "0,384,Main street, north, sector 2\r\n1,25,PCS \"A\" 1,2,3\n0,-1,\n");
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.table.count, 2);
    EXPECT_EQ(r.table.slots[1].band, 1);
    EXPECT_EQ(r.table.slots[1].channel, 25);
}

TEST(ChannelTableFile, NumbersKeepTheirLowBits) {
    Read r = readText(header() + " 1 , 512x,\n257,65537,\n-1,70000,\n0,-1,\n");
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.table.count, 3);
    EXPECT_EQ(r.table.slots[0].band, 1);
    EXPECT_EQ(r.table.slots[0].channel, 512);
    EXPECT_EQ(r.table.slots[1].band, 1);        // 257
    EXPECT_EQ(r.table.slots[1].channel, 1);     // 65537
    EXPECT_EQ(r.table.slots[2].band, 255);      // -1, stored as read
    EXPECT_EQ(r.table.slots[2].channel, 4464);  // 70000
}

TEST(ChannelTableFile, EndOfFileInTheHeaderIsInvalid) {
    for (const char* text : {"", "2", "2\r\n", "2\r\nSite survey", "3\r\n"}) {
        Read r = readText(text, marked());
        EXPECT_FALSE(r.valid) << text;
        EXPECT_EQ(r.table.count, 1) << text;
        EXPECT_EQ(r.table.slots[0].channel, 77) << text;
    }
}

TEST(ChannelTableFile, EndOfFileAmongChannelsKeepsTheCompleteSlots) {
    struct Case {
        const char* tail;
        int count;
    } cases[] = {
        {"0,384,\r\n", 1},
        {"0,384,\r\n1,", 1},
        {"0,384,\r\n1,512", 1},     // channel field not complete
        {"0,384,\r\n1,512,", 2},    // complete, its line cut short
        {"0,384,\r\n1,512,GSM", 2},
        {"0,384\r\n1,512,\r\n", 1}, // the comma missing: band "0", channel "384\r\n1" = 384
    };
    for (const Case& c : cases) {
        Read r = readText(header() + c.tail, marked());
        ASSERT_TRUE(r.valid) << c.tail;
        EXPECT_EQ(r.table.count, c.count) << c.tail;
    }
}

TEST(ChannelTableFile, NoSlotReadIsAnInvalidTable) {
    const std::string huge(1024 * 1024, '7');
    for (const std::string& tail : {std::string(), std::string("0,384"), std::string("0"), std::string("abc\r\ndef\r\n"),
                                    "0," + huge}) {
        Read r = readText(header() + tail, marked());
        EXPECT_FALSE(r.valid) << tail.substr(0, 20);
        EXPECT_EQ(r.table.count, 1) << tail.substr(0, 20);
        EXPECT_EQ(r.table.slots[0].channel, 77) << tail.substr(0, 20);
    }
}

TEST(ChannelTableFile, OverlongFieldKeepsItsStartAndSkipsTheRest) {
    // 300 digits: the first 255 are read, the rest is skipped up to the comma.
    const std::string band(300, '0');
    const std::string channel = "384" + std::string(400, 'x');
    const std::string title(1000, 'T');
    Read r = readText("2" + std::string(500, ' ') + "\r\n" + title + "\r\n" + band + "1," + channel + ",\n0,-1,\n");
    // The format line's 2 stays in the first 255 characters.
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.table.count, 1);
    EXPECT_EQ(r.table.slots[0].band, 0);  // the trailing 1 lies beyond the first 255 characters
    EXPECT_EQ(r.table.slots[0].channel, 384);

    Read late = readText(std::string(300, ' ') + "2\r\n" + "x\r\n");
    EXPECT_FALSE(late.valid);  // the 2 was beyond the field's 255 characters
}

TEST(ChannelTableFile, HeaderLinesMayEndInABareLineFeed) {
    Read r = readText("2\nSurvey\n0,384,\n1,512,\n");
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.table.count, 2);
    EXPECT_EQ(r.table.slots[0].channel, 384);
}

TEST(ChannelTableFile, BytesOfEveryValueAreReadSafely) {
    std::string text = header();
    for (int c = 1; c < 256; ++c) text += static_cast<char>(c);
    text += std::string(1, '\0') + ",5,\n";
    Read r = readText(text);
    EXPECT_TRUE(r.valid);
    EXPECT_LE(r.table.count, 30);
}

TEST(ChannelTableFile, SampleFilesAreValidTables) {
    const char* source = std::getenv("ZARN_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    struct Case {
        const char* name;
        int count;
        uint8_t firstBand;
    } cases[] = {{"cellular_survey.kct", 13, 0}, {"pcs_survey.kct", 10, 1}, {"mixed_survey.kct", 9, 0}};
    for (const Case& c : cases) {
        const std::string path = std::string(source) + "/resources/samples/" + c.name;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr) << path;
        FileByteSource bytes(f);
        ChannelTableContents table;
        EXPECT_TRUE(readChannelTable(bytes, table)) << c.name;
        std::fclose(f);
        EXPECT_EQ(table.count, c.count) << c.name;
        EXPECT_EQ(table.slots[0].band, c.firstBand) << c.name;
        for (int i = 0; i < table.count; ++i) EXPECT_LE(table.slots[i].band, 1) << c.name;
    }
}

TEST(DecimalLowBits, AsAtoiThenLowBits) {
    EXPECT_EQ(decimalLowBits("  -1"), 0xFFFFFFFFu);
    EXPECT_EQ(decimalLowBits("2.0"), 2u);
    EXPECT_EQ(decimalLowBits("abc"), 0u);
    EXPECT_EQ(decimalLowBits("4294967298"), 2u);
    EXPECT_EQ(decimalLowBits("+7z"), 7u);
}

}  // namespace
}  // namespace zarn
