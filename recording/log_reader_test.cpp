#include "recording/log_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "recording/synthetic_log.h"

using namespace zarn;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A log of every record type, two of them with notes, as CLogFile writes it.
Bytes everyKindLog(uint32_t raster = 50000) {
    const std::string path = (fs::temp_directory_path() / ("zarn-reader-" + std::to_string(getpid()) + ".zrn")).string();
    {
        SyntheticLog log(path, raster);
        log.note("Marker #1");
        log.singleChannel(384, -1000, 3250, -1200);
        log.table({{0, 384, -900}, {1, 25, -1100}, {0, 1023, -1300}});
        log.note("Marker #2");
        log.sweep(0, 400, 32, [](uint16_t o) { return static_cast<int16_t>(-1600 + o); });
        log.sweep(1, 3000, 20, [](uint16_t o) { return static_cast<int16_t>(-1700 + o % 50); });
        log.bestServers(0, {{417, -55}, {34, -72}});
        log.frame(14, {0x30, 0xFC});
        EXPECT_TRUE(log.ok());
    }
    Bytes bytes = readFile(path);
    fs::remove(path);
    return bytes;
}

struct ReadBack {
    bool headerOk = false;
    LogHeader header;
    std::vector<LogRecord> records;
    std::vector<std::string> notes;
    ReadStatus last = ReadStatus::End;
    std::string problem;
    size_t badOffset = 0;
};

ReadBack readAll(const Bytes& bytes) {
    ReadBack out;
    LogReader reader(bytes.data(), bytes.size());
    out.headerOk = reader.readHeader(out.header);
    if (!out.headerOk) {
        out.problem = reader.problem();
        return out;
    }
    LogRecord r;
    while ((out.last = reader.next(r)) == ReadStatus::Record) {
        out.records.push_back(r);
        out.notes.push_back(r.note);
    }
    out.problem = reader.problem();
    out.badOffset = reader.badOffset();
    return out;
}

}  // namespace

TEST(LogReader, ReadsEveryRecordTypeWithNotesAndTimes) {
    const Bytes bytes = everyKindLog();
    const ReadBack got = readAll(bytes);
    ASSERT_TRUE(got.headerOk) << got.problem;
    EXPECT_EQ(got.header.version, "1.00");
    EXPECT_EQ(got.header.pcsRaster, 50000u);
    EXPECT_EQ(got.last, ReadStatus::End) << got.problem;
    ASSERT_EQ(got.records.size(), 6u);
    const uint8_t types[] = {216, 217, 218, 218, 219, 14};
    const size_t lengths[] = {8, 201, 5 + 4 * 32, 5 + 4 * 20, 41, 2};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(got.records[i].type, types[i]) << i;
        EXPECT_EQ(got.records[i].length, lengths[i]) << i;
        EXPECT_EQ(got.records[i].time.second, static_cast<int>(i)) << i;
        EXPECT_EQ(got.records[i].time.year, 2004);
        EXPECT_EQ(got.records[i].time.month, 7);
        EXPECT_EQ(got.records[i].time.day, 9);
        EXPECT_EQ(got.records[i].time.hour, 14);
    }
    EXPECT_EQ(got.notes, (std::vector<std::string>{"Marker #1", "", "Marker #2", "", "", ""}));
    EXPECT_EQ(got.records[0].offset, 15u);
    EXPECT_EQ(got.records[1].offset, 15u + 11 + 9 + 3 + 8);
}

TEST(LogReader, TheHeaderGivesTheRaster) {
    for (uint32_t raster : {30000u, 50000u, 200000u}) {
        const ReadBack got = readAll(everyKindLog(raster));
        ASSERT_TRUE(got.headerOk);
        EXPECT_EQ(got.header.pcsRaster, raster);
    }
}

TEST(LogReader, UnreadableHeadersAreRefused) {
    Bytes good = everyKindLog();
    struct Case { const char* what; Bytes bytes; };
    Bytes wrongMagic = good;
    wrongMagic[0] = 'Q';
    Bytes wrongRaster = good;
    wrongRaster[14] = 7;
    const Case cases[] = {{"empty", {}},
                          {"cut short", Bytes(good.begin(), good.begin() + 14)},
                          {"wrong name", wrongMagic},
                          {"wrong raster", wrongRaster}};
    for (const Case& c : cases) {
        const ReadBack got = readAll(c.bytes);
        EXPECT_FALSE(got.headerOk) << c.what;
        EXPECT_FALSE(got.problem.empty()) << c.what;
    }
}

// Cut at every length: each whole record before the cut is read, the cut one is reported where it starts.
TEST(LogReader, EveryTruncationKeepsTheWholeRecordsBeforeIt) {
    const Bytes good = everyKindLog();
    const ReadBack full = readAll(good);
    for (size_t cut = 15; cut < good.size(); ++cut) {
        const ReadBack got = readAll(Bytes(good.begin(), good.begin() + cut));
        size_t whole = 0;
        while (whole < full.records.size() && full.records[whole].offset + 1 <= cut &&
               (whole + 1 == full.records.size() ? good.size() : full.records[whole + 1].offset) <= cut)
            ++whole;
        ASSERT_EQ(got.records.size(), whole) << "cut at " << cut;
        if (whole < full.records.size() && cut > full.records[whole].offset) {
            EXPECT_EQ(got.last, ReadStatus::Bad) << cut;
            EXPECT_EQ(got.badOffset, full.records[whole].offset) << cut;
        } else {
            EXPECT_EQ(got.last, ReadStatus::End) << cut;
        }
    }
}

TEST(LogReader, CorruptedRecordsStopTheReadAtTheirOffset) {
    const Bytes good = everyKindLog();
    const ReadBack full = readAll(good);
    const size_t third = full.records[2].offset;  // the cellular sweep, with a note of 9
    const size_t lengthAt = third + 11 + 9;
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    };
    const Case cases[] = {
        {"mark", third + 1, 'Y'},
        {"day 0", third + 3, 0},
        {"month 13", third + 4, 13},
        {"hour 24", third + 6, 24},
        {"note too long", third + 9, 200},
        {"length 0", lengthAt, 0},
        {"length past the end", lengthAt + 1, 0xF0},
        {"spectrum of band 7", lengthAt + 3, 7},
        {"type does not match the payload", lengthAt + 2, 216},
        {"sweep count does not match", lengthAt + 6, 33},
    };
    for (const Case& c : cases) {
        Bytes bad = good;
        if (c.what == std::string("length 0")) bad[c.at + 1] = 0;
        bad[c.at] = c.value;
        const ReadBack got = readAll(bad);
        EXPECT_EQ(got.records.size(), 2u) << c.what;
        EXPECT_EQ(got.last, ReadStatus::Bad) << c.what;
        EXPECT_EQ(got.badOffset, third) << c.what;
        EXPECT_FALSE(got.problem.empty()) << c.what;
    }
}

TEST(LogReader, PayloadSizesFollowTheRecordType) {
    const uint8_t zeros[64] = {};
    uint8_t sweep[13] = {0, 1, 0, 2, 0};
    EXPECT_EQ(payloadProblem(216, zeros, 8), "");
    EXPECT_NE(payloadProblem(216, zeros, 7), "");
    EXPECT_NE(payloadProblem(217, zeros, 200), "");
    EXPECT_EQ(payloadProblem(219, zeros, 41), "");
    EXPECT_NE(payloadProblem(219, zeros, 40), "");
    EXPECT_EQ(payloadProblem(218, sweep, 13), "");
    EXPECT_NE(payloadProblem(218, sweep, 12), "");
    EXPECT_NE(payloadProblem(218, sweep, 4), "");
    EXPECT_EQ(payloadProblem(33, zeros, 5), "");
    EXPECT_EQ(payloadProblem(1, zeros, 0), "");
}

TEST(LogReader, AfterABadRecordNothingMoreIsRead) {
    Bytes bad = everyKindLog();
    bad[15] = 'Z';
    LogReader reader(bad.data(), bad.size());
    LogHeader h;
    ASSERT_TRUE(reader.readHeader(h));
    LogRecord r;
    EXPECT_EQ(reader.next(r), ReadStatus::Bad);
    EXPECT_EQ(reader.next(r), ReadStatus::Bad);
    EXPECT_EQ(reader.badOffset(), 15u);
}
