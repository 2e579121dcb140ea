#include "recording/log_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "recording/synthetic_log.h"

using namespace zarn;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

std::string tempPath(const std::string& name) {
    return (fs::temp_directory_path() / ("zarn-reader-" + std::to_string(getpid()) + "-" + name)).string();
}

// Bytes this process has read from files so far.
long long bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

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
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<std::string> notes;
    std::vector<LogDamage> damage;
    std::string problem;
};

ReadBack readAll(LogReader& reader) {
    ReadBack out;
    out.headerOk = reader.readHeader(out.header);
    out.problem = reader.problem();
    LogRecord r;
    for (ReadStatus status; out.headerOk && (status = reader.next(r)) != ReadStatus::End;) {
        if (status == ReadStatus::Damaged) {
            out.damage.push_back(reader.damage());
            continue;
        }
        out.records.push_back(r);
        out.payloads.emplace_back(r.payload, r.payload + r.length);
        out.notes.push_back(r.note);
    }
    return out;
}

ReadBack readAll(const Bytes& bytes) {
    LogReader reader(bytes.data(), bytes.size());
    return readAll(reader);
}

std::vector<size_t> offsets(const ReadBack& got) {
    std::vector<size_t> out;
    for (const LogRecord& r : got.records) out.push_back(r.offset);
    return out;
}

}  // namespace

TEST(LogReader, ReadsEveryRecordTypeWithNotesAndTimes) {
    const Bytes bytes = everyKindLog();
    const ReadBack got = readAll(bytes);
    ASSERT_TRUE(got.headerOk) << got.problem;
    EXPECT_EQ(got.header.version, "1.00");
    EXPECT_EQ(got.header.pcsRaster, 50000u);
    EXPECT_TRUE(got.damage.empty());
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

TEST(LogReader, TheHeaderGivesTheRasterAndAnUnknownRasterByteStillReads) {
    for (uint32_t raster : {30000u, 50000u, 200000u}) {
        const ReadBack got = readAll(everyKindLog(raster));
        ASSERT_TRUE(got.headerOk);
        EXPECT_EQ(got.header.pcsRaster, raster);
    }
    Bytes unknown = everyKindLog();
    unknown[14] = 7;
    const ReadBack got = readAll(unknown);
    ASSERT_TRUE(got.headerOk) << got.problem;
    EXPECT_EQ(got.header.pcsRaster, 0u);
    EXPECT_EQ(got.header.rasterByte, 7);
    EXPECT_EQ(got.records.size(), 6u);
}

TEST(LogReader, UnreadableHeadersAreRefused) {
    Bytes good = everyKindLog();
    struct Case { Bytes bytes; std::string problem; };
    Bytes wrongMagic = good;
    wrongMagic[0] = 'Q';
    const Case cases[] = {{{}, "header cut short: 0 bytes"},
                          {Bytes(good.begin(), good.begin() + 14), "header cut short: 14 bytes"},
                          {wrongMagic, "not a Zarn log (no \"ZRN \" at the start)"}};
    for (const Case& c : cases) {
        const ReadBack got = readAll(c.bytes);
        EXPECT_FALSE(got.headerOk) << c.problem;
        EXPECT_EQ(got.problem, c.problem);
        EXPECT_TRUE(got.records.empty()) << c.problem;
    }
}

// Cut at every length: each whole record before the cut is read, the cut one is a stretch from where it starts to the end.
TEST(LogReader, EveryTruncationKeepsTheWholeRecordsBeforeIt) {
    const Bytes good = everyKindLog();
    const std::vector<size_t> all = offsets(readAll(good));
    for (size_t cut = 15; cut < good.size(); ++cut) {
        const ReadBack got = readAll(Bytes(good.begin(), good.begin() + cut));
        size_t whole = 0;
        while (whole < all.size() && (whole + 1 == all.size() ? good.size() : all[whole + 1]) <= cut) ++whole;
        ASSERT_EQ(offsets(got), std::vector<size_t>(all.begin(), all.begin() + whole)) << "cut at " << cut;
        if (whole < all.size() && cut > all[whole]) {
            ASSERT_EQ(got.damage.size(), 1u) << cut;
            EXPECT_EQ(got.damage[0].offset, all[whole]) << cut;
            EXPECT_EQ(got.damage[0].length, cut - all[whole]) << cut;
        } else {
            EXPECT_TRUE(got.damage.empty()) << cut;
        }
    }
}

// Whatever is wrong with one record, the reader finds the next and loses only the damaged record's bytes.
TEST(LogReader, ADamagedRecordLosesOnlyItsOwnBytes) {
    const Bytes good = everyKindLog();
    const ReadBack full = readAll(good);
    const size_t third = full.records[2].offset;  // the cellular sweep, with a note of 9
    const size_t fourth = full.records[3].offset;
    const size_t lengthAt = third + 11 + 9;
    struct Case {
        const char* what;
        size_t at;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"mark", third + 1, {'Y'}},
        {"day 0", third + 3, {0}},
        {"month 13", third + 4, {13}},
        {"hour 24", third + 6, {24}},
        {"note too long", third + 9, {200}},
        {"length 0", lengthAt, {0, 0}},
        {"length past the end", lengthAt + 1, {0xF0}},
        {"spectrum of band 7", lengthAt + 3, {7}},
        {"type does not match the payload", lengthAt + 2, {216}},
        {"sweep count does not match", lengthAt + 6, {33}},
    };
    for (const Case& c : cases) {
        Bytes bad = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<long>(c.at));
        const ReadBack got = readAll(bad);
        std::vector<size_t> expected = offsets(full);
        expected.erase(expected.begin() + 2);
        EXPECT_EQ(offsets(got), expected) << c.what;
        ASSERT_EQ(got.damage.size(), 1u) << c.what;
        EXPECT_EQ(got.damage[0].offset, third) << c.what;
        EXPECT_EQ(got.damage[0].length, fourth - third) << c.what;
        EXPECT_FALSE(got.damage[0].problem.empty()) << c.what;
    }
}

// Bytes that are no record between two records, with marks in them that lead nowhere.
TEST(LogReader, GarbageBetweenRecordsIsOneStretchAndTheRecordsAroundItStay) {
    const Bytes good = everyKindLog();
    const ReadBack full = readAll(good);
    const size_t at = full.records[3].offset;
    const Bytes junk = {'X', 'X', 'X', 9, 7, 4, 25, 0, 0, 0, 0, 'X', 'X', 'X', 9, 7, 4, 14, 0, 0, 40, 0, 1, 2, 3};
    Bytes bad = good;
    bad.insert(bad.begin() + static_cast<long>(at), junk.begin(), junk.end());
    const ReadBack got = readAll(bad);
    ASSERT_EQ(got.records.size(), full.records.size());
    for (size_t i = 0; i < got.records.size(); ++i) {
        EXPECT_EQ(got.payloads[i], full.payloads[i]) << i;
        EXPECT_EQ(got.records[i].offset, full.records[i].offset + (i >= 3 ? junk.size() : 0)) << i;
    }
    ASSERT_EQ(got.damage.size(), 1u);
    EXPECT_EQ(got.damage[0].offset, at);
    EXPECT_EQ(got.damage[0].length, junk.size());
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


// A log of megabytes read from its file gives what its bytes in memory give,
// with damaged records and a long damaged stretch at places the reader's
// buffer does not know in advance.
TEST(LogReader, AFileReadsAsItsBytesDo) {
    const std::string path = tempPath("big.zrn");
    ASSERT_TRUE(writeCellularSweepLog(path, 1200, 2000));
    Bytes bytes = readFile(path);
    const std::vector<size_t> good = offsets(readAll(bytes));
    for (size_t i = 50; i < good.size(); i += 97) bytes[good[i]] = 'x';
    // From the second byte of a record's mark to the middle of another.
    const size_t wipeFrom = good[360] + 1, wipeTo = 2700000;
    std::fill(bytes.begin() + wipeFrom, bytes.begin() + wipeTo, 0);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  static_cast<long>(bytes.size()));
    LogReader file;
    ASSERT_TRUE(file.open(path)) << file.problem();
    const ReadBack fromFile = readAll(file);
    fs::remove(path);
    const ReadBack inMemory = readAll(bytes);
    EXPECT_EQ(offsets(fromFile), offsets(inMemory));
    EXPECT_TRUE(fromFile.payloads == inMemory.payloads);
    ASSERT_EQ(fromFile.damage.size(), inMemory.damage.size());
    for (size_t i = 0; i < fromFile.damage.size(); ++i) {
        EXPECT_EQ(fromFile.damage[i].offset, inMemory.damage[i].offset) << i;
        EXPECT_EQ(fromFile.damage[i].length, inMemory.damage[i].length) << i;
    }
    // What comes back is every record but the marked ones and those the wipe begins in.
    std::vector<size_t> kept;
    size_t keptBytes = 0;
    for (size_t i = 0; i < good.size(); ++i) {
        const size_t end = i + 1 < good.size() ? good[i + 1] : bytes.size();
        if ((i < 50 || (i - 50) % 97 != 0) && (good[i] + 1 < wipeFrom || good[i] >= wipeTo)) {
            kept.push_back(good[i]);
            keptBytes += end - good[i];
        }
    }
    EXPECT_EQ(offsets(fromFile), kept);
    EXPECT_EQ(15 + keptBytes + file.damagedBytes(), bytes.size());
}

TEST(LogReader, OnlyRegularFilesAreReadAndOnlyTheirHeaderBeforeItIsChecked) {
    const std::string fifo = tempPath("fifo"), folder = tempPath("folder"), big = tempPath("big");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    const struct { std::string path, problem; } refused[] = {
        {folder, "Is a directory"},
        {"/dev/zero", "not a regular file (a character device)"},
        {fifo, "not a regular file (a FIFO)"},
        {folder + "/none.zrn", "No such file or directory"},
    };
    for (const auto& c : refused) {
        LogReader reader;
        EXPECT_FALSE(reader.open(c.path)) << c.path;
        EXPECT_EQ(reader.problem(), c.problem) << c.path;
    }
    fs::remove(fifo);
    fs::remove(folder);
    // 256 MB that are no log: refused after reading its first bytes only.
    std::ofstream(big) << "PK\x03\x04 not a log at all";
    fs::resize_file(big, 256u << 20);
    const long long before = bytesRead();
    LogReader reader;
    LogHeader header;
    ASSERT_TRUE(reader.open(big));
    EXPECT_FALSE(reader.readHeader(header));
    EXPECT_LT(bytesRead() - before, 4096);
    EXPECT_EQ(reader.next(*std::make_unique<LogRecord>()), ReadStatus::End);
    fs::remove(big);
}
