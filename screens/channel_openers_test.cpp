#include "screens/channel_openers.h"

#include <gtest/gtest.h>

#include <memory>

#include "board/test_support.h"
#include "screens/screen_test_support.h"
#include "screens/single_view.h"
#include "screens/table_view.h"
#include "platform/temp_device.h"

namespace zarn {
namespace {

using testing::Request;
using Bytes = std::vector<uint8_t>;

Request req(uint8_t type, Bytes payload = {}) { return Request{type, std::move(payload)}; }
Request entry(uint8_t slot, uint8_t band, uint16_t offset) {
    return req(17, {slot, band, static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8)});
}

class ChannelOpeners : public ::testing::Test {
protected:
    void SetUp() override {
        board.pcsPlan.setPcsRaster(50000);
        screen = std::make_unique<testing::ScreenHarness>(RUNTIME_CLASS(CTable));
    }
    void TearDown() override { screen.reset(); }
    HeadlessBackend& backend() { return screen->backend; }
    // Checks what holds while the dialog is up, then presses a key in it.
    void whileDialogUp(const char* kind, unsigned key, const std::string& typed = "") {
        backend().whenIdle([this, kind, key, typed] {
            ASSERT_FALSE(backend().modals().empty());
            EXPECT_EQ(backend().modals().back().kind, kind);
            EXPECT_EQ(board.repaintEnabled, 0);
            EXPECT_EQ(board.requests, std::vector<Request>{req(8, {0})});  // idle before anything else
            if (!typed.empty()) backend().type(typed);
            backend().key(key);
        });
    }

    testing::TempDevice root;
    testing::RecordingBoard board;
    std::unique_ptr<testing::ScreenHarness> screen;
};

TEST_F(ChannelOpeners, SingleChannelOneBandTunesAndStartsIt) {
    root.writeBelowRoot("opt.zrn", "1\n0\n1\n384\n0\n");
    whileDialogUp("dialog", VK_ESCAPE);  // Cancel still applies what was loaded
    openSingleChannel(board, screen->frame(), 2);
    ASSERT_FALSE(backend().sounds().empty());
    EXPECT_EQ(backend().sounds().front().name, "Online");
    EXPECT_FALSE(backend().sounds().front().async);
    EXPECT_EQ(screen->frame()->switches, std::vector<const CRuntimeClass*>{RUNTIME_CLASS(CSingle)});
    // Channel 384 is step 29384 (0x72C8).
    EXPECT_EQ(board.requests, (std::vector<Request>{req(8, {0}), req(9, {0}), req(5, {16, 0}),
                                                    req(10, {0xC8, 0x72, 0, 0}), req(8, {1})}));
    EXPECT_EQ(board.repaintEnabled, 1);
    EXPECT_EQ(board.screenMode, kModeSingleChannel);
    EXPECT_EQ(root.readBelowRoot("opt.zrn"), "1\n0\n1\n384\n0\n");
}

TEST_F(ChannelOpeners, SingleChannelBothBandsUploadsTwoSlots) {
    root.writeBelowRoot("opt.zrn", "1\n1\n1\n384\n650\n");
    whileDialogUp("dialog", VK_RETURN);
    openSingleChannel(board, screen->frame(), 2);
    // Offsets: cellular 384 is 417, PCS channel 650 at 50 kHz is 3250.
    EXPECT_EQ(board.requests, (std::vector<Request>{req(8, {0}), req(5, {32, 0}), req(32, {2}), entry(0, 0, 417),
                                                    entry(1, 1, 3250), req(8, {2})}));
    EXPECT_EQ(board.screenMode, kModeSingleChannel);
}

TEST_F(ChannelOpeners, ChannelTableOfThirtySlotsUploadsInSlotOrder) {
    std::string file = "2\r\nThirty\r\n";
    for (int i = 0; i < 30; ++i) file += i % 2 ? "1," + std::to_string(20 * i) + ",\r\n" : "0," + std::to_string(1 + i) + ",\r\n";
    root.writeBelowRoot("My Documents/thirty.kct", file);
    whileDialogUp("filedialog", VK_RETURN, "thirty");
    openChannelTable(board, screen->frame(), 2, nullptr);
    EXPECT_EQ(screen->frame()->switches, std::vector<const CRuntimeClass*>{RUNTIME_CLASS(CTable)});
    ASSERT_EQ(board.channelTableCount, 30);
    ASSERT_EQ(board.requests.size(), 1u + 1u + 30u + 2u);
    EXPECT_EQ(board.requests[1], req(32, {30}));
    for (uint8_t i = 0; i < 30; ++i) {
        // Cellular channel c (1..799) lies 34 + (c - 1) offsets up; PCS channel n at 50 kHz at 5 n.
        const uint16_t offset = i % 2 ? static_cast<uint16_t>(5 * 20 * i) : static_cast<uint16_t>(34 + i);
        EXPECT_EQ(board.requests[2 + i], entry(i, i % 2, offset)) << int(i);
    }
    EXPECT_EQ(board.requests[32], req(5, {32, 0}));
    EXPECT_EQ(board.requests[33], req(8, {2}));
    EXPECT_EQ(board.screenMode, kModeChannelTable);
    EXPECT_EQ(board.repaintEnabled, 1);
    EXPECT_FALSE(backend().waitCursorShown());
}

TEST_F(ChannelOpeners, CancelledTableStillUploadsTheOldOne) {
    board.channelTableCount = 2;
    board.channelTable[0] = {0, 990, -800};
    board.channelTable[1] = {3, 100, -800};  // a band without a plan goes up with offset 0
    whileDialogUp("filedialog", VK_ESCAPE);
    openChannelTable(board, screen->frame(), 2, nullptr);
    EXPECT_EQ(board.requests, (std::vector<Request>{req(8, {0}), req(32, {2}), entry(0, 0, 0), entry(1, 3, 0),
                                                    req(5, {32, 0}), req(8, {2})}));
    EXPECT_EQ(+board.channelTable[1].band, 3);  // kept as loaded
    EXPECT_EQ(board.screenMode, kModeChannelTable);
}

TEST_F(ChannelOpeners, EmptyTableSendsOnlyTheLengthAndTheStart) {
    root.writeBelowRoot("My Documents/empty.kct", "2\r\nNone\r\n0,-1,\r\n");
    board.channelTableCount = 5;
    whileDialogUp("filedialog", VK_RETURN, "empty");
    openChannelTable(board, screen->frame(), 2, nullptr);
    EXPECT_EQ(board.channelTableCount, 0);
    EXPECT_EQ(board.requests, (std::vector<Request>{req(8, {0}), req(32, {0}), req(5, {32, 0}), req(8, {2})}));
}

}  // namespace
}  // namespace zarn
