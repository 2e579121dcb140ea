#include "board/send_slot.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zarn;

TEST(SendSlot, StoresAtMost128BytesAndSignals) {
    SendSlot slot;
    std::vector<uint8_t> bytes(200);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    slot.store(bytes.data(), 200);
    EXPECT_TRUE(slot.event().isSet());
    uint8_t out[SendSlot::kCapacity + 8] = {};
    ASSERT_EQ(slot.take(out), 128u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 128), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 128));
    EXPECT_EQ(out[128], 0) << "nothing beyond the buffer";
    EXPECT_FALSE(slot.event().isSet());
    EXPECT_EQ(slot.take(out), 0u);
}

TEST(SendSlot, KeepAliveNeverReplacesAWaitingRequest) {
    SendSlot slot;
    const uint8_t request[] = {0x11, 0x12, 0x08, 0x00, 0x11, 0x13};
    const uint8_t keepAlive[] = {0, 0};
    slot.store(request, sizeof request);
    EXPECT_FALSE(slot.storeIfEmpty(keepAlive, 2));
    uint8_t out[SendSlot::kCapacity];
    ASSERT_EQ(slot.take(out), sizeof request);
    EXPECT_EQ(out[2], 0x08);
    EXPECT_TRUE(slot.storeIfEmpty(keepAlive, 2));
    EXPECT_EQ(slot.take(out), 2u);
}

TEST(SendSlot, RequestStoredAfterTakeStaysSignalled) {
    SendSlot slot;
    const uint8_t a[] = {1}, b[] = {2};
    slot.store(a, 1);
    uint8_t out[SendSlot::kCapacity];
    ASSERT_EQ(slot.take(out), 1u);
    slot.store(b, 1);  // arrives while the first one is being written
    EXPECT_TRUE(slot.event().isSet());
    ASSERT_EQ(slot.take(out), 1u);
    EXPECT_EQ(out[0], 2);
}
