#include "screens/server_options.h"

#include <gtest/gtest.h>

#include <climits>

#include "board/test_support.h"
#include "platform/headless/headless_backend.h"
#include "platform/temp_device.h"

namespace zarn {
namespace {

using testing::RecordingBoard;

struct ServerCase {
    const char* name;
    int band, servers;
    uint32_t raster;
    uint8_t bandBefore, bandIndex;
    uint16_t start, step, count;
    uint32_t setting;
};

TEST(ServerOptionsTest, TheBandChoiceSetsTheFullBandSweep) {
    const ServerCase cases[] = {
        {"cellular", 0, 9, 50000, 1, 0, 1, 1, 833, 9},
        {"PCS 30 kHz", 1, 0, 30000, 1, 1, 2, 3, 1999, 0},
        {"PCS 50 kHz", 1, 4, 50000, 1, 1, 5, 5, 1200, 4},
        {"PCS 200 kHz", 1, 9, 200000, 1, 1, 20, 20, 298, 9},
        {"no band keeps the previous one, swept whole", -1, -1, 50000, 1, 1, 5, 5, 1200, 10},
        {"a band out of range too", 3, 12, 200000, 1, 1, 20, 20, 298, 10},
        {"no band and none kept: cellular", -1, -1, 50000, 255, 0, 1, 1, 833, 10},
    };
    for (const ServerCase& c : cases) {
        testing::TempDevice root;
        RecordingBoard b;
        b.pcsPlan.setPcsRaster(c.raster);
        b.bandIndex = c.bandBefore;
        b.sweepStart = 7, b.sweepStep = 2, b.sweepCount = 99;
        CServerOptions o;
        o.m_band = c.band;
        o.m_servers = c.servers;
        o.applyOptions(b);
        EXPECT_EQ(b.bandIndex, c.bandIndex) << c.name;
        EXPECT_EQ(b.sweepStart, c.start) << c.name;
        EXPECT_EQ(b.sweepStep, c.step) << c.name;
        EXPECT_EQ(b.sweepCount, c.count) << c.name;
        EXPECT_EQ(b.serverCountSetting, c.setting) << c.name;
        EXPECT_EQ(root.readBelowRoot("optv.zrn"), std::to_string(c.band) + "\n" + std::to_string(c.servers) + "\n") << c.name;
        EXPECT_TRUE(b.requests.empty()) << c.name;
    }
}

struct LoadCase {
    const char* file;
    int band, servers;
};

TEST(ServerOptionsTest, LoadingKeepsMinusOneForWhatIsMissing) {
    const LoadCase cases[] = {
        {"1\n9\n", 1, 9}, {"0\n", 0, -1}, {"", -1, -1}, {"junk\n3\n", 0, 3}, {"4294967296\n2", INT_MAX, 2},
    };
    for (const LoadCase& c : cases) {
        testing::TempDevice root;
        root.writeBelowRoot("optv.zrn", c.file);
        CServerOptions o;
        o.loadOptions();
        EXPECT_EQ(o.m_band, c.band) << c.file;
        EXPECT_EQ(o.m_servers, c.servers) << c.file;
    }
    testing::TempDevice empty;
    CServerOptions o;
    o.loadOptions();
    EXPECT_EQ(o.m_band, -1);
    EXPECT_EQ(o.m_servers, -1);
}

TEST(ServerOptionsTest, TheHiddenCountTravelsThroughTheDialog) {
    testing::TempDevice root;
    root.writeBelowRoot("optv.zrn", "0\n6\n");
    HeadlessBackend backend;
    backend.install();
    CServerOptions o;
    o.loadOptions();
    backend.whenIdle([&] {
        EXPECT_EQ(o.item(1000)->checked(), 1);
        EXPECT_EQ(o.item(1008)->checked(), 1);  // the seventh count button, hidden
        EXPECT_FALSE(o.item(1008)->isShown());
        o.item(1000)->setChecked(0);
        o.item(1001)->setChecked(1);
        backend.key(VK_RETURN);
    });
    EXPECT_EQ(o.DoModal(), IDOK);
    RecordingBoard b;
    o.applyOptions(b);
    EXPECT_EQ(b.bandIndex, 1);
    EXPECT_EQ(b.serverCountSetting, 6u);
    EXPECT_EQ(root.readBelowRoot("optv.zrn"), "1\n6\n");
}

}  // namespace
}  // namespace zarn
