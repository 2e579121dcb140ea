#include "screens/single_options.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/headless/headless_backend.h"
#include "platform/ui/window_system.h"
#include "platform/temp_device.h"
#include "screens/options_file.h"

namespace zarn {
namespace {

class SingleOptions : public ::testing::Test {
protected:
    void SetUp() override {
        setUpCellularPlan(board.cellularPlan);
        setUpPcsPlan(board.pcsPlan);
        board.pcsPlan.setPcsRaster(50000);
        board.cellularPlan.tuneMegahertz(881.52);
        board.pcsPlan.tuneMegahertz(1962.5);
        board.singleChannelMode = 0;
        board.singleChannelBand = 0;
    }
    uint32_t pcsChannel() const { return board.pcsPlan.offsetToPcsChannel(board.pcsPlan.tunedChannel()); }

    testing::TempDevice root;
    BoardState board;
};

TEST_F(SingleOptions, MissingFileKeepsTheConstructionValuesAndRunsPcs) {
    CSingleOptions o;
    o.loadOptions();
    EXPECT_EQ(o.cellularActive, 0);
    EXPECT_EQ(o.pcsActive, 0);
    EXPECT_EQ(o.entryUnit, -1);
    EXPECT_EQ(o.cellularValue, 0.0);
    EXPECT_EQ(o.pcsValue, 0.0);
    o.applyOptions(board);
    EXPECT_EQ(board.singleChannelMode, 1);
    EXPECT_EQ(board.singleChannelBand, 1);  // neither box ticked
    EXPECT_EQ(board.cellularPlan.tunedStep(), 29384u);  // nothing tuned
    EXPECT_EQ(board.pcsPlan.tunedStep(), 196250u);
    EXPECT_EQ(root.readBelowRoot("opt.zrn"), "0\n0\n-1\n0\n0\n");  // no unit: written as channels
}

TEST_F(SingleOptions, ModesFromTheBoxes) {
    struct Case {
        int cellular, pcs;
        uint8_t mode, band;
    } cases[] = {{1, 0, 1, 0}, {0, 1, 1, 1}, {1, 1, 2, 0}, {0, 0, 1, 1}};
    for (const Case& c : cases) {
        CSingleOptions o;
        o.cellularActive = c.cellular, o.pcsActive = c.pcs, o.entryUnit = 1;
        o.cellularValue = 384, o.pcsValue = 650;
        board.singleChannelBand = 0;
        o.applyOptions(board);
        EXPECT_EQ(board.singleChannelMode, c.mode) << c.cellular << c.pcs;
        if (c.mode == 1) {
            EXPECT_EQ(board.singleChannelBand, c.band) << c.cellular << c.pcs;
        }
    }
}

TEST_F(SingleOptions, FrequencyRoundTripThroughTheFile) {
    CSingleOptions o;
    o.cellularActive = 1, o.pcsActive = 1, o.entryUnit = 0;
    o.cellularValue = 881.52, o.pcsValue = 1962.52;
    o.applyOptions(board);
    EXPECT_EQ(root.readBelowRoot("opt.zrn"), "1\n1\n0\n881.520000\n1962.520000\n");
    CSingleOptions back;
    back.loadOptions();
    EXPECT_EQ(back.cellularActive, 1);
    EXPECT_EQ(back.pcsActive, 1);
    EXPECT_EQ(back.entryUnit, 0);
    EXPECT_DOUBLE_EQ(back.cellularValue, 881.52);
    EXPECT_DOUBLE_EQ(back.pcsValue, 1962.52);
    EXPECT_EQ(board.cellularPlan.tunedChannel(), 384u);
    // 1962.52 MHz snaps down to channel 650 of the 50 kHz raster.
    EXPECT_EQ(pcsChannel(), 650u);
    EXPECT_EQ(board.pcsPlan.tunedFrequency(), 1962500000u);
}

TEST_F(SingleOptions, ChannelRoundTripWritesWholeNumbers) {
    CSingleOptions o;
    o.cellularActive = 1, o.pcsActive = 1, o.entryUnit = 1;
    o.cellularValue = 1023.7, o.pcsValue = 25;
    o.applyOptions(board);
    EXPECT_EQ(root.readBelowRoot("opt.zrn"), "1\n1\n1\n1023\n25\n");
    EXPECT_EQ(board.cellularPlan.tunedFrequency(), 870000000u);  // channel 1023
    EXPECT_EQ(pcsChannel(), 25u);
    CSingleOptions back;
    back.loadOptions();
    EXPECT_EQ(back.cellularValue, 1023.0);
    EXPECT_EQ(back.pcsValue, 25.0);
}

TEST_F(SingleOptions, UnitMinusOneReadsValuesAsChannels) {
    root.writeBelowRoot("opt.zrn", "1\n0\n-1\n384.9\n12.5\n");
    CSingleOptions o;
    o.loadOptions();
    EXPECT_EQ(o.entryUnit, -1);
    EXPECT_EQ(o.cellularValue, 384.0);  // atoi, then held as a double
    EXPECT_EQ(o.pcsValue, 12.0);
    o.applyOptions(board);
    EXPECT_EQ(board.cellularPlan.tunedChannel(), 384u);
}

TEST_F(SingleOptions, ShortFileKeepsWhatItLacks) {
    root.writeBelowRoot("opt.zrn", "1\n7\n");
    CSingleOptions o;
    o.loadOptions();
    EXPECT_EQ(o.cellularActive, 1);
    EXPECT_EQ(o.pcsActive, 1);  // any non-zero value is active
    EXPECT_EQ(o.entryUnit, -1);
    EXPECT_EQ(o.cellularValue, 0.0);
    EXPECT_EQ(o.pcsValue, 0.0);
}

TEST_F(SingleOptions, OverlongLinesAndHugeNumbersAreBounded) {
    root.writeBelowRoot("opt.zrn", "1" + std::string(300, '1') + "\n0\n0\n1e999\n-" + std::string(100, '9') + "\n");
    CSingleOptions o;
    o.loadOptions();
    EXPECT_EQ(o.cellularActive, 1);
    EXPECT_EQ(o.pcsActive, 0);  // the long line did not spill into line 2
    EXPECT_EQ(o.entryUnit, 0);
    EXPECT_EQ(o.cellularValue, OptionLines::kTypedValueLimit);
    EXPECT_EQ(o.pcsValue, -OptionLines::kTypedValueLimit);
    o.pcsActive = 1;
    o.applyOptions(board);
    EXPECT_EQ(board.cellularPlan.tunedFrequency(), 869010000u);  // out of band: the lowest channel
    EXPECT_EQ(pcsChannel(), 0u);

    root.writeBelowRoot("opt.zrn", "1\n0\n5\n99999999999999999999\n0\n");
    CSingleOptions channels;
    channels.loadOptions();
    EXPECT_EQ(channels.cellularValue, OptionLines::kTypedValueLimit);
}

TEST_F(SingleOptions, TheEntryUnitIsKeptAsAtoiReadsIt) {
    struct Case {
        const char* unitLine;
        const char* valueLine;
        int unit;
        const char* written;  // the file after applying, cellular active
    } cases[] = {
        {"5", "384.9", 5, "1\n0\n5\n384\n0\n"},
        {"-7x", "384.9", -7, "1\n0\n-7\n384\n0\n"},
        {" +2", "384.9", 2, "1\n0\n2\n384\n0\n"},
        {"99999999999", "384.9", INT_MAX, "1\n0\n2147483647\n384\n0\n"},
        {"MHz", "881.52", 0, "1\n0\n0\n881.520000\n0.000000\n"},
    };
    for (const Case& c : cases) {
        root.writeBelowRoot("opt.zrn", std::string("1\n0\n") + c.unitLine + "\n" + c.valueLine + "\n0\n");
        CSingleOptions o;
        o.loadOptions();
        EXPECT_EQ(o.entryUnit, c.unit) << c.unitLine;
        o.applyOptions(board);
        // Any unit but 0 reads, tunes and writes the values as channels.
        EXPECT_EQ(board.cellularPlan.tunedChannel(), 384u) << c.unitLine;
        EXPECT_EQ(root.readBelowRoot("opt.zrn"), c.written) << c.unitLine;
    }
}

TEST_F(SingleOptions, TypedValuesBeyondEveryRangeConvertSafely) {
    EXPECT_EQ(channelFromValue(-5.0), 0u);
    EXPECT_EQ(channelFromValue(std::nan("")), 0u);
    EXPECT_EQ(channelFromValue(1e30), UINT32_MAX);
    EXPECT_EQ(channelFromValue(650.9), 650u);
    CSingleOptions o;
    o.cellularActive = 1, o.pcsActive = 1, o.entryUnit = 1;
    o.cellularValue = 1e300, o.pcsValue = -1e300;
    o.applyOptions(board);
    EXPECT_EQ(board.cellularPlan.tunedFrequency(), 869010000u);
    EXPECT_EQ(pcsChannel(), 0u);
    EXPECT_EQ(root.readBelowRoot("opt.zrn"), "1\n1\n1\n2147483647\n-2147483648\n");
}

TEST_F(SingleOptions, PcsFrequencyBelowTheBandTunesTheLowestChannel) {
    struct Case {
        uint32_t raster;
        uint32_t frequency;
    } cases[] = {{30000, 1930050000u}, {50000, 1930000000u}, {200000, 1930200000u}};
    for (const Case& c : cases) {
        for (double mhz : {1929.99, 1900.0, 0.0, -5.0}) {
            board.pcsPlan.setPcsRaster(c.raster);
            board.pcsPlan.tuneMegahertz(1962.5);
            CSingleOptions o;
            o.pcsActive = 1, o.entryUnit = 0, o.pcsValue = mhz;
            o.applyOptions(board);
            EXPECT_EQ(board.pcsPlan.tunedFrequency(), c.frequency) << c.raster << " " << mhz;
        }
    }
}

TEST_F(SingleOptions, PcsFrequencyAboveTheBandTunesTheHighestChannel) {
    CSingleOptions o;
    o.pcsActive = 1, o.entryUnit = 0, o.pcsValue = 2100.0;
    o.applyOptions(board);
    EXPECT_EQ(board.pcsPlan.tunedFrequency(), 1990000000u);
}

TEST_F(SingleOptions, DialogShowsAndReadsBackTheMembers) {
    HeadlessBackend backend;
    backend.install();
    CSingleOptions o;
    o.entryUnit = 0;
    o.cellularValue = 881.52;
    backend.whenIdle([&] {
        EXPECT_EQ(backend.modals().back().caption, "Single Channel Options");
        EXPECT_EQ(o.focusedItem()->GetDlgCtrlID(), CSingleOptions::kCellularCheck);
        backend.key(VK_SPACE);   // Make Cellular Active
        backend.key(VK_RETURN);  // OK
    });
    EXPECT_EQ(o.DoModal(), IDOK);
    EXPECT_EQ(o.cellularActive, 1);
    EXPECT_EQ(o.entryUnit, 0);
    EXPECT_DOUBLE_EQ(o.cellularValue, 881.52);
    WindowSystem::get().reset(nullptr);
}

}  // namespace
}  // namespace zarn
