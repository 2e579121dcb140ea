#include "recording/replay_feed.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "board/request_frame.h"
#include "recording/synthetic_log.h"
#include "tools/board_sim/sim_board.h"

using namespace zarn;
using namespace zarn::sim;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

struct Sent {
    int type;
    Bytes payload;
};

template <typename Fill>
Bytes written(Fill fill, int secondsApart = 1) {
    const std::string path = (fs::temp_directory_path() / ("zarn-replay-" + std::to_string(getpid()) + ".zrn")).string();
    {
        SyntheticLog log(path, 50000, secondsApart);
        fill(log);
        EXPECT_TRUE(log.ok());
    }
    std::ifstream in(path, std::ios::binary);
    Bytes bytes{std::istreambuf_iterator<char>(in), {}};
    fs::remove(path);
    return bytes;
}

// Every frame due by `time`, unframed (the feed's payloads hold no 0x11 here).
std::vector<Sent> drain(ReplayFeed& feed, double time, uint8_t mode = 5, uint8_t band = 0) {
    std::vector<Sent> out;
    for (;;) {
        Bytes frame;
        const int type = feed.nextFrame(time, mode, band, frame);
        if (type < 0) return out;
        out.push_back({type, Bytes(frame.begin() + 3, frame.end() - 2)});
    }
}

uint16_t u16(const Bytes& p, size_t at) { return static_cast<uint16_t>(p[at] | (p[at + 1] << 8)); }

}  // namespace

TEST(ReplayFeed, SweepsComeAsSamplesInOrderAtThePaceOfTheirTimeStamps) {
    const Bytes log = written([](SyntheticLog& l) {
        for (int s = 0; s < 3; ++s) l.sweep(0, 100, 4, [&](uint16_t o) { return int16_t(-1600 - o - s); });
    }, 2);
    ReplayFeed feed;
    std::string error;
    ASSERT_TRUE(feed.load(log, error)) << error;
    EXPECT_EQ(feed.records(), 3u);
    EXPECT_DOUBLE_EQ(feed.duration(), 4.0);
    auto first = drain(feed, 0.0);
    ASSERT_EQ(first.size(), 4u);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(first[j].type, 33);
        ASSERT_EQ(first[j].payload.size(), 5u);
        EXPECT_EQ(u16(first[j].payload, 0), 100 + j);
        EXPECT_EQ(static_cast<int16_t>(u16(first[j].payload, 2)), -1600 - 100 - j);
    }
    EXPECT_TRUE(drain(feed, 1.9).empty());
    EXPECT_EQ(drain(feed, 2.0).size(), 4u);
    EXPECT_FALSE(feed.finished());
    const auto last = drain(feed, 100.0);
    ASSERT_EQ(last.size(), 4u);
    EXPECT_EQ(static_cast<int16_t>(u16(last[0].payload, 2)), -1600 - 100 - 2);
    EXPECT_TRUE(feed.finished());
}

TEST(ReplayFeed, TablesLevelsAndServersBecomeTheFramesABoardSends) {
    const Bytes log = written([](SyntheticLog& l) {
        l.table({{0, 384, -900}, {1, 25, -1100}, {0, 1, -1200}});
        l.singleChannel(384, -1000, 3250, -1208);
        l.singleChannel(384, -1001, 3250, -1209);
        l.bestServers(0, {{417, -55}, {34, -72}});
        l.frame(14, {0x30, 0xFC});
        l.frame(1, {'X', 0});
    });
    ReplayFeed feed;
    std::string error;
    ASSERT_TRUE(feed.load(log, error));
    const auto table = drain(feed, 0.0, 2);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[2].type, 15);
    EXPECT_EQ(table[2].payload, (Bytes{2, static_cast<uint8_t>(-1200 & 0xFF), static_cast<uint8_t>(-1200 >> 8 & 0xFF)}));
    const auto cellular = drain(feed, 1.0, 1, 0);
    ASSERT_EQ(cellular.size(), 1u);
    EXPECT_EQ(cellular[0].type, 14);
    EXPECT_EQ(static_cast<int16_t>(u16(cellular[0].payload, 0)), -1000);
    const auto twoBands = drain(feed, 2.0, 2, 0);
    ASSERT_EQ(twoBands.size(), 2u);
    EXPECT_EQ(twoBands[1].payload[0], 1);
    EXPECT_EQ(static_cast<int16_t>(u16(twoBands[1].payload, 1)), -1209);
    const auto servers = drain(feed, 3.0);
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(u16(servers[0].payload, 0), 34);  // rising offsets, one sweep
    EXPECT_EQ(static_cast<int16_t>(u16(servers[0].payload, 2)), -72 * 16);
    const auto frames = drain(feed, 10.0);
    ASSERT_EQ(frames.size(), 1u);  // the level again, not the firmware answer
    EXPECT_EQ(frames[0].payload, (Bytes{0x30, 0xFC}));
}

TEST(ReplayFeed, RecordsOfOneSecondShareItEvenly) {
    const Bytes log = written([](SyntheticLog& l) {
        for (int i = 0; i < 4; ++i) l.singleChannel(384, int16_t(-1000 - i), 3250, -1200);
    }, 0);
    ReplayFeed feed;
    std::string error;
    ASSERT_TRUE(feed.load(log, error));
    EXPECT_EQ(drain(feed, 0.0, 1).size(), 1u);
    EXPECT_EQ(drain(feed, 0.5, 1).size(), 2u);
    EXPECT_EQ(drain(feed, 0.75, 1).size(), 1u);
}

TEST(ReplayFeed, ADamagedLogPlaysUpToItsBadRecordAndAForeignFileIsRefused) {
    Bytes log = written([](SyntheticLog& l) {
        for (int s = 0; s < 3; ++s) l.sweep(0, 0, 8, [](uint16_t) { return int16_t(-1600); });
    });
    log.resize(log.size() - 3);
    ReplayFeed feed;
    std::string error;
    ASSERT_TRUE(feed.load(log, error));
    EXPECT_EQ(feed.records(), 2u);
    EXPECT_NE(feed.warning().find("bad record at byte"), std::string::npos);
    EXPECT_FALSE(feed.load(Bytes{'n', 'o'}, error));
    EXPECT_FALSE(error.empty());
}

TEST(ReplayFeed, TheBoardAnswersFirstAndPausesTheReplayWhileIdle) {
    const Bytes log = written([](SyntheticLog& l) {
        for (int s = 0; s < 2; ++s) l.sweep(0, 10, 2, [](uint16_t) { return int16_t(-1600); });
    });
    ReplayFeed feed;
    std::string error;
    ASSERT_TRUE(feed.load(log, error));
    SimBoard board(RadioScene::standard(), "FW", "SN");
    board.setReplay(&feed);
    Bytes out;
    EXPECT_EQ(board.nextFrame(5.0, out), -1);  // idle: nothing, and no replay time passes
    Bytes wire;
    const uint8_t sweepMode = 5;
    appendFrame(wire, 8, &sweepMode, 1);
    board.receive(wire.data(), wire.size());
    EXPECT_EQ(board.nextFrame(5.0, out), 8);
    EXPECT_EQ(board.nextFrame(5.0, out), 33);
    EXPECT_EQ(board.nextFrame(5.0, out), 33);
    EXPECT_EQ(board.nextFrame(5.5, out), -1);
    EXPECT_EQ(board.nextFrame(6.0, out), 33);
    EXPECT_DOUBLE_EQ(board.replayTime(), 1.0);
}
